// The texture manager without a GL context: sizes, formats, slots, failure modes and validation.
#include <gtest/gtest.h>
#include <png.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "core/app_state.h"
#include "tests/support/test_support.h"
#include "ui/embedded_images.h"
#include "ui/textures.h"
#include "ui/window_state.h"

using testing_support::AlertRecorder;
using testing_support::LogCapture;
using testing_support::TempDir;

namespace {

class TextureRules : public ::testing::Test {
 protected:
  void SetUp() override {
    tman = tman_class();
    tex_hash.clear();
    mnw.context[0] = nullptr;
    mnw.tex_res = 5;
    maxtexdim = 1024;
  }
  void TearDown() override {
    tman = tman_class();
    tex_hash.clear();
  }
};

// Alerts go to standard error so that a death test can see the fatal one.
void alerts_to_stderr() {
  alert_hooks().show = [](const alert_view& v) {
    for (const std::string& line : v.lines) std::cerr << line << "\n";
  };
}

struct sizes {
  int dx_vis, dy_vis, dx_tot, dy_tot;
  bool operator==(const sizes&) const = default;
};
std::ostream& operator<<(std::ostream& o, const sizes& s) {
  return o << s.dx_vis << "x" << s.dy_vis << " in " << s.dx_tot << "x" << s.dy_tot;
}

sizes scaled(int filter_type, int w, int h, int full_res = 0, int load_type = kTexNormal) {
  sizes s{};
  get_scale(load_type, filter_type, full_res, w, h, &s.dx_vis, &s.dy_vis, &s.dx_tot, &s.dy_tot, "p");
  return s;
}

void write_rgb_png(const std::string& path, int w, int h, unsigned char value) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_gAMA(png, info, 1.0 / 2.2);
  png_write_info(png, info);
  std::vector<png_byte> row(std::size_t(w) * 3, value);
  for (int y = 0; y < h; ++y) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// A 24-bit BMP of w x h, every pixel (b, g, r); bits and compression can be set wrong.
std::string bmp_file(int w, int h, unsigned char b, unsigned char g, unsigned char r, int bits = 24) {
  std::size_t stride = (std::size_t(w) * 3 + 3) / 4 * 4;
  std::string s(54 + stride * h, '\0');
  auto put = [&](std::size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
  };
  s[0] = 'B';
  s[1] = 'M';
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, uint32_t(w), 4);
  put(22, uint32_t(h), 4);
  put(26, 1, 2);
  put(28, uint32_t(bits), 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s[54 + y * stride + x * 3] = char(b);
      s[54 + y * stride + x * 3 + 1] = char(g);
      s[54 + y * stride + x * 3 + 2] = char(r);
    }
  return s;
}

}  // namespace

TEST_F(TextureRules, TextureSizesArePowersOfTwoAroundTheVisibleImage) {
  EXPECT_EQ(tex_pow2_size(1), 1);
  EXPECT_EQ(tex_pow2_size(3), 4);
  EXPECT_EQ(tex_pow2_size(764), 1024);
  EXPECT_EQ(tex_pow2_size(1024), 1024);
  EXPECT_EQ(tex_pow2_size(1025), 1025);  // left for validation to refuse

  EXPECT_FLOAT_EQ(tex_res_scale(5), 1.0f);
  EXPECT_FLOAT_EQ(tex_res_scale(4), 0.5f);
  EXPECT_FLOAT_EQ(tex_res_scale(0), 1.0f / 32);

  // The installer background: widgets address it in 1/1024 units.
  EXPECT_EQ(scaled(642, 1010, 764), (sizes{1010, 764, 1024, 1024}));
  EXPECT_EQ(scaled(2, 512, 512), (sizes{512, 512, 512, 512}));

  mnw.tex_res = 4;
  EXPECT_EQ(scaled(2, 1010, 764), (sizes{505, 382, 512, 512}));
  EXPECT_EQ(scaled(2 | tex_flag_double_res, 1010, 764), (sizes{1010, 764, 1024, 1024}));
  EXPECT_EQ(scaled(2 | tex_flag_half_res, 1010, 764), (sizes{253, 191, 256, 256}));
  EXPECT_EQ(scaled(2 | tex_flag_full_res, 1010, 764), (sizes{1010, 764, 1024, 1024}));
  EXPECT_EQ(scaled(2, 1010, 764, 1), (sizes{1010, 764, 1024, 1024}));
  EXPECT_EQ(scaled(2, 1010, 764, 0, -101), (sizes{1010, 764, 1024, 1024}));  // other layouts ignore tex_res

  // Never below one pixel on either side.
  mnw.tex_res = 0;
  EXPECT_EQ(scaled(2, 64, 2), (sizes{32, 1, 32, 1}));
  EXPECT_EQ(scaled(2, 1, 1), (sizes{1, 1, 1, 1}));

  // Halved until the GL limit is met.
  mnw.tex_res = 5;
  maxtexdim = 256;
  EXPECT_EQ(scaled(2 | tex_flag_full_res, 1010, 764), (sizes{253, 191, 256, 256}));
}

