#pragma once
// File names are UTF-8 inside the program. These open files by such a name on every system: on
// Windows the C library and the standard streams would read the bytes in the local code page.
#include <cstdio>
#include <filesystem>
#include <string>

// The standard library's form of a UTF-8 path, for streams and std::filesystem.
std::filesystem::path path_from_utf8(const std::string& path);
std::string utf8_from_path(const std::filesystem::path& path);
// std::fopen of a UTF-8 path.
std::FILE* fopen_utf8(const std::string& path, const char* mode);
