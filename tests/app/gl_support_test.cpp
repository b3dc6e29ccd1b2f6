#include <gtest/gtest.h>

#include <GL/gl.h>

#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"

using namespace testing_support;

// The drawing tests stand on this: a virtual display, a GL window, and pixels read back.
TEST(GlSupport, ClearsAndReadsBackAFrame) {
  XvfbDisplay display;
  ASSERT_TRUE(display.ok()) << "Xvfb did not start";
  GlTestWindow window(64, 32);
  ASSERT_TRUE(window.ok());
  glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  std::vector<unsigned char> pixels = window.read_pixels();
  ASSERT_EQ(pixels.size(), 64u * 32u * 4u);
  EXPECT_EQ(pixels[0], 255);
  EXPECT_NEAR(pixels[1], 128, 1);
  EXPECT_EQ(pixels[2], 0);
  std::string png = std::string(ZEPHRA_BINARY_DIR) + "/frames/gl_support.png";
  window.save_png(png);
  EXPECT_TRUE(file_exists(png));
}
