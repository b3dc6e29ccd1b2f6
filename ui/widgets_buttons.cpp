// Push buttons, check boxes and radio choices: drawn from the interface atlas, clicked through
// the mouse state of the frame (which they test with or without a GL context).
#include <cmath>

#include "ui/draw.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {

// Atlas elements (centre s, t in texels; all 9 x 9 texels from the centre).
constexpr float kCheckS = 148, kCheckT = 187, kCheckMarkT = 206;
constexpr float kRadioS = 92, kRadioT = 132, kRadioMarkT = 151;
constexpr float kBoxHalf = 9;

bool no_menu_open() { return mnw.menu_up == -1; }

void draw_caption(float x_center, float y_center, const std::string& caption, bool red) {
  std::string shown, unused;
  BTN_label_lines(caption, false, &shown, &unused);
  BTN_util_draw_label(x_center - str_dx(shown) * 0.5f, y_center - 4.0f, 1, caption, red ? 1 : 0);
}

}  // namespace

int BTN_action(float x_center, float y_center, float dx_control, int pressed, int show_press,
               const std::string& input_label) {
  std::string caption, label2, help;
  BTN_expand_label(input_label, &caption, &label2, &help);
  if (dx_control <= 0) {
    std::string shown, unused;
    BTN_label_lines(caption, false, &shown, &unused);
    dx_control = str_dx(shown) + 21.0f;
  }
  const bool red = show_press == 2 && pressed;
  BTN_frame1(2, x_center, y_center, dx_control, 0);
  if (pressed) BTN_frame1(3, x_center, y_center, dx_control, 0);
  draw_caption(x_center, y_center, caption, red);

  const bool over = no_menu_open() && std::fabs(mnw.mx - x_center) <= dx_control * 0.5f &&
                    std::fabs(mnw.my - y_center) <= 10.0f;
  if (!over) return 0;
  if (!help.empty()) stls.help_message = help;
  if (!mnw.mouse_clicked) return 0;
  // Show the press at once: the work the click starts may take a while before the next frame.
  if (!pressed && show_press && mnw.context[0]) {
    BTN_frame1(3, x_center, y_center, dx_control, 0);
    draw_caption(x_center, y_center, caption, red);
    OGL_sbuf();
  }
  return 1;
}

namespace {

// The check box behind BTN_bool and BTN_is_int; with keep_set a click on a set box leaves it set
// (a radio choice), so it is never drawn unset for a frame.
int check_box(float x, float y, int* var, const std::string& input_label, int is_list_sel, bool keep_set) {
  std::string label1, label2, help;
  BTN_expand_label(input_label, &label1, &label2, &help);
  int clicked = 0;
  if (no_menu_open() && std::fabs(mnw.mx - x) <= 8.0f && mnw.my >= y - 4.0f && mnw.my <= y + 12.0f) {
    if (!help.empty()) stls.help_message = help;
    if (mnw.mouse_clicked) {
      *var = *var && !keep_set ? 0 : 1;
      clicked = 1;
    }
  }
  const float s = is_list_sel ? kRadioS : kCheckS;
  BTN_util_element(x, y + 4.0f, s, is_list_sel ? kRadioT : kCheckT, kBoxHalf, kBoxHalf, 0);
  if (*var) BTN_util_element(x, y + 4.0f, s, is_list_sel ? kRadioMarkT : kCheckMarkT, kBoxHalf, kBoxHalf, 0);
  BTN_util_draw_label(x - 12.0f, y, 0, label1, 0);
  BTN_util_draw_label(x + 12.0f, y, 2, label2, 0);
  return clicked;
}

}  // namespace

int BTN_bool(float x, float y, int* var, const std::string& input_label, int is_list_sel) {
  return check_box(x, y, var, input_label, is_list_sel, false);
}

int BTN_is_int(float x, float y, int* var, int target, const std::string& input_label) {
  int selected = *var == target ? 1 : 0;
  const int clicked = check_box(x, y, &selected, input_label, 1, true);
  if (selected) *var = target;
  return clicked;
}
