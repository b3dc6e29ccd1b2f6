// The embedded images: what the program reads from them must be where it reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"
#include "ui/embedded_images.h"
#include "ui/glyph_table.h"

namespace {

struct image_view {
  const unsigned char* data;
  int width, height;
  const unsigned char* at(int x, int y) const { return data + (std::size_t(y) * width + x) * 4; }
};

const image_view atlas{t_interface_dat, kInterfaceDx, kInterfaceDy};
const image_view installer{t_installer_dat, kInstallerDx, kInstallerDy};

int max_alpha(const image_view& image, int x, int y, int w, int h) {
  int best = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) best = std::max(best, int(image.at(i, j)[3]));
  return best;
}

// Sum of absolute channel differences between two equal rectangles of an image.
long difference(const image_view& image, int x1, int y1, int x2, int y2, int w, int h) {
  long sum = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      for (int k = 0; k < 4; ++k) sum += std::abs(image.at(x1 + i, y1 + j)[k] - image.at(x2 + i, y2 + j)[k]);
  return sum;
}

double luminance(const unsigned char* p) {
  auto lin = [](int v) {
    double c = v / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(p[0]) + 0.7152 * lin(p[1]) + 0.0722 * lin(p[2]);
}

TEST(ArtImages, EmbeddedArraysHoldTheGeneratedPicturesWhole) {
  const std::tuple<const char*, const unsigned char*, std::size_t> images[] = {
      {"interface", t_interface_dat, kInterfaceBytes},
      {"installer", t_installer_dat, kInstallerBytes},
      {"ins_back_1", t_ins_back_1_dat, kInsBack1Bytes},
      {"ins_back_2", t_ins_back_2_dat, kInsBack2Bytes}};
  for (const auto& [name, array, bytes] : images) {
    std::string file = testing_support::read_file(std::string(ZEPHRA_BINARY_DIR "/generated/") + name + ".rgba");
    ASSERT_EQ(file.size(), bytes) << name;
    EXPECT_EQ(std::memcmp(file.data(), array, bytes), 0) << name;
  }
  // Full-screen backgrounds are opaque everywhere.
  for (const unsigned char* back : {t_ins_back_1_dat, t_ins_back_2_dat})
    for (std::size_t i = 3; i < kInsBack1Bytes; i += 4) ASSERT_EQ(back[i], 255);
}

TEST(ArtImages, PaletteSwatchesAreDistinctAndTextReadsOnTheBackground) {
  std::set<std::tuple<int, int, int>> seen;
  const unsigned char* colour[47] = {};
  const int indices[] = {33, 34, 35, 36, 37, 39, 40, 41, 42, 44, 45, 46};
  for (int k = 0; k < 12; ++k) {
    colour[indices[k]] = atlas.at(319, 155 - 8 * k);
    seen.insert({colour[indices[k]][0], colour[indices[k]][1], colour[indices[k]][2]});
  }
  colour[43] = atlas.at(395, 115);
  seen.insert({colour[43][0], colour[43][1], colour[43][2]});
  EXPECT_GE(seen.size(), 12u);
  // Labels, list text, field text, screen text and titles against the background colour 33.
  double back = luminance(colour[33]);
  for (int index : {37, 39, 42, 44, 45, 46}) {
    double contrast = (luminance(colour[index]) + 0.05) / (back + 0.05);
    EXPECT_GE(contrast, 7.0) << "colour " << index;
  }
}

// Ink of one cell: its bounding box in cell coordinates, all texels white.
struct cell_ink {
  int left = 99, right = -1, bottom = 99, top = -1;
  int width_at(const image_view& image, int s, int t, int row) const {
    int count = 0;
    for (int x = 0; x < kGlyphCellDx; ++x) count += image.at(s + x, t + row)[3] > 64;
    return count;
  }
};

cell_ink ink_of(int face_s, unsigned char code) {
  const glyph_cell& g = glyph_for(code);
  int s = face_s + g.column * kGlyphCellDx, t = g.row * kGlyphCellDy;
  cell_ink ink;
  for (int y = 0; y < kGlyphCellDy; ++y)
    for (int x = 0; x < kGlyphCellDx; ++x) {
      const unsigned char* p = atlas.at(s + x, t + y);
      if (p[3] < 40) continue;
      EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255) << "ink of " << code << " must be white to take tints";
      ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
      ink.bottom = std::min(ink.bottom, y), ink.top = std::max(ink.top, y);
    }
  return ink;
}

