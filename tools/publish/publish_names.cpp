#include "tools/publish/publish_names.h"

#include <cstdlib>

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// The characters that would be read as something else on the way to the user: the installer
// takes "\" and ":" as folder separators, and installers before percent-encoding sent "%", "?"
// and "#" as they are, where a web server reads them as an escape, a query and a fragment.
std::string bad_character_problem(const std::string& text) {
  for (char c : text) {
    if (is_control(c)) return "it holds a control character";
    if (c == '\\' || c == ':') return std::string("it holds a '") + c + "', which the installer takes for a folder separator";
    if (c == '%' || c == '?' || c == '#')
      return std::string("it holds a '") + c + "', which a download address cannot carry as it is";
  }
  return {};
}

bool glob_match_at(const char* p, const char* t) {
  for (;;) {
    if (*p == '\0') return *t == '\0';
    if (p[0] == '*' && p[1] == '*') {
      const char* rest = p + 2;
      if (*rest == '/' && glob_match_at(rest + 1, t)) return true;  // "**/" over no folder
      for (const char* s = t;; ++s) {
        if (glob_match_at(rest, s)) return true;
        if (*s == '\0') return false;
      }
    }
    if (*p == '*') {
      for (const char* s = t;; ++s) {
        if (glob_match_at(p + 1, s)) return true;
        if (*s == '\0' || *s == '/') return false;
      }
    }
    if (*t == '\0') return false;
    if (*p == '?') {
      if (*t == '/') return false;
    } else if (*p != *t) {
      return false;
    }
    ++p;
    ++t;
  }
}

}  // namespace

std::string path_component_problem(const std::string& name) {
  if (name.empty()) return "it is empty";
  if (name == "." || name == "..") return "it names no folder of its own";
  if (is_blank(name[0])) return "it begins with a blank, which the installer drops";
  return bad_character_problem(name);
}

std::string file_name_problem(const std::string& name) {
  std::string problem = path_component_problem(name);
  if (problem.empty() && name.compare(0, 8, "__MACOSX") == 0)
    problem = "it begins with __MACOSX, and the installer skips such names when it unpacks";
  return problem;
}

std::string release_name_problem(const std::string& name) {
  if (name.find('/') != std::string::npos) return "it holds a '/'";
  std::string problem = path_component_problem(name);
  if (!problem.empty()) return problem;
  if (is_blank(name.back())) return "it ends with a blank";
  if (name == "serverlist.txt") return "the server list itself has that name";
  return {};
}

std::string server_host_problem(const std::string& host) {
  if (host.empty()) return "it is empty";
  std::string name = host;
  size_t colon = host.find(':');
  if (colon != std::string::npos) {
    name = host.substr(0, colon);
    std::string port = host.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::atoi(port.c_str()) < 1 || std::atoi(port.c_str()) > 65535)
      return "its port must be a number from 1 to 65535";
  }
  if (name.empty()) return "it has a port but no host";
  for (char c : name) {
    if (is_control(c) || is_blank(c)) return "it holds a blank or a control character";
    if (c == '/' || c == '\\' || c == ':' || c == '%' || c == '?' || c == '#' || c == '@')
      return std::string("it holds a '") + c + "'";
  }
  return {};
}

std::string server_path_problem(std::string& path) {
  if (path.empty() || path[0] != '/') return "it must begin with '/'";
  std::string problem = bad_character_problem(path);
  if (!problem.empty()) return problem;
  if (path.back() != '/') path += '/';
  if (path.find("/./") != std::string::npos || path.find("/../") != std::string::npos)
    return "it holds a '.' or '..' folder";
  return {};
}

std::string server_description_problem(std::string& description) {
  size_t first = description.find_first_not_of(" \t");
  if (first == std::string::npos) return "it is empty";
  size_t last = description.find_last_not_of(" \t");
  description = description.substr(first, last - first + 1);
  for (char c : description)
    if (is_control(c)) return "it holds a control character";
  return {};
}

bool glob_match(const std::string& pattern, const std::string& path) {
  return glob_match_at(pattern.c_str(), path.c_str());
}
