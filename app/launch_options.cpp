#include "app/launch_options.h"

#include <algorithm>
#include <array>

#include "core/app_state.h"
#include "files/os_path.h"

namespace {
constexpr std::array<const char*, 4> kValueOptions = {"--modified", "--give_up_after", "--vendor_host", "--seed"};
constexpr std::array<const char*, 6> kSwitches = {"--unattended", "--accept_eula", "--verify",
                                                  "--use_vbos",   "--no_vbos",     "--no_sprites"};

bool listed(const auto& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

// Whether a folder is given from a root of its own: / on Linux; on Windows a drive (C:\ or C:/),
// the current drive's root or a network share (\\server\share).
bool names_its_root(const std::string& path) {
#ifdef _WIN32
  return (path.size() >= 2 && path[1] == ':') || path[0] == '\\' || path[0] == '/';
#else
  return path[0] == '/';
#endif
}

}  // namespace

launch_request read_launch_arguments(int argc, const char* const* argv, const std::string& cwd) {
  launch_request request;
  bool destination_seen = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return {launch_request::show_usage, {}, ""};
    if (arg == "--version") return {launch_request::show_version, {}, ""};
    if (arg.rfind("--", 0) == 0) {
      std::string name = arg.substr(0, arg.find('='));
      if (listed(kValueOptions, name)) {
        if (name == arg) {
          if (i + 1 >= argc) return {launch_request::bad_usage, {}, name + " needs a value"};
          arg += "=" + std::string(argv[++i]);
        }
      } else if (!listed(kSwitches, name) || name != arg) {
        return {launch_request::bad_usage, {}, "I don't know the option " + arg};
      }
      request.args.push_back(arg);
      continue;
    }
    // The first word of the destination: a relative folder means one below the current folder.
    if (!destination_seen && !arg.empty() && !names_its_root(arg) && !cwd.empty())
      arg = cwd + (cwd.back() == kPathSep ? "" : std::string(1, kPathSep)) + arg;
    destination_seen |= !arg.empty();
    request.args.push_back(arg);
  }
  return request;
}

std::string launch_usage(const std::string& log_folder) {
  return "Usage: zephra-installer [OPTION]... [DESTINATION]\n"
         "Brings the Zephra folder DESTINATION up to date with the release the vendor publishes,\n"
         "or installs Zephra there. Without DESTINATION I use the folder chosen last time, or a new\n"
         "folder in your home folder.\n"
         "\n"
         "  --unattended               run without a window, printing progress (also without a display)\n"
         "  --accept_eula              accept the licence agreement (needed to install unattended)\n"
         "  --modified=ANSWER          files you changed: keep (default), overwrite, or cancel\n"
         "  --give_up_after=SECONDS    give up when nothing is installed for this long (default 300)\n"
         "  --vendor_host=HOST[:PORT]  fetch the server list from this host\n"
         "  --seed=N                   draw the mirrors in a repeatable order (for tests)\n"
         "  --verify                   read every file, even those that look unchanged since the last run\n"
         "  --no_vbos, --no_sprites, --use_vbos\n"
         "                             graphics switches for drivers that need them\n"
         "  -h, --help                 show this text\n"
         "  --version                  show the version\n"
         "\n"
         "Exit status: 0 installed or already up to date, 1 failed or cancelled, 2 the agreement was\n"
         "not accepted, 3 gave up waiting, 4 no server offered a release signed by the vendor,\n"
         "5 another installer is already working on the destination, 64 a wrong command line.\n"
         "\n"
         "Each run writes its log to " + log_folder + "Log.txt; the previous run's log is kept as\n"
         "Log.old.txt beside it.\n";
}

std::string launch_version() {
  return std::string(kVersionLabel) + " - Installer/Updater build " + std::to_string(kBuildNumber) + "\n";
}
