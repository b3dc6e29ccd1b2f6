// The window's events as the program's input state.
#include "app/keys.h"
#include "app/window.h"
#include "core/app_state.h"
#include "ui/sub_windows.h"
#include "ui/window_state.h"

void on_window_close() { app_done = 1; }

void on_window_paint() {
  if (!mnw.paused && mnw.top_win >= 0) MACIBM_startwind(mnw.top_win);
}

void on_key_down(unsigned int key, bool shift) {
  if (key) keys.handle_key(key, shift);
  mnw.key_hit = 1;
  mnw.any_key_is_down = 1;
}

void on_key_up() { mnw.any_key_is_down = 0; }

void on_text_input(const char* utf8) {
  // Only plain ASCII goes into the program's 8-bit texts.
  for (const char* p = utf8; *p; ++p)
    if (static_cast<unsigned char>(*p) >= 32 && static_cast<unsigned char>(*p) < 127) keys.handle_char(*p);
}

void on_mouse_move(int x, int y) {
  mnw.mx = static_cast<float>(x) / mnw.xy_scale_now - mnw.win_x;
  mnw.my = static_cast<float>(mnw.y_res_now - y) / mnw.xy_scale_now - mnw.win_y;
  mnw.mouse_win01 = 0;
}

void on_mouse_button(bool down) {
  if (down) {
    mnw.mouse_clicked = 1;
    MACIBM_handleclick(0);
  } else {
    mnw.mouse_lifted = 1;
  }
}

void on_mouse_wheel(int delta) { mnw.mouse_wheel += delta / 120; }