TEST_F(TextureRules, FormatBitsPickLayoutAndBytes) {
  struct row {
    int filter, rgb, bytes, follow;
  } rows[] = {{1, GL_RGB, 3, 0},  {2, GL_RGBA, 4, 0}, {3, GL_ALPHA, 1, 0}, {4, GL_RGB, 3, 1},
              {5, GL_RGBA, 4, 1}, {6, GL_RED, 1, 0},  {7, GL_RGB, 3, 0},   {642, GL_RGBA, 4, 0}};
  for (const row& r : rows) {
    int rgb = 0, bytes = 0, follow = -1;
    tex_format_of(r.filter, "p", &rgb, &bytes, &follow);
    EXPECT_EQ(rgb, r.rgb) << r.filter;
    EXPECT_EQ(bytes, r.bytes) << r.filter;
    EXPECT_EQ(follow, r.follow) << r.filter;
  }
  EXPECT_EQ(tex_file_path("art/panel.tex", ".png"), "art/panel.png");
  EXPECT_EQ(tex_file_path("art/panel", ".bmp"), "art/panel.bmp");
}

TEST_F(TextureRules, ValidationEndsTheProgramWithTheValue) {
  // Boundary values pass.
  check_off(-1024, "p");
  check_off(1024, "p");
  check_dxy(1, "p");
  check_dxy(1024, "p");
  check_load_type(-104, "p");
  check_load_type(-100, "p");
  check_load_time(100, "p");
  check_load_time(102, "p");
  check_filter_type(0, "p");
  check_filter_type(2047, "p");
  check_bytes(1, "p");
  check_bytes(4, "p");
  check_manual_ref(0, "p");
  check_manual_ref(3374, "p");

  EXPECT_DEATH((alerts_to_stderr(), check_off(1025, "p")), "less than -1024 or greater than 1024!\np\nvalue:1025");
  EXPECT_DEATH((alerts_to_stderr(), check_dxy(0, "p")), "less than 1 or greater than 1024!\np\nvalue:0");
  EXPECT_DEATH((alerts_to_stderr(), check_load_type(-105, "p")), "invalid texture load_type!\np\nvalue:-105");
  EXPECT_DEATH((alerts_to_stderr(), check_load_time(99, "p")), "invalid texture load_time!");
  EXPECT_DEATH((alerts_to_stderr(), check_filter_type(2048, "p")), "invalid filter type!");
  EXPECT_DEATH((alerts_to_stderr(), check_bytes(5, "p")), "number of bytes!");
  EXPECT_DEATH((alerts_to_stderr(), tman.load_texture(tex_fail_quit, 3375, 2, tex_load_now, "x")),
               "Trying to bind too low or high a manual_ref!\nx\nvalue:3375");
  int rgb, bytes, follow;
  EXPECT_DEATH((alerts_to_stderr(), tex_format_of(8, "p", &rgb, &bytes, &follow)),
               "BAD color enum for tman - see tman for valid colors!  We cannot pass 0.");
}

