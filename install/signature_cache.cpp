#include "install/signature_cache.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/utf8_paths.h"
#include "install/destination.h"

signature_cache sig_cache;
bool verify_every_file = false;

namespace {
constexpr const char* kHeader = "ZEPHRA-SIGNATURES 1 ";

bool plain_md5(const std::string& s) {
  if (s.size() != 32) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}
}  // namespace

std::string signature_cache_path(const std::string& dest) { return destination_record_path(dest, "signatures"); }

void signature_cache::load(const std::string& dest) {
  records_.clear();
  std::ifstream in(path_from_utf8(signature_cache_path(dest)), std::ios::binary);
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
