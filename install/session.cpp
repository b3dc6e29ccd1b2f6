#include "install/session.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/clock.h"
#include "core/log.h"
#include "files/error_text.h"
#include "files/file_utils.h"
#include "files/os_path.h"
#include "files/os_files.h"
#include "files/zip_extract.h"
#include "install/destination.h"
#include "install/destination_lock.h"
#include "install/directory.h"
#include "install/file_selection.h"
#include "install/install_pass.h"
#include "install/release_check.h"
#include "install/retry_backoff.h"
#include "install/server_list.h"
#include "install/session_state.h"
#include "install/signature_cache.h"
#include "install/vendor_site.h"
#include "net/http_client.h"
#include "prefs/panels.h"
#include "ui/draw.h"
#include "ui/screen_copy.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

session_texts session_screen;

float totl_inst_rat = 0;
float tot_availabl = -1;
float tot_down_req = 0, tot_disk_req = 0;
std::string tot_availabl_str, tot_disk_req_str;
int disk_space_avail = 1;
int wrl_i = 8;
std::string net_dir_path_zip, dir_path, dir_path_path, dvd_dir_path_zip;

namespace {
constexpr int kSlotServerList = 0;
constexpr int kSlotDirectory = 1;
// The largest answers taken for the server list and the directory archive.
constexpr long long kServerListMaxBytes = 1 << 20;
constexpr long long kDirectoryArchiveMaxBytes = 64 << 20;
constexpr int kBackgroundTexture = 365;
constexpr const char* kScanMessage = "Scanning directory text file to see if you already have Zephra installed...";

bool paths_built = false;
// Failed fetches of the server list and the directory wait before they are tried again.
retry_backoff server_list_retry;
retry_backoff directory_retry;
// The server the directory request under way went to; the selection may change meanwhile.
int directory_server = 0;

void set_status(const std::string& text, int colour) {
  session_screen.status = text;
  session_screen.status_colour = colour;
}

void set_line(int n, const std::string& text, int colour = colour_text) {
  session_screen.line[n] = text;
  session_screen.line_colour[n] = colour;
}

void build_path_strings() {
  net_dir_path_zip = temp_path + "directory.txt.zip";
  dir_path = temp_path + "directory.txt";
  dir_path_path = temp_path;
  dvd_dir_path_zip = install_name + ":directory.txt.zip";
  for (std::string* p : {&net_dir_path_zip, &dir_path, &dir_path_path, &dvd_dir_path_zip}) make_os_path(*p);
  paths_built = true;
}

void fetch_server_list() {
  if (stg.num_servers != -1 || release_refused() || !server_list_retry.ready(xtim.real_time)) return;
  std::string local = temp_path + "serverlist.txt";
  int result = server_list_check_pending()
                   ? 1
                   : http.net_check(kSlotServerList, vendor_host(), "/serverlist.txt", local, kServerListMaxBytes);
  if (result == 1) {
    // A list whose signature is refused is fetched again after the pause.
    int check = check_server_list(kSlotServerList, vendor_host(), local);
    if (check == 0) return;
    if (check == 2) return server_list_retry.failed(xtim.real_time);
    server_list_retry.succeeded();
    read_server_list(local);
  } else if (result == 2) {
    server_list_retry.failed(xtim.real_time);
  }
}

// The directory file inflated may not exceed this; a bigger one is a server's fault.
constexpr uint64_t kMaxDirectoryBytes = 256ull << 20;

// Like a failed download, a directory archive that does not unpack or read sends the next
// attempt to another server, after a pause that doubles with each failure.
void directory_fault(int server) {
  stg.sel_server = another_server(server, stg.num_servers);
  directory_retry.failed(xtim.real_time);
}

void fetch_directory() {
  if (stg.dir_scan != 0 || stg.num_servers < 1 || release_refused() || !directory_retry.ready(xtim.real_time)) return;
  if (!http.down[kSlotDirectory]) directory_server = stg.sel_server;
  int result = release_check_pending()
                   ? 1
                   : http.net_check(kSlotDirectory, server_name[stg.sel_server],
                                    server_path[stg.sel_server] + "directory.txt.zip", net_dir_path_zip,
                                    kDirectoryArchiveMaxBytes);
  if (result == 1) {
    // A release that fails its check makes the mirror a broken one: the next one is asked after the pause.
    int check = check_release(kSlotDirectory, stg.sel_server, net_dir_path_zip);
    if (check == 0) return;
    if (check == 2) {
      delete_file(net_dir_path_zip);
      stg.sel_server = (stg.sel_server + 1) % stg.num_servers;
      return directory_retry.failed(xtim.real_time);
    }
  }
  if (result == 2) {
    directory_fault(directory_server);
  } else if (result == 1) {
    zip_entry_rules want;
    want.name = "directory.txt";
    want.max_bytes = kMaxDirectoryBytes;
    bool archive_fault = false;
    int e = zip_extract_entry(net_dir_path_zip, dir_path, want, &archive_fault);
    if (!e && !looks_like_directory_file(dir_path)) {
      e = kErrDirUnreadable;
      archive_fault = true;
      delete_file(dir_path);
    }
    if (e) {
      MACIBM_alert(0, "DIR-scan: The installer cannot extract a file.", "Error:" + error_str(e),
                   "Compressed File:" + net_dir_path_zip, "Destination Path:" + dir_path_path, alert_error);
      if (archive_fault)
        directory_fault(directory_server);
      else
        directory_retry.failed(xtim.real_time);
    } else {
      directory_retry.succeeded();
      stg.dir_scan = 1;
    }
    delete_file(net_dir_path_zip);
  }
}

// Palette entry of a caption that cannot be clicked: a muted grey, over 5:1 on the dimmed button.
constexpr int kUnavailableCaption = 40;

// The click areas and places of the screen, in window units with the origin at the lower left.
constexpr float kPathX1 = 135, kPathX2 = 435, kPathY1 = 79, kPathY2 = 99;

// The end of text that fits in width, with "..." in front when the start had to go.
std::string fitting_end(const std::string& text, float width) {
  float used = 0;
  for (char c : text) used += chr_dx(c);
  if (used <= width) return text;
  const std::string dots = "...";
  float room = width - chr_dx('.') * 3;
  size_t start = text.size();
  for (float w = 0; start > 0 && w + chr_dx(text[start - 1]) <= room; --start) w += chr_dx(text[start - 1]);
  return dots + text.substr(start);
}

// The start of text that fits in width, with "..." after it when the end had to go.
std::string fitting_start(const std::string& text, float width) {
  float used = 0;
  for (char c : text) used += chr_dx(c);
  if (used <= width) return text;
  float room = width - chr_dx('.') * 3, w = 0;
  size_t end = 0;
  while (end < text.size() && w + chr_dx(text[end]) <= room) w += chr_dx(text[end++]);
  return text.substr(0, end) + "...";
}

void draw_destination() {
  BTN_frame2(13, kPathX1 - 5, kPathY1 - 4, kPathX2 - kPathX1 + 10, kPathY2 - kPathY1 + 8, "");
  // A path too long for its box shows its end, the folder itself; the whole path is its help.
  OGL_string(colour_text, kPathX1 + 4, kPathY1 + 6, fitting_end(dest_dir_path, kPathX2 - kPathX1 - 8), 9999, 100);
  if (mnw.mx >= kPathX1 && mnw.mx <= kPathX2 && mnw.my >= kPathY1 && mnw.my <= kPathY2) stls.help_message = dest_dir_path;
  OGL_string(colour_text, 450, 98,
             "Click on the 'DESTINATION' button below to choose the copy of Zephra you wish to update, or choose the "
             "destination you wish to install a new copy of Zephra to!",
             560, 100);
  bool path_clicked = mnw.mouse_clicked && mnw.mx >= kPathX1 && mnw.mx <= kPathX2 && mnw.my >= kPathY1 &&
                      mnw.my <= kPathY2;
  if (interface_rect(10, 72, 0, 0, 115, 34, 1, 0) || path_clicked) session_destination_clicked();
}

// A push button that cannot be used yet: its normal look dimmed, the caption grey, no click.
void draw_unavailable_button(float x_center, float y_center, float dx, const std::string& caption) {
  BTN_frame1(2, x_center, y_center, dx, 0);
  OGL_grayrect(x_center - dx * 0.5f, y_center - 10, x_center + dx * 0.5f, y_center + 10, 0.45f);
  OGL_string(kUnavailableCaption, x_center - str_dx(caption) * 0.5f, y_center - 4, caption, 9999, 100);
}

void draw_servers() {
  // One line per name beside its own button, cut to the panel's width.
  for (int n = 0; n < stg.num_servers; ++n)
    BTN_is_int(142, 578 - 20.0f * n, &stg.sel_server, n, "|" + fitting_start(server_desc[n], 400));
}

void draw_source_panel() {
  if (stg.step != 1)
    wrl_i = 21;
  else if (xtim.puff10 && ++wrl_i > 23)
    wrl_i = 8;
  interface_icon(604, 540, wrl_i);
  if (install_name != no_install_name) OGL_string(colour_text, 690, 600, "NET: " + install_name, 9999, 100);
  OGL_string(colour_text, 690, 580, "Files come straight from the download server you pick on the left.", 300, 100);
  std::string size;
  if (next.dir_done) {
    // The totals of what this installation brought.
    set_size_str(next.comp_down, &size);
    OGL_string(colour_text, 690, 520, "Downloaded", 9999, 100);
    OGL_string(colour_text, 790, 520, size, 9999, 100);
    set_size_str(next.totl_disk, &size);
    OGL_string(colour_text, 690, 505, "Installed", 9999, 100);
    OGL_string(colour_text, 790, 505, size, 9999, 100);
    return;
  }
  set_size_str(stg.down_req, &size);
  OGL_string(colour_text, 690, 520, "Download", 9999, 100);
  OGL_string(colour_text, 790, 520, size, 9999, 100);
}

void compose_status() {
  if (stg.num_servers == -1)
    set_status("Looking for servers... you need internet for this...", colour_text);
  else if (stg.num_servers == 0)
    set_status("I could not find any servers to get Zephra from!", colour_red);
  else if (next.dir_done)
    set_status("INSTALLATION COMPLETE!", colour_green);
  else if (stg.step != 1 && !stg.dest_is_SIM)
    set_status(
        "To make the download a LOT faster, if you have an earlier version of Zephra 8.00 on your hard drive, choose "
        "that with the DESTINATION button below, and I will UPDATE THAT FOLDER!",
        colour_text);
  else if (stg.step != 1)
    set_status(
        "You have selected an earlier version of Zephra in the DESTINATION field below, so I will update that "
        "installation  by just grabbing new updated files!",
        colour_text);
  else
    set_status("OK I am installing this now...", colour_text);
}

}  // namespace

