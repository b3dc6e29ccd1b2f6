#pragma once
// The install session: one step per frame, and the texts the installer screen shows.
#include <string>

// What the screen says this frame: the status line and the three information lines.
struct session_texts {
  std::string status;
  int status_colour = 0;
  std::string line[3];
  int line_colour[3] = {0, 0, 0};
};
extern session_texts session_screen;

extern float totl_inst_rat;  // smoothed fraction of the install done
extern float tot_availabl;   // free kilobytes on the destination's drive; -1 unknown
extern float tot_down_req, tot_disk_req;
extern std::string tot_availabl_str, tot_disk_req_str;
extern int disk_space_avail;
extern int wrl_i;
extern std::string net_dir_path_zip, dir_path, dir_path_path, dvd_dir_path_zip;

// One frame of the session.
void APP_update();
void APP_handlekey(int key, int modifiers);
void APP_handlemenu(int item);

// What the screen's controls do; the widgets call them when clicked, the unattended mode directly.
bool session_install_enabled();
void session_install_clicked();
void session_destination_clicked();
void session_quit_clicked();
// True when the destination is locked by another installer: at start, or when INSTALL was clicked.
bool session_destination_busy();
// Takes the lock on the destination at start; false, after telling the user, when another
// installer holds it.
bool session_lock_destination();
// How many installations have begun in this run, so that a frame can tell one began within it.
int session_installs_begun();
// True when an installation needs no download and nothing to delete.
bool session_is_up_to_date();
// "119 seconds", "2 minutes", "2 hours": the time left as the screen tells it.
std::string time_left_text(float seconds);
// A percentage as "05.2": two digits at least, one decimal, both truncated.
std::string percent_text(float p);
// Seconds on the program clock, for the pass's time box.
double program_clock();
