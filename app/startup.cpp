#include "app/startup.h"

#include <chrono>
#include <cstdlib>
#include <iostream>

#include "app/dialogs.h"
#include "app/shell_seams.h"
#include "app/splash.h"
#include "app/window.h"
#include "core/alert.h"
#include "core/app_state.h"
#include "core/clock.h"
#include "core/cmdline.h"
#include "core/log.h"
#include "core/system_info.h"
#include "install/destination.h"
#include "install/destination_lock.h"
#include "install/install_pass.h"
#include "install/session_state.h"
#include "prefs/pref_file.h"
#include "threads/worker_pool.h"
#include "ui/draw.h"
#include "ui/gl_extensions.h"
#include "ui/palette.h"
#include "ui/sub_windows.h"
#include "ui/textures.h"
#include "ui/window_state.h"

std::string log_folder(bool make) {
  std::string folder;
  get_OS_abs_path(os_dir_program, folder);
  // An installed program's folder is not writable; the log then lives in a folder of its own.
  if (!system_folder_writable(folder)) folder = system_state_folder(make);
  return folder;
}

bool window_wanted = false;

namespace {
// The window, its context, the GL extensions, the embedded images and the palette taken from them.
void start_window() {
  MACIBM_setres(1);
  if (!MACIBM_make_context(0))
    MACIBM_alert(0, "I could not set up the graphics for Zephra! I hope your monitor is at 1024x768 or higher! It must be!",
                 "You do not meet the system requirements or you do not have OpenGL drivers or you entered a bad "
                 "resolution in Zephra!",
                 "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D accelerator card!",
                 "If you reset the resolution, you can try launching Zephra again, since I am resetting Zephra to "
                 "default resolution now.",
                 alert_fatal);
  OGL_pix_specs(0);
  xtim.first_miss_cycle = 1;
  glExt.init_extensions();
  tman.recall_ins_texes();
  // The atlas, loaded last, is still in the scratch buffer.
  colr_sample_interface(scratch_array);
  MACIBM_clear_menus(1);
  MACIBM_startwind(-1);
  ogl_inited = 1;
  install_window_dialogs();
}
}  // namespace

void MACIBM_init(int argc, const char* const* argv) {
  install_shell_seams();
  app_path.clear();
  log_open_in(log_folder());
  log_write_header();

  cmdline.init_win(argc > 0 ? argv[0] : "");

  // The session draws its server choices from the random generator. --seed=N makes them repeat
  // from run to run (the tests use it); otherwise the generator is stirred by the clock.
  if (cmdline.has_option("--seed")) {
    std::srand(static_cast<unsigned>(std::strtoul(cmdline.option_value("--seed").c_str(), nullptr, 10)));
  } else {
    int stir = static_cast<int>(std::chrono::steady_clock::now().time_since_epoch().count() % 1000);
    for (int i = 0; i < stir; ++i) std::rand();
  }

  THREAD_init();

  mnw.tex_res = 5;
  mnw.x_res_req = 1024;
  mnw.y_res_req = 768;
  mnw.col_res_req = 32;
  mnw.lang = -1;
  mnw.keylist_up = 1;
  xtim.prd_FM = 0.02f;
  xtim.prd_UI = 0.02f;

  if (window_wanted) start_window();
  xtim.first_miss_cycle = 1;
  app_done = 0;
  mnw.lang = 0;
  MACIBM_setupforlang();
  if (window_wanted) {
    MACIBM_show_init("Will init plugins.", nullptr);
    MACIBM_show_init("Starting application.", nullptr);
  }
}

void MACIBM_finishup(int save) {
  // The window goes first: an alert of the finish-up (preferences that cannot be saved) then
  // comes as a message box that waits for the user, not as a panel in a closing window.
  MACIBM_setres(0);
  MACIBM_nuke_context(0);
  ogl_inited = 0;
  // Archives still being unpacked are finished before their temporary folder goes.
  wait_for_extractions();
  if (save) {
    pref.IO_set(kPrefInstaller, kPrefWrite);
    THREAD_shutdown();
  }
  // A fatal end leaves no downloads behind either.
  system_remove_run_temp_folder();
  unlock_destination();
  log_close();
}
