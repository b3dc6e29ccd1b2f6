#include "install/signature_cache.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "core/utf8_paths.h"
#include "files/os_path.h"
#include "install/destination.h"

signature_cache sig_cache;
bool verify_every_file = false;

namespace {
constexpr const char* kHeader = "ZEPHRA-SIGNATURES 1 ";
constexpr size_t kHeaderRoom = 64 + kMaxOsPath;
constexpr size_t kRecordRoom = 5 * 21 + 34 + kMaxOsPath;

bool plain_md5(std::string_view s) {
  if (s.size() != 32) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}
}  // namespace

std::string signature_cache_path(const std::string& dest) { return destination_record_path(dest, "signatures"); }

int forget_caches_of_gone_destinations() {
  std::string folder;
  get_OS_abs_path(os_dir_prefs, folder);
  const std::string stem = destination_record_stem("signatures");
  int removed = 0;
  os_folder_reader reader;
  if (!reader.open(folder)) return 0;
  std::string name;
  bool is_folder = false;
  while (reader.next(name, is_folder)) {
    if (is_folder || name.compare(0, stem.size(), stem) != 0 || !name.ends_with(".txt")) continue;
    // Only the first line is read: it names the destination the cache is for.
    std::FILE* in = fopen_utf8(folder + name, "rb");
    if (!in) continue;
    char line[kHeaderRoom];
    const bool read = std::fgets(line, sizeof line, in) != nullptr;
    std::fclose(in);
    std::string header = read ? line : "";
    if (header.compare(0, std::char_traits<char>::length(kHeader), kHeader) != 0 || header.back() != '\n') continue;
    std::string dest = header.substr(std::char_traits<char>::length(kHeader));
    dest.pop_back();
    if (dest.empty() || os_is_folder(dest)) continue;
    if (os_delete_file(folder + name) == 0) ++removed;
  }
  return removed;
}

void signature_cache::load(const std::string& dest, size_t max_records) {
  records_.clear();
  added_paths_.clear();
  text_.clear();
  loaded_for_.clear();
  dirty_ = false;
  if (std::FILE* in = fopen_utf8(signature_cache_path(dest), "rb")) {
    // One read into a string of the file's size: the cache of a large tree is megabytes.
    long size = std::fseek(in, 0, SEEK_END) == 0 ? std::ftell(in) : -1;
    // Each record is a line of five numbers and a path: a file longer than the catalogue's share
    // of those is no cache of this release, and is not read into memory.
    const size_t bound = kHeaderRoom + max_records * kRecordRoom;
    if (size > 0 && static_cast<size_t>(size) <= bound && std::fseek(in, 0, SEEK_SET) == 0) {
      text_.resize(static_cast<size_t>(size));
      text_.resize(std::fread(text_.data(), 1, text_.size(), in));
    }
    std::fclose(in);
  }
  const std::string& text = text_;
  // The first line names the destination, so a cache of another folder is never taken.
  const std::string header = kHeader + dest + "\n";
  if (text.compare(0, header.size(), header) != 0) return;
  records_.reserve(static_cast<size_t>(std::count(text.begin() + header.size(), text.end(), '\n')) + 1);
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
    if (!ok || line_end - p <= 33 || p[32] != ' ' || !plain_md5(std::string_view(p, 32))) {
      records_.clear();  // a damaged cache is no cache
      return;
    }
    std::copy(p, p + 32, r.md5.begin());
    records_[std::string_view(p + 33, static_cast<size_t>(line_end - (p + 33)))] = r;
    at = end + 1;
  }
  loaded_for_ = dest;
}

std::string signature_cache::lookup(const std::string& rel, const os_file_stamp& stamp) const {
  auto it = records_.find(rel);
  return it != records_.end() && it->second.stamp == stamp ? std::string(it->second.md5.data(), 32) : std::string();
}

void signature_cache::remember(const std::string& rel, const os_file_stamp& stamp, const std::string& md5) {
  if (rel.empty() || rel.find('\n') != std::string::npos || !plain_md5(md5)) return;
  auto it = records_.find(rel);
  if (it == records_.end()) it = records_.emplace(added_paths_.emplace_back(rel), record{}).first;
  record& r = it->second;
  r.seen = true;
  if (r.stamp == stamp && std::equal(r.md5.begin(), r.md5.end(), md5.begin())) return;
  r.stamp = stamp;
  std::copy(md5.begin(), md5.end(), r.md5.begin());
  dirty_ = true;
}

void signature_cache::forget(const std::string& rel) {
  if (records_.erase(rel)) dirty_ = true;
}

void signature_cache::forget_unseen() {
  for (auto it = records_.begin(); it != records_.end();) {
    if (it->second.seen) {
      it->second.seen = false;
      ++it;
    } else {
      it = records_.erase(it);
      dirty_ = true;
    }
  }
}

int signature_cache::save(const std::string& dest) {
  if (!dirty_ && loaded_for_ == dest) return 0;
  std::string text = kHeader + dest + "\n";
  for (const auto& [rel, r] : records_) {
    text += std::to_string(r.stamp.size) + " " + std::to_string(r.stamp.mtime_ns) + " " +
            std::to_string(r.stamp.ctime_ns) + " " + std::to_string(r.stamp.inode) + " ";
    text.append(r.md5.data(), r.md5.size()).append(" ").append(rel).append("\n");
  }
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
