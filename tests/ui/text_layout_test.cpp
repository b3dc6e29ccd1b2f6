// Where the glyphs of strings and numbers land: advances, wrapping, fixed slots and number forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "ui/draw.h"
#include "ui/draw_layout.h"
#include "ui/glyph_table.h"

namespace {

struct placed {
  float x, y;
  int code;  // the character of the cell
};

std::vector<placed> lay_string(const std::string& s, float dx, int pitch = 0, int charset = 100) {
  std::vector<placed> out;
  OGL_layout_string(s, 0, 0, dx, pitch, charset,
                    [&](float x, float y, int c, int r) { out.push_back({x, y, glyph_code_at(c, r)}); });
  return out;
}

std::vector<placed> lay_number(double v, int dig, int dec, int pitch = 6) {
  std::vector<placed> out;
  OGL_layout_number(v, 100, 50, dig, dec, pitch,
                    [&](float x, float y, int c, int r) { out.push_back({x, y, glyph_code_at(c, r)}); });
  return out;
}

// The glyphs as text, in drawing order.
std::string codes(const std::vector<placed>& g) {
  std::string s;
  for (const placed& p : g) s += static_cast<char>(p.code);
  return s;
}

TEST(GlyphTable, EveryCellHoldsOneCharacterThatMapsBackToIt) {
  std::vector<int> seen(256, 0);
  for (int r = 0; r < kGlyphRows; ++r)
    for (int c = 0; c < kGlyphColumns; ++c) {
      int code = glyph_code_at(c, r);
      ASSERT_GE(code, 0);
      EXPECT_EQ(++seen[code], 1) << "character " << code << " appears twice";
      EXPECT_EQ(glyph_for(static_cast<unsigned char>(code)).column, c);
      EXPECT_EQ(glyph_for(static_cast<unsigned char>(code)).row, r);
    }
  EXPECT_EQ(glyph_code_at(21, 0), -1);
  EXPECT_EQ(glyph_code_at(0, 5), -1);
  // Characters outside the font take the blank cell and do not advance.
  for (int code : {int('"'), int('{'), int('}'), int('~'), 0x80, 0xFF}) {
    const unsigned char c = static_cast<unsigned char>(code);
    EXPECT_EQ(glyph_for(c).column, 0);
    EXPECT_EQ(glyph_for(c).row, 0);
    EXPECT_EQ(chr_dx(static_cast<char>(c)), 0.0f);
  }
  EXPECT_EQ(chr_dx('M'), 9.0f);
  EXPECT_EQ(chr_dx(static_cast<char>(0xF1)), 6.0f);
  EXPECT_EQ(str_dx("Install"), 3 + 6 + 5 + 4 + 6 + 3 + 3);
}

TEST(StringLayout, AdvancesByTheTableOrByThePitchAndSkipsControlCharacters) {
  auto g = lay_string("A\"B\tC\rD", kNoWrap);
  ASSERT_EQ(codes(g), "A B" "CD");  // the quote draws the blank cell
  EXPECT_EQ(g[1].x, 7);             // after A
  EXPECT_EQ(g[2].x, 7);             // the quote did not advance
  EXPECT_EQ(g[3].x, 7 + 6);         // the tab drew and advanced nothing
  EXPECT_EQ(g[4].x, 7 + 6 + 7);

  auto fixed = lay_string("iM", kNoWrap, 10, 102);
  EXPECT_EQ(fixed[1].x, 10);
}

TEST(StringLayout, WithoutWrappingLineFeedsAreIgnored) {
  auto g = lay_string("a\nb", kNoWrap);
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[1].y, 0);
  EXPECT_EQ(g[1].x, 6);

  auto wrapped = lay_string("a\nb", 200);
  EXPECT_EQ(wrapped[1].y, -10);
  EXPECT_EQ(wrapped[1].x, 0);
}

TEST(StringLayout, BreaksBeforeAWordWhoseEstimatedEndPassesTheWidth) {
  // "aaaa " ends at 28; the next word is estimated at 28 + 4 x 6 = 52.
  auto narrow = lay_string("aaaa bbbb cccc", 40);
  for (const placed& p : narrow) {
    float expected = p.code == 'b' ? -10 : p.code == 'c' ? -20 : 0;
    if (p.code != ' ') {
      EXPECT_EQ(p.y, expected) << static_cast<char>(p.code);
    }
  }
  EXPECT_EQ(narrow[5].x, 0);  // the first b starts the line

  auto wider = lay_string("aaaa bbbb cccc", 60);
  EXPECT_EQ(wider[5].y, 0);
  EXPECT_EQ(wider[5].x, 28);
  EXPECT_EQ(wider[10].y, -10);

  // Hyphens, slashes and colons are break points too; the break character stays on its line.
  auto hyphen = lay_string("aaaa-bbbbbbbb", 30);
  EXPECT_EQ(hyphen[4].y, 0);
  EXPECT_EQ(hyphen[5].y, -10);
}

