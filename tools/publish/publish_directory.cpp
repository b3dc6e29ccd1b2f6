#include "tools/publish/publish_directory.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "files/os_path.h"
#include "files/xmap.h"

namespace {

const char kGone[] = "GONE";

int clamp(int value, int lo, int hi) { return std::min(std::max(value, lo), hi); }

// Release paths are always written with "/".
std::string release_folder_of(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }
std::string name_of(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Where a record splits its path into the DIR folder and the FILE name. The reader drops blanks
// at the start of the name, so a name that begins with one (possible in an older directory) is
// written together with its folder.
size_t record_split(const std::string& path) {
  size_t slash = path.rfind('/');
  while (slash != std::string::npos && slash > 0 && (path[slash + 1] == ' ' || path[slash + 1] == '\t'))
    slash = path.rfind('/', slash - 1);
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

int64_t whole_kb(uint64_t bytes) { return static_cast<int64_t>((bytes + 999) / 1000); }

std::string path_below_top(const std::string& path) {
  size_t slash = path.find('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool read_previous_directory(const std::string& file, std::vector<pub_history>& histories,
                             std::vector<std::string>& notes, std::string& error) {
  histories.clear();
  std::error_code ec;
  if (file.size() > static_cast<size_t>(kMaxOsPath)) {
    error = "The path of the previous directory file is longer than " + std::to_string(kMaxOsPath) +
            " characters; I can't open it.";
    return false;
  }
  if (!std::filesystem::is_regular_file(file, ec)) {
    error = "I can't find the previous directory file " + file + ".";
    return false;
  }
  xmap_class map(file);
  if (!map.mBegin || map.mBegin == map.mEnd) {
    error = "The previous directory file " + file + " is empty, or I can't read it.";
    return false;
  }
  static const int versions[] = {810, 840, 0};
  if (!map.check_file(10001, versions, "INSTALLER", nullptr)) {
    error = "The previous directory file " + file +
            " is not one I can read: it must begin with the lines I, 810 or 840, and INSTALLER.";
    return false;
  }

  // Records as the installer reads them: consecutive FILE records of one path are one history.
  std::vector<pub_history> raw;
  std::string folder;
  while (map.mCrt < map.mEnd) {
    if (map.TXT_str_scan_match("DIR", 0)) {
      map.TXT_str_scan_eoln(&folder);
      continue;
    }
    if (!map.TXT_str_scan_match("FILE", 0)) {
      map.TXT_str_scan_eoln(nullptr);
      continue;
    }
    pub_version v;
    v.use_type = clamp(map.TXT_int_scan(), 0, 1);
    v.os_type = clamp(map.TXT_int_scan(), 0, 6);
    v.version_num = map.TXT_int_scan();
    v.down_kb = map.TXT_int_scan();
    v.disk_kb = map.TXT_int_scan();
    std::string relative;
    map.TXT_str_scan_space(&v.sig);
    map.TXT_str_scan_eoln(&relative);
    std::string path = folder + relative;
    for (char& c : path)
      if (is_path_sep(c)) c = '/';
    if (path.empty() || path.back() == '/') {
      error = "The previous directory file " + file + " lists a path without a file name ('" + path +
              "'); the installer stops at it, so I won't build on it.";
      return false;
    }
    if (path.size() > static_cast<size_t>(kMaxOsPath)) {
      error = "The previous directory file " + file + " lists a path longer than " + std::to_string(kMaxOsPath) +
              " characters; the installer stops at it, so I won't build on it.";
      return false;
    }
    if (raw.empty() || raw.back().path != path) raw.push_back({path, {}});
    raw.back().versions.push_back(v);
  }

  // One history per place below the top folder, which is where the installer puts the file.
  std::map<std::string, size_t> index;
  std::set<std::string> noted;
  for (pub_history& h : raw) {
    std::string key = path_below_top(h.path);
    auto found = index.find(key);
    if (found == index.end()) {
      index.emplace(key, histories.size());
      histories.push_back(std::move(h));
      continue;
    }
    auto& into = histories[found->second].versions;
    into.insert(into.end(), h.versions.begin(), h.versions.end());
    if (noted.insert(key).second)
      notes.push_back("The previous directory lists " + key +
                      " in more than one place; I joined its versions in the order they appear.");
  }
  return true;
}

std::vector<pub_history> merge_release(const std::vector<pub_history>& previous,
                                       const std::vector<current_file>& current, const std::string& top_folder,
                                       int version_num, merge_counts& counts) {
  counts = merge_counts{};
  std::map<std::string, pub_history> by_key;
  for (const pub_history& h : previous) {
    std::string key = path_below_top(h.path);
    pub_history moved = h;
    moved.path = top_folder + "/" + key;
    by_key.emplace(key, std::move(moved));
  }
  std::set<std::string> present;
  for (const current_file& f : current) {
    std::string key = path_below_top(f.path);
    present.insert(key);
    pub_version v{0, f.os_type, version_num, f.down_kb, f.disk_kb, f.sig};
    auto found = by_key.find(key);
    if (found == by_key.end()) {
      by_key.emplace(key, pub_history{f.path, {v}});
      ++counts.added;
      continue;
    }
    auto& versions = found->second.versions;
    const pub_version& last = versions.back();
    if (last.sig == f.sig && last.os_type == f.os_type) {
      ++counts.unchanged;
      continue;
    }
    v.use_type = last.use_type;
    versions.push_back(v);
    ++counts.changed;
  }
  for (auto& [key, h] : by_key) {
    if (present.count(key)) continue;
    const pub_version last = h.versions.back();
    if (last.sig == kGone) continue;
    h.versions.push_back(pub_version{last.use_type, last.os_type, version_num, 0, 0, kGone});
    ++counts.removed;
  }

  std::vector<pub_history> out;
  out.reserve(by_key.size());
  for (auto& entry : by_key) out.push_back(std::move(entry.second));
  std::sort(out.begin(), out.end(), [](const pub_history& a, const pub_history& b) {
    std::string fa = release_folder_of(a.path), fb = release_folder_of(b.path);
    return fa != fb ? fa < fb : name_of(a.path) < name_of(b.path);
  });
  return out;
}

std::string directory_text(const std::vector<pub_history>& histories) {
  std::string text = "I\n" + std::to_string(kDirectoryVersion) + " version\nINSTALLER\n";
  std::string folder;
  bool first = true;
  for (const pub_history& h : histories) {
    size_t split = record_split(h.path);
    std::string this_folder = h.path.substr(0, split);
    if (first || this_folder != folder) {
      text += "DIR " + this_folder + "\n";
      folder = this_folder;
      first = false;
    }
    for (const pub_version& v : h.versions)
      text += "FILE " + std::to_string(v.use_type) + " " + std::to_string(v.os_type) + " " +
              std::to_string(v.version_num) + " " + std::to_string(v.down_kb) + " " + std::to_string(v.disk_kb) +
              " " + v.sig + " " + h.path.substr(split) + "\n";
  }
  return text;
}
