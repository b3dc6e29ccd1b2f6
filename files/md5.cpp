#include "files/md5.h"

#include <bit>
#include <cstring>

namespace {

inline uint32_t rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

#define MD5_STEP(f, a, b, c, d, x, t, s) \
  a += f(b, c, d) + (x) + (t);           \
  a = rotl(a, s) + b;

// The second round's function as two disjoint halves added one after the other: the half that does
// not need b can be computed before b is known, which shortens the chain of dependent steps.
#define MD5_STEP_G(a, b, c, d, x, t, s) \
  a += (x) + (t) + (c & ~d);           \
  a += b & d;                          \
  a = rotl(a, s) + b;

void load_words(uint32_t x[16], const unsigned char* block) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(x, block, 64);
  } else {
    for (int i = 0; i < 16; ++i)
      x[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 | uint32_t(block[4 * i + 2]) << 16 |
             uint32_t(block[4 * i + 3]) << 24;
  }
}

void store_word(unsigned char* out, uint32_t v) {
  out[0] = static_cast<unsigned char>(v);
  out[1] = static_cast<unsigned char>(v >> 8);
  out[2] = static_cast<unsigned char>(v >> 16);
  out[3] = static_cast<unsigned char>(v >> 24);
}

// The 64 rounds over one 64-byte block.
void transform(uint32_t buf[4], const unsigned char* block) {
  uint32_t x[16];
  load_words(x, block);
  uint32_t a = buf[0], b = buf[1], c = buf[2], d = buf[3];

  MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478, 7)
  MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756, 12)
  MD5_STEP(F, c, d, a, b, x[2], 0x242070db, 17)
  MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceee, 22)
  MD5_STEP(F, a, b, c, d, x[4], 0xf57c0faf, 7)
  MD5_STEP(F, d, a, b, c, x[5], 0x4787c62a, 12)
  MD5_STEP(F, c, d, a, b, x[6], 0xa8304613, 17)
  MD5_STEP(F, b, c, d, a, x[7], 0xfd469501, 22)
  MD5_STEP(F, a, b, c, d, x[8], 0x698098d8, 7)
  MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7af, 12)
  MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1, 17)
  MD5_STEP(F, b, c, d, a, x[11], 0x895cd7be, 22)
  MD5_STEP(F, a, b, c, d, x[12], 0x6b901122, 7)
  MD5_STEP(F, d, a, b, c, x[13], 0xfd987193, 12)
  MD5_STEP(F, c, d, a, b, x[14], 0xa679438e, 17)
  MD5_STEP(F, b, c, d, a, x[15], 0x49b40821, 22)

  MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5)
  MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9)
  MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14)
  MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20)
  MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5)
  MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9)
  MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14)
  MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20)
  MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5)
  MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9)
  MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14)
  MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20)
  MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5)
  MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9)
  MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14)
  MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20)

  MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942, 4)
  MD5_STEP(H, d, a, b, c, x[8], 0x8771f681, 11)
  MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122, 16)
  MD5_STEP(H, b, c, d, a, x[14], 0xfde5380c, 23)
  MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44, 4)
  MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9, 11)
  MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60, 16)
  MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70, 23)
  MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6, 4)
  MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fa, 11)
  MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085, 16)
  MD5_STEP(H, b, c, d, a, x[6], 0x04881d05, 23)
  MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039, 4)
  MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5, 11)
  MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8, 16)
  MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665, 23)

  MD5_STEP(I, a, b, c, d, x[0], 0xf4292244, 6)
  MD5_STEP(I, d, a, b, c, x[7], 0x432aff97, 10)
  MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7, 15)
  MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039, 21)
  MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3, 6)
  MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92, 10)
  MD5_STEP(I, c, d, a, b, x[10], 0xffeff47d, 15)
  MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1, 21)
  MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4f, 6)
  MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0, 10)
  MD5_STEP(I, c, d, a, b, x[6], 0xa3014314, 15)
  MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1, 21)
  MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82, 6)
  MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235, 10)
  MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bb, 15)
  MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391, 21)

  buf[0] += a;
  buf[1] += b;
  buf[2] += c;
  buf[3] += d;
}

#undef MD5_STEP

// Largest piece MD5Update takes that keeps whole blocks, so no bytes wait in the buffer between pieces.
constexpr size_t kWidePiece = 65535 & ~size_t(63);

}  // namespace

void MD5Init(MD5_CTX* ctx) {
  ctx->i[0] = ctx->i[1] = 0;
  ctx->buf[0] = 0x67452301;
  ctx->buf[1] = 0xefcdab89;
  ctx->buf[2] = 0x98badcfe;
  ctx->buf[3] = 0x10325476;
  std::memset(ctx->in, 0, sizeof ctx->in);
  std::memset(ctx->digest, 0, sizeof ctx->digest);
}

void MD5Update(MD5_CTX* ctx, const unsigned char* input, uint16_t len) {
  size_t n = len;
  size_t used = (ctx->i[0] >> 3) & 0x3F;
  uint32_t bits = static_cast<uint32_t>(n) << 3;
  if (ctx->i[0] + bits < ctx->i[0]) ctx->i[1]++;
  ctx->i[0] += bits;

  if (used) {
    size_t take = 64 - used;
    if (n < take) {
      std::memcpy(ctx->in + used, input, n);
      return;
    }
    std::memcpy(ctx->in + used, input, take);
    transform(ctx->buf, ctx->in);
    input += take;
    n -= take;
  }
  for (; n >= 64; n -= 64, input += 64) transform(ctx->buf, input);
  std::memcpy(ctx->in, input, n);
}

void MD5UpdateWide(MD5_CTX* ctx, const unsigned char* input, size_t len) {
  while (len > 0) {
    size_t piece = len < kWidePiece ? len : kWidePiece;
    MD5Update(ctx, input, static_cast<uint16_t>(piece));
    input += piece;
    len -= piece;
  }
}

void MD5Final(MD5_CTX* ctx) {
  unsigned char length[8];
  store_word(length, ctx->i[0]);
  store_word(length + 4, ctx->i[1]);

  // Pad with 0x80 and zeros to 56 bytes past a block boundary, then the bit count.
  size_t used = (ctx->i[0] >> 3) & 0x3F;
  static const unsigned char kPadding[64] = {0x80};
  size_t pad = used < 56 ? 56 - used : 120 - used;
  MD5Update(ctx, kPadding, static_cast<uint16_t>(pad));
  MD5Update(ctx, length, 8);

  for (int k = 0; k < 4; ++k) store_word(ctx->digest + 4 * k, ctx->buf[k]);
}

std::string MD5HexDigest(MD5_CTX* ctx) {
  MD5Final(ctx);
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : ctx->digest) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

std::string md5_of_text(const std::string& text) {
  MD5_CTX ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  return MD5HexDigest(&ctx);
}
