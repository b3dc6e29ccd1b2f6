#include "app/startup.h"

#include <chrono>
#include <cstdlib>
#include <iostream>

#include "app/alert.h"
#include "app/app_state.h"
#include "app/clock.h"
#include "app/cmdline.h"
#include "app/log.h"
#include "app/system_info.h"
#include "app/window_state.h"
#include "install/destination.h"
#include "install/session_state.h"
#include "prefs/pref_file.h"
#include "threads/worker_pool.h"

namespace {
constexpr const char* kLogFileName = "Log.txt";
}

void MACIBM_app_path(std::string* path, int* case_sensitive) {
  std::string program = system_program_file();
  path->clear();
  // Cut after the last separator, searching from the second-to-last character down to index 1.
  for (int i = static_cast<int>(program.size()) - 2; i >= 1; --i) {
    char c = program[i];
    if (c == '\\' || c == ':' || c == '/') {
      *path = program.substr(0, i + 1);
      break;
    }
  }
  if (case_sensitive) *case_sensitive = g_case_sensitive;
}

std::string log_file_path() {
  std::string folder;
  get_OS_abs_path(os_dir_program, folder);
  // An installed program's folder is not writable; the log then lives beside the preferences.
  if (!system_folder_writable(folder)) get_OS_abs_path(os_dir_prefs, folder);
  return folder + kLogFileName;
}

void MACIBM_init(int argc, const char* const* argv) {
  app_path.clear();
  log_open(log_file_path());
  log_write_header();

  cmdline.init_win(argc > 0 ? argv[0] : "");

  // Stir the random generator by the processor time since start, as the session draws from it.
  int stir = static_cast<int>(std::chrono::steady_clock::now().time_since_epoch().count() % 1000);
  for (int i = 0; i < stir; ++i) std::rand();

  THREAD_init();

  mnw.tex_res = 5;
  mnw.x_res_req = 1024;
  mnw.y_res_req = 768;
  mnw.col_res_req = 32;
  mnw.lang = -1;
  mnw.keylist_up = 1;
  xtim.prd_FM = 0.02f;
  xtim.prd_UI = 0.02f;

  // The window, its context, the extension probe, the embedded images and the splash join here.
  xtim.first_miss_cycle = 1;
  app_done = 0;
  mnw.lang = 0;
  MACIBM_setupforlang();
}

void MACIBM_finishup(int save) {
  if (save) {
    pref.IO_set(kPrefInstaller, kPrefWrite);
    THREAD_shutdown();
    system_remove_run_temp_folder();
  }
  log_close();
}
