#pragma once
// An RGBA picture in floats with y growing upwards (row 0 is the bottom row, as the program stores
// its images), and the anti-aliased shapes the art is painted with.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct rgba {
  float r = 0, g = 0, b = 0, a = 0;  // 0..1, straight (not premultiplied) alpha
};

// A fill that may vary with height: a plain colour, or a blend from `low` at y0 to `high` at y1.
struct paint {
  rgba low, high;
  bool gradient = false;
  float y0 = 0, y1 = 1;
  rgba at(float y) const;
};

class canvas {
 public:
  canvas(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }

  rgba& at(int x, int y) { return pixels_[std::size_t(y) * width_ + x]; }
  const rgba& at(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }

  // Lays colour c with the given coverage (0..1) over pixel (x, y); outside pixels are ignored.
  void blend(int x, int y, const rgba& c, float coverage);
  // Replaces pixel (x, y) outright.
  void set(int x, int y, const rgba& c);

  // Every pixel whose centre lies inside the clip box, with its coverage from a signed distance
  // (negative inside, in pixels).
  void shade(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& distance,
             const paint& fill);

  void fill_rect(float x, float y, float w, float h, const paint& fill);
  void round_box(float x, float y, float w, float h, float radius, const paint& fill);
  void round_outline(float x, float y, float w, float h, float radius, float line_width, const paint& line);
  // A soft shadow of a rounded box fading out over `blur` pixels.
  void round_shadow(float x, float y, float w, float h, float radius, float blur, const rgba& colour);
  void circle(float cx, float cy, float r, const paint& fill);
  void ring(float cx, float cy, float r, float line_width, const paint& line);
  void line(float x1, float y1, float x2, float y2, float line_width, const paint& colour);
  // A filled polygon, 4 x 4 samples per pixel.
  void polygon(const std::vector<float>& xy, const paint& fill);
  // An elliptic glow: colour at the centre fading smoothly to nothing at the radii.
  void glow(float cx, float cy, float rx, float ry, const rgba& colour);

  // 8-bit R, G, B, A, bottom row first.
  std::vector<std::uint8_t> bytes() const;

 private:
  int width_, height_;
  std::vector<rgba> pixels_;
};

// Signed distance from (px, py) to a rounded box with lower-left (x, y) and size w x h.
float round_box_distance(float px, float py, float x, float y, float w, float h, float radius);
