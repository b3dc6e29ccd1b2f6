#pragma once
// Uncompressed 24-bit BMP files: header reading and nearest-pixel sampling into a texture buffer.
#include <cstddef>

enum bmp_read_result {
  bmp_read_ok = 0,
  bmp_read_damaged,      // not a BMP, or shorter than its header promises
  bmp_read_wrong_depth,  // not 24 bits per pixel
  bmp_read_compressed,
};

struct bmp_header_info {
  int width = 0;
  int height = 0;        // always positive; top_down tells the row order
  int bits = 0;
  int compression = 0;
  bool top_down = false;
  std::size_t data_offset = 0;
  std::size_t row_stride = 0;  // bytes per stored row, padded to 4
};

// Reads and checks the header of the size bytes at data; the pixel rows must lie inside.
int read_bmp_header(const unsigned char* data, std::size_t size, bmp_header_info* info);

// Samples the image into dx x dy pixels of bytes_per_pix (1, 3 or 4) at out, rows bottom first,
// each from the nearest source pixel. 1 byte: mean of B, G, R. 3 and 4 bytes: R, G, B through
// gamma; with 4 bytes pure magenta becomes transparent black and everything else has alpha 255.
void sample_bmp(const unsigned char* data, const bmp_header_info& info, int dx, int dy, int bytes_per_pix,
                const unsigned char* gamma, unsigned char* out);
