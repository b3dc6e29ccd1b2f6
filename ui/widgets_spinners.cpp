// Digit spinners: a number in fixed digit slots with an up and a down arrow over each slot;
// clicking the upper or lower half of a slot adds or subtracts that digit's place value.
#include <algorithm>
#include <cmath>

#include "ui/draw.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {
constexpr float kSlot = 10;      // pixels per digit slot (charset 102)
constexpr int kMaxSlots = 10;    // slots beyond the tenth do not react
constexpr int kDigitColour = 44;

// Arrow elements of the atlas: centre s, t and half-sizes in texels.
constexpr float kArrowS = 90, kArrowDownT = 187, kArrowUpT = 206, kArrowHalfX = 7, kArrowHalfY = 9;

float round_to_decimals(float v, int dec) {
  const double scale = std::pow(10.0, dec);
  return static_cast<float>(std::round(static_cast<double>(v) * scale) / scale);
}
}  // namespace

void BTN_util_draw_boxed_button(float x_center, float y_center, float dx_control, float box_os, int num_boxes) {
  BTN_frame1(9, x_center, y_center, dx_control, 0);
  for (int i = 0; i < num_boxes; ++i) {
    const float xc = x_center + kSlot * i - 5.0f * num_boxes + 5.0f + box_os;
    BTN_util_element(xc, y_center - 13.0f, kArrowS, kArrowDownT, kArrowHalfX, kArrowHalfY, 0);
    BTN_util_element(xc, y_center + 15.0f, kArrowS, kArrowUpT, kArrowHalfX, kArrowHalfY, 0);
  }
}

int BTN_flt_range(float x, float y, float* var, int dig, int dec, float lo, float hi, const std::string& input_label) {
  std::string label1, label2, help;
  BTN_expand_label(input_label, &label1, &label2, &help);
  int changed = 0;
  const float width = kSlot * dig;
  if (mnw.menu_up == -1 && mnw.mx >= x && mnw.mx <= x + width && mnw.my >= y - 18.0f && mnw.my <= y + 24.0f) {
    if (mnw.my >= y - 2.0f && mnw.my <= y + 8.0f && !help.empty()) stls.help_message = help;
    if (mnw.mouse_clicked) {
      // The slot under the mouse, 1-based; the right edge belongs to the last slot.
      const int k = std::min(static_cast<int>(std::floor((mnw.mx - x) / kSlot)) + 1, dig);
      if (k >= 1 && k <= kMaxSlots) {
        const float step = static_cast<float>(std::pow(10.0, dig - k) / std::pow(10.0, dec));
        *var += mnw.my >= y + 3.0f ? step : -step;
        changed = 1;
      }
    }
  }
  *var = round_to_decimals(std::max(lo, std::min(*var, hi)), dec);

  BTN_util_draw_boxed_button(x + 5.0f * dig - 1.0f, y + 3.0f, width + 15.0f, 2, dig);
  OGL_number(kDigitColour, x + 4.0f, y, *var, dig, dec, 102);
  BTN_util_draw_label(x - 12.0f, y, 0, label1, 0);
  BTN_util_draw_label(x + width + 12.0f, y, 2, label2, 0);
  return changed;
}

int BTN_int_range(float x, float y, int* var, int dig, float lo, float hi, const std::string& input_label) {
  float value = static_cast<float>(*var);
  const int changed = BTN_flt_range(x, y, &value, dig, 0, lo, hi, input_label);
  *var = static_cast<int>(std::lround(value));
  return changed;
}
