// The drawing layer while there is no window: nothing is drawn and nothing is clicked.
// The window's own drawing replaces these bodies once a GL context exists.
#include "ui/draw.h"
#include "ui/widgets.h"

void OGL_2dquad(int, int, float, float, float, float, float, float, float, float, float, float, float, float, float,
                float, float, float, float, int, int) {}
void OGL_string(int, float, float, const std::string&, float, int) {}
void OGL_plot_back_col() {}
void OGL_sbuf() {}

void BTN_frame1(int, float, float, float, int) {}
void BTN_frame2(int, float, float, float, float, const std::string&) {}
int BTN_action(float, float, float, int, int, const std::string&) { return 0; }
int BTN_is_int(float, float, int*, int, const std::string&) { return 0; }
