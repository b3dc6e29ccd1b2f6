#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/event_loop.h"
#include "app/splash.h"
#include "app/startup.h"
#include "core/app_state.h"
#include "core/log.h"
#include "install/session_state.h"
#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

using namespace testing_support;

namespace {
const unsigned char* pixel(const std::vector<unsigned char>& frame, int x, int y) {
  return &frame[(static_cast<size_t>(y) * mnw.x_res_now + x) * 4];
}

int brightness(const unsigned char* p) { return p[0] + p[1] + p[2]; }

std::string frame_path(const std::string& name) { return std::string(ZEPHRA_BINARY_DIR) + "/frames/" + name; }

double luminance(const unsigned char* p) {
  auto lin = [](unsigned char c) {
    double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(p[0]) + 0.7152 * lin(p[1]) + 0.0722 * lin(p[2]);
}

// The contrast of the brightest pixel (the caption's ink) against the middle one (the button)
// inside a rectangle of the frame.
double caption_contrast(const std::vector<unsigned char>& frame, int x1, int y1, int x2, int y2) {
  std::vector<double> l;
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) l.push_back(luminance(pixel(frame, x, y)));
  std::sort(l.begin(), l.end());
  return (l.back() + 0.05) / (l[l.size() / 2] + 0.05);
}
}  // namespace

TEST(SplashFraction, FollowsTheGivenProgressOrItsOwnCounter) {
  float half = 0.5f, nothing = 0.0f, over = 3.0f;
  EXPECT_FLOAT_EQ(splash_fraction(&half), 0.5f);
  EXPECT_FLOAT_EQ(splash_fraction(&nothing), 0.02f);
  EXPECT_FLOAT_EQ(splash_fraction(&over), 1.0f);
  counter_now = 40;
  EXPECT_FLOAT_EQ(splash_fraction(nullptr), 0.4f);
  EXPECT_EQ(counter_now, 41);
}

// Start-up with the window: the splash with its bar, then the installer screen, then a clean end.
TEST(Window, StartsWithTheSplashShowsTheScreenAndFinishesCleanly) {
  XvfbDisplay display;
  ASSERT_TRUE(display.ok()) << "Xvfb did not start";
  TempDir config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);

  window_wanted = true;
  std::string raw = "--vendor_host=127.0.0.1:1";
  const char* raw_arg = raw.c_str();
  std::vector<unsigned char> splash;
  OGL_capture_next_frame(&splash);
  MACIBM_init(1, &raw_arg);
  ASSERT_EQ(ogl_inited, 1);
  ASSERT_NE(mnw.context[0], nullptr);
  EXPECT_EQ(mnw.top_win, -1);

  // The splash's bar runs from 8 to 1016 across at 384 up; its filled part starts at the left.
  ASSERT_FALSE(splash.empty()) << "the splash was never presented";
  write_png_bottom_up(frame_path("window_splash.png"), splash.data(), mnw.x_res_now, mnw.y_res_now);
  const unsigned char* background = pixel(splash, 3, 3);
  const unsigned char* bar = pixel(splash, 20, 384);
  EXPECT_NE(brightness(bar), brightness(background)) << "no bar where the splash draws it";

  // A destination far too long for its box.
  dest_dir_path = "/home/someone/" + std::string(120, 'd') + "/Zephra/";
  std::vector<unsigned char> screen;
  for (int frame = 0; frame < 5; ++frame) {
    if (frame == 4) OGL_capture_next_frame(&screen);
    MACIBM_event_proc();
  }
  EXPECT_EQ(mnw.top_win, 0);
  write_png_bottom_up(frame_path("window_installer_screen.png"), screen.data(), mnw.x_res_now, mnw.y_res_now);
  int lit = 0;
  for (int y = 0; y < mnw.y_res_now; y += 16)
    for (int x = 0; x < mnw.x_res_now; x += 16) lit += brightness(pixel(screen, x, y)) > 30 ? 1 : 0;
  EXPECT_GT(lit, 100) << "the installer background was not drawn";
  // The path stays in its box: nothing is drawn in the gap between the box and the hint beside it.
  int ink_in_gap = 0;
  for (int y = 80; y <= 98; ++y)
    for (int x = 442; x <= 447; ++x) ink_in_gap += brightness(pixel(screen, x, y)) > 300 ? 1 : 0;
  EXPECT_EQ(ink_in_gap, 0) << "the destination runs out of its box";
  dest_dir_path.clear();
  // Without a directory INSTALL cannot be used: a dimmed button whose grey word can still be read.
  EXPECT_GE(caption_contrast(screen, 645, 423, 755, 437), 3.0);
  EXPECT_LT(brightness(pixel(screen, 650, 430)), brightness(pixel(screen, 830 - 45, 430)))
      << "the unavailable INSTALL looks as lit as the store button beside it";

  MACIBM_finishup(1);
  EXPECT_EQ(mnw.context[0], nullptr);
  EXPECT_EQ(ogl_inited, 0);
  EXPECT_TRUE(file_exists(config / "Zephra Installer.prf")) << "the normal finish-up saves the preferences";
  use_test_config_folder();
  window_wanted = false;
}

// The preferences saved at the finish-up cannot be written: the alert comes after the window has
// gone, as a message box.
TEST(Window, AnAlertOfTheFinishUpComesAsAMessageBox) {
  XvfbDisplay display;
  ASSERT_TRUE(display.ok()) << "Xvfb did not start";
  TempDir config;
  write_file(config / "a-file", "not a folder");
  setenv("XDG_CONFIG_HOME", (config / "a-file").c_str(), 1);
  window_wanted = true;
  std::string raw = "--vendor_host=127.0.0.1:1";
  const char* raw_arg = raw.c_str();
  MACIBM_init(1, &raw_arg);
  ASSERT_EQ(ogl_inited, 1);
  std::vector<alert_view> shown;
  alert_hooks().show = [&](const alert_view& v) { shown.push_back(v); };
  MACIBM_finishup(1);
  alert_hooks().show = nullptr;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].lines[0].rfind("I could not save the file!", 0), 0u);
  EXPECT_TRUE(shown[0].message_box);
  use_test_config_folder();
  window_wanted = false;
}

// A panel sets its hover help before its frame runs; the frame must still show it.
TEST(Window, APanelsHelpTextSurvivesItsFrame) {
  XvfbDisplay display;
  ASSERT_TRUE(display.ok()) << "Xvfb did not start";
  GlTestWindow window;
  ASSERT_TRUE(window.ok());
  MACIBM_startwind(2);
  stls.help_message = "What this box does";
  MACIBM_event_proc();
  EXPECT_EQ(stls.help_message, "What this box does");
  MACIBM_startwind(0);
}
