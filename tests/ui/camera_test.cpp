// The camera's matrices and the screen metrics and projection the drawing layer derives from the window size.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/camera.h"
#include "ui/draw.h"
#include "ui/window_state.h"

namespace {

// m (column-major) times the point (x, y, z, 1).
void transform(const double* m, double x, double y, double z, double out[4]) {
  for (int r = 0; r < 4; ++r) out[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
}

TEST(Camera, OrthoMapsTheRectangleOntoClipSpace) {
  double m[16];
  buildOrthoMatrix(m, 0, 1024, 0, 768, -1, 1);
  double p[4];
  transform(m, 0, 0, 0, p);
  EXPECT_DOUBLE_EQ(p[0], -1);
  EXPECT_DOUBLE_EQ(p[1], -1);
  transform(m, 1024, 768, 0.5, p);
  EXPECT_DOUBLE_EQ(p[0], 1);
  EXPECT_DOUBLE_EQ(p[1], 1);
  EXPECT_DOUBLE_EQ(p[2], -0.5);
  EXPECT_DOUBLE_EQ(p[3], 1);
}

TEST(Camera, FrustumMapsNearAndFarCornersOntoTheCube) {
  double m[16];
  buildFrustumMatrix(m, -2, 2, -1, 1, 1, 10);
  double p[4];
  transform(m, 2, 1, -1, p);  // near top right
  EXPECT_NEAR(p[0] / p[3], 1, 1e-12);
  EXPECT_NEAR(p[1] / p[3], 1, 1e-12);
  EXPECT_NEAR(p[2] / p[3], -1, 1e-12);
  transform(m, -20, -10, -10, p);  // far bottom left
  EXPECT_NEAR(p[0] / p[3], -1, 1e-12);
  EXPECT_NEAR(p[2] / p[3], 1, 1e-12);

  xcam_class cam;
  cam.SetupFrustum(-2, 2, -1, 1, 1, 10);
  EXPECT_FALSE(cam.mIsOrtho);
  // Side-plane normals point inwards: the view axis is on their positive side.
  for (const double* n : {cam.mLeft, cam.mRight, cam.mTop, cam.mBottom}) {
    EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1, 1e-12);
    EXPECT_GT(-n[2], 0);
  }
  // A point on the left plane lies on it.
  EXPECT_NEAR(cam.mLeft[0] * -2 + cam.mLeft[2] * -1, 0, 1e-12);
}

TEST(Camera, SetupOrthoKeepsItsBoundsAndIdentityResetsTheModelView) {
  xcam_class cam;
  cam.mModelView[3] = 5;
  cam.mLocationStale = false;
  cam.SetupOrtho(0, 800, 0, 600, -1, 1);
  EXPECT_TRUE(cam.mIsOrtho);
  EXPECT_EQ(cam.mOrthoRight, 800);
  EXPECT_EQ(cam.mNear, 1);
  EXPECT_EQ(cam.mFar, -1);
  EXPECT_EQ(cam.mFakeFar, -1);
  EXPECT_TRUE(cam.mLocationStale);
  cam.Identity();
  double id[16];
  setIdentityMatrix(id);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(cam.mModelView[i], id[i]);
}

class ScreenMetrics : public ::testing::Test {
 protected:
  void TearDown() override { mnw = mnw_class(); }
};

TEST_F(ScreenMetrics, SmallAndLargeScreens) {
  mnw.x_res_now = 800;
  mnw.y_res_now = 600;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.xy_scale_coc, 1.0f);
  EXPECT_EQ(mnw.xy_scale_now, 1.0f);
  EXPECT_EQ(mnw.extra_sx, -112);
  EXPECT_EQ(mnw.x_ctr, 400);
  EXPECT_EQ(mnw.y_ctr, 384);

  mnw.x_res_now = 1280;
  mnw.y_res_now = 1024;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.extra_sx, 128);
  EXPECT_EQ(mnw.extra_ty, 256);
  EXPECT_EQ(mnw.x2_pix, 1280);
  EXPECT_EQ(mnw.xy_scale_coc, 1.25f);
  EXPECT_EQ(mnw.xy_scale_now, 1.0f);
}

TEST_F(ScreenMetrics, TheTwoDimensionalViewportCoversTheWholeScreen) {
  mnw.x_res_now = 1280;
  mnw.y_res_now = 1024;
  mnw.top_win = 0;
  OGL_pix_specs(0);  // without a window it only builds the camera's matrices
  EXPECT_TRUE(xcam.mIsOrtho);
  EXPECT_EQ(xcam.mOrthoRight, 1280);
  EXPECT_EQ(xcam.mOrthoTop, 1024);
  EXPECT_FALSE(xcam.mCameraStale);
  // Arguments given for two dimensions are replaced by the screen.
  OGL_viewport(2, 5, 5, 5, 5, 6, 6, 6, 6, 0, 0, 2.0f);
  EXPECT_EQ(xcam.mOrthoRight, 640);
}

}  // namespace
