#pragma once
// The colour palette: every drawing call names its colour by an index into it.

class colr_class {
 public:
  colr_class();
  // Stores one palette entry; an index outside 0...99 is ignored.
  void assign(int index, float r, float g, float b);

  unsigned char win_gamma[256];  // gamma curve applied to BMP pixels by the texture manager
  float col_rgb[100][3];
  float r_manual_liting = 1.0f, g_manual_liting = 1.0f, b_manual_liting = 1.0f;  // for indices below 45
  float spectrum_min = 0, spectrum_max = 0, spectrum_del = 0;  // not filled by the installer
  float spectrum_rgb[1000][3];
};
extern colr_class colr;

// Takes the interface colours 33-46 from the swatches of the 512 x 512 interface atlas
// (R, G, B, A per pixel, rows bottom first); 38 becomes the mean of 37 and 34.
void colr_sample_interface(const unsigned char* atlas_rgba);

// Sets the pulsing colours 75-79 for the given running time and returns their brightness
// p = 0.7 + 0.3 sin(20 t), which the frame loop also uses as the caret alpha.
float colr_set_pulse(float real_time);
