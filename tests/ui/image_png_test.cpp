// PNG decoding through libpng: the layouts the texture manager asks for, and damaged files.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "tests/support/test_support.h"
#include "ui/image_png.h"
#include "ui/palette.h"
#include "ui/textures.h"

using testing_support::AlertRecorder;
using testing_support::TempDir;

namespace {

struct png_layout {
  int w = 1, h = 1;
  int color_type = PNG_COLOR_TYPE_RGBA;
  int bit_depth = 8;
  bool linear_gamma = true;  // a gAMA of 1/2.2, which the decoder leaves untouched
  std::vector<png_color> palette;
  std::vector<png_byte> trns;
};

// Writes rows given top row first, as PNG stores them.
void write_png(const std::string& path, const png_layout& layout, const std::vector<std::vector<png_byte>>& rows) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, layout.w, layout.h, layout.bit_depth, layout.color_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (layout.linear_gamma) png_set_gAMA(png, info, 1.0 / 2.2);
  if (!layout.palette.empty()) png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
  if (!layout.trns.empty()) png_set_tRNS(png, info, layout.trns.data(), int(layout.trns.size()), nullptr);
  png_write_info(png, info);
  for (const auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

struct decoded {
  int result;
  png_image_info info;
  std::vector<unsigned char> pixels;
};

decoded decode(const std::string& path, int bytes, int depth_change_ok = 0, int max_dim = 1024) {
  decoded d;
  d.pixels.assign(64 * 1024, 0xEE);
  d.result = read_png_file(path, "tag", bytes, depth_change_ok, max_dim, d.pixels.data(), d.pixels.size(), &d.info);
  d.pixels.resize(std::size_t(d.info.width) * d.info.height * d.info.bytes_per_pix);
  return d;
}

using bytes = std::vector<unsigned char>;

}  // namespace

TEST(ImagePng, RgbaRowsComeOutBottomFirst) {
  TempDir dir;
  png_layout layout;
  layout.w = 2;
  layout.h = 2;
  write_png(dir / "a.png", layout, {{255, 0, 0, 255, 0, 255, 0, 128}, {0, 0, 255, 0, 10, 20, 30, 40}});
  decoded d = decode(dir / "a.png", 4);
  ASSERT_EQ(d.result, png_read_ok);
  EXPECT_EQ(d.info.width, 2);
  EXPECT_EQ(d.info.height, 2);
  EXPECT_EQ(d.info.bytes_per_pix, 4);
  EXPECT_EQ(d.pixels, (bytes{0, 0, 255, 0, 10, 20, 30, 40, 255, 0, 0, 255, 0, 255, 0, 128}));
  // Three bytes drop the alpha; one byte gives grey.
  EXPECT_EQ(decode(dir / "a.png", 3).pixels, (bytes{0, 0, 255, 10, 20, 30, 255, 0, 0, 0, 255, 0}));
  decoded grey = decode(dir / "a.png", 1);
  ASSERT_EQ(grey.info.bytes_per_pix, 1);
  // Weighted in linear light: pure green is brighter than pure red, and both are partly lit.
  EXPECT_GT(grey.pixels[2], 40);
  EXPECT_GT(grey.pixels[3], grey.pixels[2]);
  EXPECT_LT(grey.pixels[3], 255);
}

TEST(ImagePng, LayoutsAreMatchedToTheRequest) {
  TempDir dir;
  png_layout rgb;
  rgb.color_type = PNG_COLOR_TYPE_RGB;
  rgb.w = 2;
  write_png(dir / "rgb.png", rgb, {{1, 2, 3, 4, 5, 6}});
  EXPECT_EQ(decode(dir / "rgb.png", 4).pixels, (bytes{1, 2, 3, 255, 4, 5, 6, 255}));
  EXPECT_EQ(decode(dir / "rgb.png", 3).pixels, (bytes{1, 2, 3, 4, 5, 6}));
  // Allowed to follow the file: no alpha in the file gives three bytes even when four were asked.
  EXPECT_EQ(decode(dir / "rgb.png", 4, 1).info.bytes_per_pix, 3);

  png_layout grey;
  grey.color_type = PNG_COLOR_TYPE_GRAY;
  grey.bit_depth = 4;
  grey.w = 2;
  write_png(dir / "grey.png", grey, {{0xF0}});  // 15 and 0 in four bits
  EXPECT_EQ(decode(dir / "grey.png", 4).pixels, (bytes{255, 255, 255, 255, 0, 0, 0, 255}));
  EXPECT_EQ(decode(dir / "grey.png", 1).pixels, (bytes{255, 0}));

  png_layout pal;
  pal.color_type = PNG_COLOR_TYPE_PALETTE;
  pal.w = 3;
  pal.palette = {{9, 8, 7}, {200, 100, 50}};
  pal.trns = {0};  // entry 0 fully transparent
  write_png(dir / "pal.png", pal, {{0, 1, 1}});
  decoded p = decode(dir / "pal.png", 4, 1);
  EXPECT_EQ(p.info.bytes_per_pix, 4);
  EXPECT_EQ(p.pixels, (bytes{9, 8, 7, 0, 200, 100, 50, 255, 200, 100, 50, 255}));

  png_layout deep;
  deep.color_type = PNG_COLOR_TYPE_RGB;
  deep.bit_depth = 16;
  write_png(dir / "deep.png", deep, {{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF}});
  EXPECT_EQ(decode(dir / "deep.png", 3).pixels, (bytes{0x12, 0xAB, 0xFF}));
}

TEST(ImagePng, FileWithoutGammaIsBrightenedLikeTheScreen) {
  TempDir dir;
  png_layout layout;
  layout.color_type = PNG_COLOR_TYPE_RGB;
  layout.linear_gamma = false;
  write_png(dir / "g.png", layout, {{0, 128, 255}});
  decoded d = decode(dir / "g.png", 3);
  ASSERT_EQ(d.result, png_read_ok);
  EXPECT_EQ(d.pixels[0], 0);
  EXPECT_EQ(d.pixels[2], 255);
  // Screen gamma 2.2 over an assumed file gamma of 1/1.8: the exponent 9/11 of the bitmap curve.
  EXPECT_NEAR(d.pixels[1], colr.win_gamma[128], 1);
  EXPECT_NEAR(d.pixels[1], 255 * std::pow(128 / 255.0, 9.0 / 11.0), 1.5);
}

TEST(ImagePng, KeyColourFadesNearBlackPixels) {
  bytes px{0, 0, 0, 255, 10, 20, 20, 255, 17, 17, 17, 255, 200, 0, 0, 255};
  png_key_color_alpha(px.data(), 4);
  EXPECT_EQ(px[3], 0);
  EXPECT_EQ(px[7], 250);   // distance 50
  EXPECT_EQ(px[11], 255);  // distance 51 stays
  EXPECT_EQ(px[15], 255);
}

TEST(ImagePng, BadFilesAreReportedNotCrashedOn) {
  TempDir dir;
  EXPECT_EQ(decode(dir / "missing.png", 4).result, png_read_missing);
  testing_support::write_file(dir / "empty.png", "");
  EXPECT_EQ(decode(dir / "empty.png", 4).result, png_read_not_png);
  testing_support::write_file(dir / "text.png", "this is not a picture at all");
  EXPECT_EQ(decode(dir / "text.png", 4).result, png_read_not_png);
  EXPECT_STREQ(png_read_failure_text(png_read_not_png), "is_png=!png_sig_cmp(png_io_buf,0,8)");

  png_layout big;
  big.w = 40;
  big.h = 30;
  std::vector<std::vector<png_byte>> rows(30, std::vector<png_byte>(40 * 4, 7));
  write_png(dir / "big.png", big, rows);
  decoded too_big = decode(dir / "big.png", 4, 0, 32);
  EXPECT_EQ(too_big.result, png_read_too_big);
  EXPECT_EQ(too_big.info.width, 40);
  EXPECT_EQ(too_big.info.height, 30);

  // Cut inside the image data: the read callback refuses to go past the end.
  std::string whole = testing_support::read_file(dir / "big.png");
  testing_support::write_file(dir / "cut.png", whole.substr(0, whole.size() / 2));
  {
    AlertRecorder alerts;
    EXPECT_EQ(decode(dir / "cut.png", 4).result, png_read_lib_error);
    ASSERT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(alerts.alerts[0].type, alert_error);
    EXPECT_EQ(alerts.alerts[0].lines[0], "PNG error!");
    EXPECT_EQ(alerts.alerts[0].lines[1], "PNG Read Error, overran end of buffer!");
    EXPECT_EQ(alerts.alerts[0].lines[2], "tag");
  }
  // A flipped byte in the image data fails its checksum.
  std::string damaged = whole;
  damaged[damaged.size() - 20] ^= 0x55;
  testing_support::write_file(dir / "crc.png", damaged);
  {
    AlertRecorder alerts;
    EXPECT_EQ(decode(dir / "crc.png", 4).result, png_read_lib_error);
    EXPECT_EQ(alerts.alerts.size(), 1u);
  }
}
