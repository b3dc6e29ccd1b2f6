#include "png_write.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace {

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool write_png(const std::string& path, int width, int height, const std::vector<std::uint8_t>& pixels) {
  std::unique_ptr<std::FILE, file_closer> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int row = height - 1; row >= 0; --row)
    png_write_row(png, pixels.data() + std::size_t(row) * width * 4);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
