#include "tools/publish/publish_args.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "tools/publish/publish_names.h"

namespace {

bool parse_int(const std::string& text, long long lo, long long hi, int& out) {
  if (text.empty() || text.size() > 10) return false;
  size_t start = text[0] == '-' ? 1 : 0;
  if (start == text.size() || text.find_first_not_of("0123456789", start) != std::string::npos) return false;
  long long v = std::atoll(text.c_str());
  if (v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

// Takes the value of a single-valued option given as "--opt VALUE" or "--opt=VALUE".
bool take_value(const std::string& arg, const std::string& opt, int argc, const char* const* argv, int& i,
                std::string& target, bool& seen, std::string& error) {
  std::string value;
  if (arg == opt) {
    if (i + 1 >= argc) {
      error = opt + " needs a value.";
      return false;
    }
    value = argv[++i];
  } else {
    value = arg.substr(opt.size() + 1);
  }
  if (seen) {
    error = opt + " is given twice.";
    return false;
  }
  seen = true;
  target = value;
  return true;
}

bool is_option(const std::string& arg, const std::string& opt) {
  return arg == opt || arg.compare(0, opt.size() + 1, opt + "=") == 0;
}

}  // namespace

std::string publish_usage() {
  return "Usage: zephra-publish --master DIR --name NAME --out DIR [--previous FILE] [--number N]\n"
         "                      [--os PATTERN=CODE]... [--server HOST[:PORT] PATH DESCRIPTION]...\n"
         "                      [--sign-key FILE [--serial N] [--expires DAYS]]\n"
         "       zephra-publish --new-key NAME\n"
         "\n"
         "Publishes the release in the master folder DIR (its name becomes the top folder of every\n"
         "path) under the release name NAME. Into the output folder go serverlist.txt and the folder\n"
         "NAME, which holds directory.txt, directory.txt.zip and one zip per file.\n"
         "\n"
         "  --previous FILE  the directory.txt of the release before; its histories are kept\n"
         "  --number N       version number written into the new FILE records\n"
         "                   (default: from the name, \"Zephra 8.50\" gives 850)\n"
         "  --os PATTERN=CODE  operating-system code of the matching files (default 0, all):\n"
         "                   0 all, 1 Macintosh, 2 Windows, 3 Linux Generic x86, 4 Linux Pentium 3,\n"
         "                   5 Linux Athlon XP, 6 any Linux. '*' and '?' match within a name, '**'\n"
         "                   across folders. A pattern without '/' is matched against the file name,\n"
         "                   any other against the path below the top folder. The last match wins.\n"
         "  --server HOST[:PORT] PATH DESCRIPTION\n"
         "                   a download server of the list: the release lies on HOST under PATH,\n"
         "                   in the folder NAME. At most 10.\n"
         "  --sign-key FILE  signs the release with this secret key: beside serverlist.txt and\n"
         "                   directory.txt.zip go their signatures (.sig), and beside the directory\n"
         "                   release.txt with its own, which installers built with the public key check\n"
         "  --serial N       the release's serial number (default: the time now, in Unix seconds);\n"
         "                   installers never go back to a lower one\n"
         "  --expires DAYS   the signed release may be installed for this many days (default 30)\n"
         "  --new-key NAME   makes a key pair: NAME.secret (keep it off the mirrors) and NAME.public,\n"
         "                   the text an installer is built with (ZEPHRA_RELEASE_KEYS)\n"
         "  --help           this text\n";
}

bool parse_publish_args(int argc, const char* const* argv, publish_options& options, std::string& error) {
  bool seen_master = false, seen_name = false, seen_out = false, seen_previous = false, seen_number = false;
  bool seen_new_key = false, seen_sign_key = false, seen_serial = false, seen_expires = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string number_text;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    } else if (is_option(arg, "--master")) {
      if (!take_value(arg, "--master", argc, argv, i, options.master, seen_master, error)) return false;
    } else if (is_option(arg, "--name")) {
      if (!take_value(arg, "--name", argc, argv, i, options.name, seen_name, error)) return false;
    } else if (is_option(arg, "--out")) {
      if (!take_value(arg, "--out", argc, argv, i, options.out, seen_out, error)) return false;
    } else if (is_option(arg, "--previous")) {
      if (!take_value(arg, "--previous", argc, argv, i, options.previous, seen_previous, error)) return false;
      if (options.previous.empty()) {
        error = "--previous needs a file.";
        return false;
      }
    } else if (is_option(arg, "--number")) {
      if (!take_value(arg, "--number", argc, argv, i, number_text, seen_number, error)) return false;
      if (!parse_int(number_text, 0, INT_MAX, options.number)) {
        error = "--number wants a whole number from 0 up, not '" + number_text + "'.";
        return false;
      }
    } else if (is_option(arg, "--new-key")) {
      if (!take_value(arg, "--new-key", argc, argv, i, options.new_key, seen_new_key, error)) return false;
      if (options.new_key.empty()) {
        error = "--new-key needs a name.";
        return false;
      }
    } else if (is_option(arg, "--sign-key")) {
      if (!take_value(arg, "--sign-key", argc, argv, i, options.sign_key, seen_sign_key, error)) return false;
      if (options.sign_key.empty()) {
        error = "--sign-key needs a file.";
        return false;
      }
    } else if (is_option(arg, "--serial")) {
      if (!take_value(arg, "--serial", argc, argv, i, number_text, seen_serial, error)) return false;
      if (number_text.empty() || number_text.size() > 18 || number_text.find_first_not_of("0123456789") != std::string::npos) {
        error = "--serial wants a whole number from 0 up, not '" + number_text + "'.";
        return false;
      }
      options.serial = std::atoll(number_text.c_str());
    } else if (is_option(arg, "--expires")) {
      if (!take_value(arg, "--expires", argc, argv, i, number_text, seen_expires, error)) return false;
      if (!parse_int(number_text, -36500, 36500, options.expires_days)) {
        error = "--expires wants a number of days, not '" + number_text + "'.";
        return false;
      }
    } else if (is_option(arg, "--os")) {
      std::string rule_text;
      bool once = false;
      if (!take_value(arg, "--os", argc, argv, i, rule_text, once, error)) return false;
      size_t eq = rule_text.rfind('=');
      os_rule rule;
      if (eq == std::string::npos || eq == 0 || !parse_int(rule_text.substr(eq + 1), 0, 6, rule.code)) {
        error = "--os wants PATTERN=CODE with a code from 0 to 6, not '" + rule_text + "'.";
        return false;
      }
      rule.pattern = rule_text.substr(0, eq);
      if (rule.pattern[0] == '/') rule.pattern.erase(0, 1);
      options.os_rules.push_back(rule);
    } else if (arg == "--server") {
      if (i + 3 >= argc) {
        error = "--server needs three values: HOST[:PORT] PATH DESCRIPTION.";
        return false;
      }
      server_entry server{argv[i + 1], argv[i + 2], argv[i + 3]};
      i += 3;
      std::string problem;
      if (!(problem = server_host_problem(server.host)).empty()) {
        error = "The server host '" + server.host + "' won't do: " + problem + ".";
        return false;
      }
      if (!(problem = server_path_problem(server.path)).empty()) {
        error = "The server path '" + server.path + "' won't do: " + problem + ".";
        return false;
      }
      if (!(problem = server_description_problem(server.description)).empty()) {
        error = "The description of server " + server.host + " won't do: " + problem + ".";
        return false;
      }
      options.servers.push_back(server);
      if (options.servers.size() > static_cast<size_t>(kMaxServers)) {
        error = "The installer reads at most 10 servers of a list; I got more.";
        return false;
      }
    } else {
      error = "I don't know the option '" + arg + "'.";
      return false;
    }
  }
  if (seen_new_key) {
    if (argc != 3 && argc != 2) {
      error = "--new-key goes alone: it only makes a key pair.";
      return false;
    }
    return true;
  }
  if ((seen_serial || seen_expires) && !seen_sign_key) {
    error = "--serial and --expires go into the signed release: give --sign-key too.";
    return false;
  }
  if (!seen_master || !seen_name || !seen_out) {
    error = std::string("I need ") + (!seen_master ? "--master" : !seen_name ? "--name" : "--out") + ".";
    return false;
  }
  if (options.master.empty() || options.out.empty()) {
    error = "--master and --out need a folder.";
    return false;
  }
  std::string problem = release_name_problem(options.name);
  if (!problem.empty()) {
    error = "The release name '" + options.name + "' won't do: " + problem + ".";
    return false;
  }
  if (options.number < 0) options.number = number_from_name(options.name);
  return true;
}

int os_code_for(const std::vector<os_rule>& rules, const std::string& release_path) {
  size_t slash = release_path.rfind('/');
  std::string file_name = slash == std::string::npos ? release_path : release_path.substr(slash + 1);
  int code = 0;
  for (const os_rule& rule : rules) {
    bool whole_path = rule.pattern.find('/') != std::string::npos;
    if (glob_match(rule.pattern, whole_path ? release_path : file_name)) code = rule.code;
  }
  return code;
}

int number_from_name(const std::string& name) {
  std::istringstream words(name);
  std::string word;
  while (words >> word) {
    size_t dot = word.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == word.size()) continue;
    std::string digits = word.substr(0, dot) + word.substr(dot + 1);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    return std::atoi(digits.c_str());
  }
  return 0;
}
