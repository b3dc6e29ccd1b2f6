#include "ui/screen_copy.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>

#include "ui/gl_extensions.h"
#include "ui/gl_state.h"
#include "ui/textures.h"
#include "ui/window_state.h"

namespace {

// The framebuffer that reads the texture; framebuffers belong to one context each.
struct copy_source {
  const void* context = nullptr;
  bool usable = false;
  GLuint framebuffer = 0;
  int texture = 0;
  PFNGLBINDFRAMEBUFFEREXTPROC bind = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DEXTPROC attach = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC status = nullptr;
  PFNGLBLITFRAMEBUFFEREXTPROC blit = nullptr;
} source;

// The entry points under their GL 3.0 names, else under the extensions' names, as the probe of
// the implementation found it.
void fetch_entry_points(copy_source& s) {
  const bool core = glExt.version_code >= 300 || gl_has_extension(ren.cEXTE, "GL_ARB_framebuffer_object");
  const bool ext = gl_has_extension(ren.cEXTE, "GL_EXT_framebuffer_object") &&
                   gl_has_extension(ren.cEXTE, "GL_EXT_framebuffer_blit");
  if (!core && !ext) return;
  auto proc = [&](const char* core_name, const char* ext_name) { return gl_proc_address(core ? core_name : ext_name); };
  auto gen = reinterpret_cast<PFNGLGENFRAMEBUFFERSEXTPROC>(proc("glGenFramebuffers", "glGenFramebuffersEXT"));
  s.bind = reinterpret_cast<PFNGLBINDFRAMEBUFFEREXTPROC>(proc("glBindFramebuffer", "glBindFramebufferEXT"));
  s.attach = reinterpret_cast<PFNGLFRAMEBUFFERTEXTURE2DEXTPROC>(
      proc("glFramebufferTexture2D", "glFramebufferTexture2DEXT"));
  s.status = reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC>(
      proc("glCheckFramebufferStatus", "glCheckFramebufferStatusEXT"));
  s.blit = reinterpret_cast<PFNGLBLITFRAMEBUFFEREXTPROC>(proc("glBlitFramebuffer", "glBlitFramebufferEXT"));
  if (!gen || !s.bind || !s.attach || !s.status || !s.blit) return;
  gen(1, &s.framebuffer);
  s.usable = s.framebuffer != 0;
}

// Makes the read framebuffer show the texture; false when the implementation refuses it.
bool read_from(copy_source& s, int texture) {
  s.bind(GL_READ_FRAMEBUFFER_EXT, s.framebuffer);
  if (s.texture != texture) {
    s.attach(GL_READ_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, static_cast<GLuint>(texture), 0);
    s.texture = texture;
  }
  if (s.status(GL_READ_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT) return true;
  s.bind(GL_READ_FRAMEBUFFER_EXT, 0);
  s.usable = false;
  return false;
}

}  // namespace

bool OGL_copy_to_window(int ref, float x, float y, int dx, int dy) {
  if (!mnw.context[0] || mnw.xy_scale_now != 1.0f) return false;
  if (ref <= 0 || ref >= static_cast<int>(tman.ref_dat.size())) return false;
  const ref_dat_struct& tex = tman.ref_dat[ref];
  if (tex.ogl_num <= 0 || tex.tex_dx_vis < dx || tex.tex_dy_vis < dy) return false;
  // A blit places whole pixels only.
  const float left = x + mnw.win_x, bottom = y + mnw.win_y;
  if (left != std::floor(left) || bottom != std::floor(bottom)) return false;

  if (source.context != mnw.context[0]) {
    source = copy_source{};
    source.context = mnw.context[0];
    fetch_entry_points(source);
  }
  if (!source.usable || !read_from(source, tex.ogl_num)) return false;
  const GLint x1 = static_cast<GLint>(left), y1 = static_cast<GLint>(bottom);
  source.blit(0, 0, dx, dy, x1, y1, x1 + dx, y1 + dy, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  source.bind(GL_READ_FRAMEBUFFER_EXT, 0);
  return true;
}
