#include "files/release_signing.h"

#include <sodium.h>

#include <cstdlib>
#include <set>

namespace {

constexpr int kVariant = sodium_base64_VARIANT_ORIGINAL;

bool ready() {
  static const bool ok = sodium_init() >= 0;
  return ok;
}

std::string to_base64(const unsigned char* bytes, size_t len) {
  std::string text(sodium_base64_encoded_len(len, kVariant), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, len, kVariant);
  text.resize(text.size() - 1);  // the terminating zero
  return text;
}

std::string trimmed(const std::string& text) {
  size_t a = text.find_first_not_of(" \t\r\n"), b = text.find_last_not_of(" \t\r\n");
  return a == std::string::npos ? std::string() : text.substr(a, b - a + 1);
}

// The bytes of base64 text, which must decode to exactly len bytes.
bool from_base64(const std::string& text, size_t len, std::string& out) {
  if (!ready() || text.empty() || text.size() > 2 * sodium_base64_encoded_len(len, kVariant)) return false;
  out.assign(len + 3, '\0');
  size_t got = 0;
  const char* end = nullptr;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), text.data(), text.size(), nullptr,
                        &got, &end, kVariant) != 0 ||
      end != text.data() + text.size() || got != len)
    return false;
  out.resize(len);
  return true;
}

bool whole_number(const std::string& text, long long& out) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::atoll(text.c_str());
  return true;
}

}  // namespace

bool make_signing_keys(std::string& public_text, std::string& secret_text) {
  if (!ready()) return false;
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(pk, sk);
  public_text = to_base64(pk, sizeof pk);
  secret_text = to_base64(sk, sizeof sk);
  sodium_memzero(sk, sizeof sk);
  return true;
}

std::string sign_text(const std::string& secret_text, const std::string& data) {
  std::string sk;
  if (!from_base64(trimmed(secret_text), crypto_sign_SECRETKEYBYTES, sk)) return "";
  unsigned char sig[crypto_sign_BYTES];
  crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                       reinterpret_cast<const unsigned char*>(sk.data()));
  sodium_memzero(sk.data(), sk.size());
  return to_base64(sig, sizeof sig) + "\n";
}

bool parse_public_keys(const std::string& list, std::vector<std::string>& keys) {
  keys.clear();
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string text = trimmed(list.substr(start, comma - start)), key;
    if (!text.empty()) {
      if (!from_base64(text, crypto_sign_PUBLICKEYBYTES, key)) return false;
      keys.push_back(key);
    }
    start = comma + 1;
  }
  return true;
}

signature_verdict check_signature(const std::string& data, const std::string& signature,
                                  const std::vector<std::string>& keys) {
  std::string text = signature;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  std::string sig;
  if (!from_base64(text, crypto_sign_BYTES, sig)) return signature_verdict::unreadable;
  for (const std::string& key : keys)
    if (crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(sig.data()),
                                    reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                                    reinterpret_cast<const unsigned char*>(key.data())) == 0)
      return signature_verdict::good;
  return signature_verdict::mismatch;
}

std::string release_record_text(const release_record& r) {
  return "serial " + std::to_string(r.serial) + "\nexpires " + std::to_string(r.expires) + "\ninstall_name " +
         r.install_name + "\ndirectory_md5 " + r.directory_md5 + "\n";
}

bool parse_release_record(const std::string& text, release_record& record, std::string& error) {
  record = release_record();
  std::set<std::string> seen;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    size_t space = line.find(' ');
    std::string key = line.substr(0, space), value = space == std::string::npos ? "" : line.substr(space + 1);
    bool known = key == "serial" || key == "expires" || key == "install_name" || key == "directory_md5";
    if (!known) continue;
    if (!seen.insert(key).second) {
      error = "it names its " + key + " twice";
      return false;
    }
    bool ok = key == "serial"    ? whole_number(value, record.serial)
              : key == "expires" ? whole_number(value, record.expires)
              : key == "install_name"
                  ? !(record.install_name = value).empty()
                  : value.size() == 32 && value.find_first_not_of("0123456789abcdef") == std::string::npos;
    if (key == "directory_md5") record.directory_md5 = value;
    if (!ok) {
      error = "its " + key + " '" + value.substr(0, 40) + "' is not one";
      return false;
    }
  }
  for (const char* key : {"serial", "expires", "install_name", "directory_md5"}) {
    if (!seen.count(key)) {
      error = std::string("it has no ") + key;
      return false;
    }
  }
  return true;
}
