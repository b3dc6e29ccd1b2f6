#include "install/signature_cache.h"

#include <charconv>
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
  loaded_for_.clear();
  dirty_ = false;
  std::ifstream in(path_from_utf8(signature_cache_path(dest)), std::ios::binary);
  std::ostringstream whole;
  whole << in.rdbuf();
  const std::string text = whole.str();
  // The first line names the destination, so a cache of another folder is never taken.
  const std::string header = kHeader + dest + "\n";
  if (text.compare(0, header.size(), header) != 0) return;
  // One record a line: size, modification and change times, inode, MD5, then the relative path.
  for (size_t at = header.size(); at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const char* p = text.data() + at;
    const char* const line_end = text.data() + end;
    record r;
    bool ok = true;
    for (uint64_t* field : {&r.stamp.size, &r.stamp.mtime_ns, &r.stamp.ctime_ns, &r.stamp.inode}) {
      auto [next, ec] = std::from_chars(p, line_end, *field);
      ok = ok && ec == std::errc() && next < line_end && *next == ' ';
      if (!ok) break;
      p = next + 1;
    }
    if (ok && line_end - p > 33 && p[32] == ' ') r.md5.assign(p, 32);
    if (!ok || !plain_md5(r.md5)) {
      records_.clear();  // a damaged cache is no cache
      return;
    }
    records_[std::string(p + 33, line_end)] = std::move(r);
    at = end + 1;
  }
  loaded_for_ = dest;
}

std::string signature_cache::lookup(const std::string& rel, const os_file_stamp& stamp) const {
  auto it = records_.find(rel);
  return it != records_.end() && it->second.stamp == stamp ? it->second.md5 : std::string();
}

void signature_cache::remember(const std::string& rel, const os_file_stamp& stamp, const std::string& md5) {
  if (rel.empty() || rel.find('\n') != std::string::npos || !plain_md5(md5)) return;
  record& r = records_[rel];
  if (r.stamp == stamp && r.md5 == md5) return;
  r = {stamp, md5};
  dirty_ = true;
}

void signature_cache::forget(const std::string& rel) {
  if (records_.erase(rel)) dirty_ = true;
}

int signature_cache::save(const std::string& dest) {
  if (!dirty_ && loaded_for_ == dest) return 0;
  std::string text = kHeader + dest + "\n";
  for (const auto& [rel, r] : records_)
    text += std::to_string(r.stamp.size) + " " + std::to_string(r.stamp.mtime_ns) + " " +
            std::to_string(r.stamp.ctime_ns) + " " + std::to_string(r.stamp.inode) + " " + r.md5 + " " + rel + "\n";
  os_replacement_file file;
  int err = file.create(signature_cache_path(dest));
  if (!err) err = file.write(text.data(), text.size());
  if (!err) err = file.commit();
  if (!err) {
    loaded_for_ = dest;
    dirty_ = false;
  }
  return err;
}
