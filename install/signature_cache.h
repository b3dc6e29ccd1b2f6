#pragma once
// The signatures of a destination's files remembered between runs, so that a file whose size,
// times and inode are as they were need not be read again. The cache is only advice: a missing,
// damaged or foreign one means hashing, and it never decides that the user changed a file.
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

#include "files/os_files.h"

class signature_cache {
 public:
  // Reads the cache kept for the destination folder dest; empty when there is none, when it is not
  // this destination's, or when it is larger than max_records records could make it.
  void load(const std::string& dest, size_t max_records);
  // The remembered MD5 of the file at relative path rel when stamp is the one it was taken with,
  // else empty.
  std::string lookup(const std::string& rel, const os_file_stamp& stamp) const;
  void remember(const std::string& rel, const os_file_stamp& stamp, const std::string& md5);
  void forget(const std::string& rel);
  // Forgets every file that was neither remembered nor forgotten since the cache was loaded: after
  // an examination, the files the release no longer lists.
  void forget_unseen();
  void clear() {
    if (!records_.empty()) dirty_ = true;
    records_.clear();
    added_paths_.clear();
  }
  size_t size() const { return records_.size(); }
  // Writes the cache for dest beside its old one and renames it over; 0 or the system's error.
  // A cache unchanged since it was loaded for dest is not written again.
  int save(const std::string& dest);

 private:
  struct record {
    os_file_stamp stamp;
    std::array<char, 32> md5;
    bool seen = false;  // remembered since the cache was loaded
  };
  // Keyed by relative path. The paths of a loaded cache stay in text_, those remembered since in
  // added_paths_: a tree of many thousand files then costs no allocation per path.
  std::unordered_map<std::string_view, record> records_;
  std::string text_;
  std::deque<std::string> added_paths_;
  std::string loaded_for_;  // the destination whose file holds exactly records_, if any
  bool dirty_ = false;
};
extern signature_cache sig_cache;

// Where the cache of destination dest lives: a file in the preference folder named for it.
std::string signature_cache_path(const std::string& dest);
// Removes the caches of destinations that no longer exist; the number removed.
int forget_caches_of_gone_destinations();

// Hash every file at examination whatever the cache says (--verify, or the preference box).
extern bool verify_every_file;
