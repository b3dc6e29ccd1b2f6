// Widget labels: splitting "label1|label2{help" into its parts, laying a label out in one or two
// lines and drawing it; and the sub-panels that group widgets.
#include <cstdlib>

#include "ui/draw.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

butn_class butn;

namespace {
constexpr size_t kSplitThreshold = 12;
constexpr int kLabelColour = 42, kLabelRedColour = 76;

bool is_break(char c) { return c == ' ' || c == '-' || c == '/'; }
}  // namespace

void BTN_expand_label(const std::string& input_label, std::string* label1, std::string* label2, std::string* help) {
  size_t c_bra = input_label.rfind('{');
  if (c_bra == std::string::npos) c_bra = input_label.size();
  // Only a '|' before the help text separates the labels; one inside the help is text.
  size_t c_bar = c_bra == 0 ? std::string::npos : input_label.rfind('|', c_bra - 1);
  if (c_bar == std::string::npos) c_bar = c_bra;
  *label1 = input_label.substr(0, c_bar);
  *label2 = c_bar < c_bra ? input_label.substr(c_bar + 1, c_bra - c_bar - 1) : std::string();
  *help = c_bra + 2 <= input_label.size() ? input_label.substr(c_bra + 2) : std::string();
}

int BTN_label_lines(const std::string& label, bool split, std::string* line1, std::string* line2) {
  line1->clear();
  line2->clear();
  std::string text = label;
  if (!text.empty() && text[0] == '-') {
    text.erase(0, 1);
    split = false;
  }
  if (text.empty()) return 0;
  if (!split || text.size() <= kSplitThreshold) {
    *line1 = text;
    return 1;
  }
  // The break nearest the middle; the first and last characters cannot break a line.
  const long middle = static_cast<long>((text.size() + 1) / 2);
  long best = -1;
  for (long i = 1; i + 1 < static_cast<long>(text.size()); ++i)
    if (is_break(text[i]) && (best < 0 || std::labs(i - middle) < std::labs(best - middle))) best = i;
  if (best < 0) {
    *line1 = text;
    return 1;
  }
  *line1 = text.substr(0, best);
  *line2 = text.substr(best + 1);
  return 2;
}

void BTN_util_draw_label(float x, float y, int side, const std::string& input_label, int is_red) {
  std::string lines[2];
  const int n = BTN_label_lines(input_label, side != 1, &lines[0], &lines[1]);
  const int colour = is_red ? kLabelRedColour : kLabelColour;
  for (int i = 0; i < n; ++i) {
    const float line_y = n == 2 ? y + 5.0f - 10.0f * i : y;
    const float line_x = side == 0 ? x - str_dx(lines[i]) : x;
    OGL_string(colour, line_x, line_y, lines[i], 9999, 100);
  }
}

void BTN_subwin(float tab_dy, int win_type, float x, float y, float dx, float dy, const std::string& str, float* x2,
                float* y2) {
  if (x < 0) x = 10;
  if (y < 0) y = 10;
  if (dx < 0) dx = mnw.win_dx - 10 - x;
  if (dy < 0) dy = mnw.win_dy - 28 - y - tab_dy;
  BTN_frame2(win_type, x, y, dx, dy, str);
  *x2 = x + dx + 10;
  *y2 = y + dy + 10;
}
