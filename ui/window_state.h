#pragma once
// Window, display, sub-window and input state, and the shared strings: the drawing layer reads it,
// the shell's window file fills it.
#include <string>
#include <vector>

class mnw_class {
 public:
  int sec_mon_inuse = 0;
  int sec_mon_inited = 0;
  int alias_req = 0;
  int alias_act = 0;
  int current_con = 0;
  void* window[2] = {nullptr, nullptr};
  void* context[2] = {nullptr, nullptr};
  void* dc[2] = {nullptr, nullptr};
  int main_mon_win = 0;
  int top_win = -1;
  int menu_up = -1;
  int is_modal = 0;
  float win_x = 0, win_y = 0, win_dx = 0, win_dy = 0;
  int cursor_type = 0;
  int x_res_now = 1024, y_res_now = 768, col_res_now = 32;
  int set_res = 0;
  int tex_res = 5;
  int x_res_req = 1024, y_res_req = 768, col_res_req = 32;
  float x_ctr = 0, y_ctr = 0, extra_sx = 0, extra_ty = 0;
  float x1_pix = 0, y1_pix = 0, x2_pix = 0, y2_pix = 0;
  float x1_rat = 0, y1_rat = 0, x2_rat = 0, y2_rat = 0, xy_scale_coc = 1;
  float xy_scale_now = 1.0f;
  float mx = 0, my = 0;
  float mx_3d = 0, my_3d = 0;
  int mouse_clicked_3d = 0;
  int mouse_clicked = 0;
  int mouse_did_click = 0;
  int mouse_double_clicked = 0;
  int mouse_lifted = 0;
  int now_dragging = 0;
  int delay_dragging = 0;
  int mouse_wheel = 0;
  int mouse_win01 = 0;
  int key_hit = 0;
  int key_pressed = 0;
  float m_move_time = 0;
  float m_down_time = 0;
  int any_key_is_down = 0;
  int has_joy = 0;
  int lang = -1;
  int keylist_up = 1;
  int paused = 0;
  int frozen = 0, doub_time = 0, quad_time = 0, track_net = 0, bps_snd = 0, bps_rcv = 0,
      track_cpu = 0, cyc_waiting = 0, cyc_now = 0, search_type = 0;
  int entry_field = -1;
  int typing_message = 0, profiling = 0, replay_mode = 0, screen_filled = 0;
  float pulse_alpha = 0;
  int prefs_found = 0;
};
extern mnw_class mnw;

class stls_class {
 public:
  std::string win_name;
  std::vector<std::string> text = std::vector<std::string>(1600);
  std::string help_message;
};
extern stls_class stls;

// Index of the shared "OK" label in stls.text, used by the alert button.
constexpr int kOkLabelIndex = 0;
