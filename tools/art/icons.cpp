#include "icons.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;
constexpr int kCell = 64;
constexpr int kSamples = 4;  // per axis, per pixel
constexpr float kGridStep = kPi / 4;  // meridians and parallels every 45 degrees

rgba mix(const rgba& a, const rgba& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// Distance in radians to the nearest multiple of the grid step.
float grid_distance(float angle) {
  float m = std::fmod(angle, kGridStep);
  if (m < 0) m += kGridStep;
  return std::min(m, kGridStep - m);
}

// Colour of the globe at offset (x, y) from its centre, radius r, turned by `spin`; alpha 0 outside.
rgba globe_sample(float x, float y, float r, float spin, const globe_colours& c) {
  float d2 = x * x + y * y;
  if (d2 >= r * r) return {};
  float z = std::sqrt(r * r - d2);
  float nx = x / r, ny = y / r, nz = z / r;
  // Light from the upper left, in front.
  float light = std::clamp(0.35f + 0.65f * (-0.45f * nx + 0.55f * ny + 0.70f * nz), 0.0f, 1.0f);
  rgba colour = mix(c.ocean_dark, c.ocean_light, light);
  // Axis tilted towards the viewer by 20 degrees.
  const float tilt = 0.35f;
  float gy = ny * std::cos(tilt) + nz * std::sin(tilt);
  float gz = -ny * std::sin(tilt) + nz * std::cos(tilt);
  float latitude = std::asin(std::clamp(gy, -1.0f, 1.0f));
  float longitude = std::atan2(nx, gz) + spin;
  // Line width in radians that comes to about one pixel on the surface.
  float px = 1.0f / r;
  float meridian = grid_distance(longitude) * std::cos(latitude);
  float parallel = grid_distance(latitude + kGridStep / 2);
  float line = std::min(meridian, parallel);
  float ink = std::clamp(1.0f - (line - 0.35f * px) / px, 0.0f, 1.0f) * (0.4f + 0.6f * nz);
  colour = mix(colour, c.grid, ink * c.grid.a);
  colour.a = 1;
  return colour;
}

}  // namespace

void paint_globe_icons(canvas& target, int s0, int t0, int first, int count, const globe_colours& colours) {
  const float cx = 32, cy = 31, radius = 21;
  const float orbit_rx = 28, orbit_ry = 9, orbit_tilt = -0.28f;
  for (int frame = 0; frame < count; ++frame) {
    int c = first + frame;
    int left = (c % 8) * kCell + s0, bottom = (c / 8) * kCell + t0;
    float phase = float(frame) / count;
    float spin = phase * kGridStep;  // one grid step per loop, so the last frame meets the first
    canvas cell(kCell, kCell);
    // The back half of the orbit, then the globe over it, then the front half and the plane.
    auto orbit_point = [&](float a, float& x, float& y) {
      float ox = orbit_rx * std::cos(a), oy = orbit_ry * std::sin(a);
      x = cx + ox * std::cos(orbit_tilt) - oy * std::sin(orbit_tilt);
      y = cy + ox * std::sin(orbit_tilt) + oy * std::cos(orbit_tilt);
    };
    auto draw_orbit = [&](bool front) {
      const int steps = 96;
      for (int i = 0; i < steps; ++i) {
        float a0 = 2 * kPi * i / steps, a1 = 2 * kPi * (i + 1) / steps;
        bool is_front = std::sin((a0 + a1) / 2) < 0;
        if (is_front != front) continue;
        float x0, y0, x1, y1;
        orbit_point(a0, x0, y0);
        orbit_point(a1, x1, y1);
        cell.line(x0, y0, x1, y1, 1.0f, paint{colours.orbit, {}, false});
      }
    };
    draw_orbit(false);
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x) {
        rgba sum;
        float alpha = 0;
        for (int sy = 0; sy < kSamples; ++sy)
          for (int sx = 0; sx < kSamples; ++sx) {
            rgba s = globe_sample(x + (sx + 0.5f) / kSamples - cx, y + (sy + 0.5f) / kSamples - cy, radius, spin,
                                  colours);
            sum.r += s.r * s.a, sum.g += s.g * s.a, sum.b += s.b * s.a, alpha += s.a;
          }
        if (alpha <= 0) continue;
        cell.blend(x, y, {sum.r / alpha, sum.g / alpha, sum.b / alpha, 1}, alpha / (kSamples * kSamples));
      }
    draw_orbit(true);
    // The plane: flies the orbit once per loop, in front of the globe on the lower half.
    float a = -kPi / 2 + 2 * kPi * phase, px, py, qx, qy;
    orbit_point(a, px, py);
    orbit_point(a + 0.05f, qx, qy);
    float hx = qx - px, hy = qy - py, hl = std::hypot(hx, hy);
    hx /= hl, hy /= hl;
    bool behind = std::sin(a) > 0 && std::hypot(px - cx, py - cy) < radius;
    if (!behind) {
      float wx = -hy, wy = hx;  // across the heading
      paint plane{colours.plane, {}, false};
      cell.polygon({px + hx * 4.5f, py + hy * 4.5f, px - hx * 3.5f + wx * 1.2f, py - hy * 3.5f + wy * 1.2f,
                    px - hx * 3.5f - wx * 1.2f, py - hy * 3.5f - wy * 1.2f},
                   plane);
      cell.polygon({px + hx * 0.8f, py + hy * 0.8f, px - hx * 1.2f + wx * 4.0f, py - hy * 1.2f + wy * 4.0f,
                    px - hx * 1.2f - wx * 4.0f, py - hy * 1.2f - wy * 4.0f},
                   plane);
    }
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x) {
        const rgba& p = cell.at(x, y);
        if (p.a > 0) target.blend(left + x, bottom + y, {p.r, p.g, p.b, 1}, p.a);
      }
  }
}
