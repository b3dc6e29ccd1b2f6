#pragma once
// Copying an opaque image to the window pixel for pixel, by a framebuffer blit instead of a
// textured quad: the same pixels, at a fraction of the cost on a software renderer.

// Copies the lower-left dx x dy texels of the texture of reference ref to the window at (x, y)
// (window units, from its lower-left corner). False, having drawn nothing, when it cannot: no
// framebuffer blit in this OpenGL, the texture not loaded or smaller, or a window drawn scaled;
// the caller then draws its quad. The texture must be opaque: the copy blends nothing.
bool OGL_copy_to_window(int ref, float x, float y, int dx, int dy);
