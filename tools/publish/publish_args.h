#pragma once
// The publisher's command line.
#include <string>
#include <vector>

// "--os PATTERN=CODE": files whose path matches PATTERN get the operating-system code CODE.
struct os_rule {
  std::string pattern;
  int code = 0;
};

// "--server HOST[:PORT] PATH DESCRIPTION": one line of the server list.
struct server_entry {
  std::string host;
  std::string path;  // begins and ends with "/"
  std::string description;
};

struct publish_options {
  bool help = false;
  std::string master;    // the release's master folder; its name is the top folder of every path
  std::string name;      // the release name, install_name
  std::string out;       // where the release is written
  std::string previous;  // the directory.txt of the release before, or empty
  int number = -1;       // version number of the new FILE records; -1: taken from the name
  std::vector<os_rule> os_rules;
  std::vector<server_entry> servers;
  std::string new_key;    // --new-key NAME: only make a key pair NAME.secret and NAME.public
  std::string sign_key;   // the secret key file that signs the release, or empty
  long long serial = -1;  // the release's serial number; -1: the time of publishing
  int expires_days = 30;  // days until the signed release expires; 0 or less: already expired
};

// The installer keeps at most this many servers of a list.
constexpr int kMaxServers = 10;

// Fills options from argv; false with a message in error when the command line is not usable.
bool parse_publish_args(int argc, const char* const* argv, publish_options& options, std::string& error);

// The usage text of --help.
std::string publish_usage();

// The operating-system code of a file: the last rule that matches wins, 0 when none does.
// A pattern without "/" is matched against the file's name, any other against its path below
// the top folder.
int os_code_for(const std::vector<os_rule>& rules, const std::string& release_path);

// The version number a release name suggests: the digits of its first word of the form
// digits.digits ("Zephra 8.50" gives 850), else 0.
int number_from_name(const std::string& name);
