#pragma once
// Ed25519 signatures of what the vendor publishes (through libsodium), and the signed release
// record that lies beside a directory file. Keys and signatures travel as base64 text.
#include <string>
#include <vector>

// The largest signature file and release record taken from a server; real ones are far smaller.
constexpr long long kMaxSignatureBytes = 1024;
constexpr long long kMaxReleaseRecordBytes = 4096;

// A new key pair as base64 text (public key 32 bytes, secret key 64); false when the library
// cannot start.
bool make_signing_keys(std::string& public_text, std::string& secret_text);

// The detached signature of data as base64 text with a newline, by the secret key given as base64
// text (surrounding blanks allowed); empty when the key is not one.
std::string sign_text(const std::string& secret_text, const std::string& data);

// The public keys of a comma-separated list of base64 texts; false when one is not a key.
bool parse_public_keys(const std::string& list, std::vector<std::string>& keys);

enum class signature_verdict { good, unreadable, mismatch };
// Whether signature (base64 text, one trailing newline allowed) is a signature of data by one of keys.
signature_verdict check_signature(const std::string& data, const std::string& signature,
                                  const std::vector<std::string>& keys);

// What release.txt says: which release, how new it is, until when it may be installed, and
// the MD5 of the directory archive it belongs to.
struct release_record {
  long long serial = 0;
  long long expires = 0;  // Unix time
  std::string install_name;
  std::string directory_md5;  // 32 lowercase hex digits
};

// The text of release.txt.
std::string release_record_text(const release_record& record);
// Reads release.txt: one "KEY VALUE" line each of serial, expires, install_name and
// directory_md5; lines of other keys are left for later versions. False with the reason in error
// when a field is missing, repeated or not of its form.
bool parse_release_record(const std::string& text, release_record& record, std::string& error);
