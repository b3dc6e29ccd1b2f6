#include "app/alert_panel.h"

#include <GL/gl.h>

#include "app/event_loop.h"
#include "core/app_state.h"
#include "ui/draw.h"
#include "ui/gl_state.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {
constexpr int kAlertWin = 995;
constexpr const char* kLanguageLabels[6] = {"|English", "|French", "|German", "|Italian", "|Spanish", "|Portuguese"};
constexpr float kLineY[4] = {195, 155, 115, 75};

// The alert may interrupt any drawing: close what was open and drop the errors it leaves.
void reset_drawing_state() {
  glEnd();
  GLint list = 0;
  glGetIntegerv(GL_LIST_INDEX, &list);
  if (list) glEndList();
  for (int i = 0; i < 30 && glGetError() != GL_NO_ERROR; ++i) {
  }
  OGL_nrml_colors();
}

void draw_alert(const alert_view& view) {
  BTN_fillwin(1, 21);
  if (view.type == alert_language) {
    for (int lang = 0; lang < 6; ++lang)
      BTN_is_int(mnw.win_dx * 0.5f - 25, 180.0f - 20.0f * lang, &mnw.lang, lang, kLanguageLabels[lang]);
    return;
  }
  for (int i = 0; i < 4; ++i) OGL_string(colour_panel_text, 10, kLineY[i], view.lines[i], mnw.win_dx - 20, 100);
  if (view.type == alert_fatal) OGL_string(colour_panel_text, 10, 35, view.reference, mnw.win_dx - 20, 100);
}
}  // namespace

bool alert_panel_available() { return mnw.context[0] != nullptr; }

alert_button_place alert_panel_button() { return {mnw.win_dx * 0.5f, 18, 80}; }

void alert_panel_run(const alert_view& view) {
  reset_drawing_state();
  float mx = mnw.mx, my = mnw.my;
  MACIBM_startwind(kAlertWin);
  std::string label = stls.text[kOkLabelIndex].empty() ? "OK" : stls.text[kOkLabelIndex];
  if (view.type == alert_language) label = "Accept";

  while (mnw.top_win == kAlertWin) {
    // A repaint re-opens the panel with an empty title; the language chooser keeps its own.
    if (view.type == alert_language) stls.win_name = "Language:";
    draw_alert(view);
    alert_button_place button = alert_panel_button();
    bool pressed = BTN_action(button.x_center, button.y_center, button.width, 0, 1, label) != 0;
    if (pressed || return_hit) {
      return_hit = 0;
      if (view.type == alert_fatal) break;
      MACIBM_startwind(view.close_to);
      mnw.mx = mx;
      mnw.my = my;
    }
    if (mnw.top_win != kAlertWin) break;
    MACIBM_event_proc();
    // The window was closed under the alert: stop asking, the program is ending anyway.
    if (app_done) {
      if (view.type != alert_fatal) MACIBM_startwind(view.close_to);
      break;
    }
  }
}
