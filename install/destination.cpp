#include "install/destination.h"

#include "core/app_state.h"
#include "core/system_info.h"
#include "files/file_utils.h"
#include "files/md5.h"
#include "files/os_path.h"
#include "files/os_files.h"
#include "install/session_state.h"

namespace {
// The four top folders that make a folder an installation.
constexpr const char* kSimFolders[4] = {"Airfoils", "Instructions", "Output", "Resources"};
constexpr const char* kNewFolderName = "Zephra:";
}  // namespace

void get_OS_abs_path(int dir_type, std::string& out_path) {
  switch (dir_type) {
    case os_dir_program:
      MACIBM_app_path(&out_path, nullptr);
      break;
    case os_dir_default_drive:
    case os_dir_default_dest:
      if (std::string home = system_home_folder(); !home.empty()) out_path = home;
      break;
    case os_dir_temp:
      if (std::string temp = system_run_temp_folder(); !temp.empty() && temp.size() < 1024) out_path = temp;
      break;
    case os_dir_prefs:
      if (std::string config = system_config_folder(); !config.empty()) out_path = config;
      break;
    default:
      break;
  }
}

void check_dest_path() {
  std::string total = dest_dir_path;
  make_os_path(total);
  // A folder named without its trailing separator is still a folder.
  if (!total.empty() && total.back() != kPathSep) total += kPathSep;

  size_t cut = total.empty() ? std::string::npos : total.rfind(kPathSep, total.size() - 2);
  if (total.size() >= 2 && cut != std::string::npos) {
    std::string basic = total.substr(0, cut + 1);
    if (!dir_exists(total)) total = basic;
  }

  wrk_path = total;
  int count = opensave_getitems(0);
  bool found[4] = {};
  // Only folders of exactly these names count: "Output-2019" is somebody's own folder.
  for (int n = 0; n < count; ++n) {
    if (g_file_type[n] != 1) continue;
    for (int k = 0; k < 4; ++k)
      if (g_file[n] == kSimFolders[k]) found[k] = true;
  }
  stg.dest_is_SIM = found[0] && found[1] && found[2] && found[3];
  if (!stg.dest_is_SIM) total += kNewFolderName;
  make_os_path(total);
  dest_dir_path = total;
}

std::function<bool(const std::string&, const std::string&, const std::string&, std::string&)> folder_chooser;

int pick_dest_path() {
  std::string chosen;
  if (!folder_chooser ||
      !folder_chooser("Pick a folder to install Zephra to! Be sure to pick your existing folder if you already have one!",
                      "This is my Zephra destination", dest_dir_path, chosen))
    return 0;
  dest_dir_path = chosen;
  dest_user_chosen = true;
  check_dest_path();
  return 1;
}

bool dest_user_chosen = false;

namespace {
// The folder with one trailing separator and symbolic links resolved where it exists.
std::string comparable_folder(std::string path) {
  if (path.empty()) return path;
  std::string real = os_real_path(path);
  if (!real.empty()) path = real;
  while (path.size() > 1 && is_path_sep(path.back())) path.pop_back();
  return path == "/" ? path : path + kPathSep;
}

bool holds(const std::string& folder, const std::string& inner) {
  return !inner.empty() && inner.compare(0, folder.size(), folder) == 0;
}
}  // namespace

std::string destination_record_path(const std::string& dest, const std::string& kind) {
  std::string folder;
  get_OS_abs_path(os_dir_prefs, folder);
  return folder + destination_record_stem(kind) + md5_of_text(dest).substr(0, 16) + ".txt";
}

std::string destination_record_stem(const std::string& kind) { return "Zephra Installer " + kind + " "; }

std::string destination_rename_refusal(const std::string& dest) {
  std::string folder = comparable_folder(dest);
  if (folder.empty() || folder == "/") return "it is the root folder";
  if (folder == comparable_folder(system_home_folder())) return "it is your home folder";
  if (holds(folder, comparable_folder(system_config_folder()))) return "it holds the preference folder";
  std::string program;
  MACIBM_app_path(&program, nullptr);
  if (holds(folder, comparable_folder(program))) return "it holds this program";
  if (!dest_user_chosen) return "I picked it myself rather than you";
  return "";
}

void trim_dest_folder(std::string& path) {
  size_t first = path.find(kPathSep);
  if (first != std::string::npos) path.erase(0, first + 1);
}

int path_has_no_file(std::string path) { return !path.empty() && is_path_sep(path.back()) ? 1 : 0; }
