// 24-bit BMP files written by hand: header checks and nearest-pixel sampling.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/image_bmp.h"

namespace {

using bytes = std::vector<unsigned char>;

void put16(bytes& b, std::size_t at, uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void put32(bytes& b, std::size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

// A BMP of w x h with the stored rows given in file order as B, G, R triples (padding added).
bytes make_bmp(int w, int h, const std::vector<bytes>& rows, int bits = 24, int compression = 0) {
  std::size_t stride = (std::size_t(w) * 3 + 3) / 4 * 4;
  bytes b(54 + stride * rows.size(), 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, uint32_t(b.size()));
  put32(b, 10, 54);
  put32(b, 14, 40);
  put32(b, 18, uint32_t(w));
  put32(b, 22, uint32_t(h));
  put16(b, 26, 1);
  put16(b, 28, uint32_t(bits));
  put32(b, 30, uint32_t(compression));
  for (std::size_t r = 0; r < rows.size(); ++r)
    std::copy(rows[r].begin(), rows[r].end(), b.begin() + 54 + r * stride);
  return b;
}

bytes identity() {
  bytes g(256);
  for (int i = 0; i < 256; ++i) g[i] = static_cast<unsigned char>(i);
  return g;
}

bytes sample(const bytes& file, int dx, int dy, int bpp, const bytes& gamma = identity()) {
  bmp_header_info info;
  EXPECT_EQ(read_bmp_header(file.data(), file.size(), &info), bmp_read_ok);
  bytes out(std::size_t(dx) * dy * bpp, 0xEE);
  sample_bmp(file.data(), info, dx, dy, bpp, gamma.data(), out.data());
  return out;
}

}  // namespace

TEST(ImageBmp, PixelsComeOutAsRgbaWithMagentaTransparent) {
  // Width 3 makes each stored row 9 bytes plus 3 of padding.
  bytes file = make_bmp(3, 2, {{1, 2, 3, 255, 0, 255, 30, 20, 10}, {0, 0, 200, 0, 200, 0, 200, 0, 0}});
  bmp_header_info info;
  ASSERT_EQ(read_bmp_header(file.data(), file.size(), &info), bmp_read_ok);
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(info.row_stride, 12u);
  EXPECT_FALSE(info.top_down);
  // Stored rows are bottom first, as the texture wants them.
  EXPECT_EQ(sample(file, 3, 2, 4), (bytes{3, 2, 1, 255, 0, 0, 0, 0, 10, 20, 30, 255,  //
                                          200, 0, 0, 255, 0, 200, 0, 255, 0, 0, 200, 255}));
  EXPECT_EQ(sample(file, 3, 2, 3), (bytes{3, 2, 1, 255, 0, 255, 10, 20, 30, 200, 0, 0, 0, 200, 0, 0, 0, 200}));
  EXPECT_EQ(sample(file, 3, 2, 1), (bytes{2, 170, 20, 66, 66, 66}));

  bytes gamma = identity();
  gamma[3] = 99;
  EXPECT_EQ(sample(file, 3, 2, 4, gamma)[0], 99);
}

TEST(ImageBmp, TopDownFilesAreFlippedAndSmallerSizesSampleTheNearestPixel) {
  bytes file = make_bmp(1, -2, {{1, 1, 1, 0}, {2, 2, 2, 0}});
  bmp_header_info info;
  ASSERT_EQ(read_bmp_header(file.data(), file.size(), &info), bmp_read_ok);
  EXPECT_TRUE(info.top_down);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(sample(file, 1, 2, 1), (bytes{2, 1}));

  std::vector<bytes> rows;
  for (int y = 0; y < 4; ++y) {
    bytes row;
    for (int x = 0; x < 4; ++x) {
      auto v = static_cast<unsigned char>(y * 4 + x);
      row.insert(row.end(), {v, v, v});
    }
    rows.push_back(row);
  }
  // Destination pixel centres at 1/4 and 3/4 fall on source pixels 1 and 3.
  EXPECT_EQ(sample(make_bmp(4, 4, rows), 2, 2, 1), (bytes{5, 7, 13, 15}));
}

TEST(ImageBmp, UnsupportedAndDamagedFilesAreRefused) {
  bmp_header_info info;
  bytes good = make_bmp(2, 2, {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}});
  EXPECT_EQ(read_bmp_header(make_bmp(2, 2, {{}, {}}, 32).data(), good.size(), &info), bmp_read_wrong_depth);
  EXPECT_EQ(read_bmp_header(make_bmp(2, 2, {{}, {}}, 8).data(), good.size(), &info), bmp_read_wrong_depth);
  EXPECT_EQ(read_bmp_header(make_bmp(2, 2, {{}, {}}, 24, 1).data(), good.size(), &info), bmp_read_compressed);
  EXPECT_EQ(read_bmp_header(good.data(), good.size() - 1, &info), bmp_read_damaged);  // last row cut
  EXPECT_EQ(read_bmp_header(good.data(), 20, &info), bmp_read_damaged);
  EXPECT_EQ(read_bmp_header(nullptr, 0, &info), bmp_read_damaged);
  bytes not_bmp = good;
  not_bmp[0] = 'P';
  EXPECT_EQ(read_bmp_header(not_bmp.data(), not_bmp.size(), &info), bmp_read_damaged);
  bytes far_offset = good;
  put32(far_offset, 10, 0xFFFFFFF0u);
  EXPECT_EQ(read_bmp_header(far_offset.data(), far_offset.size(), &info), bmp_read_damaged);
  bytes no_width = make_bmp(0, 2, {{}, {}});
  EXPECT_EQ(read_bmp_header(no_width.data(), no_width.size(), &info), bmp_read_damaged);
}
