#include "install/directory_view_panel.h"

#include <algorithm>

#include "ui/draw.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

void dir_progress_panel(const dir_progress_screen& screen) {
  if (!mnw.context[0]) return;
  // The read runs outside the sub-window loop: draw on the whole window.
  float saved_x = mnw.win_x, saved_y = mnw.win_y;
  mnw.win_x = mnw.win_y = 0;
  float cx = mnw.x_res_now * 0.5f, y = mnw.y_res_now * 0.5f;
  float left = cx - 500, right = cx + 500;

  OGL_plot_back_col();
  BTN_frame2(15, left - 6, y - 70, right - left + 12, 150, "");
  OGL_string(48, cx - str_dx(screen.message1) * 0.5f, y + 50, screen.message1, 9999, 100);
  OGL_string(60, cx - str_dx(screen.activity) * 0.5f, y + 26, screen.activity, 9999, 100);
  BTN_frame1(4, cx, y, right - left, 0);
  float filled = (right - left) * screen.fill;
  BTN_frame1(5, left + filled * 0.5f, y, filled, 0);
  // A long path starts at the bar's left end instead of running off both sides.
  float path_x = std::max(left, cx - str_dx(screen.rel_path_exp) * 0.5f);
  OGL_string(60, path_x, y - 30, screen.rel_path_exp, 9999, 100);
  OGL_sbuf();

  mnw.win_x = saved_x;
  mnw.win_y = saved_y;
}
