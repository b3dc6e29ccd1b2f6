#include "prefs/panels.h"

#include <cctype>
#include <cmath>

#include "ui/draw.h"
#include "ui/palette.h"
#include "ui/textures.h"
#include "ui/window_state.h"

int agreed = 0;
std::function<int()> agreement_hook;

namespace {
constexpr float kInstallerTexel = 1.0f / 1024.0f;  // the installer background's texture coordinates
constexpr int kTintEntry = 98;
}  // namespace

int proxy_port_from_text(const std::string& text, int previous) {
  if (text.empty()) return previous;
  size_t first = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  size_t digits = text.size() - first;
  if (digits == 0 || digits > 9) return -1;
  int value = 0;
  for (size_t i = first; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return text[0] == '-' ? -value : value;
}

int stream_count_after(int man_set_streams, int stream_count) {
  if (!man_set_streams) return 0;
  if (stream_count < 1) return 1;
  if (stream_count > 4) return 4;
  return stream_count;
}

interface_rect_look interface_rect_state(float x1, float y1, float t1, float ds, float dt, int hi_lite, float mx,
                                         float my, int held) {
  interface_rect_look look{t1, mx >= x1 && mx <= x1 + ds && my >= y1 && my <= y1 + dt};
  // The image holds the normal, hovered and pressed looks stacked upwards, one pixel apart.
  if (hi_lite && look.inside) look.t1 += (held ? 2.0f : 1.0f) * (dt + 1);
  return look;
}

void interface_rect_tint(int col_code, float rgb[3]) {
  rgb[0] = rgb[1] = rgb[2] = 1.0f;
  if (col_code == 1) rgb[0] = rgb[2] = 0.8f;
  if (col_code == 2) rgb[1] = rgb[2] = 0.8f;
}

int interface_rect(float x1, float y1, float s1, float t1, float ds, float dt, int hi_lite, int col_code) {
  interface_rect_look look = interface_rect_state(x1, y1, t1, ds, dt, hi_lite, mnw.mx, mnw.my, mnw.now_dragging);
  if (mnw.context[0]) {
    float tint[3];
    interface_rect_tint(col_code, tint);
    colr.assign(kTintEntry, tint[0], tint[1], tint[2]);
    float sa = s1 * kInstallerTexel, sb = (s1 + ds) * kInstallerTexel;
    float ta = look.t1 * kInstallerTexel, tb = (look.t1 + dt) * kInstallerTexel;
    OGL_2dquad(kTexInstallerRef, kTintEntry, 1.0f, x1, y1, sa, ta, x1 + ds, y1, sb, ta, x1 + ds, y1 + dt, sb, tb, x1,
               y1 + dt, sa, tb, 1, 5);
  }
  return mnw.mouse_clicked && look.inside ? 1 : 0;
}

void interface_icon(float x1, float y1, int c) {
  interface_rect(x1, y1, static_cast<float>((c % 8) * 64), static_cast<float>((c / 8) * 64 + 66), 64, 64, 0, 0);
}

void set_size_str(float k, std::string* size_str) {
  double m = k * 0.001;
  const char* unit = " Meg";
  if (m >= 1000) {
    m *= 0.001;
    unit = " Gig";
  }
  long long whole = static_cast<long long>(std::trunc(m));
  long long tenth = static_cast<long long>(std::trunc(10 * (m - static_cast<double>(whole))));
  *size_str = (m < 0 ? "-" : "") + std::to_string(std::llabs(whole)) + "." + std::to_string(std::llabs(tenth)) + unit;
}
