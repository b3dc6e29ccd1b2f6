#pragma once
// Conversion of internal paths (":", "/" and "\" all separate) into the system's form.
#include <cstddef>
#include <string>

// The operating system's path separator.
#ifdef _WIN32
constexpr char kPathSep = '\\';
#else
constexpr char kPathSep = '/';
#endif

// Longest path the system handles; longer ones end the program with "String too long!".
constexpr int kMaxOsPath = 499;

// Turns every separator of path into kPathSep, in place.
void make_os_path(std::string& path);
// True for any of the separators internal paths accept.
inline bool is_path_sep(char c) { return c == '\\' || c == ':' || c == '/'; }

// Position just after the last separator of path; 0 when it has none.
inline size_t after_last_sep(const std::string& path) {
  size_t i = path.size();
  while (i > 0 && !is_path_sep(path[i - 1])) --i;
  return i;
}
// The folder of a path, with its separator; empty when it has none.
inline std::string folder_of(const std::string& path) { return path.substr(0, after_last_sep(path)); }
