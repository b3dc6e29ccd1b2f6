#include "app/unattended.h"

#ifdef _WIN32
#include "app/console_win32.h"
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/event_loop.h"
#include "app/launch_options.h"
#include "core/alert.h"
#include "core/app_state.h"
#include "core/clock.h"
#include "core/cmdline.h"
#include "install/destination.h"
#include "install/file_selection.h"
#include "install/partial_downloads.h"
#include "install/release_check.h"
#include "install/session.h"
#include "install/session_state.h"
#include "prefs/panels.h"

namespace {

enum exit_status { exit_done = 0, exit_failed = 1, exit_no_agreement = 2, exit_gave_up = 3, exit_not_signed = 4 };

int exit_code = exit_failed;
bool install_clicked = false;
bool outcome_shown = false;
bool on_terminal = false;
float give_up_after = 300;
bool accept_eula = false;
std::string started_dest;  // the destination before the pass, which may rename it

// What counts as progress: a step of the session, a file placed, or the pass reaching a file
// it never reached before. Bytes of a download that fails, and a file taken up again after a
// failure, are no progress: a mirror that cuts or stalls every answer cannot keep the run alive.
struct progress_mark {
  int num_servers, dir_scan, step, furthest_index;
  float placed_down, placed_disk;
  bool operator==(const progress_mark&) const = default;
};
progress_mark last_mark{};
float last_progress_time = 0;
int furthest_index = 0;

std::string last_report;
float last_report_time = -1;

progress_mark current_mark() {
  furthest_index = std::max(furthest_index, next.next_index);
  return {stg.num_servers, stg.dir_scan, stg.step, furthest_index, next.comp_down, next.totl_disk};
}

std::string progress_bar(float fraction) {
  constexpr int kWidth = 24;
  int filled = static_cast<int>(fraction * kWidth + 0.5f);
  std::string bar = "[";
  for (int i = 0; i < kWidth; ++i) bar += i < filled ? '#' : '.';
  return bar + "] " + std::to_string(static_cast<int>(fraction * 100 + 0.5f)) + "%";
}

// Prints the status line and the information lines when they changed, a few times a second
// at most; on a terminal as one line rewritten in place.
void report(bool final_report) {
  std::string text = session_screen.status;
  for (const std::string& line : session_screen.line)
    if (!line.empty()) text += (on_terminal ? "  " : "\n  ") + line;
  if (text == last_report) return;
  if (!final_report && last_report_time >= 0 && xtim.real_time - last_report_time < 0.25f) return;
  last_report = text;
  last_report_time = xtim.real_time;
  if (on_terminal) {
    std::string line = progress_bar(totl_inst_rat) + " " + (session_screen.line[0].empty() ? session_screen.status : session_screen.line[0]);
    if (line.size() > 150) line = line.substr(0, 147) + "...";
    std::cout << "\r\033[K" << line << (final_report ? "\n" : "") << std::flush;
    if (final_report) std::cout << text << std::endl;
  } else {
    std::cout << text << std::endl;
  }
}

void finish(int status) {
  exit_code = status;
  app_done = 1;
}

void after_frame() {
  if (app_done) return;
  float now = xtim.real_time;
  progress_mark mark = current_mark();
  if (!(mark == last_mark)) {
    last_mark = mark;
    last_progress_time = now;
  }

  if (stg.num_servers == 0) {
    report(true);
    return finish(exit_failed);
  }
  // No server offered a signed release that may be installed; the alert said why.
  if (release_refused()) {
    report(true);
    return finish(exit_not_signed);
  }
  if (stg.step == 2) {
    // The frame that ended the pass still showed the pass; the next one shows its outcome.
    if (!outcome_shown) {
      outcome_shown = true;
      return;
    }
    report(true);
    if (dest_dir_path != started_dest) std::cout << "The destination is now " << dest_dir_path << std::endl;
    return finish(stg.got_failed_install ? exit_failed : exit_done);
  }
  if (stg.step == 0 && session_is_up_to_date()) {
    report(true);
    return finish(exit_done);
  }
  if (stg.step == 0 && stg.dir_scan == 3 && !install_clicked) {
    report(true);
    if (!session_install_enabled()) {
      std::cerr << "I can't install: there is not enough free disk space for this installation. The disk that holds "
                << dest_dir_path << " has " << tot_availabl_str << " free, and it needs " << tot_disk_req_str << "."
                << std::endl;
      // What an earlier run left half-downloaded is given back before giving up.
      remove_partial_folder();
      return finish(exit_failed);
    }
    // Without the agreement nothing is installed, so not even the folders are made.
    if (!accept_eula) {
      std::cerr << "I can only install Zephra once you accept its licence agreement: run me again with --accept_eula."
                << std::endl;
      return finish(exit_no_agreement);
    }
    install_clicked = true;
    started_dest = dest_dir_path;
    session_install_clicked();
    if (session_destination_busy()) return finish(kExitDestinationBusy);
    if (stg.step == 0) {
      std::cerr << "The installation was cancelled: nothing more was changed." << std::endl;
      return finish(exit_failed);
    }
  }
  report(false);
  if (now - last_progress_time > give_up_after) {
    report(true);
    std::cerr << "I gave up: no file arrived whole for " << static_cast<int>(give_up_after) << " seconds."
              << std::endl;
    finish(exit_gave_up);
  }
}

int modified_answer() {
  std::string answer = cmdline.option_value("--modified", "keep");
  if (answer == "overwrite") return 1;
  if (answer == "cancel") return 3;
  if (answer != "keep")
    std::cerr << "I don't know --modified=" << answer << "; I will keep every file you changed." << std::endl;
  return 2;
}

}  // namespace

void unattended_begin() {
#ifdef _WIN32
  on_terminal = stdout_is_console();
#else
  on_terminal = isatty(STDOUT_FILENO);
#endif
  if (cmdline.has_option("--give_up_after")) {
    float seconds = std::strtof(cmdline.option_value("--give_up_after").c_str(), nullptr);
    if (seconds > 0) give_up_after = seconds;
  }
  accept_eula = cmdline.has_option("--accept_eula");
  int answer = modified_answer();

  alert_hooks().show = [](const alert_view& v) {
    std::cerr << (on_terminal ? "\n" : "");
    for (const std::string& line : v.lines)
      if (!line.empty()) std::cerr << line << "\n";
    std::cerr << std::flush;
  };
  go_to_URL_hook = [](const std::string& url) { std::cout << "See " << url << std::endl; };
  agreement_hook = []() { return accept_eula ? 1 : 0; };
  select_alert_hook() = [answer](const std::string& dest, int is_gone) {
    std::cout << (is_gone ? "You changed " + dest + ", which this release removes: " : "You changed " + dest + ": ")
              << (answer == 1 ? (is_gone ? "deleting it." : "replacing it.")
                              : answer == 3 ? "cancelling the installation." : "keeping your copy.")
              << std::endl;
    return answer;
  };
  after_frame_hook = after_frame;
}

int unattended_exit_code() { return exit_code; }

void unattended_stop(int status) { finish(status); }
