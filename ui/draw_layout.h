#pragma once
// Where the glyphs of a string or a number go. The layout is pure computation shared by the
// drawing code (which emits textured quads) and the tests; emit(x, y, column, row) is called
// once per glyph with its lower-left corner and its cell in the charset's grid.
#include <cmath>
#include <string>

#include "ui/glyph_table.h"

constexpr float kNoWrap = 9999.0f;
constexpr float kLineStep = 10.0f;

inline bool text_is_break(unsigned char c) { return c == 0 || c == ' ' || c == '-' || c == '/' || c == ':'; }

// Lays out input from the already placed start (x, y); pitch 0 advances by the glyph table.
template <class Emit>
void OGL_layout_string(const std::string& input, float x, float y, float dx, int pitch, int charset, Emit&& emit) {
  const float x1 = x;
  const bool wrap = dx < kNoWrap;
  const std::size_t len = input.size();
  for (std::size_t i = 0; i < len; ++i) {
    const unsigned char c = static_cast<unsigned char>(input[i]);
    const std::size_t at = i;
    if (c != '\r' && c != '\n' && c != '\t') {
      if (charset == 103) {
        // Two bytes per character, 40 cells per row.
        if (i + 1 >= len) break;
        int code = (c - 1) * 127 + (static_cast<unsigned char>(input[i + 1]) - 1);
        if (code < 0) code = 0;
        emit(x, y, code % 40, code / 40);
        ++i;
      } else {
        const glyph_cell& g = glyph_for(c);
        emit(x, y, static_cast<int>(g.column), static_cast<int>(g.row));
      }
      x += pitch > 0 ? static_cast<float>(pitch) : (charset == 103 ? 0.0f : glyph_for(c).advance);
    }
    if (!wrap) continue;
    if (text_is_break(c)) {
      std::size_t word = 0;
      for (std::size_t j = at + 1; j < len && !text_is_break(static_cast<unsigned char>(input[j])); ++j) ++word;
      if (x1 + dx < x + 6.0f * static_cast<float>(word)) {
        x = x1;
        y -= kLineStep;
      }
    } else if (c == '\n') {
      x = x1;
      y -= kLineStep;
    }
  }
}

namespace draw_detail {
// The digit a computed value stands for; anything outside 0...9 (or not a number) draws 0.
inline int slot_digit(double d) { return (d >= 0.0 && d <= 9.0) ? static_cast<int>(d) : 0; }
inline void glyph_cell_of(char c, int* column, int* row) {
  const glyph_cell& g = glyph_for(static_cast<unsigned char>(c));
  *column = g.column;
  *row = g.row;
}
}  // namespace draw_detail

// Lays out a number from the already placed start (x, y) in slots of one pitch each.
template <class Emit>
void OGL_layout_number(double input, float x, float y, int dig, int dec, int pitch, Emit&& emit) {
  using draw_detail::slot_digit;
  auto glyph = [&](float gx, float gy, char c) {
    int column, row;
    draw_detail::glyph_cell_of(c, &column, &row);
    emit(gx, gy, column, row);
  };
  auto digit = [&](float gx, float gy, int d) { glyph(gx, gy, static_cast<char>('0' + d)); };

  const bool neg = input < 0;
  double v = std::fabs(input);
  const double f = v * std::pow(10.0, dec);

  int needed = 1;
  for (double threshold : {9.0, 99.0, 999.0, 9999.0, 99999.0, 999999.0, 9999999.0, 100000000.0, 1000000000.0})
    if (f > threshold) ++needed;

  const float p = static_cast<float>(pitch);
  if (neg && f > 0.1) glyph(x - p + 1.0f, y, '-');
  const float x0 = x - p;

  if (needed > dig) {
    // Exponent form d.dd x e; the bound on e stops a non-finite value from looping for ever.
    int e = 2;
    while (v >= 999.0 && e < 1000) {
      v /= 10.0;
      ++e;
    }
    const double m = std::round(v);
    glyph(x0 + 1.5f * p + 2.0f, y - 1.0f, '.');
    digit(x0 + 1 * p, y, slot_digit(std::fmod(std::floor(m / 100.0), 10.0)));
    digit(x0 + 2 * p, y, slot_digit(std::fmod(std::floor(m / 10.0), 10.0)));
    digit(x0 + 3 * p, y, slot_digit(std::fmod(m, 10.0)));
    glyph(x0 + 4 * p, y, 'x');
    digit(x0 + 5 * p, y, slot_digit(static_cast<double>(e)));
    return;
  }

  const double n = f + 0.5;
  if (dec > 0) glyph(x0 + p * (static_cast<float>(dig - dec) + 0.5f), y, '.');
  for (int group : {3, 6, 9})
    if (dig - dec > group) glyph(x0 + p * (static_cast<float>(dig - dec - group) + 0.5f), y, ',');
  int slot = 0;
  for (int power = 10; power >= 0; --power) {
    if (dig <= power) continue;
    ++slot;
    digit(x0 + static_cast<float>(slot) * p, y,
          slot_digit(std::fmod(std::trunc(n / std::pow(10.0, power)), 10.0)));
  }
}
