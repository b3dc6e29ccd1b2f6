#include "ui/image_bmp.h"

#include <cstdint>
#include <cstdlib>

namespace {

uint32_t u16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t u32(const unsigned char* p) { return u16(p) | u16(p + 2) << 16; }

}  // namespace

int read_bmp_header(const unsigned char* data, std::size_t size, bmp_header_info* info) {
  *info = bmp_header_info{};
  // File header (14 bytes) and at least the core of the info header up to the compression field.
  if (!data || size < 34 || data[0] != 'B' || data[1] != 'M') return bmp_read_damaged;
  uint32_t offset = u32(data + 10);
  uint32_t header_size = u32(data + 14);
  if (header_size < 40) return bmp_read_damaged;  // the old OS/2 header has no compression field
  int32_t width = int32_t(u32(data + 18));
  int32_t height = int32_t(u32(data + 22));
  info->bits = int(u16(data + 28));
  info->compression = int(u32(data + 30));
  if (info->bits != 24) return bmp_read_wrong_depth;
  if (info->compression != 0) return bmp_read_compressed;
  if (width <= 0 || height == 0 || height == INT32_MIN) return bmp_read_damaged;
  info->width = width;
  info->top_down = height < 0;
  info->height = std::abs(height);
  info->data_offset = offset;
  info->row_stride = (std::size_t(width) * 3 + 3) / 4 * 4;
  if (offset > size || (size - offset) / info->row_stride < std::size_t(info->height)) return bmp_read_damaged;
  return bmp_read_ok;
}

void sample_bmp(const unsigned char* data, const bmp_header_info& info, int dx, int dy, int bytes_per_pix,
                const unsigned char* gamma, unsigned char* out) {
  const unsigned char* pixels = data + info.data_offset;
  for (int y = 0; y < dy; ++y) {
    // Nearest source pixel: the one whose centre is closest to the destination pixel's centre.
    int sy = int((2LL * y + 1) * info.height / (2LL * dy));
    if (info.top_down) sy = info.height - 1 - sy;
    const unsigned char* row = pixels + info.row_stride * sy;
    for (int x = 0; x < dx; ++x) {
      int sx = int((2LL * x + 1) * info.width / (2LL * dx));
      const unsigned char* s = row + 3 * sx;  // B, G, R
      unsigned char b = s[0], g = s[1], r = s[2];
      if (bytes_per_pix == 1) {
        *out++ = static_cast<unsigned char>((b + g + r) / 3);
      } else if (bytes_per_pix == 4 && r == 255 && g == 0 && b == 255) {
        out[0] = out[1] = out[2] = out[3] = 0;
        out += 4;
      } else {
        *out++ = gamma[r];
        *out++ = gamma[g];
        *out++ = gamma[b];
        if (bytes_per_pix == 4) *out++ = 255;
      }
    }
  }
}
