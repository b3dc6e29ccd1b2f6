// Real drawing under a virtual display: shapes, text, numbers, bars and panels are read back from
// the frame and checked, and each frame is saved as a PNG under <build>/frames/ for a person to see.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/drawing_window.h"
#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"
#include "ui/draw.h"
#include "ui/embedded_images.h"
#include "ui/gl_extensions.h"
#include "ui/gl_state.h"
#include "ui/palette.h"
#include "ui/textures.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {

using testing_support::DrawingWindow;

constexpr int kW = 1024, kH = 768;
constexpr unsigned char kBack[3] = {20, 30, 40};  // palette 33 during these tests

struct rect {
  int x1, y1, x2, y2;  // inclusive pixel bounds
  bool holds(int x, int y) const { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }
};

class DrawFrames : public ::testing::Test {
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
    OGL_plot_back_col();
  }

  // Reads the frame back and saves it as frames/draw_<name>.png.
  void grab(const std::string& name) {
    pixels_ = drawing_->window().read_pixels();
    drawing_->window().save_png(std::string(ZEPHRA_BINARY_DIR) + "/frames/draw_" + name + ".png");
  }
  const unsigned char* at(int x, int y) const { return &pixels_[(static_cast<size_t>(y) * kW + x) * 4]; }
  bool is_back(int x, int y) const {
    const unsigned char* p = at(x, y);
    return p[0] == kBack[0] && p[1] == kBack[1] && p[2] == kBack[2];
  }
  // Pixels that differ from the background inside area, and the number of those outside every area.
  int changed_in(const rect& area) const {
    int n = 0;
    for (int y = area.y1; y <= area.y2; ++y)
      for (int x = area.x1; x <= area.x2; ++x) n += !is_back(x, y);
    return n;
  }
  int changed_outside(const std::vector<rect>& areas) const {
    int n = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        if (is_back(x, y)) continue;
        bool inside = false;
        for (const rect& a : areas) inside = inside || a.holds(x, y);
        n += !inside;
      }
    return n;
  }

  static DrawingWindow* drawing_;
  std::vector<unsigned char> pixels_;
};
DrawingWindow* DrawFrames::drawing_ = nullptr;

TEST_F(DrawFrames, ProbeFindsAUsableImplementationAndTheViewportCoversTheWindow) {
  EXPECT_GE(glExt.version_code, 110);
  EXPECT_EQ(glExt.multitex_avail, 1);
  EXPECT_GE(ren.num_tex_units, 1);
  EXPECT_FALSE(ren.cVERS.empty());
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], kW);
  EXPECT_EQ(vp[3], kH);
}

TEST_F(DrawFrames, ShapesLandOnTheirPixelsInTheirColours) {
  mnw.win_x = 100;  // every primitive adds the window origin
  mnw.win_y = 50;
  OGL_fillrect(10, 1.0f, 0, 0, 40, 20);     // green 0, 0.8, 0 at 100...139 x 50...69
  OGL_grayrect(20, 0, 40, 20, 0.5f);        // darkens the right half of it
  OGL_line(0, 1.0f, 0, 40, 39, 40);         // white row 90
  void* context = mnw.context[0];
  mnw.context[0] = nullptr;  // without a context nothing is drawn
  OGL_fillrect(1, 1.0f, 200, 200, 50, 50);
  BTN_frame2(13, 200, 200, 50, 50, "none");
  mnw.context[0] = context;
  grab("shapes");
  const unsigned char* g = at(105, 55);
  EXPECT_EQ(g[0], 0);
  EXPECT_EQ(g[1], 204);
  const unsigned char* d = at(130, 55);
  EXPECT_NEAR(d[1], 102, 1);
  EXPECT_EQ(at(120, 90)[0], 255);
  EXPECT_TRUE(is_back(99, 55));
  EXPECT_TRUE(is_back(140, 55));
  EXPECT_TRUE(is_back(120, 70));
  EXPECT_EQ(changed_in({300, 250, 350, 300}), 0);
}

TEST_F(DrawFrames, StringsInEachCharsetStayInTheirLines) {
  testing_support::AlertRecorder alerts;  // charset 103's texture is never loaded: the fallback shows
  const std::string text = "Zephra 8.50 (Install)";
  std::vector<rect> areas;
  int y = 700;
  for (int charset : {100, 101, 102, 103}) {
    const int pitch = charset == 101 ? 6 : charset == 102 ? 10 : 0;
    const float width = charset == 103 ? 15.0f * (text.size() / 2) : pitch ? pitch * text.size() : str_dx(text);
    OGL_string(1, 100, static_cast<float>(y), text, 9999, charset);
    areas.push_back({100, y - 2, 100 + static_cast<int>(width) + 13, y - 2 + 13});
    y -= 40;
  }
  // Wrapped text moves down a line at a time and stays left of x + width.
  OGL_string(13, 100, 500, "Files come straight from the download server you pick on the left.", 120, 100);
  areas.push_back({100, 500 - 2 - 60, 100 + 120 + 60, 500 - 2 + 11});
  grab("strings");
  for (size_t i = 0; i < areas.size(); ++i) EXPECT_GT(changed_in(areas[i]), 30) << "line " << i;
  EXPECT_EQ(changed_outside(areas), 0);
  // The tint shows: red text is red.
  bool red = false;
  for (int x = 100; x < 200 && !red; ++x)
    for (int yy = 698; yy < 709 && !red; ++yy) red = !is_back(x, yy) && at(x, yy)[0] > at(x, yy)[1] + 40;
  EXPECT_TRUE(red);
  // The wrapped text needed more than one line.
  EXPECT_GT(changed_in({100, 500 - 2 - 60, 400, 500 - 2 - 1}), 10);
}

