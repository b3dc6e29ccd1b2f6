#include "app/splash.h"

#include <algorithm>

#include "core/app_state.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

float splash_fraction(const float* progress) {
  if (progress) return std::clamp(*progress, 0.02f, 1.0f);
  return std::clamp(static_cast<float>(counter_now++) / 100.0f, 0.02f, 1.0f);
}

void MACIBM_show_init(const std::string& message, float* progress) {
  if (!subwin_started || !mnw.context[0]) return;
  OGL_plot_back_col();
  BTN_frame2(15, mnw.extra_sx + 2, 330, 1020, 110, "");
  OGL_string(48, mnw.extra_sx + 512 - str_dx(kVersionLabel) * 0.5f, 410, kVersionLabel, 9999, 100);
  float fraction = splash_fraction(progress);
  float left = mnw.extra_sx + 8, right = mnw.extra_sx + 1016, y = 384;
  BTN_frame1(4, (left + right) * 0.5f, y, right - left, 0);
  float filled = (right - left) * fraction;
  BTN_frame1(5, left + filled * 0.5f, y, filled, 0);
  OGL_string(60, mnw.extra_sx + 512 - str_dx(message) * 0.5f, y - 30, message, 9999, 100);
  OGL_sbuf();
}
