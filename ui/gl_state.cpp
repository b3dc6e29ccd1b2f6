// The GL switch cache: each frame issues many small draws, and only the switches that change cost a call.
#include "ui/gl_state.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include "ui/gl_extensions.h"

ren_class ren;
oglp_class oglp;

namespace {

constexpr int kUnitsWithSwitches = 6;  // texture units the setter enables and disables

struct state_cache {
  bool filled = false;
  int o_fog = 1, o_tex = 0, o_lit = 3, o_alB = 0, o_alT = 0, o_deR = 9, o_deW = 11;
  int num_units = 0;
};
state_cache cache;

void active_unit(int unit) {
  if (multitex.glActiveTextureARB) multitex.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
}

int usable_units() {
  int n = std::min(ren.num_tex_units, kUnitsWithSwitches);
  return multitex.glActiveTextureARB ? n : std::min(n, 1);
}

void fill_cache() {
  cache.o_fog = glIsEnabled(GL_FOG) ? 0 : 1;
  cache.o_lit = glIsEnabled(GL_LIGHTING) ? 2 : 3;
  cache.o_alB = glIsEnabled(GL_BLEND) ? 1 : 0;
  cache.o_alT = glIsEnabled(GL_ALPHA_TEST) ? 1 : 0;
  cache.o_deR = glIsEnabled(GL_DEPTH_TEST) ? 8 : 9;
  GLboolean mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  cache.o_deW = mask ? 10 : 11;
  int units = usable_units(), on = 0;
  for (int u = 0; u < units; ++u) {
    active_unit(u);
    if (glIsEnabled(GL_TEXTURE_2D)) on = u + 1;
  }
  active_unit(0);
  // Units enabled beyond the first gap would be missed; switch them all to one known state.
  for (int u = 0; u < units; ++u) {
    active_unit(u);
    if (u < on) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
  }
  active_unit(0);
  cache.o_tex = on;
  cache.num_units = on;
  cache.filled = true;
}

void set_switch(GLenum cap, bool on) {
  if (on) glEnable(cap); else glDisable(cap);
}

}  // namespace

void OGL_forget_state() { cache = state_cache{}; }

void OGL_setstate(int fog, int tex, int lit, int al, int deR, int deW) {
  if (!cache.filled) fill_cache();

  int fog_code = fog == 0 ? 0 : 1;
  if (fog_code != cache.o_fog) {
    set_switch(GL_FOG, fog_code == 0);
    cache.o_fog = fog_code;
  }

  int units = std::clamp(tex, 0, std::max(ren.num_tex_units, 0));
  int switchable = usable_units();
  if (units != cache.o_tex) {
    int from = std::min(std::min(units, cache.o_tex), switchable);
    int to = std::min(std::max(units, cache.o_tex), switchable);
    for (int u = from; u < to; ++u) {
      active_unit(u);
      set_switch(GL_TEXTURE_2D, u < units);
    }
    if (to > 1) active_unit(0);
    cache.o_tex = units;
  }
  cache.num_units = units;

  if (lit == 2 || lit == 3) {
    if (lit != cache.o_lit) {
      set_switch(GL_LIGHTING, lit == 2);
      set_switch(GL_LIGHT0, lit == 2);
      cache.o_lit = lit;
    }
  }

  if (al >= 4 && al <= 7) {
    int blend = (al == 5 || al == 7) ? 1 : 0;
    int test = (al == 6 || al == 7) ? 1 : 0;
    if (blend != cache.o_alB) {
      set_switch(GL_BLEND, blend);
      cache.o_alB = blend;
    }
    if (test != cache.o_alT) {
      set_switch(GL_ALPHA_TEST, test);
      cache.o_alT = test;
    }
  }

  if ((deR == 8 || deR == 9) && deR != cache.o_deR) {
    set_switch(GL_DEPTH_TEST, deR == 8);
    cache.o_deR = deR;
  }

  if ((deW == 10 || deW == 11) && deW != cache.o_deW) {
    glDepthMask(deW == 10 ? GL_TRUE : GL_FALSE);
    cache.o_deW = deW;
  }
}

void OGL_initial_state() {
  const GLfloat ambient[4] = {0, 0, 0, 0};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glAlphaFunc(GL_GREATER, 0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthFunc(GL_LEQUAL);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glHint(GL_FOG_HINT, GL_FASTEST);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_DITHER);
  for (GLenum off : {GL_COLOR_LOGIC_OP, GL_STENCIL_TEST, GL_TEXTURE_1D, GL_NORMALIZE, GL_SCISSOR_TEST})
    glDisable(off);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  glDepthMask(GL_FALSE);
}

void OGL_nrml_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }
