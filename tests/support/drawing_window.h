#pragma once
// A virtual display and a GL window with the program's drawing set up as start-up leaves it:
// screen metrics, the GL extensions, the embedded textures and the palette taken from the atlas.
#include <memory>

#include "tests/support/xvfb.h"

namespace testing_support {

class DrawingWindow {
 public:
  explicit DrawingWindow(int w = 1024, int h = 768);
  // Puts the drawing globals back as they were before, for the next test program.
  ~DrawingWindow();
  DrawingWindow(const DrawingWindow&) = delete;
  DrawingWindow& operator=(const DrawingWindow&) = delete;
  bool ok() const { return window_ && window_->ok(); }
  GlTestWindow& window() { return *window_; }

 private:
  XvfbDisplay display_;
  std::unique_ptr<GlTestWindow> window_;
};

}  // namespace testing_support
