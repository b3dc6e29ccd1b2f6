// Projection matrices built by hand, the same ones glOrtho and glFrustum would multiply in.
#include "ui/camera.h"

#include <cmath>

xcam_class xcam;

void setIdentityMatrix(double* m) {
  for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void buildOrthoMatrix(double* m, double left, double right, double bottom, double top, double zNear, double zFar) {
  setIdentityMatrix(m);
  m[0] = 2.0 / (right - left);
  m[5] = 2.0 / (top - bottom);
  m[10] = -2.0 / (zFar - zNear);
  m[12] = -(right + left) / (right - left);
  m[13] = -(top + bottom) / (top - bottom);
  m[14] = -(zFar + zNear) / (zFar - zNear);
}

void buildFrustumMatrix(double* m, double left, double right, double bottom, double top, double zNear,
                        double zFar) {
  for (int i = 0; i < 16; ++i) m[i] = 0.0;
  m[0] = 2.0 * zNear / (right - left);
  m[5] = 2.0 * zNear / (top - bottom);
  m[8] = (right + left) / (right - left);
  m[9] = (top + bottom) / (top - bottom);
  m[10] = -(zFar + zNear) / (zFar - zNear);
  m[11] = -1.0;
  m[14] = -2.0 * zFar * zNear / (zFar - zNear);
}

namespace {

void set_unit(double* v, double x, double y, double z) {
  double len = std::sqrt(x * x + y * y + z * z);
  if (len <= 0) len = 1;
  v[0] = x / len;
  v[1] = y / len;
  v[2] = z / len;
}

}  // namespace

xcam_class::xcam_class() {
  setIdentityMatrix(mPerspective);
  setIdentityMatrix(mModelView);
}

void xcam_class::SetupOrtho(double left, double right, double bottom, double top, double zNear, double zFar) {
  mIsOrtho = true;
  buildOrthoMatrix(mPerspective, left, right, bottom, top, zNear, zFar);
  mOrthoLeft = left;
  mOrthoRight = right;
  mOrthoBottom = bottom;
  mOrthoTop = top;
  mNear = -zNear;
  mFar = mFakeFar = -zFar;
  mLocationStale = true;
}

void xcam_class::SetupFrustum(double left, double right, double bottom, double top, double zNear, double zFar) {
  mIsOrtho = false;
  buildFrustumMatrix(mPerspective, left, right, bottom, top, zNear, zFar);
  mNear = -zNear;
  mFar = mFakeFar = -zFar;
  // Each side plane passes through the eye and one edge of the near rectangle at z = -zNear;
  // its normal points into the viewing volume.
  set_unit(mLeft, zNear, 0, left);
  set_unit(mRight, -zNear, 0, -right);
  set_unit(mBottom, 0, zNear, bottom);
  set_unit(mTop, 0, -zNear, -top);
  mLocationStale = true;
}

void xcam_class::Identity() {
  setIdentityMatrix(mModelView);
  mLocationStale = true;
}
