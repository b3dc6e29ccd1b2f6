#include "install/server_list.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>

#include "core/alert.h"
#include "core/app_state.h"
#include "files/xmap.h"
#include "install/session_state.h"
#include "install/vendor_site.h"

std::string server_name[kMaxServers];
std::string server_path[kMaxServers];
std::string server_desc[kMaxServers];

namespace {
constexpr int kServerListVersion = 820;

// The next line whole, leading blanks removed, blank lines skipped.
std::string next_line(xmap_class& list) {
  std::string text;
  list.TXT_str_scan_eoln(&text);
  return text;
}
}  // namespace

int weighted_server_choice(int num_servers) {
  double x = std::pow(static_cast<double>(std::rand() % 32768) / 32767.0, 1.3);
  int choice = static_cast<int>(num_servers * x);
  if (choice > num_servers - 1) choice = num_servers - 1;
  return choice < 0 ? 0 : choice;
}

int another_server(int failed, int num_servers) {
  if (num_servers <= 1) return 0;
  int choice = weighted_server_choice(num_servers - 1);
  return choice >= failed ? choice + 1 : choice;
}

void new_format(const std::string& path) {
  MACIBM_alert(0, "OK I am checking the Quellwright servers and I am finding file formats that are newer than I can understand!",
               "In other words, you need to get a new installer!",
               "Please download the newest installer from the download section of " + vendor_download_page() + ".",
               path, alert_error);
  go_to_URL(vendor_download_page());
  stg.step = 2;
  app_done = 1;
}

void read_server_list(const std::string& path) {
  xmap_class list(path);
  const int versions[] = {kServerListVersion, 0};
  if (!list.check_file(10001, versions, "SERVERS", nullptr)) {
    new_format(path);
    return;
  }
  stg.num_servers = 0;
  while (list.mCrt < list.mEnd) {
    if (list.TXT_str_scan_match("ENDOFLIST", 1)) break;
    if (list.TXT_str_scan_match("BETA", 1)) {
      install_name = next_line(list);
    } else if (list.TXT_str_scan_match("FINAL", 1)) {
      next_line(list);
    } else if (list.TXT_str_scan_match("SERVER", 1)) {
      std::string host = next_line(list);
      std::string folder = next_line(list);
      std::string desc = next_line(list);
      if (stg.num_servers < kMaxServers) {
        server_name[stg.num_servers] = host;
        server_path[stg.num_servers] = folder + install_name + "/";
        server_desc[stg.num_servers] = desc;
        stg.num_servers = std::min(stg.num_servers + 1, kMaxServers);
      }
    } else {
      next_line(list);
    }
  }
  stg.sel_server = weighted_server_choice(stg.num_servers);
}