std::string time_left_text(float seconds) {
  if (seconds < 120) return std::to_string(static_cast<int>(seconds)) + " seconds";
  if (seconds < 7200) return std::to_string(static_cast<int>(seconds / 60)) + " minutes";
  return std::to_string(static_cast<int>(seconds / 3600)) + " hours";
}

std::string percent_text(float p) {
  float whole = std::trunc(p);
  char text[32];
  std::snprintf(text, sizeof text, "%s%02d.%d", p < 0 ? "-" : "", static_cast<int>(std::fabs(whole)),
                static_cast<int>(std::fabs(10 * (p - whole))));
  return text;
}

namespace {

void compose_idle_lines() {
  totl_inst_rat = 0;
  tot_availabl = -1;
  tot_down_req = stg.down_req;
  tot_disk_req = stg.disk_req;
  std::string dest = dest_dir_path;
  make_os_path(dest);
  int64_t free_bytes = os_free_bytes(dest);
  // The partial downloads of an earlier run are space the installer frees itself as it goes.
  if (free_bytes >= 0) free_bytes += stg.partial_bytes;
  if (free_bytes >= 0) tot_availabl = static_cast<float>(static_cast<double>(free_bytes) * 0.001);

  if (release_refused()) {
    set_line(0, release_refusal(), colour_warning);
  } else if (stg.dir_scan == 0) {
    set_line(0, "I am figuring out what the latest version of Zephra is right now...");
    set_line(1, "This may take a moment as I download the latest list of Zephra files...");
  } else if (tot_disk_req == 0) {
    set_line(0, "Your copy of Zephra is already the latest version.");
    set_line(1,
             "(Remember, the BETA installer only checks for the latest BETA version, and the FULL installer checks "
             "only for the latest FULL version of Zephra).");
    set_line(2, "This is a beta installer.");
  } else {
    set_size_str(tot_availabl, &tot_availabl_str);
    set_size_str(tot_disk_req, &tot_disk_req_str);
    set_line(0, "You are about to install " + tot_disk_req_str + " of files to get " + install_name + ".");
    if (tot_disk_req > 0 && tot_availabl > 0) {
      set_line(1, "You have " + tot_availabl_str + " of drive space available for the selected directory.");
      if (tot_availabl > tot_disk_req) {
        disk_space_avail = 1;
        set_line(2, "You may install at will.", colour_green);
      } else {
        disk_space_avail = 0;
        set_line(2, "You don't have enough disk space to install this!", colour_red);
      }
    }
  }
}

// The longest turn of the pass lately (seconds), fading by a tenth a turn.
double longest_turn = 0;

// Turns of the pass for 10 ms of the frame, waiting on the network between turns instead of
// spinning; the rest of the frame draws. A turn starts only when one as long as the longest of
// late still fits, so that the frame does not run over.
void run_time_boxed_pass() {
  const double end = program_clock() + 0.01;
  // What is left of the 10 ms once a turn as long as the longest of late is kept back for.
  auto spare = [&] { return end - program_clock() - longest_turn; };
  while (stg.step == 1) {
    const double began = program_clock();
    if (grab_files()) {
      stg.step = 2;
      progress_reset();
      break;
    }
    longest_turn = std::max(program_clock() - began, longest_turn * 0.9);
    if (spare() <= 0) break;
    wait_for_pass_work(std::max(1, static_cast<int>(spare() * 1000)));
    if (spare() <= 0) break;
  }
}

void compose_installing_lines() {
  float frac = tot_disk_req > 0 ? next.totl_disk / tot_disk_req : 1.0f;
  float a = xtim.prd_UI * 5;
  totl_inst_rat = std::clamp(a * frac + (1 - a) * totl_inst_rat, 0.0f, 1.0f);

  float downloaded = next.comp_down + next.file_down;
  std::string down, disk;
  set_size_str(downloaded, &down);
  set_size_str(next.totl_disk, &disk);
  int file_percent = static_cast<int>(stg.crnt_file_rat * 100);
  std::string percent = percent_text(totl_inst_rat * 100);

  switch (stg.crnt_file_stat) {
    case 0: set_line(0, "Deleting " + crnt_file_name + " because that file is no longer needed!"); break;
    case 1:
      set_line(0, "Downloading and installing " + crnt_file_name + ", currently " + std::to_string(file_percent) +
                      "% done with that file.");
      break;
    case 2:
      set_line(0, "duplicate filename through file " + crnt_file_name +
                      ", but not installing it because you already have this file.");
      break;
    default:
      set_line(0, "Browsing through file " + crnt_file_name + ", but not installing it because you don't need this file.");
      break;
  }
  set_line(1, percent + "% done with the internet install, having installed " + disk + " of " +
                  tot_disk_req_str + " for the internet install.");

  float remaining = std::max(tot_down_req - downloaded, 0.0f);
  float elapsed = std::max(xtim.real_time - next.star_time, 1.0f);
  if (totl_inst_rat > 0.01f && downloaded > 0) {
    float seconds_left = remaining / (downloaded / elapsed);
    int streams = 0;
    for (int i = 0; i < kStreams; ++i) streams += next.stream_active[i] ? 1 : 0;
    set_line(2, "About " + time_left_text(seconds_left) + " left in the install, downloading at " +
                    std::to_string(static_cast<int>(downloaded / elapsed)) + " kilobytes/second with " +
                    std::to_string(streams) + " simultaneous download streams.");
  }
}

void compose_information_lines() {
  for (int n = 0; n < 3; ++n) set_line(n, "");
  if (stg.step == 0) {
    compose_idle_lines();
  } else if (stg.step == 1) {
    compose_installing_lines();
  } else if (stg.got_failed_install) {
    set_line(0, "The installation was not completed because an error occurred.", colour_warning);
    set_line(1, "Zephra is not fully installed or updated and may not run correctly.", colour_warning);
    set_line(2,
             "Please try a different server, hard drive, or directory, or contact Customer Support for help with this "
             "problem.",
             colour_warning);
  } else {
    set_line(0, "INSTALLATION COMPLETE!");
  }
  if (stg.got_404) {
    set_line(0, "I can NOT download the file '" + crnt_file_path + "'!", colour_warning);
    set_line(1,
             "Your internet connection may not be working, or the server could be undergoing maintainance or an "
             "upgrade right now.",
             colour_warning);
    set_line(2, "I am trying another server now to see if I can still get you a download...", colour_warning);
  }
}

// Centres rounded to multiples of 2 and widths to multiples of 4, halves away from zero.
float round_to(float value, float step) { return std::round(value / step) * step; }

void draw_progress_bar() {
  const float base_x1 = 132, base_x2 = 1016;
  BTN_frame1(4, round_to((base_x1 + base_x2) / 2, 2), 15, round_to(base_x2 - base_x1, 4), 0);
  // A completed installation shows the bar full.
  const float done = next.dir_done && !stg.got_failed_install ? 1.0f : totl_inst_rat;
  if ((stg.step == 1 || next.dir_done) && done > 0.02f) {
    float x2 = std::trunc(base_x1 + (base_x2 - base_x1) * done);
    BTN_frame1(5, round_to((base_x1 + x2) / 2, 2), 15, round_to(x2 - base_x1, 4), 0);
  }
}

void draw_texts() {
  OGL_string(session_screen.status_colour, 24, 160, session_screen.status, 976, 100);
  // Kept clear of the path box above it.
  BTN_frame2(13, 130, 27, 890, 39, "");
  for (int n = 0; n < 3; ++n)
    OGL_string(session_screen.line_colour[n], 144, 55 - 10.0f * n, session_screen.line[n], 9999, 100);
}

}  // namespace

