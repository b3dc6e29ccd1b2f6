// One of each widget drawn on a virtual display, read back and saved as frames/widgets.png.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/keys.h"
#include "tests/support/drawing_window.h"
#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"
#include "ui/draw.h"
#include "ui/embedded_images.h"
#include "ui/gl_extensions.h"
#include "ui/gl_state.h"
#include "ui/palette.h"
#include "ui/sub_windows.h"
#include "ui/textures.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {

using testing_support::DrawingWindow;

constexpr int kW = 1024, kH = 768;
constexpr unsigned char kBack[3] = {20, 30, 40};

class WidgetFrames : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drawing_ = new DrawingWindow(kW, kH);
  }
  static void TearDownTestSuite() {
    delete drawing_;
    drawing_ = nullptr;
  }
  void SetUp() override {
    if (!drawing_ || !drawing_->ok()) GTEST_SKIP() << "no virtual display with GL here";
    colr.assign(33, kBack[0] / 255.0f, kBack[1] / 255.0f, kBack[2] / 255.0f);
    mnw.win_x = mnw.win_y = 0;
    mnw.win_dx = kW;
    mnw.win_dy = kH;
    mnw.menu_up = -1;
    mnw.mouse_clicked = 0;
    mnw.mx = mnw.my = -100;
    mnw.pulse_alpha = 1.0f;
    mnw.entry_field = -1;
    OGL_plot_back_col();
  }
  void grab(const std::string& name) {
    pixels_ = drawing_->window().read_pixels();
    drawing_->window().save_png(std::string(ZEPHRA_BINARY_DIR) + "/frames/" + name + ".png");
  }
  const unsigned char* at(int x, int y) const { return &pixels_[(static_cast<size_t>(y) * kW + x) * 4]; }
  bool is_back(int x, int y) const {
    const unsigned char* p = at(x, y);
    return p[0] == kBack[0] && p[1] == kBack[1] && p[2] == kBack[2];
  }
  int changed_in(int x1, int y1, int x2, int y2) const {
    int n = 0;
    for (int y = y1; y <= y2; ++y)
      for (int x = x1; x <= x2; ++x) n += !is_back(x, y);
    return n;
  }
  // Pixels that differ between two equally sized blocks whose lower-left corners are given.
  int differing(int ax, int ay, int bx, int by, int w, int h) const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned char *a = at(ax + x, ay + y), *b = at(bx + x, by + y);
        n += a[0] != b[0] || a[1] != b[1] || a[2] != b[2];
      }
    return n;
  }

  static DrawingWindow* drawing_;
  std::vector<unsigned char> pixels_;
};
DrawingWindow* WidgetFrames::drawing_ = nullptr;

}  // namespace

TEST_F(WidgetFrames, OneOfEachWidgetDrawsWhereItsHitAreaIs) {
  int off = 0, on = 1, radio_off = 0, radio_on = 1, sel = 1, streams = 3;
  float rate = 12.5f;
  std::string name = "Zephra", host = "proxy";

  BTN_action(150, 700, 0, 0, 1, "preferences");
  BTN_action(350, 700, 120, 1, 2, "INSTALL");
  BTN_bool(600, 700, &off, "Check off|remark", 0);
  BTN_bool(600, 660, &on, "Check on", 0);
  BTN_bool(800, 700, &radio_off, "|radio off", 1);
  BTN_bool(800, 660, &radio_on, "|radio on", 1);
  BTN_flt_range(200, 560, &rate, 3, 1, 0, 99.9f, "Rate|k/s");
  BTN_int_range(200, 500, &streams, 2, 1, 4, "Streams");
  BTN_textlist(600, 560, &sel, "All-Windows-Linux", "Operating System:|(copy it anywhere)");
  BTN_enterstring(200, 400, &name, 12, 1, "Name");
  mnw.entry_field = 2;
  stl_input = "proxy";
  BTN_enterstring(200, 360, &host, 12, 2, "Proxy host");
  BTN_util_draw_label(700, 300, 0, "Right aligned label", 0);
  BTN_util_draw_label(700, 250, 2, "-One line however long it is", 1);
  float x2 = 0, y2 = 0;
  BTN_subwin(0, 13, 40, 40, 300, 150, "Sub-panel", &x2, &y2);
  grab("widgets");

  // Push buttons: caption width + 21 around the centre, 26 texels high.
  const int half = static_cast<int>((str_dx("preferences") + 21) / 2);
  EXPECT_GT(changed_in(150 - half, 690, 150 + half - 1, 710), half * 20);
  EXPECT_TRUE(is_back(150 + half + 3, 700));
  EXPECT_GT(differing(350 - 50, 690, 150 - 50, 690, 30, 20), 50) << "the pressed look differs";
  // Check boxes and radio boxes: the mark shows only when set.
  EXPECT_GT(changed_in(591, 695, 609, 713), 100);
  EXPECT_GT(differing(591, 695, 591, 655, 19, 19), 10);
  EXPECT_GT(differing(791, 695, 791, 655, 19, 19), 10);
  EXPECT_GT(changed_in(540, 695, 588, 712), 10) << "label1 right-aligned before the box";
  EXPECT_GT(changed_in(612, 695, 660, 712), 10) << "label2 after the box";
  // Spinner: the field with its arrows over the slots, the labels either side.
  EXPECT_GT(changed_in(200, 560, 230, 570), 60);
  EXPECT_GT(changed_in(200, 575, 230, 585), 30) << "up arrows";
  EXPECT_GT(changed_in(200, 541, 230, 552), 30) << "down arrows";
  // Pop-up list button and its chosen item.
  EXPECT_GT(changed_in(600 - 10, 553, 600 + 10, 570), 60);
  // Text fields: the focused one has its caret after the text.
  const int caret = static_cast<int>(200 + 1 + str_dx("proxy"));
  EXPECT_GT(differing(caret - 1, 358, caret - 1, 398, 3, 9), 2);
  // Labels: right-aligned ones end at x; a long one takes two lines, 5 above and 5 below y.
  EXPECT_GT(changed_in(600, 303, 700, 312), 20);
  EXPECT_GT(changed_in(600, 293, 700, 302), 10);
  EXPECT_EQ(changed_in(702, 285, 760, 315), 0);
  EXPECT_GT(changed_in(700, 245, 880, 260), 40);
  EXPECT_FLOAT_EQ(x2, 350);
  EXPECT_FLOAT_EQ(y2, 200);
  EXPECT_GT(changed_in(40, 40, 340, 190), 300 * 150 / 2);
  stl_input.clear();
  mnw.entry_field = -1;
}
