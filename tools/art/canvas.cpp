#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace {

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

float mix(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

rgba paint::at(float y) const {
  if (!gradient || y1 == y0) return low;
  float t = clamp01((y - y0) / (y1 - y0));
  return {mix(low.r, high.r, t), mix(low.g, high.g, t), mix(low.b, high.b, t), mix(low.a, high.a, t)};
}

canvas::canvas(int width, int height) : width_(width), height_(height), pixels_(std::size_t(width) * height) {}

void canvas::blend(int x, int y, const rgba& c, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  float a = clamp01(c.a * coverage);
  if (a <= 0) return;
  rgba& d = at(x, y);
  // Straight-alpha "over".
  float out_a = a + d.a * (1 - a);
  if (out_a <= 0) return;
  d.r = (c.r * a + d.r * d.a * (1 - a)) / out_a;
  d.g = (c.g * a + d.g * d.a * (1 - a)) / out_a;
  d.b = (c.b * a + d.b * d.a * (1 - a)) / out_a;
  d.a = out_a;
}

void canvas::set(int x, int y, const rgba& c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  at(x, y) = c;
}

void canvas::shade(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& distance,
                   const paint& fill) {
  int ix0 = std::max(0, int(std::floor(x0)) - 1), iy0 = std::max(0, int(std::floor(y0)) - 1);
  int ix1 = std::min(width_ - 1, int(std::ceil(x1)) + 1), iy1 = std::min(height_ - 1, int(std::ceil(y1)) + 1);
  for (int y = iy0; y <= iy1; ++y)
    for (int x = ix0; x <= ix1; ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float coverage = clamp01(0.5f - distance(px, py));
      if (coverage > 0) blend(x, y, fill.at(py), coverage);
    }
}

float round_box_distance(float px, float py, float x, float y, float w, float h, float radius) {
  radius = std::min({radius, w / 2, h / 2});
  float qx = std::fabs(px - (x + w / 2)) - (w / 2 - radius);
  float qy = std::fabs(py - (y + h / 2)) - (h / 2 - radius);
  float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

void canvas::fill_rect(float x, float y, float w, float h, const paint& fill) { round_box(x, y, w, h, 0, fill); }

void canvas::round_box(float x, float y, float w, float h, float radius, const paint& fill) {
  shade(x, y, x + w, y + h, [=](float px, float py) { return round_box_distance(px, py, x, y, w, h, radius); }, fill);
}

void canvas::round_outline(float x, float y, float w, float h, float radius, float line_width, const paint& line) {
  // The line lies just inside the box edge.
  float half = line_width / 2;
  shade(x, y, x + w, y + h,
        [=](float px, float py) {
          return std::fabs(round_box_distance(px, py, x + half, y + half, w - line_width, h - line_width,
                                              std::max(0.0f, radius - half))) -
                 half;
        },
        line);
}

void canvas::round_shadow(float x, float y, float w, float h, float radius, float blur, const rgba& colour) {
  int ix0 = std::max(0, int(x - blur) - 1), iy0 = std::max(0, int(y - blur) - 1);
  int ix1 = std::min(width_ - 1, int(x + w + blur) + 1), iy1 = std::min(height_ - 1, int(y + h + blur) + 1);
  for (int py = iy0; py <= iy1; ++py)
    for (int px = ix0; px <= ix1; ++px) {
      float d = round_box_distance(px + 0.5f, py + 0.5f, x, y, w, h, radius);
      float t = d <= 0 ? 1.0f : clamp01(1 - d / blur);
      blend(px, py, colour, t * t * (3 - 2 * t));
    }
}

void canvas::circle(float cx, float cy, float r, const paint& fill) {
  shade(cx - r, cy - r, cx + r, cy + r, [=](float px, float py) { return std::hypot(px - cx, py - cy) - r; }, fill);
}

void canvas::ring(float cx, float cy, float r, float line_width, const paint& line) {
  float half = line_width / 2;
  shade(cx - r - half, cy - r - half, cx + r + half, cy + r + half,
        [=](float px, float py) { return std::fabs(std::hypot(px - cx, py - cy) - r) - half; }, line);
}

void canvas::line(float x1, float y1, float x2, float y2, float line_width, const paint& colour) {
  float half = line_width / 2;
  float dx = x2 - x1, dy = y2 - y1, len2 = dx * dx + dy * dy;
  shade(std::min(x1, x2) - half, std::min(y1, y2) - half, std::max(x1, x2) + half, std::max(y1, y2) + half,
        [=](float px, float py) {
          float t = len2 > 0 ? clamp01(((px - x1) * dx + (py - y1) * dy) / len2) : 0;
          return std::hypot(px - (x1 + t * dx), py - (y1 + t * dy)) - half;
        },
        colour);
}

void canvas::polygon(const std::vector<float>& xy, const paint& fill) {
  std::size_t n = xy.size() / 2;
  if (n < 3) return;
  float x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
  for (std::size_t i = 0; i < n; ++i) {
    x0 = std::min(x0, xy[2 * i]), x1 = std::max(x1, xy[2 * i]);
    y0 = std::min(y0, xy[2 * i + 1]), y1 = std::max(y1, xy[2 * i + 1]);
  }
  auto inside = [&](float px, float py) {
    bool in = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
      float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
      if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
  };
  for (int y = std::max(0, int(y0)); y <= std::min(height_ - 1, int(y1)); ++y)
    for (int x = std::max(0, int(x0)); x <= std::min(width_ - 1, int(x1)); ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4);
      if (hits) blend(x, y, fill.at(y + 0.5f), hits / 16.0f);
    }
}

void canvas::glow(float cx, float cy, float rx, float ry, const rgba& colour) {
  for (int y = std::max(0, int(cy - ry)); y <= std::min(height_ - 1, int(cy + ry)); ++y)
    for (int x = std::max(0, int(cx - rx)); x <= std::min(width_ - 1, int(cx + rx)); ++x) {
      float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
      float t = clamp01(1 - std::sqrt(dx * dx + dy * dy));
      blend(x, y, colour, t * t * (3 - 2 * t));
    }
}

std::vector<std::uint8_t> canvas::bytes() const {
  std::vector<std::uint8_t> out(pixels_.size() * 4);
  auto byte = [](float v) { return std::uint8_t(std::lround(clamp01(v) * 255)); };
  for (std::size_t i = 0; i < pixels_.size(); ++i) {
    const rgba& p = pixels_[i];
    bool clear = byte(p.a) == 0;  // fully clear pixels carry no colour
    out[4 * i] = clear ? 0 : byte(p.r);
    out[4 * i + 1] = clear ? 0 : byte(p.g);
    out[4 * i + 2] = clear ? 0 : byte(p.b);
    out[4 * i + 3] = byte(p.a);
  }
  return out;
}
