#pragma once
// A GL window on a virtual display for the modal panels, and a script that plays the user:
// it runs after every frame of the panel's loop, can capture the next frame and click a place.
// Every loop is ended by the script after a few frames, so no test waits for a person.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/event_loop.h"
#include "core/app_state.h"
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
#include "ui/window_state.h"

namespace panel_testing {

class PanelWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drawing_ = new testing_support::DrawingWindow(1024, 768);
    if (!drawing_->ok()) return;
    // The program's first frame re-opens the current panel; let it happen on a modal one so the
    // install session does not run.
    MACIBM_startwind(995);
    MACIBM_event_proc();
    MACIBM_startwind(0);
  }
  static void TearDownTestSuite() {
    delete drawing_;
    drawing_ = nullptr;
  }
  void SetUp() override {
    if (!drawing_ || !drawing_->ok()) GTEST_SKIP() << "no virtual display with GL here";
    app_done = 0;
    return_hit = 0;
    MACIBM_startwind(0);
    after_frame_hook = [this] { step(); };
  }
  void TearDown() override {
    after_frame_hook = nullptr;
    app_done = 0;
  }

  // The user: called with the number of the frame just run (1, 2, ...).
  std::function<void(int frame)> user;
  int frames = 0;
  std::vector<unsigned char> shot;
  static constexpr int kGiveUp = 30;

  // Captures the frame the panel draws next.
  void capture_next() { OGL_capture_next_frame(&shot); }
  // A press at (x, y) of the current panel, seen by the panel's next pass.
  static void click(float x, float y) {
    mnw.mx = x;
    mnw.my = y;
    mnw.mouse_clicked = 1;
  }
  void save(const std::string& name) const {
    ASSERT_FALSE(shot.empty()) << "no frame was captured";
    testing_support::write_png_bottom_up(std::string(ZEPHRA_BINARY_DIR) + "/frames/panel_" + name + ".png",
                                         shot.data(), 1024, 768);
  }
  // Pixels of the captured frame that differ from the pixel at (x0, y0) of the screen, inside
  // the screen rectangle (x, y, dx, dy): a measure of what was drawn there.
  int drawn_in(int x, int y, int dx, int dy) const {
    int count = 0;
    for (int j = y; j < y + dy; ++j)
      for (int i = x; i < x + dx; ++i) {
        const unsigned char* p = &shot[(static_cast<size_t>(j) * 1024 + i) * 4];
        count += (p[0] + p[1] + p[2]) > 60 ? 1 : 0;
      }
    return count;
  }

  static testing_support::DrawingWindow* drawing_;

 private:
  void step() {
    ++frames;
    if (user) user(frames);
    // A panel still open after this many frames is a failure; close it so the test ends.
    if (frames >= kGiveUp && mnw.top_win != 0) {
      ADD_FAILURE() << "the panel did not close";
      app_done = 1;
      MACIBM_startwind(0);
    }
  }
};

inline testing_support::DrawingWindow* PanelWindow::drawing_ = nullptr;

}  // namespace panel_testing
