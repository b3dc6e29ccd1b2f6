#include "core/utf16_win32.h"

#include <windows.h>

#include <climits>

std::wstring to_utf16(const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
  int len = static_cast<int>(text.size());
  int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), len, nullptr, 0);
  if (wide <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), len, out.data(), wide);
  return out;
}

std::string to_utf8(const std::wstring& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::string();
  int len = static_cast<int>(text.size());
  int narrow = WideCharToMultiByte(CP_UTF8, 0, text.data(), len, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return std::string();
  std::string out(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), len, out.data(), narrow, nullptr, nullptr);
  return out;
}

std::string to_utf8(const wchar_t* text) { return text ? to_utf8(std::wstring(text)) : std::string(); }

std::wstring wide_path(const std::string& path) {
  std::wstring w = to_utf16(path);
  if (w.size() < MAX_PATH - 12) return w;
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';
  if (w.size() >= 3 && w[1] == L':' && w[2] == L'\\') return L"\\\\?\\" + w;
  if (w.size() >= 2 && w[0] == L'\\' && w[1] == L'\\' && w.compare(0, 4, L"\\\\?\\") != 0 &&
      w.compare(0, 4, L"\\\\.\\") != 0)
    return L"\\\\?\\UNC\\" + w.substr(2);
  return w;
}
