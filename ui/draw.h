#pragma once
// Immediate-mode drawing primitives and bitmap text. Without a window they draw nothing.
#include <string>

// The palette entries the screens name for their texts.
enum text_colour {
  colour_red = 1,
  colour_green = 13,
  colour_panel_text = 42,
  colour_text = 45,
  colour_warning = 68,
};

void OGL_2dquad(int tex, int col, float alp, float x1, float y1, float s1, float t1, float x2, float y2, float s2,
                float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4, int num_tex,
                int alB);
void OGL_string(int color, float x, float y, const std::string& input, float dx, int charset);
void OGL_plot_back_col();
void OGL_sbuf();
