// The palette: fixed entries, the gamma curve, colours sampled from the atlas swatches, pulsing colours.
#include <gtest/gtest.h>

#include <vector>

#include "ui/palette.h"

namespace {

TEST(Palette, FixedEntriesAndBlackElsewhere) {
  colr_class c;
  EXPECT_FLOAT_EQ(c.col_rgb[1][0], 0.8f);
  EXPECT_FLOAT_EQ(c.col_rgb[74][1], 0.43f);
  EXPECT_FLOAT_EQ(c.col_rgb[97][2], 0.9f);
  for (int i : {11, 14, 16, 33, 45, 84, 91, 98, 99})
    for (int k = 0; k < 3; ++k) EXPECT_EQ(c.col_rgb[i][k], 0.0f) << i;
  EXPECT_EQ(c.r_manual_liting, 1.0f);
  c.assign(100, 1, 1, 1);  // out of range: ignored, nothing overwritten
  c.assign(-1, 1, 1, 1);
  EXPECT_EQ(c.col_rgb[99][0], 0.0f);
}

TEST(Palette, GammaCurveBrightensMidTones) {
  colr_class c;
  EXPECT_EQ(c.win_gamma[0], 0);
  EXPECT_EQ(c.win_gamma[255], 255);
  EXPECT_EQ(c.win_gamma[128], 145);  // (128/255)^(9/11) x 255 + 0.5 = 145.6
  EXPECT_EQ(c.win_gamma[1], 3);      // (1/255)^(9/11) x 255 + 0.5 = 3.2
  for (int i = 1; i < 256; ++i) EXPECT_GE(c.win_gamma[i], c.win_gamma[i - 1]);
}

TEST(Palette, InterfaceColoursComeFromTheAtlasSwatches) {
  std::vector<unsigned char> atlas(512 * 512 * 4, 0);
  auto put = [&](int x, int y, unsigned char r, unsigned char g, unsigned char b) {
    unsigned char* p = &atlas[(y * 512 + x) * 4];
    p[0] = r, p[1] = g, p[2] = b, p[3] = 255;
  };
  put(319, 155, 51, 67, 86);
  put(319, 147, 200, 100, 0);   // 34
  put(319, 123, 100, 0, 200);   // 37
  put(395, 115, 255, 255, 255); // 43
  colr_sample_interface(atlas.data());
  EXPECT_FLOAT_EQ(colr.col_rgb[33][0], 51 / 255.0f);
  EXPECT_FLOAT_EQ(colr.col_rgb[33][2], 86 / 255.0f);
  EXPECT_FLOAT_EQ(colr.col_rgb[43][1], 1.0f);
  EXPECT_FLOAT_EQ(colr.col_rgb[38][0], (200 + 100) / 2 / 255.0f);
  EXPECT_FLOAT_EQ(colr.col_rgb[38][2], 100 / 255.0f);
  EXPECT_EQ(colr.col_rgb[45][0], 0.0f);
  colr = colr_class();
}

TEST(Palette, PulsingColoursFollowTheClock) {
  float p = colr_set_pulse(0);
  EXPECT_FLOAT_EQ(p, 0.7f);
  EXPECT_FLOAT_EQ(colr.col_rgb[76][0], 0.7f);
  EXPECT_FLOAT_EQ(colr.col_rgb[76][1], 0.21f);
  p = colr_set_pulse(3.14159265f / 40);  // sin(pi/2)
  EXPECT_NEAR(p, 1.0f, 1e-6);
  EXPECT_NEAR(colr.col_rgb[78][1], 0.8f, 1e-6);
  colr = colr_class();
}

}  // namespace
