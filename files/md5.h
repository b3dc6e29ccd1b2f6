#pragma once
// MD5 message digest (RFC 1321).
#include <cstddef>
#include <cstdint>

struct MD5_CTX {
  uint32_t i[2];          // number of bits handled, low word first
  uint32_t buf[4];        // state
  unsigned char in[64];   // input block
  unsigned char digest[16];  // written by MD5Final
};

void MD5Init(MD5_CTX* ctx);
// Adds up to 65,535 bytes.
void MD5Update(MD5_CTX* ctx, const unsigned char* input, uint16_t len);
// Adds any number of bytes, in pieces of at most 65,535.
void MD5UpdateWide(MD5_CTX* ctx, const unsigned char* input, size_t len);
void MD5Final(MD5_CTX* ctx);

#include <string>
// Finishes ctx and gives its digest as 32 lowercase hex digits.
std::string MD5HexDigest(MD5_CTX* ctx);
// The MD5 of text as 32 lowercase hex digits.
std::string md5_of_text(const std::string& text);
