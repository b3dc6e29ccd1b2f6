#pragma once
// Where each character of the interface font sits in the interface atlas (texture 363) and how far
// it advances. The drawing code reads it to draw text; the art generator reads it to paint the cells.
//
// Two faces share one grid of 21 columns by 5 rows of 8 x 11 texel cells: the proportional face
// (charset 100) with its block at texel (0, 0), and the fixed-pitch face (charsets 101 and 102)
// with its block 21 cells further right, at texel (168, 0). A character at (column c, row r) uses
// the cell whose lower-left texel is (block_s + 8c, block_t + 11r); row 0 is the first stored row
// of the atlas (t = 0), and a glyph is drawn upright with its bottom at the cell's low t.
// Codes are Windows-1252.

struct glyph_cell {
  unsigned char column;
  unsigned char row;
  unsigned char advance;  // pixels moved after the glyph in the proportional face; 0 when not in the font
};

constexpr int kGlyphColumns = 21;
constexpr int kGlyphRows = 5;
constexpr int kGlyphCellDx = 8;
constexpr int kGlyphCellDy = 11;
constexpr int kProportionalFaceS = 0;  // charset 100
constexpr int kProportionalFaceT = 0;
constexpr int kFixedFaceS = 168;  // charsets 101 and 102
constexpr int kFixedFaceT = 0;
constexpr int kAtlasSize = 512;  // the interface atlas is 512 x 512 texels

// The cell and advance of a character. Codes not in the font give the blank cell (0, 0), advance 0.
const glyph_cell& glyph_for(unsigned char code);

// The character drawn in a cell, or -1 for a cell outside the grid. Cell (0, 0) is the space.
int glyph_code_at(int column, int row);
