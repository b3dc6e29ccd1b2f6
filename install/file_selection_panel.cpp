#include "install/file_selection_panel.h"

#include "core/app_state.h"
#include "core/event_frame.h"
#include "install/file_selection.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {
constexpr int kQuestionWin = 997;
constexpr float kLineY[3] = {118, 102, 86};
constexpr float kRowY[3] = {62, 38, 14};
constexpr float kHalfWidth = 330;
}  // namespace

select_button_place select_alert_button(int answer) {
  float left = mnw.win_dx * 0.25f, right = mnw.win_dx * 0.75f, middle = mnw.win_dx * 0.5f;
  switch (answer) {
    case select_proceed: return {left, kRowY[0], kHalfWidth};
    case select_keep: return {right, kRowY[0], kHalfWidth};
    case select_proceed_folder: return {left, kRowY[1], kHalfWidth};
    case select_keep_folder: return {right, kRowY[1], kHalfWidth};
    default: return {middle, kRowY[2], kHalfWidth};
  }
}

int select_alert_panel(const std::string& dest_path_exp, int is_gone) {
  // Without the window the user's file is kept, as when nobody answers.
  if (!mnw.context[0]) return select_keep;
  select_alert_texts texts = select_alert_text(dest_path_exp, is_gone);
  MACIBM_startwind(kQuestionWin);
  while (mnw.top_win == kQuestionWin) {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    for (int i = 0; i < 3; ++i) OGL_string(colour_panel_text, 10, kLineY[i], texts.lines[i], mnw.win_dx - 20, 100);
    for (int answer = select_proceed; answer <= select_keep_folder; ++answer) {
      select_button_place b = select_alert_button(answer);
      if (BTN_action(b.x_center, b.y_center, b.width, 0, 1, texts.labels[answer - 1])) {
        MACIBM_startwind(0);
        return answer;
      }
    }
    run_event_frame();
    if (app_done) break;
  }
  // Closed by any other means: nothing of the user's is touched.
  if (mnw.top_win == kQuestionWin) MACIBM_startwind(0);
  return select_cancel;
}
