// The drawing-only widgets: atlas elements, stretchable bars, nine-slice panels, window fills
// and close boxes. They are built from pieces of the interface atlas (texture 363).
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/alert.h"
#include "ui/draw.h"
#include "ui/gl_state.h"
#include "ui/textures.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {

constexpr float kAtlasTexel = 1.0f / 512.0f;
constexpr int kMaxPieces = 256;  // a 1024-pixel strip of 4-pixel tiles, with room to spare

bool have_gl() { return mnw.context[0] != nullptr; }

// Nearest even number, halves away from zero.
float snap_even(float v) { return 2.0f * OGL_round(v * 0.5f); }

void textured_quad(float x1, float y1, float x2, float y2, float s1, float t1, float s2, float t2) {
  glTexCoord2f(s1, t1);
  glVertex2f(x1, y1);
  glTexCoord2f(s1, t2);
  glVertex2f(x1, y2);
  glTexCoord2f(s2, t2);
  glVertex2f(x2, y2);
  glTexCoord2f(s2, t1);
  glVertex2f(x2, y1);
}

}  // namespace

bool BTN_frame1_art(int type, frame1_art* out) {
  switch (type) {
    case 0: *out = {10, 100, 26, 1, 487, 0}; return true;
    case 1: *out = {20, 100, 26, 102, 487, 0}; return true;
    case 2: *out = {10, 52, 26, 304, 486, 0}; return true;
    case 3: *out = {10, 52, 26, 304, 459, 0}; return true;
    case 4: *out = {10, 28, 16, 112, 161, 0}; return true;
    case 5: *out = {10, 28, 16, 83, 161, 0}; return true;
    case 7: *out = {10, 65, 24, 240, 242, 0}; return true;
    case 8: *out = {7, 16, 16, 289, 219, 0}; return true;
    case 9: *out = {10, 51, 26, 262, 133, 2}; return true;
    case 10: *out = {26, 68, 24, 357, 488, 2}; return true;
    default: return false;
  }
}

bool BTN_frame2_art(int type, frame2_art* out) {
  const int atlas = kTexInterfaceRef;
  switch (type) {
    case 11: *out = {1, 358, 9, 14, 4, 100, 39, atlas, kAtlasTexel}; return true;
    case 12: *out = {102, 358, 9, 14, 4, 100, 42, atlas, kAtlasTexel}; return true;
    case 13: *out = {203, 358, 9, 14, 4, 100, 42, atlas, kAtlasTexel}; return true;
    case 14: *out = {304, 358, 9, 14, 4, 100, 42, atlas, kAtlasTexel}; return true;
    case 15: *out = {405, 358, 9, 14, 4, 100, 46, atlas, kAtlasTexel}; return true;
    case 16: *out = {1, 289, 2, 2, 2, 68, 42, atlas, kAtlasTexel}; return true;
    case 17: *out = {70, 315, 8, 13, 2, 42, 42, atlas, kAtlasTexel}; return true;
    case 18: *out = {113, 315, 8, 13, 2, 42, 42, atlas, kAtlasTexel}; return true;
    case 19: *out = {440, 12, 6, 9, 4, 44, 42, atlas, kAtlasTexel}; return true;
    // Drawn from the installer background, which is addressed in 1/1024 units.
    case 20: *out = {774, 78, 1, 1, 1, 41, 42, kTexInstallerRef, 1.0f / 1024.0f}; return true;
    default: return false;
  }
}

int BTN_strip_pieces(float start, float extent, float border, float middle, strip_piece* pieces, int max_pieces) {
  int n = 0;
  auto add = [&](float x1, float x2, float s1, float s2) {
    if (n < max_pieces && x2 > x1) pieces[n++] = strip_piece{x1, x2, s1, s2};
  };
  const float end = start + extent;
  const float cap_end = end - border;
  add(start, start + border, 0, border);
  if (middle > 0) {
    const int tiles = static_cast<int>((extent - 2 * border) / middle) + 1;
    for (int i = 0; i < tiles; ++i) {
      const float x1 = start + border + i * middle;
      const float x2 = std::min(x1 + middle, cap_end);
      if (x2 <= x1) break;
      add(x1, x2, border, border + middle * (x2 - x1) / middle);
    }
  }
  add(cap_end, end, border + middle, 2 * border + middle);
  return n;
}

void BTN_util_element(float xc, float yc, float sc, float tc, float sdx, float sdy, int color) {
  const float s1 = (sc - sdx) * kAtlasTexel, s2 = (sc + sdx) * kAtlasTexel;
  const float t1 = (tc - sdy) * kAtlasTexel, t2 = (tc + sdy) * kAtlasTexel;
  OGL_2dquad(kTexInterfaceRef, color, 1.0f, xc - sdx, yc - sdy, s1, t1, xc + sdx, yc - sdy, s2, t1, xc + sdx,
             yc + sdy, s2, t2, xc - sdx, yc + sdy, s1, t2, 1, 5);
}

