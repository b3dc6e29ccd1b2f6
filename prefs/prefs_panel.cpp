// The preference panel: the settings that the preference file keeps, edited in memory.
#include "core/app_state.h"
#include "core/event_frame.h"
#include "install/session_state.h"
#include "install/signature_cache.h"
#include "net/http_client.h"
#include "prefs/panels.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {
constexpr int kPrefsWin = 2;
constexpr const char* kOsList = "Macintosh-Windows-Linux Generic x86-Linux Pentium 3-Linux Athlon XP";
constexpr int kOsChoices = 5;

// The operating-system list counts from 1. A stored value the list does not hold (0 "All",
// 6 "any Linux") is shown as the nearest entry but kept until the user picks another.
void operating_system_choice() {
  int sel = stg.download_os - 1;
  if (BTN_textlist(200, 310, &sel, kOsList,
                   "Operating System to download Zephra for:|(Install and copy the entire Zephra folder to another "
                   "computer if you like)") &&
      sel >= 0 && sel < kOsChoices)
    stg.download_os = sel + 1;
}

void draw_prefs_pass() {
  OGL_plot_back_col();
  BTN_fillwin(1, 21);
  BTN_frame2(13, 10, 10, mnw.win_dx - 20, 70, "Proxy (if you are behind a firewall with a Proxy)");
  BTN_frame2(13, 10, 90, mnw.win_dx - 20, mnw.win_dy - 118, "General Preferences");

  int man_set_streams = stg.stream_count != 0 ? 1 : 0;
  operating_system_choice();

  BTN_bool(30, 265, &stg.use_max_cpu,
           "|run at full speed all the time, always totally saturating the CPU... typically leave this OFF, since the "
           "installer does not need that much CPU to download stuff!",
           0);
  BTN_bool(30, 230, &stg.rename_folder,
           "|re-name the Lumara folder to the latest version number when done with the update... typically leave this "
           "ON, so the installer can indicate the proper version number!",
           0);
  BTN_bool(30, 190, &stg.always_ask_dir,
           "|always ask you to pick your Lumara folder on startup... typically leave this OFF, since the installer will "
           "remember your current Zephra folder after the first use.",
           0);
  BTN_bool(30, 150, &man_set_streams,
           "|manually set the number of download streams... typically leave this OFF, and the installer will find the "
           "best number of streams for you.",
           0);
  BTN_bool(30, 110, &stg.log_actions,
           "|log installer actions... turn this on to output the installer file downloads and stuff to the file "
           "log.txt.",
           0);

  // Not kept in the preference file: reading everything is asked for one run at a time.
  int verify = verify_every_file ? 1 : 0;
  BTN_bool(400, 110, &verify,
           "|read every file again{Reads every file of your Zephra folder, even those that look unchanged since the "
           "last run. Typically leave this OFF; turn it on if you doubt the files on the disk.",
           0);
  verify_every_file = verify != 0;

  // Ticking the box starts the count at one stream; unticking it hands the count back to the pass.
  stg.stream_count = stream_count_after(man_set_streams, stg.stream_count);
  if (man_set_streams) BTN_int_range(400, 150, &stg.stream_count, 1, 1, 4, "");

  BTN_enterstring(85, 40, &http.ProxyHost, 65, 0, "-proxy host");
  // A port that is no number from 1 to 65535 means no proxy: it is shown in red, and its help says why.
  const int port = proxy_port_from_text(http.ProxyPort_str, http.ProxyPort_int);
  const bool bad_port = !http.ProxyPort_str.empty() && (port < 1 || port > 65535);
  BTN_enterstring(85, 20, &http.ProxyPort_str, 65, 1,
                  bad_port ? "-proxy port{ This is not a port number (1 to 65535), so I use no proxy." : "-proxy port",
                  bad_port ? colour_red : -1);
  http.ProxyPort_int = proxy_port_from_text(http.ProxyPort_str, http.ProxyPort_int);
}
}  // namespace

void handle_prefs() {
  // Without a window there is nothing to show and nobody to close the panel.
  if (!mnw.context[0]) return;
  MACIBM_startwind(kPrefsWin);
  while (mnw.top_win == kPrefsWin) {
    draw_prefs_pass();
    run_event_frame();
    // The window's close message ends the program; the panel must not keep it waiting.
    if (app_done && mnw.top_win == kPrefsWin) MACIBM_startwind(0);
  }
}
