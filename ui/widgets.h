#pragma once
// Immediate-mode widgets: each call draws its control from the interface atlas and reports
// whether it was clicked. Without a GL context nothing is drawn and nothing is clicked.
#include <string>

// One atlas element: a (2 sdx) x (2 sdy) quad centred on (xc, yc), texels (sc +- sdx, tc +- sdy) 1:1.
void BTN_util_element(float xc, float yc, float sc, float tc, float sdx, float sdy, int color);
// A stretchable bar of one of the atlas strips (types 0-5, 7-10); any other type ends the program.
void BTN_frame1(int type, float x_center, float y_center, float dx_control, int color);
// A nine-slice panel (types 11-20) around (x, y, dx, dy) with its title centred at the top;
// any other type ends the program.
void BTN_frame2(int type, float x, float y, float dx, float dy, const std::string& input_label);
// Fills the current window: panel 12 (bar 0) or 11, titled with the window's name, then a top bar
// (fill_type 1), nothing (21) or an inner panel of type fill_type.
void BTN_fillwin(int bar, int fill_type);
// The two close boxes at the top corners of the window; 1 when one of them is clicked.
int BTN_zap_boxes(int pressed);

int BTN_action(float x_center, float y_center, float dx_control, int pressed, int show_press,
               const std::string& input_label);
int BTN_is_int(float x, float y, int* var, int target, const std::string& input_label);

// The art of one bar type, in atlas texels; false for a type that does not exist.
struct frame1_art {
  int dx_border, dx_tex, dy_tex, s_base, t_base, shadow_dx;
};
bool BTN_frame1_art(int type, frame1_art* out);

// The art of one panel type: texel block, shadow margins and title colour; false for an unknown type.
struct frame2_art {
  int s_base, t_base, shadow_dx, shadow_dyb, shadow_dyt, total_dxy, title_color, texture;
  float texel_scale;
};
bool BTN_frame2_art(int type, frame2_art* out);

// One piece of a stretched strip: pixel span and texel span.
struct strip_piece {
  float x1, x2, s1, s2;
};
// Cuts a span of `extent` pixels from `start` into an end cap of `border` pixels (texels 0...border),
// middle tiles of `middle` pixels (texels border...border + middle) and an end cap (texels
// border + middle...2 border + middle); the last middle tile is cut where the far cap begins, its
// texel span cut in proportion. Returns the number of pieces written (at most max_pieces).
int BTN_strip_pieces(float start, float extent, float border, float middle, strip_piece* pieces, int max_pieces);
