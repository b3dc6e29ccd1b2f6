// The texture manager on a real GL context under a virtual display: uploads, the bind cache,
// the fallback texture, and textured quads read back from the frame (saved under <build>/frames/).
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"
#include "ui/embedded_images.h"
#include "ui/gl_extensions.h"
#include "ui/gl_state.h"
#include "ui/textures.h"
#include "ui/window_state.h"

using testing_support::AlertRecorder;
using testing_support::GlTestWindow;
using testing_support::TempDir;
using testing_support::XvfbDisplay;

namespace {

constexpr int kW = 1024, kH = 768;

class TextureGl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display_ = new XvfbDisplay();
    if (!display_->ok()) return;
    window_ = new GlTestWindow(kW, kH);
    if (!window_->ok()) return;
    AlertRecorder quiet;
    glExt.init_extensions();
  }
  static void TearDownTestSuite() {
    delete window_;
    delete display_;
    window_ = nullptr;
    display_ = nullptr;
    glExt = OGL_extensions();
    ren = ren_class();
    OGL_forget_state();
    tman = tman_class();
    tex_hash.clear();
  }
  void SetUp() override {
    if (!window_ || !window_->ok()) GTEST_SKIP() << "no virtual display with GL here";
    tman = tman_class();
    tex_hash.clear();
    mnw.tex_res = 5;
    OGL_forget_state();
    // Pixel projection, plain texturing, nothing blended.
    glViewport(0, 0, kW, kH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kW, 0, kH, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  // A quad from (x1, y1) to (x2, y2) in pixels showing texture coordinates s1..s2, t1..t2.
  static void quad(int ref, float x1, float y1, float x2, float y2, float s1, float t1, float s2, float t2) {
    glEnable(GL_TEXTURE_2D);
    tman.bind_ref(ref, 0, 0);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(s1, t1);
    glVertex2f(x1, y1);
    glTexCoord2f(s2, t1);
    glVertex2f(x2, y1);
    glTexCoord2f(s2, t2);
    glVertex2f(x2, y2);
    glTexCoord2f(s1, t2);
    glVertex2f(x1, y2);
    glEnd();
    glDisable(GL_TEXTURE_2D);
  }
  void grab(const std::string& name) {
    pixels_ = window_->read_pixels();
    window_->save_png(std::string(ZEPHRA_BINARY_DIR) + "/frames/texture_" + name + ".png");
  }
  std::vector<unsigned char> at(int x, int y) const {
    const unsigned char* p = &pixels_[(std::size_t(y) * kW + x) * 4];
    return {p[0], p[1], p[2]};
  }
  static int bound() {
    GLint name = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
  }

  static XvfbDisplay* display_;
  static GlTestWindow* window_;
  std::vector<unsigned char> pixels_;
};
XvfbDisplay* TextureGl::display_ = nullptr;
GlTestWindow* TextureGl::window_ = nullptr;

using rgb = std::vector<unsigned char>;

// A 2 x 2 RGB picture: red and green on the top row, blue and white below (linear gamma).
void write_quad_png(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, 2, 2, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_gAMA(png, info, 1.0 / 2.2);
  png_write_info(png, info);
  png_byte top[] = {255, 0, 0, 0, 255, 0};
  png_byte bottom[] = {0, 0, 255, 255, 255, 255};
  png_write_row(png, top);
  png_write_row(png, bottom);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

}  // namespace

TEST_F(TextureGl, EmbeddedImagesBecomeTexturesOfTheirReferences) {
  tman.recall_ins_texes();
  EXPECT_EQ(tman.loaded_texes_ctr, 4);
  for (int ref : {363, 364, 365, 366}) {
    EXPECT_TRUE(glIsTexture(ref)) << ref;
    EXPECT_EQ(tman.ref_dat[ref].ogl_num, ref);
  }
  GLint w = 0, h = 0, min_filter = 0;
  tman.bind_ref(364);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 1024);
  EXPECT_EQ(min_filter, GL_LINEAR);
  // The atlas is pixel-exact: nearest filtering, and its texels are the embedded bytes.
  tman.bind_ref(363);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
  EXPECT_EQ(min_filter, GL_NEAREST);
  std::vector<unsigned char> texels(kInterfaceBytes);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_EQ(std::memcmp(texels.data(), t_interface_dat, kInterfaceBytes), 0);

  // The installer background at one texel per pixel, addressed in 1/1024 units.
  quad(364, 7, 2, 7 + 1010, 2 + 764, 0, 0, 1010 / 1024.0f, 764 / 1024.0f);
  grab("installer_background");
  for (auto [x, y] : {std::pair{0, 0}, {505, 382}, {1009, 763}, {300, 700}}) {
    const unsigned char* texel = t_installer_dat + (std::size_t(y) * kInstallerDx + x) * 4;
    EXPECT_EQ(at(7 + x, 2 + y), (rgb{texel[0], texel[1], texel[2]})) << x << "," << y;
  }
  EXPECT_EQ(at(3, 3), (rgb{0, 0, 0}));  // left of the quad
}

