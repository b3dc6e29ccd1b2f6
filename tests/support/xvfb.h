#pragma once
// A virtual X display and a GL window on it, for tests that draw.
#include <string>
#include <vector>

namespace testing_support {

// Starts Xvfb on a free display number and points DISPLAY at it; stops it (by pid) at the end.
class XvfbDisplay {
 public:
  XvfbDisplay();
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;
  bool ok() const { return pid_ > 0; }
  const std::string& name() const { return name_; }

 private:
  int pid_ = -1;
  std::string name_;
  std::string previous_display_;
  bool had_display_ = false;
};

// An SDL window of w x h with a compatibility GL context made current; fills mnw.window[0],
// mnw.context[0], mnw.x_res_now and mnw.y_res_now, and clears them again at the end.
class GlTestWindow {
 public:
  explicit GlTestWindow(int w = 1024, int h = 768);
  ~GlTestWindow();
  GlTestWindow(const GlTestWindow&) = delete;
  GlTestWindow& operator=(const GlTestWindow&) = delete;
  bool ok() const { return context_ != nullptr; }
  // The back buffer as RGBA rows, bottom row first.
  std::vector<unsigned char> read_pixels() const;
  // Writes the back buffer as a PNG file, top row first as a person expects.
  void save_png(const std::string& path) const;
  int width() const { return w_; }
  int height() const { return h_; }

 private:
  int w_, h_;
  void* window_ = nullptr;
  void* context_ = nullptr;
};

// Writes RGBA rows (bottom first) of w x h as a PNG file, creating its folder.
void write_png_bottom_up(const std::string& path, const unsigned char* rgba, int w, int h);

}  // namespace testing_support
