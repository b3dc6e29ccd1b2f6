#include "install/signature_cache.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "files/md5.h"
#include "install/destination.h"

signature_cache sig_cache;
bool verify_every_file = false;

namespace {
constexpr const char* kHeader = "ZEPHRA-SIGNATURES 1 ";

std::string md5_hex(const std::string& text) {
  MD5_CTX ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  MD5Final(&ctx);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", ctx.digest[i]);
  return std::string(hex, 32);
}

bool plain_md5(const std::string& s) {
  if (s.size() != 32) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}
}  // namespace

std::string signature_cache_path(const std::string& dest) {
  std::string folder;
  get_OS_abs_path(os_dir_prefs, folder);
  return folder + "Zephra Installer signatures " + md5_hex(dest).substr(0, 16) + ".txt";
}

void signature_cache::load(const std::string& dest) {
  records_.clear();
  std::ifstream in(signature_cache_path(dest), std::ios::binary);
  std::string line;
  // The first line names the destination, so a cache of another folder is never taken.
  if (!std::getline(in, line) || line != kHeader + dest) return;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    record r;
    fields >> r.stamp.size >> r.stamp.mtime_ns >> r.stamp.ctime_ns >> r.stamp.inode >> r.md5;
    std::string rel;
    if (!fields || fields.get() != ' ' || !std::getline(fields, rel) || rel.empty() || !plain_md5(r.md5)) {
      records_.clear();  // a damaged cache is no cache
      return;
    }
    records_[rel] = r;
  }
}

std::string signature_cache::lookup(const std::string& rel, const os_file_stamp& stamp) const {
  auto it = records_.find(rel);
  return it != records_.end() && it->second.stamp == stamp ? it->second.md5 : std::string();
}

void signature_cache::remember(const std::string& rel, const os_file_stamp& stamp, const std::string& md5) {
  if (rel.empty() || rel.find('\n') != std::string::npos || !plain_md5(md5)) return;
  records_[rel] = {stamp, md5};
}

void signature_cache::forget(const std::string& rel) { records_.erase(rel); }

int signature_cache::save(const std::string& dest) const {
  std::string text = kHeader + dest + "\n";
  for (const auto& [rel, r] : records_)
    text += std::to_string(r.stamp.size) + " " + std::to_string(r.stamp.mtime_ns) + " " +
            std::to_string(r.stamp.ctime_ns) + " " + std::to_string(r.stamp.inode) + " " + r.md5 + " " + rel + "\n";
  os_replacement_file file;
  int err = file.create(signature_cache_path(dest));
  if (!err) err = file.write(text.data(), text.size());
  if (!err) err = file.commit();
  return err;
}