TEST(StringLayout, TwoByteCharsetTakesCellsFromPairsOfBytes) {
  std::vector<std::pair<int, int>> cells;
  OGL_layout_string(std::string("\x02\x03\x01\x02", 4), 0, 0, kNoWrap, 15, 103,
                    [&](float, float, int c, int r) { cells.emplace_back(c, r); });
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0], std::make_pair(129 % 40, 129 / 40));  // (2-1) x 127 + (3-1)
  EXPECT_EQ(cells[1], std::make_pair(1, 0));
  // A lone first byte at the end is not read past.
  cells.clear();
  OGL_layout_string(std::string("\x05", 1), 0, 0, kNoWrap, 15, 103,
                    [&](float, float, int c, int r) { cells.emplace_back(c, r); });
  EXPECT_TRUE(cells.empty());
}

TEST(NumberLayout, FixedSlotsWithLeadingZeros) {
  auto g = lay_number(42, 5, 0);
  ASSERT_EQ(codes(g), ",00042");  // the thousands comma comes first, between slots 2 and 3
  EXPECT_EQ(g[0].x, 94 + 6 * 2.5f);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(g[k + 1].x, 100 + 6 * k);
}

TEST(NumberLayout, CommasSitBetweenThousandsGroups) {
  auto g = lay_number(1234567, 7, 0);
  ASSERT_EQ(codes(g), ",,1234567");
  EXPECT_EQ(g[0].x, 94 + 6 * 4.5f);  // between the 4th and 5th slots
  EXPECT_EQ(g[1].x, 94 + 6 * 1.5f);  // between the 1st and 2nd
}

TEST(NumberLayout, DecimalPointIsCentredBetweenSlots) {
  auto g = lay_number(0.5, 3, 2, 10);
  ASSERT_EQ(codes(g), ".050");
  EXPECT_EQ(g[0].x, 90 + 10 * 1.5f);
  EXPECT_EQ(g[1].x, 100);
  // The last decimal is rounded, carrying into the integer slot.
  EXPECT_EQ(codes(lay_number(1.996, 3, 2)), ".200");
}

TEST(NumberLayout, TooManyDigitsGiveTheExponentForm) {
  auto g = lay_number(123456, 3, 0);
  ASSERT_EQ(codes(g), ".123x5");
  EXPECT_EQ(g[0].x, 94 + 1.5f * 6 + 2);
  EXPECT_EQ(g[0].y, 49);  // one pixel below the digits
  EXPECT_EQ(g[4].x, 94 + 4 * 6);
  EXPECT_EQ(g[5].x, 94 + 5 * 6);
  // Rounding can carry into the next power: 99 960 reads 1.00 x 5.
  EXPECT_EQ(codes(lay_number(99960, 3, 0)), ".100x5");
}

TEST(NumberLayout, MinusSignOnlyForVisibleNegativeValues) {
  auto g = lay_number(-42, 3, 0);
  ASSERT_EQ(codes(g), "-042");
  EXPECT_EQ(g[0].x, 100 - 6 + 1);
  EXPECT_EQ(codes(lay_number(-0.0005, 3, 2)), ".000");  // scaled magnitude 0.05
  EXPECT_EQ(codes(lay_number(-0.002, 3, 2)), "-.000");
}

TEST(NumberLayout, ValuesThatAreNotNumbersDrawZerosAndEnd) {
  EXPECT_EQ(codes(lay_number(std::numeric_limits<double>::quiet_NaN(), 3, 0)), "000");
  // An infinite value takes the exponent form with an exponent too large for its slot.
  EXPECT_EQ(codes(lay_number(std::numeric_limits<double>::infinity(), 3, 0)), ".000x0");
  // More than eleven slots are never drawn.
  std::string wide = codes(lay_number(5, 14, 0));
  EXPECT_EQ(wide.size() - std::count(wide.begin(), wide.end(), ','), 11u);
}

using TextDeathTest = ::testing::Test;

TEST_F(TextDeathTest, NumbersInTheProportionalFaceEndTheProgram) {
  EXPECT_EXIT(
      {
        testing_support::AlertRecorder quiet;
        OGL_number(45, 0, 0, 1.0f, 3, 0, 100);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(
      {
        testing_support::AlertRecorder quiet;
        OGL_string(45, 0, 0, "x", 9999, 104);
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
