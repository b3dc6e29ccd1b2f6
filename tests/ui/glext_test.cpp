// The version code, the availability flags, and what the user is told about the card.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "ui/gl_extensions.h"

namespace {

TEST(GlVersion, CodeComesFromMajorAndMinorNumbers) {
  EXPECT_EQ(gl_version_code("1.1.0"), 110);
  EXPECT_EQ(gl_version_code("1.5 NVIDIA"), 150);
  EXPECT_EQ(gl_version_code("2.0"), 200);
  EXPECT_EQ(gl_version_code("2.1 Mesa 7.0"), 210);
  EXPECT_EQ(gl_version_code("4.5 (Compatibility Profile) Mesa 22.3.6"), 450);
  EXPECT_EQ(gl_version_code("3.10"), 310);
  EXPECT_EQ(gl_version_code(""), 100);
  EXPECT_EQ(gl_version_code("OpenGL ES 3.2"), 100);
  EXPECT_EQ(gl_version_code("4."), 100);
}

TEST(GlVersion, ExtensionNamesMatchWhole) {
  const std::string list = "GL_ARB_multitexture GL_ARB_texture_env_combine_x GL_EXT_texture_env_add";
  EXPECT_TRUE(gl_has_extension(list, "GL_ARB_multitexture"));
  EXPECT_TRUE(gl_has_extension(list, "GL_EXT_texture_env_add"));
  EXPECT_FALSE(gl_has_extension(list, "GL_ARB_texture_env_combine"));
  EXPECT_FALSE(gl_has_extension(list, "GL_ARB_multi"));
}

TEST(GlFlags, CoreVersionOrExtensionNames) {
  OGL_extensions ext;
  gl_flags_from(ext, 120, "GL_ARB_multitexture GL_SGIS_generate_mipmap GL_NV_fog_distance");
  EXPECT_EQ(ext.multitex_avail, 1);
  EXPECT_EQ(ext.tex_clamp_avail, 1);  // core from 1.2
  EXPECT_EQ(ext.combine_avail, 0);
  EXPECT_EQ(ext.automini_avail, 1);
  EXPECT_EQ(ext.dis_fog_avail, 1);
  EXPECT_EQ(ext.vbo_avail, 0);

  gl_flags_from(ext, 450, "");
  EXPECT_EQ(ext.multitex_avail, 1);
  EXPECT_EQ(ext.sprites_avail, 1);
  EXPECT_EQ(ext.depth_tex_avail, 1);
  EXPECT_EQ(ext.vbo_avail, 1);
  // Flags without a core level need their extension whatever the version.
  EXPECT_EQ(ext.aniso_avail, 0);
  EXPECT_EQ(ext.occlude_avail, 0);
  EXPECT_EQ(ext.vshader_avail, 0);
}

TEST(GlHardware, SoftwareRenderersGetAWarningAndGoOn) {
  testing_support::AlertRecorder alerts;
  gl_check_hardware(450, 1, "llvmpipe (LLVM 15.0.6, 256 bits)");
  EXPECT_TRUE(alerts.alerts.empty());
  gl_check_hardware(210, 1, "Mesa GLX Indirect");
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].type, 1);
  EXPECT_EQ(alerts.alerts[0].lines[0],
            "I can not find a 3-D accelerator card that can handle OpenGL that has correctly installed drivers.");
  gl_check_hardware(210, 1, "GDI Generic");
  EXPECT_EQ(alerts.alerts.size(), 2u);
}

TEST(GlHardwareDeathTest, NoMultitextureOrAnAncientVersionEndsTheProgram) {
  EXPECT_EXIT(
      {
        testing_support::AlertRecorder quiet;
        gl_check_hardware(450, 0, "some card");
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(
      {
        testing_support::AlertRecorder quiet;
        gl_check_hardware(100, 1, "some card");
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
