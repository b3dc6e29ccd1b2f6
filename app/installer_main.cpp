#include "app/startup.h"

#include <filesystem>
#include <iostream>
#include <vector>

#include "app/event_loop.h"
#include "app/launch_options.h"
#include "app/unattended.h"
#include "app/window.h"
#include "core/alert.h"
#include "core/app_state.h"
#include "core/cmdline.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "install/destination.h"
#include "install/session.h"
#include "install/session_state.h"
#include "install/signature_cache.h"
#include "net/http_client.h"
#include "prefs/pref_file.h"
#include "ui/window_state.h"

int installer_main(int argc, const char* const* argv) {
  std::error_code no_cwd;
  launch_request request = read_launch_arguments(argc, argv, utf8_from_path(std::filesystem::current_path(no_cwd)));
  switch (request.what) {
    case launch_request::show_usage: std::cout << launch_usage(log_folder(false)); return 0;
    case launch_request::show_version: std::cout << launch_version(); return 0;
    case launch_request::bad_usage:
      std::cerr << request.problem << ".\n\n" << launch_usage(log_folder(false));
      return kExitBadUsage;
    case launch_request::run: break;
  }
  std::vector<const char*> args{argc > 0 ? argv[0] : "zephra-installer"};
  for (const std::string& a : request.args) args.push_back(a.c_str());
  argc = static_cast<int>(args.size());
  argv = args.data();

  std::string raw = cmdline_join(argc, argv);
  const char* raw_arg = raw.c_str();
  bool unattended = false;
  for (int i = 1; i < argc; ++i) unattended |= std::string(argv[i]) == "--unattended";
  if (!unattended && !window_display_available()) {
    std::cerr << "There is no display to show my window on, so I am running unattended." << std::endl;
    unattended = true;
  }
  window_wanted = !unattended;
  MACIBM_init(1, &raw_arg);
  if (unattended) unattended_begin();

  get_OS_abs_path(os_dir_default_dest, dest_dir_path);
  get_OS_abs_path(os_dir_temp, temp_path);
  xer << "os_dir_apps:" << dest_dir_path << "\n";
  xer << "os_dir_temp:" << temp_path << "\n";
  if (temp_path.empty())
    MACIBM_alert(0, "I could not make a folder for my temporary files!", "Is the temporary folder full or read-only?",
                 "", "", alert_fatal);

  stls.text[kOkLabelIndex] = "OK";
  verify_every_file = cmdline.has_option("--verify") != 0;
  install_name = no_install_name;
  stg.reset();
  pref.IO_set(kPrefInstaller, kPrefRead);
  // The environment's proxy is only used, never stored with the preferences.
  http.read_proxy_environment();
  xer << http.proxy_description() << "\n";
  if (int gone = forget_caches_of_gone_destinations())
    xer << "I forgot the signatures kept for " << gone << " destination folders that are gone.\n";

  // The folder chooser is never shown without a person to answer it.
  std::string named = cmdline_destination(raw);
  if (!named.empty()) {
    // A named folder that does not exist yet is made, then taken like any folder the user chose.
    std::error_code made;
    std::filesystem::create_directories(path_from_utf8(named), made);
    if (made) xer << "I could not make the folder " << named << ": " << made.message() << "\n";
    dest_dir_path = named;
    dest_user_chosen = true;
    check_dest_path();
  } else if (stg.always_ask_dir && !unattended) {
    if (!pick_dest_path()) check_dest_path();
  } else {
    check_dest_path();
  }
  // A folder named on the command line is already the user's choice: nobody is asked again.
  if (!stg.dest_is_SIM && !unattended && named.empty()) pick_dest_path();
  xer << "Destination: " << dest_dir_path << (stg.dest_is_SIM ? " (an installation)" : " (a new installation)")
      << "\n";
  if (unattended) std::cout << "Destination: " << dest_dir_path << std::endl;
  // A second run on the same destination changes nothing: unattended it ends here.
  if (!session_lock_destination() && unattended) unattended_stop(kExitDestinationBusy);

  while (!app_done) MACIBM_event_proc();

  MACIBM_finishup(1);
  return unattended ? unattended_exit_code() : 0;
}
