#include "font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <cstdlib>

font_face::font_face(const std::string& path) {
  if (FT_Init_FreeType(&library_) != 0) {
    std::fprintf(stderr, "zephra-art: I could not start FreeType.\n");
    std::exit(1);
  }
  if (FT_New_Face(library_, path.c_str(), 0, &face_) != 0) {
    std::fprintf(stderr, "zephra-art: I could not read the font %s (it comes with fonts-dejavu-core).\n",
                 path.c_str());
    FT_Done_FreeType(library_);
    std::exit(1);
  }
}

font_face::~font_face() {
  FT_Done_Face(face_);
  FT_Done_FreeType(library_);
}

glyph_image font_face::render(unsigned code, int pixels, float x_scale, bool hinted) {
  glyph_image out;
  FT_Int32 flags = 0;
  if (hinted) {
    // The autohinter's strong (monochrome) hinting snaps stems across as well as up and rounds
    // their widths to whole pixels; the outline is then rendered with anti-aliasing all the same.
    // A squeezed glyph is hinted at a narrower em instead of squeezed afterwards, which would
    // spread its stems over two columns again.
    FT_Set_Transform(face_, nullptr, nullptr);
    FT_Set_Char_Size(face_, FT_F26Dot6(std::lround(pixels * x_scale * 64.0)), FT_F26Dot6(pixels) * 64, 72, 72);
    flags = FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_MONO;
  } else {
    FT_Set_Pixel_Sizes(face_, 0, FT_UInt(pixels));
    FT_Matrix squeeze{FT_Fixed(std::lround(x_scale * 65536.0)), 0, 0, 0x10000};
    FT_Set_Transform(face_, x_scale != 1.0f ? &squeeze : nullptr, nullptr);
    flags = FT_LOAD_RENDER | FT_LOAD_NO_HINTING;
  }
  if (FT_Load_Char(face_, code, flags) != 0) return out;
  if (hinted && FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL) != 0) return out;  // grey levels
  FT_GlyphSlot slot = face_->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  out.width = int(bitmap.width);
  out.rows = int(bitmap.rows);
  out.left = slot->bitmap_left;
  out.top = slot->bitmap_top;
  out.advance = slot->advance.x / 64.0f;
  out.coverage.resize(std::size_t(out.width) * out.rows);
  for (int r = 0; r < out.rows; ++r)
    for (int c = 0; c < out.width; ++c)
      out.coverage[std::size_t(r) * out.width + c] = char(bitmap.buffer[r * bitmap.pitch + c]);
  return out;
}

float font_face::measure(const std::string& text, int pixels) {
  float width = 0;
  for (unsigned char ch : text) width += render(ch, pixels, 1.0f, false).advance;
  return width;
}

void font_face::draw(canvas& target, float x, float y, const std::string& text, int pixels, const rgba& colour) {
  float pen = x;
  for (unsigned char ch : text) {
    glyph_image g = render(ch, pixels, 1.0f, false);
    int x0 = int(std::lround(pen)) + g.left, y_top = int(std::lround(y)) + g.top - 1;
    for (int r = 0; r < g.rows; ++r)
      for (int c = 0; c < g.width; ++c) {
        float cover = static_cast<unsigned char>(g.coverage[std::size_t(r) * g.width + c]) / 255.0f;
        if (cover > 0) target.blend(x0 + c, y_top - r, colour, cover);
      }
    pen += g.advance;
  }
}
