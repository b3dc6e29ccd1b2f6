#pragma once
// Options from the command line, tested by name.
#include <map>
#include <string>

class UTL_cmdline {
 public:
  std::map<std::string, std::string> options;
  void init_win(const char* cmdline);
  int has_option(const char* name) const;
  // The value of an option, or fallback when it is absent.
  std::string option_value(const char* name, const std::string& fallback = "") const;
};

extern UTL_cmdline cmdline;

// The raw command line: the program's arguments joined by single spaces.
std::string cmdline_join(int argc, const char* const* argv);
// The destination named on the command line: the raw line without its "--" tokens, trimmed.
std::string cmdline_destination(const std::string& raw);
