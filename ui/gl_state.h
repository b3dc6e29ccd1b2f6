#pragma once
// The render record, the font scale, and the cached setter for the GL switches the interface uses.
#include <string>

// Render record: what the probe found and the alpha every primitive is multiplied by.
class ren_class {
 public:
  float current_alpha = 1.0f;
  int num_tex_units = 1;  // texture units; the probe fills the real count
  int num_img_units = 1;
  int num_cor_units = 1;
  float max_iso = 1.0f;
  std::string cVEND, cREND, cVERS, cEXTE;
};
extern ren_class ren;

// Font scale: glyph quads (not their advance) grow by it when it exceeds 1.0.
class oglp_class {
 public:
  float font_size = 1.0f;
};
extern oglp_class oglp;

// Brings the GL switches to the requested codes, touching only what differs from the cache:
// fog 0 on / other off; tex = texture units to enable (clamped to 0...num_tex_units); lit 2 on / 3 off;
// al 4 blend off test off, 5 blend on, 6 test on, 7 both; deR 8 / 9 depth test on / off;
// deW 10 / 11 depth writes on / off. Interface drawing uses (1, 0, 3, 5, 9, 11), text (1, 1, 3, 5, 9, 11).
void OGL_setstate(int fog, int tex, int lit, int al, int deR, int deW);
// The GL state a new context starts every frame from (set once the context is current).
void OGL_initial_state();
// Blending by source alpha over one minus source alpha.
void OGL_nrml_colors();
// Forgets the cached switches, so that the next setter reads them from GL again (a new context).
void OGL_forget_state();
