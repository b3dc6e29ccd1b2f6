#pragma once
// Immediate-mode drawing primitives and bitmap text. Coordinates are window-relative pixels,
// origin at the lower left, y up; the current window's origin (mnw.win_x, win_y) is added.
// Without a GL context (mnw.context[0] null) nothing is drawn.
#include <string>
#include <vector>

// The palette entries the screens name for their texts.
// Red and green are the palette's light shades (50, 49): the darker ones (1, 13) cannot be read
// on the dark installer screen.
enum text_colour {
  colour_red = 50,
  colour_green = 49,
  colour_panel_text = 42,
  colour_text = 45,
  colour_warning = 68,
};

// Recomputes the screen metrics in mnw from x_res_now, y_res_now; sets the 2-D projection once a window exists.
void OGL_pix_specs(int);
// Loads the projection (orthographic for dims 2, a frustum for 3), the model-view and the GL viewport.
// For dims 2 the rectangle arguments are replaced by the whole screen.
void OGL_viewport(int dims, float rat_x1, float pix_x1, float rat_y1, float pix_y1, float rat_x2, float pix_x2,
                  float rat_y2, float pix_y2, float near_clip, float far_clip, float zoom);

void OGL_line(int color, float alpha, float x1, float y1, float x2, float y2);
void OGL_fillrect(int color, float alpha, float x, float y, float dx, float dy);
// Darkening veil: black between two corners with alpha rat.
void OGL_grayrect(float x1, float y1, float x2, float y2, float rat);
// One textured, tinted quad through four vertices with their texture coordinates (0...1);
// tex 0 binds nothing.
void OGL_2dquad(int tex, int col, float alp, float x1, float y1, float s1, float t1, float x2, float y2, float s2,
                float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4, int num_tex,
                int alB);
// The whole client area in the background colour 33.
void OGL_plot_back_col();

// Selects a font: state, colour, texture; writes the cell origin and size in texels, returns the
// pitch (0 for the proportional face). Charsets 100, 101, 102, 103; any other ends the program.
int OGL_strtex(int charset, int color, float* s1_pix, float* t1_pix, float* ds_pix, float* dt_pix);
// Draws text left-aligned at (x, y); dx is the wrap width, 9999 or more for none.
void OGL_string(int color, float x, float y, const std::string& input, float dx, int charset);
// Draws a number in dig fixed-pitch slots with dec decimals (charsets 101 and 102 only).
void OGL_number(int color, float x, float y, float input, int dig, int dec, int charset);
// Presents the frame.
void OGL_sbuf();
// Hands what the frame has drawn so far to the renderer, which may then draw it while the
// program goes on.
void OGL_flush();
// Makes the next OGL_sbuf copy the frame it presents into out (RGBA rows, bottom first).
void OGL_capture_next_frame(std::vector<unsigned char>* out);

// The proportional face's advance of a character; summed to measure a string.
float chr_dx(char c);
// The summed advance of a string in the proportional face.
float str_dx(const std::string& s);

// Sets the current GL colour from palette entry color with the given alpha (times ren.current_alpha).
void OGL_setcolor(int color, float alpha);
// Half-away-from-zero rounding, used for pixel snapping.
float OGL_round(float v);
