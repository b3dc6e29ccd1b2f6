// The licence agreement: four lines of terms with a decline and an accept button.
#include "core/app_state.h"
#include "core/event_frame.h"
#include "prefs/panels.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

const char* const kAgreementLines[4] = {
    "Zephra is licensed to you to use on your own computers.",
    "Please do not pass copies of it on to others or sell it.",
    "I only add, replace and delete files in the folder you pick.",
    "It comes as it is. Press I accept to go on with the install.",
};

namespace {
constexpr int kAgreementWin = 1;

void draw_agreement_pass() {
  OGL_plot_back_col();
  BTN_fillwin(1, 21);
  BTN_frame2(16, 10, 50, mnw.win_dx - 20, mnw.win_dy - 78, "");
  const float line_y[4] = {250, 230, 210, 180};
  for (int i = 0; i < 4; ++i) OGL_string(colour_text, 20, line_y[i], kAgreementLines[i], 400, 100);
  if (interface_rect(300, 10, 832, 166, 85, 22, 1, 1)) {
    agreed = 0;
    MACIBM_startwind(0);
  } else if (interface_rect(400, 10, 918, 166, 59, 22, 1, 1)) {
    agreed = 1;
    MACIBM_startwind(0);
  }
}
}  // namespace

int handle_EULA() {
  if (agreed) return 1;
  if (agreement_hook) {
    agreed = agreement_hook() ? 1 : 0;
    return agreed;
  }
  // Nobody can read the terms without a window: nothing is agreed.
  if (!mnw.context[0]) return agreed;
  MACIBM_startwind(kAgreementWin);
  while (mnw.top_win == kAgreementWin) {
    draw_agreement_pass();
    if (mnw.top_win != kAgreementWin) break;
    run_event_frame();
    // Closing the program's window declines.
    if (app_done && mnw.top_win == kAgreementWin) MACIBM_startwind(0);
  }
  return agreed;
}
