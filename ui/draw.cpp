// The drawing primitives: screen metrics, projection, shapes, textured quads and bitmap text.
#include <vector>
#include "ui/draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/alert.h"
#include "core/clock.h"
#include "ui/camera.h"
#include "ui/draw_layout.h"
#include "ui/gl_extensions.h"
#include "ui/gl_state.h"
#include "ui/glyph_table.h"
#include "ui/palette.h"
#include "ui/textures.h"
#include "ui/window_state.h"

namespace {

constexpr float kTexelScale = 1.0f / kAtlasSize;

bool have_gl() { return mnw.context[0] != nullptr; }

struct charset_info {
  int texture, s, t, ds, dt, pitch;
};

// The cell block, cell size and pitch of a charset; false for one that does not exist.
bool charset_of(int charset, charset_info* out) {
  switch (charset) {
    case 100: *out = {kTexInterfaceRef, kProportionalFaceS, kProportionalFaceT, kGlyphCellDx, kGlyphCellDy, 0}; return true;
    case 101: *out = {kTexInterfaceRef, kFixedFaceS, kFixedFaceT, kGlyphCellDx, kGlyphCellDy, 6}; return true;
    case 102: *out = {kTexInterfaceRef, kFixedFaceS, kFixedFaceT, kGlyphCellDx, kGlyphCellDy, 10}; return true;
    case 103: *out = {367, 0, 0, 13, 13, 15}; return true;
    default: return false;
  }
}

charset_info checked_charset(int charset) {
  charset_info info{};
  if (!charset_of(charset, &info)) {
    MACIBM_alert(0, "String proc with bad charset!", "", "", "", alert_fatal);
    charset_of(100, &info);  // only reached when the alert is replaced and returns
  }
  return info;
}

// Text starts on whole pixels, two below the given baseline.
void place_text(float& x, float& y) {
  x = OGL_round(x + mnw.win_x);
  y = OGL_round(y + mnw.win_y) - 2.0f;
}

// Emits one glyph quad: t runs from the cell's low edge at the bottom to its high edge at the top.
struct glyph_emitter {
  float s0, t0, ds, dt, w, h;
  void operator()(float x, float y, int column, int row) const {
    const float s = (s0 + ds * column) * kTexelScale, t = (t0 + dt * row) * kTexelScale;
    const float s2 = s + ds * kTexelScale, t2 = t + dt * kTexelScale;
    glTexCoord2f(s, t);
    glVertex2f(x, y);
    glTexCoord2f(s, t2);
    glVertex2f(x, y + h);
    glTexCoord2f(s2, t2);
    glVertex2f(x + w, y + h);
    glTexCoord2f(s2, t);
    glVertex2f(x + w, y);
  }
};

glyph_emitter make_emitter(float s1, float t1, float ds, float dt) {
  const float scale = oglp.font_size > 1.0f ? oglp.font_size : 1.0f;
  return glyph_emitter{s1, t1, ds, dt, ds * scale, dt * scale};
}

}  // namespace

float OGL_round(float v) { return v < 0 ? -std::floor(-v + 0.5f) : std::floor(v + 0.5f); }

float chr_dx(char c) { return glyph_for(static_cast<unsigned char>(c)).advance; }

float str_dx(const std::string& s) {
  float w = 0;
  for (char c : s) w += chr_dx(c);
  return w;
}

void OGL_pix_specs(int) {
  const float xrat = mnw.x_res_now / 1024.0f, yrat = mnw.y_res_now / 768.0f;
  mnw.xy_scale_coc = std::min(xrat, yrat);
  if (mnw.xy_scale_coc <= 1.0f) mnw.xy_scale_coc = 1.0f;
  mnw.xy_scale_now = 1.0f;
  mnw.x1_pix = 0;
  mnw.y1_pix = 0;
  mnw.x2_pix = mnw.x_res_now / mnw.xy_scale_now;
  mnw.y2_pix = mnw.y_res_now / mnw.xy_scale_now;
  mnw.extra_ty = mnw.y2_pix - 768.0f;
  mnw.extra_sx = (mnw.x2_pix - 1024.0f) * 0.5f;
  mnw.x_ctr = mnw.extra_sx + 512.0f;
  mnw.y_ctr = 384.0f;
  if (mnw.top_win >= 0) OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f);
}

