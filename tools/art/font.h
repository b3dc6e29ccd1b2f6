#pragma once
// Text through FreeType: one face from a font file, rasterised with anti-aliasing.
#include <string>

#include "canvas.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

// A coverage bitmap of one character, rows top first as FreeType gives them.
struct glyph_image {
  int width = 0, rows = 0;
  int left = 0;     // pixels from the pen to the first column
  int top = 0;      // pixels from the baseline up to the first row
  float advance = 0;
  std::string coverage;  // width * rows bytes
};

class font_face {
 public:
  // Ends the program with a message naming the file when it cannot be read.
  explicit font_face(const std::string& path);
  ~font_face();
  font_face(const font_face&) = delete;
  font_face& operator=(const font_face&) = delete;

  // The character `code` (Unicode) at `pixels` per em, squeezed across to `x_scale`;
  // `hinted` snaps the outline to the pixel grid in both directions, stems on whole pixels, which
  // keeps very small text crisp; a hinted glyph is squeezed by hinting it at a narrower em.
  glyph_image render(unsigned code, int pixels, float x_scale = 1.0f, bool hinted = true);

  // Width of a string at a size, by advances.
  float measure(const std::string& text, int pixels);
  // Draws a string with its baseline at y, starting at x.
  void draw(canvas& target, float x, float y, const std::string& text, int pixels, const rgba& colour);

 private:
  FT_LibraryRec_* library_ = nullptr;
  FT_FaceRec_* face_ = nullptr;
};
