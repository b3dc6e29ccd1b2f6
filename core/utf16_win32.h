#pragma once
// Text inside the program is UTF-8; every Windows call takes and gives UTF-16. These convert
// between the two. Bytes that are not valid UTF-8 (or lone surrogates) become U+FFFD.
#include <string>

std::wstring to_utf16(const std::string& text);
std::string to_utf8(const std::wstring& text);
// A null-terminated UTF-16 string from the system; null gives an empty string.
std::string to_utf8(const wchar_t* text);
// The path for a W call. Absolute paths get the \\?\ form, which lifts the 260-character limit
// (the program allows up to 499); it takes the path literally, so / becomes \ first.
std::wstring wide_path(const std::string& path);
