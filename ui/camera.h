#pragma once
// The camera: builds the projection and model-view matrices that the viewport loads into GL.

// Matrices are 16 doubles, column-major as OpenGL loads them.
void setIdentityMatrix(double* m);
// The matrix of glOrtho.
void buildOrthoMatrix(double* m, double left, double right, double bottom, double top, double zNear, double zFar);
// The matrix of glFrustum.
void buildFrustumMatrix(double* m, double left, double right, double bottom, double top, double zNear,
                        double zFar);

class xcam_class {
 public:
  xcam_class();
  void SetupOrtho(double left, double right, double bottom, double top, double zNear, double zFar);
  void SetupFrustum(double left, double right, double bottom, double top, double zNear, double zFar);
  // Model-view back to identity; the location must be worked out again.
  void Identity();

  bool mIsOrtho = true;
  double mNear = 0, mFar = 0, mFakeFar = 0;
  double mTop[3] = {}, mLeft[3] = {}, mRight[3] = {}, mBottom[3] = {};  // inward side-plane normals
  double mOrthoTop = 0, mOrthoLeft = 0, mOrthoRight = 0, mOrthoBottom = 0;
  double mLocation[4] = {};
  bool mLocationStale = true;
  bool mCameraStale = true;
  double mPerspective[16];
  double mModelView[16];
};
extern xcam_class xcam;