double program_clock() {
  using namespace std::chrono;
  static const steady_clock::time_point init_call = steady_clock::now();
  return duration<double>(steady_clock::now() - init_call).count();
}

namespace {
int installs_begun = 0;
}  // namespace

bool session_install_enabled() { return stg.step == 0 && disk_space_avail && stg.dir_scan == 3; }

namespace {
bool destination_busy = false;
}  // namespace

bool session_destination_busy() { return destination_busy; }

bool session_lock_destination() {
  destination_busy = !lock_destination(dest_dir_path);
  if (destination_busy)
    MACIBM_alert(0, destination_busy_message(dest_dir_path), "I have changed nothing there.", "", "", alert_error);
  return !destination_busy;
}

void session_install_clicked() {
  if (!session_install_enabled()) return;
  progress_reset();
  stg.got_failed_install = 0;
  if (!release_fits_destination() || !release_paths_fit_destination()) return;
  // Locked before anything is made there, and again once the folder of a new installation exists.
  if (!session_lock_destination()) return;
  make_dirs();
  if (!session_lock_destination()) return;
  if (handle_EULA()) stg.step = 1;
  if (stg.step == 1 && !choose_files()) stg.step = 0;
  if (stg.step == 1) {
    ++installs_begun;
    remember_release_installed();
  }
}