TEST_F(DrawFrames, NumbersInEachFormTakeTheirSlots) {
  struct case_t {
    float value;
    int dig, dec, charset;
  };
  const case_t cases[] = {{42, 5, 0, 101},     {1234567, 7, 0, 102}, {0.5f, 3, 2, 101},
                          {123456, 3, 0, 102}, {-42, 3, 0, 102},    {99.95f, 4, 1, 101}};
  std::vector<rect> areas;
  int y = 700;
  for (const case_t& c : cases) {
    const int pitch = c.charset == 101 ? 6 : 10;
    const int slots = std::max(c.dig, 5);
    OGL_number(44, 300, static_cast<float>(y), c.value, c.dig, c.dec, c.charset);
    areas.push_back({300 - pitch, y - 3, 300 + slots * pitch + 8, y - 2 + 11});
    y -= 30;
  }
  grab("numbers");
  for (size_t i = 0; i < areas.size(); ++i) EXPECT_GT(changed_in(areas[i]), 20) << "number " << i;
  EXPECT_EQ(changed_outside(areas), 0);
}

TEST_F(DrawFrames, BarsOfEachTypeSpanTheirWidth) {
  std::vector<rect> areas;
  int y = 720;
  for (int type : {0, 1, 2, 3, 4, 5, 7, 8, 9, 10}) {
    frame1_art art{};
    ASSERT_TRUE(BTN_frame1_art(type, &art));
    const float dx = 200;
    BTN_frame1(type, 300, static_cast<float>(y), dx, 0);
    const int drop = (type == 0 || type == 1) ? 3 : 0;
    const int half = 100 + art.shadow_dx;
    const int bottom = y - drop - art.dy_tex / 2;
    areas.push_back({300 - half, bottom, 300 + half - 1, bottom + art.dy_tex - 1});
    y -= 34;
  }
  // A bar narrower than its two end caps still stays inside its span.
  BTN_frame1(2, 700, 400, 8, 0);
  areas.push_back({700 - 4 - 10, 400 - 13, 700 + 4 + 10, 400 + 13});
  grab("bars");
  for (size_t i = 0; i + 1 < areas.size(); ++i) {
    const rect& a = areas[i];
    EXPECT_GT(changed_in(a), (a.x2 - a.x1 + 1) * (a.y2 - a.y1 + 1) / 3) << "bar " << i;
  }
  EXPECT_EQ(changed_outside(areas), 0);
}

TEST_F(DrawFrames, PanelsOfEachTypeCoverTheirRectangleAndShadow) {
  std::vector<rect> areas;
  int i = 0;
  for (int type = 11; type <= 20; ++type, ++i) {
    frame2_art art{};
    ASSERT_TRUE(BTN_frame2_art(type, &art));
    const float x = 30.0f + (i % 5) * 200, y = 420.0f - (i / 5) * 250, dx = 160, dy = 170;
    BTN_frame2(type, x, y, dx, dy, type == 11 ? "Prefs" : "Panel");
    areas.push_back({static_cast<int>(x) - art.shadow_dx, static_cast<int>(y) - art.shadow_dyb,
                     static_cast<int>(x + dx) + art.shadow_dx - 1, static_cast<int>(y + dy) + art.shadow_dyt - 1});
  }
  grab("panels");
  for (size_t k = 0; k < areas.size(); ++k) {
    const rect& a = areas[k];
    EXPECT_GT(changed_in(a), (a.x2 - a.x1 + 1) * (a.y2 - a.y1 + 1) / 2) << "panel " << k + 11;
  }
  EXPECT_EQ(changed_outside(areas), 0);
}

TEST_F(DrawFrames, WindowFillCoversAModalPanel) {
  stls.win_name = "Prefs";
  mnw.win_x = 262;
  mnw.win_y = 194;
  mnw.win_dx = 500;
  mnw.win_dy = 380;
  BTN_fillwin(1, 1);
  BTN_fillwin(1, 13);
  grab("fillwin");
  EXPECT_EQ(changed_outside({{262 - 9, 194 - 14, 262 + 500 + 9, 194 + 380 + 4}}), 0);
  EXPECT_FALSE(is_back(262 + 250, 194 + 190));
  stls.win_name.clear();
}

TEST(DrawDeathTest, UnknownBarsAndPanelsEndTheProgram) {
  EXPECT_EXIT(
      {
        testing_support::AlertRecorder quiet;
        BTN_frame1(6, 0, 0, 10, 0);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(
      {
        testing_support::AlertRecorder quiet;
        BTN_frame2(21, 0, 0, 10, 10, "");
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