TEST(ArtImages, GlyphCellsSitWhereTheFontGridSays) {
  for (int face : {kProportionalFaceS, kFixedFaceS}) {
    EXPECT_EQ(max_alpha(atlas, face, 0, kGlyphCellDx, kGlyphCellDy), 0) << "the blank cell is clear";
    for (unsigned char code : std::string("0123456789AaMmWw@gpy.,-xQ|\xC1\xF1")) {
      cell_ink ink = ink_of(face, code);
      ASSERT_GE(ink.right, 0) << "no ink for " << code << " in face " << face;
      // Ink ends a pixel before the pen moves on: the advance in the proportional face, 6 (the
      // narrower fixed pitch) in the other.
      int room = face == kFixedFaceS ? 6 : glyph_for(code).advance;
      EXPECT_LT(ink.right, room) << code;
    }
    // Text is drawn two pixels low: the baseline is cell row 2 and only descenders go under it.
    for (unsigned char code : std::string("A0aMx")) EXPECT_EQ(ink_of(face, code).bottom, 2) << code;
    for (unsigned char code : std::string("gpy")) EXPECT_LT(ink_of(face, code).bottom, 2) << code;
    // Rows are stored bottom first: a T is wide at its top and narrow at its foot.
    const glyph_cell& a = glyph_for('T');
    cell_ink ink = ink_of(face, 'T');
    int s = face + a.column * kGlyphCellDx, t = a.row * kGlyphCellDy;
    EXPECT_GT(ink.width_at(atlas, s, t, ink.top), ink.width_at(atlas, s, t, ink.bottom));
  }
}

// Text as the program sets it: stems hinted onto whole pixels, and letters spaced by the advance
// table without holes, so that a word in capitals does not read as two.
TEST(ArtImages, CapitalsHaveCrispStemsAndNoWideGaps) {
  auto alpha = [](unsigned char code, int x, int y) {
    const glyph_cell& g = glyph_for(code);
    return int(atlas.at(kProportionalFaceS + g.column * kGlyphCellDx + x, g.row * kGlyphCellDy + y)[3]);
  };
  // Rows 3 to 7 lie above the baseline and below the top of the capitals, clear of their bars:
  // some column is inked fully all the way up, not shared out over two half-covered ones.
  for (unsigned char code : std::string("EHILNT")) {
    int best = 0;
    for (int x = 0; x < kGlyphCellDx; ++x) {
      int lowest = 255;
      for (int y = 3; y <= 7; ++y) lowest = std::min(lowest, alpha(code, x, y));
      best = std::max(best, lowest);
    }
    EXPECT_GE(best, 240) << code << " has no crisp stem";
  }
  // No two letters of the word stand further apart than the two stems of I and N.
  const std::string word = "INSTALLATION";
  std::vector<std::pair<int, int>> ink;  // first and last inked column of each letter on the line
  int pen = 0;
  for (unsigned char code : word) {
    int first = kGlyphCellDx, last = -1;
    for (int x = 0; x < kGlyphCellDx; ++x)
      for (int y = 0; y < kGlyphCellDy; ++y)
        if (alpha(code, x, y) > 64) first = std::min(first, x), last = std::max(last, x);
    ink.emplace_back(pen + first, pen + last);
    pen += glyph_for(code).advance;
  }
  const int stems_apart = ink[1].first - ink[0].second - 1;
  for (std::size_t k = 1; k < ink.size(); ++k) {
    int gap = ink[k].first - ink[k - 1].second - 1;
    EXPECT_GE(gap, 0) << word.substr(k - 1, 2) << " run into each other";
    EXPECT_LE(gap, stems_apart) << word.substr(k - 1, 2) << " stand apart";
  }
}

struct strip {
  int s, t, dx, dy, border;
};

