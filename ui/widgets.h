#pragma once
// Immediate-mode widgets: each call draws its control from the interface atlas and reports
// whether it was clicked. The hit tests always run against the mouse state in mnw; drawing
// happens only with a GL context (without a window the mouse never clicks).
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

// The module's (empty) global object.
class butn_class {};
extern butn_class butn;

// Labels have the form label1|label2{help: label1 before the last '|' (before the '{'), label2
// between it and the last '{', and help from the second character after the '{' (the character
// right after '{' is a spacer). Without '|' everything before the '{' is label1.
void BTN_expand_label(const std::string& input_label, std::string* label1, std::string* label2, std::string* help);
// How a label is laid out in lines: a leading '-' is dropped and keeps it on one line; with
// split set, a label longer than 12 characters breaks at the space, '-' or '/' nearest its middle
// (the break character is dropped). Returns the number of lines (0 for an empty label).
int BTN_label_lines(const std::string& label, bool split, std::string* line1, std::string* line2);
// Draws a label in charset 100, colour 42 (76 when is_red): side 0 right-aligned ending at x,
// 2 left-aligned from x, 1 left-aligned without splitting. Two lines sit 5 above and 5 below y.
void BTN_util_draw_label(float x, float y, int side, const std::string& input_label, int is_red);
// A sub-panel of type win_type titled str; negative arguments take the defaults (x, y 10 and the
// rest of the window). Returns through x2, y2 the origin for the next sub-panel.
void BTN_subwin(float tab_dy, int win_type, float x, float y, float dx, float dy, const std::string& str, float* x2,
                float* y2);
// A field bar (type 9) with a down arrow 13 below and an up arrow 15 above each of num_boxes digit slots.
void BTN_util_draw_boxed_button(float x_center, float y_center, float dx_control, float box_os, int num_boxes);

// Push button captioned label1; dx_control <= 0 sizes it to the caption + 21. pressed draws it
// pressed (and the caption red with show_press 2). 1 when clicked this frame.
int BTN_action(float x_center, float y_center, float dx_control, int pressed, int show_press,
               const std::string& input_label);
// Check box (radio look with is_list_sel) at (x, y); a click toggles *var between 0 and 1 and returns 1.
int BTN_bool(float x, float y, int* var, const std::string& input_label, int is_list_sel);
// Radio choice: selected while *var == target; a click sets *var = target and returns 1.
int BTN_is_int(float x, float y, int* var, int target, const std::string& input_label);
// Pop-up list of the '-'-separated items of stl_list with *sel chosen. A click opens the shared
// pop-up (menu kPopupMenu); returns 1 in the frame the chosen index arrives in *sel.
int BTN_textlist(float x, float y, int* sel, const std::string& stl_list, const std::string& input_label);
// Digit spinner of dig slots and dec decimals: a click on the upper or lower half of a slot adds or
// subtracts its place value; *var is kept within [lo, hi] and rounded to dec decimals every frame.
// 1 in the frame a digit was clicked.
int BTN_flt_range(float x, float y, float* var, int dig, int dec, float lo, float hi, const std::string& input_label);
int BTN_int_range(float x, float y, int* var, int dig, float lo, float hi, const std::string& input_label);
// Text field of dim characters with id this_field. A click takes the focus (mnw.entry_field),
// empties *input and the typing buffer and returns 1; while focused *input follows the typing
// buffer (cut to dim characters) and Return ends the edit; a click on the field being edited
// keeps its text.
int BTN_enterstring(float x, float y, std::string* input, int dim, int this_field, const std::string& input_label,
                    int text_colour = -1);

// The position code of the list drawn at (x, y): 1024 y + x to the nearest integer.
int BTN_popup_code(float x, float y);

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
