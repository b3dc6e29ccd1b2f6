#pragma once
// The program's arguments read before start-up: help, version, unknown options, the
// "--option value" form of the options that take a value, and a relative destination.
#include <string>
#include <vector>

struct launch_request {
  enum kind { run, show_usage, show_version, bad_usage };
  kind what = run;
  // The arguments to start with: "--option value" joined into "--option=value", a relative
  // destination made absolute.
  std::vector<std::string> args;
  std::string problem;  // what was wrong, for bad_usage
};

// Reads argv[1..argc-1]; cwd is the current folder, used for a relative destination.
launch_request read_launch_arguments(int argc, const char* const* argv, const std::string& cwd);
// The text of --help; log_folder is where the log of a run goes.
std::string launch_usage(const std::string& log_folder);
// The text of --version.
std::string launch_version();

// Exit status when another installer is already working on the destination.
constexpr int kExitDestinationBusy = 5;
// Exit status of a wrong command line (sysexits' EX_USAGE).
constexpr int kExitBadUsage = 64;