TEST(ArtImages, BarsAndPanelsTileWithoutSeams) {
  // Stretchable bars repeat their middle columns, so those must all be alike.
  const strip bars[] = {{1, 487, 100, 25, 10},   {102, 487, 100, 25, 20}, {304, 486, 52, 26, 10},
                        {304, 459, 52, 26, 10},  {112, 161, 28, 16, 10},  {83, 161, 28, 16, 10},
                        {240, 242, 65, 24, 10},  {289, 219, 16, 16, 7},   {262, 133, 51, 26, 10},
                        {357, 488, 68, 24, 26}};
  for (const strip& b : bars) {
    EXPECT_GT(max_alpha(atlas, b.s, b.t, b.dx, b.dy), 200) << "bar at " << b.s << "," << b.t;
    for (int x = b.s + b.border + 1; x < b.s + b.dx - b.border; ++x)
      EXPECT_EQ(difference(atlas, x, b.t, b.s + b.border, b.t, 1, b.dy), 0) << "bar column " << x;
  }
  // Panels repeat the middle fifth of their patch both across and up.
  struct patch {
    const image_view* image;
    int s, t, size;
  };
  const patch panels[] = {{&atlas, 1, 358, 100},  {&atlas, 102, 358, 100}, {&atlas, 203, 358, 100},
                          {&atlas, 304, 358, 100}, {&atlas, 405, 358, 100}, {&atlas, 1, 289, 68},
                          {&atlas, 70, 315, 42},   {&atlas, 113, 315, 42},  {&atlas, 440, 12, 44},
                          {&installer, 774, 78, 41}};
  for (const patch& p : panels) {
    EXPECT_GT(max_alpha(*p.image, p.s, p.t, p.size, p.size), 200) << "panel at " << p.s << "," << p.t;
    int lo = int(std::ceil(p.size * 0.4)), hi = int(p.size * 0.6);
    for (int k = lo + 1; k < hi; ++k) {
      EXPECT_EQ(difference(*p.image, p.s + k, p.t, p.s + lo, p.t, 1, p.size), 0) << "panel column " << p.s + k;
      EXPECT_EQ(difference(*p.image, p.s, p.t + k, p.s, p.t + lo, p.size, 1), 0) << "panel row " << p.t + k;
    }
  }
}

TEST(ArtImages, WidgetElementsAreDrawnAtTheirAtlasCentres) {
  struct element {
    int s, t, half_dx, half_dy;
  };
  const element elements[] = {{148, 187, 9, 9}, {148, 206, 9, 9}, {92, 132, 9, 9}, {92, 151, 9, 9},
                              {129, 187, 9, 9}, {129, 206, 9, 9}, {90, 187, 7, 9}, {90, 206, 7, 9}};
  for (const element& e : elements) {
    EXPECT_GT(max_alpha(atlas, e.s - 3, e.t - 3, 6, 6), 150) << "element at " << e.s << "," << e.t;
    // Nothing of it touches the edge of its square, where a neighbour would be cut in.
    int edge = std::max({max_alpha(atlas, e.s - e.half_dx, e.t - e.half_dy, 2 * e.half_dx, 1),
                         max_alpha(atlas, e.s - e.half_dx, e.t + e.half_dy - 1, 2 * e.half_dx, 1)});
    EXPECT_EQ(edge, 0) << "element at " << e.s << "," << e.t;
  }
}

TEST(ArtImages, StackedButtonLooksDiffer) {
  struct button {
    int s, t, ds, dt;
  };
  // DESTINATION, decline, accept: normal, hovered and pressed looks stacked upwards by dt + 1.
  for (const button& b : {button{0, 0, 115, 34}, button{832, 166, 85, 22}, button{918, 166, 59, 22}}) {
    const int step = b.dt + 1;
    for (int look = 0; look < 3; ++look)
      EXPECT_GT(max_alpha(installer, b.s + b.ds / 2, b.t + look * step + b.dt / 2, 1, 1), 250);
    long area = long(b.ds) * b.dt;
    EXPECT_GT(difference(installer, b.s, b.t, b.s, b.t + step, b.ds, b.dt), area) << b.s;
    EXPECT_GT(difference(installer, b.s, b.t, b.s, b.t + 2 * step, b.ds, b.dt), area) << b.s;
    EXPECT_GT(difference(installer, b.s, b.t + step, b.s, b.t + 2 * step, b.ds, b.dt), area) << b.s;
  }
}

TEST(ArtImages, SourceIconsAnimateInASeamlessLoop) {
  auto corner = [](int c) { return std::pair<int, int>{(c % 8) * 64, (c / 8) * 64 + 66}; };
  long largest_step = 0;
  for (int c = 8; c <= 23; ++c) {
    auto [s, t] = corner(c);
    EXPECT_EQ(installer.at(s + 32, t + 32)[3], 255) << "icon " << c;
    if (c < 23) {
      auto [s2, t2] = corner(c + 1);
      long step = difference(installer, s, t, s2, t2, 64, 64);
      EXPECT_GT(step, 0) << "icons " << c << " and " << c + 1 << " are the same";
      largest_step = std::max(largest_step, step);
    }
  }
  // From the last frame back to the first is no bigger a jump than any other step.
  auto [s23, t23] = corner(23);
  auto [s8, t8] = corner(8);
  EXPECT_LE(difference(installer, s23, t23, s8, t8, 64, 64), largest_step * 3 / 2);
}

}  // namespace
