#include "app/frame_rules.h"

#include <algorithm>
#include <cmath>

#include "ui/palette.h"
#include "ui/window_state.h"

void adapt_frame_period(float& period, float& ratio, float& reference_time, float now) {
  ratio = std::clamp((now - reference_time) * 0.1f / period, 0.5f, 1.5f);
  period = std::clamp(period * std::pow(ratio, 0.25f), 0.0010001f, 0.05f);
  reference_time = now;
}

void update_mouse_state(float now, float last_mx, float last_my) {
  constexpr float kQuick = 0.25f;
  mnw.delay_dragging = mnw.now_dragging && now - mnw.m_down_time > kQuick;
  mnw.mouse_double_clicked = mnw.mouse_clicked && now - mnw.m_down_time < kQuick;
  mnw.mouse_did_click = mnw.mouse_lifted && now - mnw.m_down_time < kQuick;
  if (mnw.mouse_clicked) {
    mnw.now_dragging = 1;
    mnw.m_move_time = mnw.m_down_time = now;
    mnw.entry_field = -1;
  }
  if (mnw.mouse_lifted) mnw.now_dragging = mnw.delay_dragging = 0;
  if (std::fabs(mnw.mx - last_mx) > 0.5f || std::fabs(mnw.my - last_my) > 0.5f) mnw.m_move_time = now;
}

void update_pulse_colours(float now) { mnw.pulse_alpha = colr_set_pulse(now); }

help_box place_help_box(int length, float mx, float my) {
  help_box box{mx - 400, my, 400, std::clamp(20.0f + 10.0f * static_cast<float>(length / 50), 60.0f, 300.0f)};
  box.x = std::clamp(box.x, 10.0f, 1014.0f - box.dx);
  box.y = std::clamp(box.y, 10.0f, 748.0f - box.dy);
  return box;
}