TEST_F(TextureRules, SlotsAreChosenFrom3374AndReusedByPath) {
  EXPECT_EQ(tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, ""), 0);
  EXPECT_TRUE(tman.ref_dat.empty());
  EXPECT_EQ(tman.total_texes_ctr, 0);

  scratch_dx = 8;
  scratch_dy = 4;
  EXPECT_EQ(tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, "scratch_array:a"), 3374);
  EXPECT_EQ(tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, "scratch_array:b"), 3375);
  EXPECT_EQ(tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, "scratch_array:a"), 3374);
  EXPECT_EQ(tman.total_texes_ctr, 2);
  EXPECT_EQ(tman.loaded_texes_ctr, 0);  // no GL memory without a context
  EXPECT_EQ(tman.ref_dat[3374].tex_dx_vis, 8);
  EXPECT_EQ(tman.ref_dat[3374].tex_dy_tot, 4);
  EXPECT_EQ(tman.ref_dat[3374].ogl_num, 0);
  EXPECT_EQ(tman.get_path(3375), "scratch_array:b");
  EXPECT_EQ(tman.get_path(10), "un-inited");
  EXPECT_EQ(tman.get_path(99999), "un-inited");

  // The last free slot at or above 3374 is taken before the vector grows.
  tman.ref_dat[3374] = ref_dat_struct{};
  EXPECT_EQ(tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, "scratch_array:c"), 3374);

  // A manual reference takes over the slot and its hash entry.
  EXPECT_EQ(tman.load_texture(tex_fail_quit, 364, 642, tex_load_now, "scratch_array:b"), 364);
  EXPECT_EQ(tex_hash.at("scratch_array:b"), 364);

  // A texture for later is recorded, and loaded by the next request for it.
  int later = tman.load_texture(tex_fail_quit, 0, 2, tex_load_scenery, "scratch_array:later");
  EXPECT_EQ(tman.ref_dat[later].load_time, tex_load_scenery);
  EXPECT_EQ(tman.ref_dat[later].tex_dx_vis, 0);
  EXPECT_EQ(tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, "scratch_array:later"), later);
  EXPECT_EQ(tman.ref_dat[later].load_time, tex_load_now);
  EXPECT_EQ(tman.ref_dat[later].tex_dx_vis, 8);

  // Without a context binding does nothing and says nothing.
  AlertRecorder alerts;
  tman.bind_ref(4000);
  EXPECT_TRUE(alerts.alerts.empty());
  EXPECT_EQ(tman.o_tex[0], -1);
}

TEST_F(TextureRules, EmbeddedImagesGetTheirReferencesAndTheAtlasStaysInScratch) {
  tman.recall_ins_texes();
  struct expect {
    int ref, dx, dy, filter;
  } rows[] = {{363, 512, 512, 2}, {364, 1010, 764, 642}, {365, 1024, 768, 642}, {366, 1024, 768, 642}};
  for (const expect& e : rows) {
    const ref_dat_struct& s = tman.ref_dat[e.ref];
    EXPECT_EQ(s.tex_dx_vis, e.dx);
    EXPECT_EQ(s.tex_dy_vis, e.dy);
    EXPECT_EQ(s.tex_dx_tot, e.dx == 512 ? 512 : 1024);
    EXPECT_EQ(s.tex_dy_tot, e.dx == 512 ? 512 : 1024);
    EXPECT_EQ(s.filter_type, e.filter);
    EXPECT_EQ(s.load_time, tex_load_now);
    EXPECT_EQ(s.path, kHardWiredTexPath);
  }
  EXPECT_EQ(tman.total_texes_ctr, 4);
  EXPECT_EQ(scratch_dx, 512);
  EXPECT_EQ(std::memcmp(scratch_array, t_interface_dat, kInterfaceBytes), 0);
}

