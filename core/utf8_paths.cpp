#include "core/utf8_paths.h"

#include <cstring>

std::filesystem::path path_from_utf8(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string utf8_from_path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::FILE* fopen_utf8(const std::string& path, const char* mode) {
#ifdef _WIN32
  // The wide form of the name; the mode is plain ASCII.
  return _wfopen(path_from_utf8(path).c_str(), std::wstring(mode, mode + std::strlen(mode)).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}