void BTN_frame1(int type, float x_center, float y_center, float dx_control, int color) {
  frame1_art art{};
  if (!BTN_frame1_art(type, &art)) {
    MACIBM_alert(0, "Bad BTN_frame1 call!", "", "", "", alert_fatal);
    return;
  }
  if (!have_gl()) return;
  x_center = snap_even(x_center);
  const float dx = snap_even(dx_control) + 2.0f * art.shadow_dx;
  if (type == 0 || type == 1) y_center -= 3.0f;

  OGL_setstate(1, 1, 3, 5, 9, 11);
  OGL_setcolor(color, 1.0f);
  tman.bind_ref(kTexInterfaceRef, 0, 0);

  strip_piece pieces[kMaxPieces];
  const int n = BTN_strip_pieces(x_center - dx * 0.5f, dx, static_cast<float>(art.dx_border),
                                 static_cast<float>(art.dx_tex - 2 * art.dx_border), pieces, kMaxPieces);
  const float y1 = y_center - art.dy_tex * 0.5f + mnw.win_y, y2 = y1 + art.dy_tex;
  const float t1 = art.t_base * kAtlasTexel, t2 = (art.t_base + art.dy_tex) * kAtlasTexel;
  glBegin(GL_QUADS);
  for (int i = 0; i < n; ++i)
    textured_quad(pieces[i].x1 + mnw.win_x, y1, pieces[i].x2 + mnw.win_x, y2,
                  (art.s_base + pieces[i].s1) * kAtlasTexel, t1, (art.s_base + pieces[i].s2) * kAtlasTexel, t2);
  glEnd();
}

void BTN_frame2(int type, float x, float y, float dx, float dy, const std::string& input_label) {
  frame2_art art{};
  if (!BTN_frame2_art(type, &art)) {
    MACIBM_alert(0, "Bad BTN_frame2 call!", "", "", "", alert_fatal);
    return;
  }
  if (!have_gl()) return;

  const float total = static_cast<float>(art.total_dxy);
  const float x1 = x - art.shadow_dx, x2 = x + dx + art.shadow_dx;
  const float y1 = y - art.shadow_dyb, y2 = y + dy + art.shadow_dyt;
  strip_piece across[kMaxPieces], up[kMaxPieces];
  const int nx = BTN_strip_pieces(x1, x2 - x1, 0.4f * total, 0.2f * total, across, kMaxPieces);
  const int ny = BTN_strip_pieces(y1, y2 - y1, 0.4f * total, 0.2f * total, up, kMaxPieces);

  OGL_setstate(1, 1, 3, 5, 9, 11);
  OGL_setcolor(0, 1.0f);
  tman.bind_ref(art.texture, 0, 0);
  const float k = art.texel_scale;
  glBegin(GL_QUADS);
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i)
      textured_quad(across[i].x1 + mnw.win_x, up[j].x1 + mnw.win_y, across[i].x2 + mnw.win_x, up[j].x2 + mnw.win_y,
                    (art.s_base + across[i].s1) * k, (art.t_base + up[j].s1) * k, (art.s_base + across[i].s2) * k,
                    (art.t_base + up[j].s2) * k);
  glEnd();

  if (!input_label.empty()) {
    const float width = str_dx(input_label);
    const float tx = type == 20 ? x + 10.0f : x + dx * 0.5f - width * 0.5f;
    const float ty = type == 11 ? y + dy - 13.0f : y + dy - 16.0f;
    OGL_string(art.title_color, tx, ty, input_label, 9999, 100);
  }
  const int top = mnw.top_win;
  if (type == 11 && top != 0 && !(top >= 995 && top <= 999)) BTN_zap_boxes(0);
}

void BTN_fillwin(int bar, int fill_type) {
  BTN_frame2(bar == 0 ? 12 : 11, 0, 0, mnw.win_dx, mnw.win_dy, stls.win_name);
  if (fill_type == 1)
    BTN_frame1(1, mnw.win_dx * 0.5f, mnw.win_dy - 50.0f, mnw.win_dx, 0);
  else if (fill_type != 21)
    BTN_frame2(fill_type, 10, 10, mnw.win_dx - 20.0f, mnw.win_dy - 40.0f, "");
}

int BTN_zap_boxes(int pressed) {
  const float y = mnw.win_dy - 10.0f;
  const float xs[2] = {16.0f, mnw.win_dx - 16.0f};
  int hit = 0;
  for (float x : xs) {
    if (have_gl()) BTN_util_element(x, y, 129, pressed ? 206.0f : 187.0f, 9, 9, 0);
    if (mnw.mouse_clicked && std::fabs(mnw.mx - x) <= 9.0f && std::fabs(mnw.my - y) <= 9.0f) hit = 1;
  }
  return hit;
}
