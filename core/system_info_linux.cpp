#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/own_files.h"
#include "core/system_info.h"

namespace {

std::string with_trailing_slash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string run_temp_folder;  // made once per run, removed at the normal finish-up

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  size_t e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

constexpr const char* kRunTempPrefix = "zephra-installer-";

// Removes the temporary folders of earlier runs that were killed: ours by name and owner, made by
// a process that no longer exists.
void remove_dead_runs_temp_folders(const std::string& base) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(kRunTempPrefix, 0) != 0) continue;
    std::string rest = name.substr(std::char_traits<char>::length(kRunTempPrefix));
    size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.size() - dash - 1 != 6) continue;
    if (rest.find_first_not_of("0123456789") != dash) continue;
    long pid = std::strtol(rest.c_str(), nullptr, 10);
    struct stat st;
    if (lstat(entry.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) continue;
    if (pid <= 0 || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    remove_own_tree(entry.path().string());
  }
}

}  // namespace

std::string system_os_line() {
  utsname u{};
  if (uname(&u) != 0) return "Linux (build unknown) ";
  return std::string("Linux ") + u.release + " (build " + u.version + "/" + u.machine + ") ";
}

std::string system_cpu_type() {
  utsname u{};
  return uname(&u) == 0 ? u.machine : "unknown";
}

unsigned long long system_physical_memory() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(page_size);
}

std::vector<std::string> system_cpu_lines() {
  // One block per processor in /proc/cpuinfo; a processor lacking either field is left out.
  std::vector<std::string> lines;
  std::ifstream in("/proc/cpuinfo");
  std::string line, model, mhz;
  bool in_block = false;
  auto finish = [&]() {
    if (in_block && !model.empty() && !mhz.empty()) lines.push_back("CPU 0: " + model + "  Speed (mhz): " + mhz);
    model.clear();
    mhz.clear();
    in_block = false;
  };
  while (std::getline(in, line)) {
    if (trim(line).empty()) {
      finish();
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = trim(line.substr(0, colon));
    std::string value = trim(line.substr(colon + 1));
    if (key == "processor") in_block = true;
    if (key == "model name") model = value;
    if (key == "cpu MHz") mhz = value;
  }
  finish();
  return lines;
}

std::string system_program_file() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string system_home_folder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return with_trailing_slash(home);
  if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return with_trailing_slash(pw->pw_dir);
  return std::string();
}

std::string system_run_temp_folder() {
  if (!run_temp_folder.empty()) return run_temp_folder;
  const char* base = std::getenv("TMPDIR");
  std::string folder = with_trailing_slash(base && *base ? base : "/tmp");
  remove_dead_runs_temp_folders(folder);
  // The process number in the name lets a later run tell that this one is gone.
  std::string pattern = folder + kRunTempPrefix + std::to_string(getpid()) + "-XXXXXX";
  if (mkdtemp(pattern.data())) run_temp_folder = with_trailing_slash(pattern);
  return run_temp_folder;
}

void system_remove_run_temp_folder() {
  if (run_temp_folder.empty()) return;
  remove_own_tree(run_temp_folder);
  run_temp_folder.clear();
}

namespace {
// A base folder of the XDG layout: $variable, else below_home in the home folder; with a trailing
// slash, and empty when neither is known.
std::string xdg_base_folder(const char* variable, const char* below_home) {
  const char* xdg = std::getenv(variable);
  if (xdg && *xdg) return with_trailing_slash(xdg);
  std::string home = system_home_folder();
  return home.empty() ? std::string() : home + below_home;
}
}  // namespace

std::string system_config_folder() {
  std::string folder = xdg_base_folder("XDG_CONFIG_HOME", ".config/");
  if (folder.empty()) return folder;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

std::string system_state_folder(bool make) {
  std::string base = xdg_base_folder("XDG_STATE_HOME", ".local/state/");
  if (base.empty()) return base;
  if (!make) return base + "zephra/";
  std::error_code ec;
  std::filesystem::create_directories(base, ec);
  // The folders above are the user's and may well be links; ours is made real.
  bool link_removed = false;
  if (make_own_folder(base + "zephra", link_removed) != 0) return std::string();
  return base + "zephra/";
}

bool system_folder_writable(const std::string& folder) {
  return access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}
