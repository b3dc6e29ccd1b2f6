#include "core/utf16_win32.h"

#include <windows.h>

#include <climits>
#include <cwchar>

namespace {

std::string narrow(const wchar_t* text, size_t size) {
  if (size == 0 || size > static_cast<size_t>(INT_MAX)) return std::string();
  int len = static_cast<int>(size);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, len, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, len, out.data(), bytes, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring to_utf16(const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
  int len = static_cast<int>(text.size());
  int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), len, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), len, out.data(), units);
  return out;
}

std::string to_utf8(const std::wstring& text) { return narrow(text.data(), text.size()); }

std::string to_utf8(const wchar_t* text) { return text ? narrow(text, std::wcslen(text)) : std::string(); }
