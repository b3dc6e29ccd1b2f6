#pragma once
// Immediate-mode widgets: each call draws its control and reports whether it was clicked.
#include <string>

void BTN_frame1(int type, float x_center, float y_center, float dx_control, int color);
void BTN_frame2(int type, float x, float y, float dx, float dy, const std::string& input_label);
int BTN_action(float x_center, float y_center, float dx_control, int pressed, int show_press,
               const std::string& input_label);
int BTN_is_int(float x, float y, int* var, int target, const std::string& input_label);
