#include "install/session_state.h"

#include <algorithm>

#include "core/clock.h"

stg_class stg;
next_class next;

const std::string no_install_name = "Not Yet Scanned";
std::string install_name = no_install_name;
std::string temp_path;
std::string dest_dir_path;
std::string crnt_file_name;
std::string crnt_file_path;
const int is_net = 1;

void stg_class::reset() {
  step = 0;
  got_404 = 0;
  got_failed_install = 0;
  num_servers = -1;
  sel_server = 0;
  dir_scan = 0;
  crnt_file_stat = 3;
  crnt_file_rat = 0.0f;
  use_max_cpu = 0;
  rename_folder = 1;
  always_ask_dir = 0;
  stream_count = 0;
  download_os = kThisOs;
  down_req = 0.0f;
  disk_req = 0.0f;
  partial_bytes = 0;
}

float next_class::ret_k_sec_down() const {
  return (comp_down + file_down) / std::max(xtim.real_time - star_time, 1.0f);
}
