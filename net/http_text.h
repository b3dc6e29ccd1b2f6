#pragma once
// Small text rules shared by the HTTP client and its proxy settings: header fields, tokens and
// host names compare in ASCII without regard to case, and values lose their blanks around them.
#include <string>

inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string ascii_lowered(std::string s) {
  for (char& c : s) c = ascii_lower(c);
  return s;
}

// s without the spaces and tabs around it.
inline std::string trim_blanks(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t") + 1 - b);
}