int session_installs_begun() { return installs_begun; }

void session_destination_clicked() {
  if (stg.step != 0 && stg.step != 2) return;
  if (!pick_dest_path()) return;
  progress_reset();
  stg.got_failed_install = 0;
  stg.step = 0;
  if (stg.dir_scan == 3) stg.dir_scan = 1;
}

void session_quit_clicked() {
  progress_reset();
  stg.step = 2;
  app_done = 1;
}

bool session_is_up_to_date() {
  if (stg.dir_scan != 3 || stg.disk_req != 0) return false;
  // Nothing to download; a file the release removed that still lies on disk is work too, and so
  // is the folder it leaves empty when a run was stopped between the two.
  for (const file_history_struct& history : sim_info.files) {
    const file_version_struct& v = history.versions.back();
    if (v.sig_want != kSigGone || !version_applies(v.os_type, stg.download_os)) continue;
    if (v.sig_have != kSigNone) return false;
    wrk_path = folder_of(dest_path_of(v.path));
    if (wrk_path.size() > dest_dir_path.size() && os_is_folder(wrk_path) && opensave_getitems(0) == 0) return false;
  }
  return true;
}

void APP_update() {
  // The scene without the cut-out button art, untinted, its 1024 x 768 pixels in the 1024 x 1024 texture.
  // It is opaque and drawn pixel for pixel, so a straight copy gives what the quad would.
  if (!OGL_copy_to_window(kBackgroundTexture, 0, 0, 1024, 768))
    OGL_2dquad(kBackgroundTexture, 0, 1.0f, 0, 0, 0, 0, 1024, 0, 1, 0, 1024, 768, 1, 0.75f, 0, 768, 0, 0.75f, 1, 5);
  fetch_server_list();
  if (app_done) return;  // a list in an unknown format ends the program
  if (!paths_built) build_path_strings();
  fetch_directory();
  draw_destination();
  if (stg.dir_scan == 1) stg.dir_scan = read_directory(dir_path, kScanMessage);
  draw_servers();
  if (BTN_action(200, 372, 0, 0, 1, "preferences")) {
    const bool verified = verify_every_file;
    handle_prefs();
    // Asked to read every file, an examination already done from the cache is done again.
    if (verify_every_file && !verified && stg.step == 0 && stg.dir_scan == 3) stg.dir_scan = 1;
  }
  draw_source_panel();
  std::string previous_status = session_screen.status;
  compose_status();
  if (session_screen.status != previous_status) xer << "Status: " << session_screen.status << std::endl;

  bool can_install = session_install_enabled();
  if (stg.step == 0 && can_install && BTN_action(700, 430, 120, 0, 1, "INSTALL")) session_install_clicked();
  if (stg.step == 0 && !can_install) draw_unavailable_button(700, 430, 120, "INSTALL");
  if (BTN_action(830, 430, 100, 0, 1, "store")) go_to_URL(vendor_store_page());
  if (BTN_action(950, 430, 100, 0, 1, "quit")) session_quit_clicked();

  compose_information_lines();
  draw_texts();
  draw_progress_bar();
  // The pass has its 10 ms once the frame is drawn and handed to the renderer, which draws it
  // meanwhile; the screen shows the pass as it stood when the frame began.
  if (stg.step == 1) {
    OGL_flush();
    run_time_boxed_pass();
  }
  xtim.first_miss_cycle = 0;
}

void APP_handlekey(int, int) {}
void APP_handlemenu(int) {}
