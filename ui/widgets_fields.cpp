// The text field: a click gives it the keyboard focus; while focused it shows what is typed into
// the shared typing buffer, cut to its length, with a blinking caret.
#include "core/alert.h"
#include "ui/draw.h"
#include "ui/typing.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {
constexpr int kTextColour = 44;
constexpr float kCharDx = 6;  // pixels per character of a field's width

// The field that was focused when last drawn. The frame drops the focus on every press, so a
// press on the field being edited gives the focus back without emptying what was typed.
int last_focused = -1;
}  // namespace

int BTN_enterstring(float x, float y, std::string* input, int dim, int this_field, const std::string& input_label,
                    int text_colour) {
  if (text_colour < 0) text_colour = kTextColour;
  std::string label1, label2, help;
  BTN_expand_label(input_label, &label1, &label2, &help);
  const float width = kCharDx * dim;
  int took_focus = 0;
  const bool over = mnw.mx >= x && mnw.mx <= x + width && mnw.my >= y && mnw.my <= y + 8.0f;
  if (over && !help.empty()) stls.help_message = help;
  if (over && mnw.mouse_clicked && mnw.entry_field != this_field) {
    mnw.entry_field = this_field;
    if (last_focused != this_field) {
      input->clear();
      stl_input.clear();
      took_focus = 1;
    }
  }
  const bool focused = mnw.entry_field == this_field;
  if (focused) {
    if (stl_input.size() > static_cast<size_t>(dim)) stl_input.resize(dim);
    *input = stl_input;
    last_focused = this_field;
    if (return_hit) mnw.entry_field = -1;  // Return ends the edit
  } else if (last_focused == this_field) {
    last_focused = -1;
  }

  BTN_frame1(9, x + 3.0f * dim - 2.0f, y + 3.0f, 6.0f * dim + 10.0f, 0);
  OGL_string(text_colour, x, y, *input, 9999, 100);
  if (focused) {
    const float caret_x = x + 1.0f + str_dx(*input);
    OGL_line(kTextColour, mnw.pulse_alpha, caret_x, y + 6.5f, caret_x, y - 0.5f);
  }
  BTN_util_draw_label(x - 12.0f, y, 0, label1, 0);
  BTN_util_draw_label(x + width + 6.0f, y, 2, label2, 0);
  return took_focus;
}