TEST_F(TextureRules, FilesAreReadAsPngThenBmp) {
#ifdef _WIN32
  GTEST_SKIP() << "under Wine a death test's child writes no standard error for the parent to read";
#endif
  TempDir dir;
  write_rgb_png(dir / "sky.png", 5, 3, 77);
  int ref = tman.load_texture(tex_fail_quit, 0, 4, tex_load_now, dir / "sky.tex");
  ASSERT_EQ(ref, 3374);
  const ref_dat_struct& s = tman.ref_dat[ref];
  EXPECT_EQ(s.tex_dx_vis, 5);
  EXPECT_EQ(s.tex_dy_vis, 3);
  EXPECT_EQ(s.tex_dx_tot, 8);
  EXPECT_EQ(s.tex_dy_tot, 4);
  EXPECT_EQ(s.tex_mode, GL_RGB);
  EXPECT_EQ(scratch_array_temp[0], 77);

  // Flag 0x100 decodes into scratch_array instead; a smaller tex_res shrinks the picture.
  scratch_array[0] = 0;
  mnw.tex_res = 4;
  write_rgb_png(dir / "big.png", 8, 8, 99);
  int big = tman.load_texture(tex_fail_quit, 0, 1 | tex_flag_use_scratch, tex_load_now, dir / "big.png");
  EXPECT_EQ(tman.ref_dat[big].tex_dx_vis, 4);
  EXPECT_EQ(scratch_array[0], 99);
  mnw.tex_res = 5;

  testing_support::write_file(dir / "wall.bmp", bmp_file(3, 2, 255, 0, 255));
  int wall = tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, dir / "wall.tex");
  EXPECT_EQ(tman.ref_dat[wall].tex_dx_vis, 3);
  EXPECT_EQ(tman.ref_dat[wall].tex_dx_tot, 4);
  EXPECT_EQ(scratch_array_temp[3], 0);  // magenta is transparent

  testing_support::write_file(dir / "deep.bmp", bmp_file(2, 2, 1, 2, 3, 32));
  EXPECT_DEATH((alerts_to_stderr(), tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, dir / "deep.bmp")),
               "Wrong bitmap color depth for texture!\nWe need 24-bit color.");
  std::string cut = bmp_file(4, 4, 1, 2, 3);
  testing_support::write_file(dir / "cut.bmp", cut.substr(0, cut.size() - 10));
  EXPECT_DEATH((alerts_to_stderr(), tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, dir / "cut.bmp")),
               "This bitmap file is damaged or cut short!");
  testing_support::write_file(dir / "wide.bmp", bmp_file(1025, 1, 1, 2, 3));
  EXPECT_DEATH((alerts_to_stderr(), tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, dir / "wide.bmp")),
               "less than 1 or greater than 1024!");

  write_rgb_png(dir / "huge.png", 1100, 2, 1);
  EXPECT_DEATH((alerts_to_stderr(), tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, dir / "huge.png")),
               "greater than 1024!.*value:1100");
  std::string png = testing_support::read_file(dir / "sky.png");
  testing_support::write_file(dir / "torn.png", png.substr(0, png.size() - 30));
  EXPECT_DEATH((alerts_to_stderr(), tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, dir / "torn.png")),
               "PNG error!\n.*overran end of buffer!.*PING-FILE ERROR!\nsetjmp\\(png_ptr->jmpbuf");
}

TEST_F(TextureRules, MissingTexturesShowTheFallbackAndSetTheirFlag) {
  TempDir dir;
  LogCapture log;
  // Ignore: nothing said.
  int ignored = tman.load_texture(tex_fail_ignore, 0, 2, tex_load_now, dir / "none1.png");
  EXPECT_EQ(ignored, 3374);
  EXPECT_EQ(tman.ref_dat[ignored].tex_dx_tot, 1);  // the fallback's size
  EXPECT_EQ(log.text().find("missing"), std::string::npos);

  int warned = tman.load_texture(tex_fail_warn_install, 0, 2, tex_load_now, dir / "none2.png");
  EXPECT_NE(warned, 0);
  EXPECT_TRUE(tman.has_instl_load_fail());
  EXPECT_FALSE(tman.has_scene_load_fail());
  EXPECT_NE(log.text().find("WARNING: we are missing the texture: " + (dir / "none2.png") + "."), std::string::npos);
  tman.mute_instl_load_fail();
  EXPECT_EQ(tman.instl_load_fail, status_mute);
  // Once the user has been told, a later failure does not raise the flag again.
  EXPECT_EQ(tman.load_texture(tex_fail_warn_install, 400, 2, tex_load_now, dir / "none3.png"), 0);
  EXPECT_FALSE(tman.has_instl_load_fail());

  tman.load_texture(tex_fail_warn_scene, 0, 2, tex_load_now, dir / "none4.png");
  tman.load_texture(tex_fail_warn_plane, 0, 2, tex_load_now, dir / "none5.png");
  EXPECT_TRUE(tman.has_scene_load_fail());
  EXPECT_TRUE(tman.has_plane_load_fail());
  tman.mute_scene_load_fail();
  tman.mute_plane_load_fail();
  EXPECT_FALSE(tman.has_scene_load_fail() || tman.has_plane_load_fail());

  EXPECT_DEATH((alerts_to_stderr(), tman.load_texture(tex_fail_quit, 0, 2, tex_load_now, dir / "gone.png")),
               "Trying to load a texture that you do not have!\nThis smacks of a mis-installed copy of Zephra!\n"
               ".*The missing file is:\n.*gone.png");
}