TEST_F(TextureGl, PngTextureIsDrawnRightSideUp) {
  TempDir dir;
  write_quad_png(dir / "quad.png");
  int ref = tman.load_texture(tex_fail_quit, 0, 1, tex_load_now, dir / "quad.png");
  ASSERT_EQ(ref, kTexFirstAutoRef);
  EXPECT_EQ(tman.ref_dat[ref].ogl_num, ref);
  EXPECT_EQ(tman.ref_dat[ref].tex_vram, 2 * 2 * 3);

  quad(ref, 100, 100, 300, 300, 0, 0, 1, 1);
  grab("png_quad");
  // Linear filtering: at the texel centres the neighbours weigh in by a step or two.
  auto near = [](const rgb& got, const rgb& want) {
    for (int i = 0; i < 3; ++i)
      if (std::abs(int(got[i]) - int(want[i])) > 3) return false;
    return true;
  };
  EXPECT_TRUE(near(at(150, 250), rgb{255, 0, 0}));      // top left
  EXPECT_TRUE(near(at(250, 250), rgb{0, 255, 0}));      // top right
  EXPECT_TRUE(near(at(150, 150), rgb{0, 0, 255}));      // bottom left
  EXPECT_TRUE(near(at(250, 150), rgb{255, 255, 255}));  // bottom right
  EXPECT_EQ(at(50, 50), (rgb{0, 0, 0}));
}

TEST_F(TextureGl, BindingIsCachedPerUnitUntilReset) {
  scratch_dx = scratch_dy = 4;
  std::memset(scratch_array, 200, 4 * 4 * 4);
  int a = tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, "scratch_array:a");
  int b = tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, "scratch_array:b");
  tman.bind_ref(a);
  EXPECT_EQ(bound(), a);
  // Someone else binds behind the manager's back: a cached bind of the same reference does nothing.
  glBindTexture(GL_TEXTURE_2D, 0);
  tman.bind_ref(a);
  EXPECT_EQ(bound(), 0);
  tman.bind_ref(b);
  EXPECT_EQ(bound(), b);
  tman.reset_bind();
  EXPECT_EQ(tman.o_tex[0], -1);
  glBindTexture(GL_TEXTURE_2D, 0);
  tman.bind_ref(b);
  EXPECT_EQ(bound(), b);

  // Another mode on the same texture changes only the environment.
  GLint mode = 0;
  tman.bind_ref(b, 0, 1);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(mode, GL_REPLACE);
  tman.bind_ref(b, 0, 0);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(mode, GL_MODULATE);

  // Unit 1 gets the texture and unit 0 is active again afterwards.
  ASSERT_GE(ren.num_tex_units, 2);
  tman.bind_ref(a, 1, 0);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  EXPECT_EQ(bound(), b);
  glActiveTexture(GL_TEXTURE1);
  EXPECT_EQ(bound(), a);
  glActiveTexture(GL_TEXTURE0);
  // A unit beyond those the card has is left alone.
  tman.bind_ref(a, ren.num_tex_units, 0);
  EXPECT_EQ(bound(), b);
}

TEST_F(TextureGl, UnloadedReferencesShowTheWhiteFallback) {
  AlertRecorder alerts;
  tman.bind_ref(999);
  EXPECT_EQ(bound(), kTexFallbackRef);
  tman.bind_ref(999);
  ASSERT_EQ(alerts.alerts.size(), 1u);  // told once, not every frame
  EXPECT_EQ(alerts.alerts[0].type, alert_error);
  EXPECT_EQ(alerts.alerts[0].lines[0], "missing non-scenery texture - how?");
  EXPECT_EQ(alerts.alerts[0].lines[1], "un-inited");

  // A scenery texture waiting for its load binds the fallback without a word.
  int later = tman.load_texture(tex_fail_quit, 0, 2, tex_load_scenery, "scenery/later.png");
  tman.bind_ref(later);
  EXPECT_EQ(alerts.alerts.size(), 1u);

  // A file that is not there: the slot shows the fallback, and the install flag is raised.
  int missing = tman.load_texture(tex_fail_warn_install, 0, 2, tex_load_now, "/nonexistent/art.png");
  EXPECT_TRUE(tman.has_instl_load_fail());
  EXPECT_EQ(tman.ref_dat[missing].ogl_num, kTexFallbackRef);
  glColor4f(1, 1, 1, 1);
  quad(missing, 10, 10, 60, 60, 0, 0, 1, 1);
  grab("fallback");
  EXPECT_EQ(at(30, 30), (rgb{255, 255, 255}));
  EXPECT_EQ(alerts.alerts.size(), 1u);
}

TEST_F(TextureGl, ReloadingTheSameSizeReplacesThePixelsAndMipmapsAreBuilt) {
  scratch_dx = scratch_dy = 8;
  std::memset(scratch_array, 10, 8 * 8 * 4);
  int ref = tman.load_texture(tex_fail_quit, 400, 2, tex_load_now, "scratch_array:first");
  ASSERT_EQ(ref, 400);
  std::memset(scratch_array, 90, 8 * 8 * 4);
  ASSERT_EQ(tman.load_texture(tex_fail_quit, 400, 2, tex_load_now, "scratch_array:second"), 400);
  EXPECT_EQ(tman.loaded_texes_ctr, 1);
  tman.bind_ref(400);
  std::vector<unsigned char> texels(8 * 8 * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  EXPECT_EQ(texels[0], 90);
  EXPECT_EQ(tman.get_path(400), "scratch_array:second");

  int mip = tman.load_texture(tex_fail_quit, 0, 2 | tex_flag_mipmap | tex_flag_repeat, tex_load_now,
                              "scratch_array:mip");
  tman.bind_ref(mip);
  GLint min_filter = 0, wrap = 0, level1 = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
  EXPECT_EQ(min_filter, GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(wrap, GL_REPEAT);
  EXPECT_EQ(level1, 4);
  EXPECT_EQ(tman.ref_dat[mip].tex_vram, int(8 * 8 * 4 * 1.4f));
}
