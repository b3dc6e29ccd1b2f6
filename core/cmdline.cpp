#include "core/cmdline.h"

#include <cctype>

#include "core/log.h"

UTL_cmdline cmdline;

namespace {
bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
}

void UTL_cmdline::init_win(const char* text) {
  if (!text) return;
  const char* p = text;
  while (*p) {
    while (*p && is_space(*p)) ++p;
    if (!*p) break;
    std::string name, value;
    while (*p && !is_space(*p) && *p != '=') name += *p++;
    if (*p == '=') {
      ++p;
      while (*p && !is_space(*p)) value += *p++;
    }
    if (name.empty()) continue;
    if (options.count(name))
      xer << "WARNING: command line option " << name << "=" << value << "included twice.\n";
    options[name] = value;
    xer << "     '" << name;
    if (!value.empty()) xer << "'='" << value;
    xer << "'\n";
  }
}

int UTL_cmdline::has_option(const char* name) const { return options.count(name) ? 1 : 0; }

std::string UTL_cmdline::option_value(const char* name, const std::string& fallback) const {
  auto it = options.find(name);
  return it == options.end() ? fallback : it->second;
}

std::string cmdline_join(int argc, const char* const* argv) {
  std::string raw;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) raw += ' ';
    raw += argv[i];
  }
  return raw;
}

std::string cmdline_destination(const std::string& raw) {
  // Tokens are split at single spaces so that a folder name with spaces keeps them.
  std::string kept;
  size_t pos = 0;
  while (pos <= raw.size()) {
    size_t end = raw.find(' ', pos);
    if (end == std::string::npos) end = raw.size();
    std::string token = raw.substr(pos, end - pos);
    if (token.rfind("--", 0) != 0) {
      if (!kept.empty() || !token.empty()) kept += (kept.empty() ? "" : " ") + token;
    }
    pos = end + 1;
  }
  size_t b = kept.find_first_not_of(" \t");
  size_t e = kept.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : kept.substr(b, e - b + 1);
}
