#pragma once
// The directory file as the publisher builds it: the histories of the release before, the files
// of the new release, and the text of directory.txt.
#include <cstdint>
#include <string>
#include <vector>

// The format version written on the second line of directory.txt.
constexpr int kDirectoryVersion = 840;

// One FILE record.
struct pub_version {
  int use_type = 0;
  int os_type = 0;
  int version_num = 0;
  int64_t down_kb = 0;  // size of the file's zip, whole kilobytes of 1000 bytes rounded up
  int64_t disk_kb = 0;  // size of the file itself, likewise
  std::string sig;      // 32 lowercase hex digits, or "GONE"
};

// Every version of one file, the current one last.
struct pub_history {
  std::string path;  // "/"-separated, the top folder first
  std::vector<pub_version> versions;
};

// A file of the new release, after its zip has been written.
struct current_file {
  std::string path;  // "/"-separated, the top folder first
  int os_type = 0;
  std::string sig;
  int64_t down_kb = 0;
  int64_t disk_kb = 0;
};

struct merge_counts {
  int unchanged = 0;
  int changed = 0;  // also files that come back after being removed
  int added = 0;
  int removed = 0;
};

// Kilobytes of 1000 bytes, rounded up.
int64_t whole_kb(uint64_t bytes);

// A path without its first component, the top folder (unchanged when it has none): where the
// installer puts the file below its destination folder.
std::string path_below_top(const std::string& path);

// Reads a directory.txt the way the installer does. Paths get "/" separators. Histories whose
// paths agree below the top folder are joined (notes say so). False with a message in error
// when the file is missing, has another header, or holds a record the installer stops at.
bool read_previous_directory(const std::string& file, std::vector<pub_history>& histories,
                             std::vector<std::string>& notes, std::string& error);

// The histories of the new release: the previous ones under the new top folder, a new version
// for every file whose signature or system changed, a "GONE" version for every file no longer
// there; sorted by folder, then name.
std::vector<pub_history> merge_release(const std::vector<pub_history>& previous,
                                       const std::vector<current_file>& current, const std::string& top_folder,
                                       int version_num, merge_counts& counts);

// The text of directory.txt.
std::string directory_text(const std::vector<pub_history>& histories);
