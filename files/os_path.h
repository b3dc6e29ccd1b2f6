#pragma once
// Conversion of internal paths (":", "/" and "\" all separate) into the system's form.
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
