// The font grid of the interface atlas: 5 rows of 21 characters with their proportional advances.
#include "ui/glyph_table.h"

#include <array>

namespace {

struct glyph_entry {
  unsigned char code;
  unsigned char advance;
};

// Row by row, column 0 first.
constexpr glyph_entry kGrid[kGlyphRows][kGlyphColumns] = {
    {{' ', 4}, {'0', 6}, {'1', 6}, {'2', 6}, {'3', 6}, {'4', 6}, {'5', 6}, {'6', 6}, {'7', 6}, {'8', 6}, {'9', 6},
     {'A', 7}, {'a', 6}, {'B', 6}, {'b', 6}, {'C', 7}, {'c', 5}, {'D', 7}, {'d', 6}, {'E', 5}, {'e', 6}},
    {{'F', 5}, {'f', 4}, {'G', 7}, {'g', 6}, {'H', 7}, {'h', 6}, {'I', 3}, {'i', 3}, {'J', 5}, {'j', 5}, {'K', 6},
     {'k', 5}, {'L', 5}, {'l', 3}, {'M', 9}, {'m', 8}, {'N', 7}, {'n', 6}, {'O', 8}, {'o', 6}, {'P', 6}},
    {{'p', 6}, {'Q', 8}, {'q', 6}, {'R', 6}, {'r', 4}, {'S', 5}, {'s', 5}, {'T', 7}, {'t', 4}, {'U', 7}, {'u', 6},
     {'V', 7}, {'v', 6}, {'W', 9}, {'w', 8}, {'X', 7}, {'x', 6}, {'Y', 7}, {'y', 6}, {'Z', 6}, {'z', 6}},
    {{'!', 3}, {'@', 9}, {'#', 8}, {'$', 5}, {'%', 8}, {'^', 6}, {'&', 8}, {'*', 4}, {'(', 4}, {')', 4}, {'-', 6},
     {'_', 6}, {'+', 6}, {'=', 6}, {'[', 4}, {']', 4}, {'|', 4}, {'\\', 6}, {'\'', 3}, {':', 3}, {';', 3}},
    {{'<', 7}, {'.', 2}, {'>', 7}, {',', 2}, {'?', 5}, {'/', 5}, {'`', 3}, {0xFB, 3}, {0xC1, 6}, {0xE1, 6},
     {0xC9, 6}, {0xE9, 6}, {0xCD, 6}, {0xED, 6}, {0xD3, 6}, {0xF3, 6}, {0xDA, 6}, {0xFA, 6}, {0xD1, 6},
     {0xF1, 6}, {0xBF, 6}},
};

std::array<glyph_cell, 256> build_lookup() {
  std::array<glyph_cell, 256> table{};  // everything starts as the blank cell with no advance
  for (int r = 0; r < kGlyphRows; ++r)
    for (int c = 0; c < kGlyphColumns; ++c) {
      const glyph_entry& e = kGrid[r][c];
      table[e.code] = glyph_cell{static_cast<unsigned char>(c), static_cast<unsigned char>(r), e.advance};
    }
  return table;
}

}  // namespace

const glyph_cell& glyph_for(unsigned char code) {
  static const std::array<glyph_cell, 256> lookup = build_lookup();
  return lookup[code];
}

int glyph_code_at(int column, int row) {
  if (column < 0 || column >= kGlyphColumns || row < 0 || row >= kGlyphRows) return -1;
  return kGrid[row][column].code;
}
