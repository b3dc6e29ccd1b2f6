#pragma once
// Settings and state of the install session, the progress of the pass and the session's strings.
#include <string>

class stg_class {
 public:
  int dir_scan = 0;       // 0 not fetched, 1 fetched, 2 unreadable, 3 read and disk examined
  int dest_is_SIM = 0;    // the destination already holds an installation
  int download_os = 0;
  int log_actions = 0;
  int step = 0;           // 0 idle, 1 installing, 2 finished
  int got_404 = 0;
  int got_failed_install = 0;
  int num_servers = -1;
  int sel_server = 0;
  int wrl_sel[18][36] = {};
  int wrl_disk[18][36] = {};
  int crnt_file_stat = 3;  // 0 deleting, 1 downloading, 2 already present, 3 not needed
  float crnt_file_rat = 0;
  int use_max_cpu = 0;
  int rename_folder = 1;
  int stream_count = 0;
  int always_ask_dir = 0;
  float down_req = 0;
  float disk_req = 0;
  // Bytes the destination's partial downloads held when it was examined: space the pass frees.
  long long partial_bytes = 0;

  // The values the session starts with, before the preference file is read over them.
  void reset();
};
extern stg_class stg;

constexpr int kStreams = 4;

class next_class {
 public:
  int next_index = 0;
  int dir_done = 0;
  int stream_active[kStreams] = {};
  int stream_waiting[kStreams] = {};
  int stream_index[kStreams] = {};
  float star_time = 0;
  float file_down = 0;
  float comp_down = 0;
  float totl_disk = 0;
  // Average download rate in kilobytes per second since the pass started.
  float ret_k_sec_down() const;
};
extern next_class next;

// The operating system the installer runs on, the default for download_os.
#ifdef _WIN32
constexpr int kThisOs = 2;
#else
constexpr int kThisOs = 3;
#endif

extern const std::string no_install_name;
extern std::string install_name;
extern std::string temp_path;
extern std::string dest_dir_path;
extern std::string crnt_file_name;  // name of the file the pass touched last
extern std::string crnt_file_path;  // its server path
extern const int is_net;            // files come from the servers