void OGL_viewport(int dims, float rat_x1, float pix_x1, float rat_y1, float pix_y1, float rat_x2, float pix_x2,
                  float rat_y2, float pix_y2, float near_clip, float far_clip, float zoom) {
  if (dims == 2) {
    rat_x1 = mnw.x1_pix;
    rat_y1 = mnw.y1_pix;
    rat_x2 = mnw.x2_pix;
    rat_y2 = mnw.y2_pix;
    pix_x1 = pix_y1 = 0;
    pix_x2 = static_cast<float>(mnw.x_res_now);
    pix_y2 = static_cast<float>(mnw.y_res_now);
  } else if (dims == 3) {
    rat_x1 *= near_clip;
    rat_y1 *= near_clip;
    rat_x2 *= near_clip;
    rat_y2 *= near_clip;
    pix_x1 *= mnw.xy_scale_now;
    pix_y1 *= mnw.xy_scale_now;
    pix_x2 *= mnw.xy_scale_now;
    pix_y2 *= mnw.xy_scale_now;
  }
  const float pix_dx = pix_x2 - pix_x1, pix_dy = pix_y2 - pix_y1;
  if (zoom == 0) zoom = 1.0f;
  if (dims == 2) {
    xcam.SetupOrtho(rat_x1 / zoom, rat_x2 / zoom, rat_y1 / zoom, rat_y2 / zoom, -1, 1);
  } else {
    const float aspect = pix_dx != 0 ? pix_dy / pix_dx : 1.0f;
    xcam.SetupFrustum(rat_x1 / zoom, rat_x2 / zoom, rat_y1 * aspect / zoom, rat_y2 * aspect / zoom, near_clip,
                      far_clip);
  }
  xcam.Identity();
  xcam.mCameraStale = false;
  if (!have_gl()) return;
  glViewport(static_cast<GLint>(pix_x1), static_cast<GLint>(pix_y1), static_cast<GLsizei>(pix_dx),
             static_cast<GLsizei>(pix_dy));
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(xcam.mPerspective);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(xcam.mModelView);
}

void OGL_setcolor(int color, float alpha) {
  color = std::clamp(color, 0, 99);
  float r = colr.col_rgb[color][0], g = colr.col_rgb[color][1], b = colr.col_rgb[color][2];
  if (color < 45) {
    r *= colr.r_manual_liting;
    g *= colr.g_manual_liting;
    b *= colr.b_manual_liting;
  }
  const float a = alpha * ren.current_alpha;
  if (a <= 0.99f)
    glColor4f(r, g, b, a);
  else
    glColor3f(r, g, b);
}

void OGL_line(int color, float alpha, float x1, float y1, float x2, float y2) {
  if (!have_gl()) return;
  OGL_setstate(1, 0, 3, alpha < 0.99f ? 5 : 4, 9, 11);
  OGL_setcolor(color, alpha);
  glBegin(GL_LINES);
  glVertex2f(x1 + 0.5f + mnw.win_x, y1 + 0.5f + mnw.win_y);
  glVertex2f(x2 + 0.5f + mnw.win_x, y2 + 0.5f + mnw.win_y);
  glEnd();
}

void OGL_fillrect(int color, float alpha, float x, float y, float dx, float dy) {
  if (!have_gl()) return;
  OGL_setstate(1, 0, 3, 5, 9, 11);
  OGL_setcolor(color, alpha);
  x += mnw.win_x;
  y += mnw.win_y;
  glBegin(GL_QUADS);
  glVertex2f(x, y);
  glVertex2f(x, y + dy);
  glVertex2f(x + dx, y + dy);
  glVertex2f(x + dx, y);
  glEnd();
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float rat) {
  if (!have_gl()) return;
  OGL_setstate(1, 0, 3, 5, 9, 11);
  OGL_setcolor(12, rat);
  x1 += mnw.win_x;
  x2 += mnw.win_x;
  y1 += mnw.win_y;
  y2 += mnw.win_y;
  glBegin(GL_QUADS);
  glVertex2f(x1, y1);
  glVertex2f(x1, y2);
  glVertex2f(x2, y2);
  glVertex2f(x2, y1);
  glEnd();
}

