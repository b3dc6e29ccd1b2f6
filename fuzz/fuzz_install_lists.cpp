// The server list and the directory file as a mirror could serve them, then the choice of what
// to fetch and delete. Input: the server list, a line "=====", then the directory file.
// Whatever the input, no path the pass would fetch or delete may lie outside the destination:
// abort() when one does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/app_state.h"
#include "fuzz/fuzz_support.h"
#include "install/directory.h"
#include "install/file_selection.h"
#include "install/server_list.h"
#include "install/session_state.h"

namespace {

const std::string kSplit = "\n=====\n";

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// Why rel (a path below the destination) could reach elsewhere; empty when it cannot.
std::string escape_of(const std::string& rel) {
  if (rel.empty()) return "empty";
  // The destination path is dest_dir_path with rel appended, so a leading separator only doubles
  // the one before it ("dest//a" is "dest/a"); what matters is where the components lead.
  if (rel.find('\\') != std::string::npos || rel.find(':') != std::string::npos) return "an unconverted separator";
  size_t start = 0;
  while (start <= rel.size()) {
    size_t end = rel.find('/', start);
    if (end == std::string::npos) end = rel.size();
    if (rel.compare(start, end - start, "..") == 0) return "a '..' component";
    start = end + 1;
  }
  return "";
}

void check_kept_paths() {
  for (const file_history_struct& history : sim_info.files) {
    for (const file_version_struct& v : history.versions) {
      std::string dest = dest_path_of(v.path);
      std::string why = dest.compare(0, dest_dir_path.size(), dest_dir_path) != 0
                            ? "outside the destination"
                            : escape_of(dest.substr(dest_dir_path.size()));
      if (!why.empty()) {
        std::fprintf(stderr, "kept path %s (destination path %s) is %s\n", v.path.c_str(), dest.c_str(),
                     why.c_str());
        std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = fuzz_support::scratch_folder();
  static const bool set_up = [] {
    fuzz_support::quiet_alerts();
    app_path.clear();
    // A user file that matches no published version, so that the modified-file question is asked.
    dest_dir_path = root + "dest/";
    std::string mkdir = "mkdir -p '" + dest_dir_path + "Resources'";
    if (std::system(mkdir.c_str()) != 0) std::abort();
    write_file(dest_dir_path + "Resources/settings.txt", "changed by the user\n");
    return true;
  }();
  (void)set_up;

  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find(kSplit);
  std::string list_text = input.substr(0, split);
  std::string directory_text = split == std::string::npos ? std::string() : input.substr(split + kSplit.size());

  stg.reset();
  stg.download_os = 3;
  app_done = 0;
  install_name = "Zephra-8.50";
  sim_info.files.clear();
  // Answers to the modified-file question come from the input's length, so that all are tried.
  select_alert_hook() = [size](const std::string&, int) { return static_cast<int>(size % 5) + 1; };

  const std::string list_path = root + "serverlist.txt";
  const std::string directory_path = root + "directory.txt";
  write_file(list_path, list_text);
  write_file(directory_path, directory_text);

  fuzz_support::runs_to_the_end([&] { read_server_list(list_path); });
  if (stg.num_servers > kMaxServers) std::abort();
  if (stg.num_servers > 0 && (stg.sel_server < 0 || stg.sel_server >= stg.num_servers)) std::abort();

  bool read = fuzz_support::runs_to_the_end([&] {
    if (read_directory(directory_path, "Reading the directory") == 3) choose_files();
  });
  if (read) check_kept_paths();
  return 0;
}
