#include "tests/support/drawing_window.h"

#include <GL/gl.h>

#include "tests/support/test_support.h"
#include "ui/draw.h"
#include "ui/embedded_images.h"
#include "ui/gl_extensions.h"
#include "ui/gl_state.h"
#include "ui/palette.h"
#include "ui/textures.h"
#include "ui/window_state.h"

namespace testing_support {

DrawingWindow::DrawingWindow(int w, int h) {
  if (!display_.ok()) return;
  window_ = std::make_unique<GlTestWindow>(w, h);
  if (!window_->ok()) return;
  AlertRecorder quiet;
  mnw.top_win = 0;
  OGL_pix_specs(0);
  glExt.init_extensions();
  tman.reset_bind();
  tman.recall_ins_texes();
  colr_sample_interface(t_interface_dat);
  OGL_nrml_colors();
  glAlphaFunc(GL_GREATER, 0);
}

DrawingWindow::~DrawingWindow() {
  window_.reset();
  mnw = mnw_class();
  colr = colr_class();
  ren = ren_class();
  OGL_forget_state();
  tman = tman_class();
  tex_hash.clear();
  glExt = OGL_extensions();
}

}  // namespace testing_support