void OGL_2dquad(int tex, int col, float alp, float x1, float y1, float s1, float t1, float x2, float y2, float s2,
                float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4, int num_tex,
                int alB) {
  if (!have_gl()) return;
  OGL_setstate(1, std::clamp(num_tex, 0, ren.num_tex_units), 3, alB, 9, 11);
  OGL_setcolor(col, alp);
  if (tex > 0) tman.bind_ref(tex, 0, 0);
  const float ox = mnw.win_x, oy = mnw.win_y;
  glBegin(GL_QUADS);
  glTexCoord2f(s1, t1);
  glVertex2f(x1 + ox, y1 + oy);
  glTexCoord2f(s2, t2);
  glVertex2f(x2 + ox, y2 + oy);
  glTexCoord2f(s3, t3);
  glVertex2f(x3 + ox, y3 + oy);
  glTexCoord2f(s4, t4);
  glVertex2f(x4 + ox, y4 + oy);
  glEnd();
}

void OGL_plot_back_col() {
  OGL_fillrect(33, 1.0f, -mnw.win_x, -mnw.win_y, static_cast<float>(mnw.x_res_now),
               static_cast<float>(mnw.y_res_now));
}

int OGL_strtex(int charset, int color, float* s1_pix, float* t1_pix, float* ds_pix, float* dt_pix) {
  const charset_info info = checked_charset(charset);
  if (have_gl()) {
    OGL_setstate(1, 1, 3, 5, 9, 11);
    OGL_setcolor(color, 1.0f);
    tman.bind_ref(info.texture, 0, 0);
  }
  *s1_pix = static_cast<float>(info.s);
  *t1_pix = static_cast<float>(info.t);
  *ds_pix = static_cast<float>(info.ds);
  *dt_pix = static_cast<float>(info.dt);
  return info.pitch;
}

void OGL_string(int color, float x, float y, const std::string& input, float dx, int charset) {
  if (!have_gl()) {
    checked_charset(charset);
    return;
  }
  float s1, t1, ds, dt;
  const int pitch = OGL_strtex(charset, color, &s1, &t1, &ds, &dt);
  place_text(x, y);
  glBegin(GL_QUADS);
  OGL_layout_string(input, x, y, dx, pitch, charset, make_emitter(s1, t1, ds, dt));
  glEnd();
}

void OGL_number(int color, float x, float y, float input, int dig, int dec, int charset) {
  if (charset != 101 && charset != 102)
    MACIBM_alert(0, "Numbers must be mono-spaced!",
                 "This is because we increment by a constant step size for each digit.", "", "", alert_fatal);
  if (!have_gl()) return;
  float s1, t1, ds, dt;
  const int pitch = OGL_strtex(charset, color, &s1, &t1, &ds, &dt);
  place_text(x, y);
  glBegin(GL_QUADS);
  OGL_layout_number(input, x, y, dig, dec, pitch, make_emitter(s1, t1, ds, dt));
  glEnd();
}

namespace {
std::vector<unsigned char>* frame_capture = nullptr;
}

void OGL_capture_next_frame(std::vector<unsigned char>* out) { frame_capture = out; }

void OGL_flush() {
  if (have_gl()) glFlush();
}

void OGL_sbuf() {
  if (!have_gl()) return;
  if (frame_capture) {
    // The frame about to be presented, read while it is still the back buffer.
    frame_capture->resize(static_cast<size_t>(mnw.x_res_now) * mnw.y_res_now * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, mnw.x_res_now, mnw.y_res_now, GL_RGBA, GL_UNSIGNED_BYTE, frame_capture->data());
    frame_capture = nullptr;
  }
  glColor4f(1, 1, 1, 1);
  xtim.profile_chart("sb1", 0);
  gl_swap_window(mnw.window[mnw.current_con == 1 ? 1 : 0]);
  xtim.profile_chart("sb2", 0);
}
