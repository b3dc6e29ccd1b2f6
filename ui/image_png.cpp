#include "ui/image_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "core/alert.h"
#include "core/log.h"
#include "files/xmap.h"

namespace {

// The mapped file libpng reads from, and the name shown when something goes wrong.
struct png_source {
  const unsigned char* data;
  std::size_t size;
  std::size_t pos;
  const std::string* tag;
};

void my_error(png_structp png_ptr, png_const_charp message) {
  png_source* src = static_cast<png_source*>(png_get_error_ptr(png_ptr));
  MACIBM_alert(0, "PNG error!", message ? message : "", src ? *src->tag : "", "", alert_error);
  png_longjmp(png_ptr, 1);
}

void my_warning(png_structp, png_const_charp message) { xer << "PNG warning! " << (message ? message : "") << "\n"; }

void my_readbuf(png_structp png_ptr, png_bytep out, png_size_t length) {
  png_source* src = static_cast<png_source*>(png_get_io_ptr(png_ptr));
  if (length > src->size - src->pos) png_error(png_ptr, "PNG Read Error, overran end of buffer!");
  std::memcpy(out, src->data + src->pos, length);
  src->pos += length;
}

png_voidp my_malloc(png_structp, png_alloc_size_t size) { return std::malloc(size); }
void my_free(png_structp, png_voidp ptr) { std::free(ptr); }

// Sets up the transformations that turn the file's pixels into the wanted layout; returns the
// decoded bytes per pixel.
int choose_transforms(png_structp png_ptr, png_infop info_ptr, int bytes_per_pix, int depth_change_ok) {
  int color_type = png_get_color_type(png_ptr, info_ptr);
  int bit_depth = png_get_bit_depth(png_ptr, info_ptr);
  bool has_trns = png_get_valid(png_ptr, info_ptr, PNG_INFO_tRNS) != 0;

  double file_gamma = 0;
  if (png_get_gAMA(png_ptr, info_ptr, &file_gamma))
    png_set_gamma(png_ptr, 2.2, file_gamma);
  else
    png_set_gamma(png_ptr, 2.2, 1.0 / 1.8);

  if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png_ptr);
  if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png_ptr);
  if (has_trns) png_set_tRNS_to_alpha(png_ptr);
  if (bit_depth == 16) png_set_strip_16(png_ptr);
  if (bit_depth < 8) png_set_packing(png_ptr);

  bool grey = (color_type & PNG_COLOR_MASK_COLOR) == 0;
  bool alpha = (color_type & PNG_COLOR_MASK_ALPHA) != 0 || has_trns;

  if (depth_change_ok && bytes_per_pix >= 3) bytes_per_pix = alpha ? 4 : 3;
  switch (bytes_per_pix) {
    case 4:
      if (grey) png_set_gray_to_rgb(png_ptr);
      if (!alpha) png_set_filler(png_ptr, 0xff, PNG_FILLER_AFTER);
      break;
    case 3:
      if (alpha) png_set_strip_alpha(png_ptr);
      if (grey) png_set_gray_to_rgb(png_ptr);
      break;
    default:
      bytes_per_pix = 1;
      if (alpha) png_set_strip_alpha(png_ptr);
      if (!grey) png_set_rgb_to_gray_fixed(png_ptr, 1, -1, -1);
      break;
  }
  png_read_update_info(png_ptr, info_ptr);
  return bytes_per_pix;
}

// The libpng part proper. Only plain data lives here, since a libpng error jumps back to setjmp.
int decode(png_source* src, int bytes_per_pix, int depth_change_ok, int max_dim, unsigned char* out,
           std::size_t out_capacity, png_image_info* info) {
  if (src->size < 8 || png_sig_cmp(src->data, 0, 8) != 0) return png_read_not_png;

  png_structp png_ptr = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, src, my_error, my_warning, nullptr,
                                                 my_malloc, my_free);
  if (!png_ptr) return png_read_no_png_ptr;
  png_infop info_ptr = png_create_info_struct(png_ptr);
  if (!info_ptr) {
    png_destroy_read_struct(&png_ptr, nullptr, nullptr);
    return png_read_no_info_ptr;
  }
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png_ptr))) {
    std::free(rows);
    png_destroy_read_struct(&png_ptr, &info_ptr, nullptr);
    return png_read_lib_error;
  }
  png_set_read_fn(png_ptr, src, my_readbuf);
  png_read_info(png_ptr, info_ptr);

  int width = int(png_get_image_width(png_ptr, info_ptr));
  int height = int(png_get_image_height(png_ptr, info_ptr));
  info->width = width;
  info->height = height;
  if (width < 1 || height < 1 || width > max_dim || height > max_dim) {
    png_destroy_read_struct(&png_ptr, &info_ptr, nullptr);
    return png_read_too_big;
  }
  int bytes = choose_transforms(png_ptr, info_ptr, bytes_per_pix, depth_change_ok);
  info->bytes_per_pix = bytes;
  std::size_t row_bytes = std::size_t(width) * bytes;
  if (png_get_rowbytes(png_ptr, info_ptr) != row_bytes || row_bytes * height > out_capacity) {
    png_destroy_read_struct(&png_ptr, &info_ptr, nullptr);
    return png_read_too_big;
  }
  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
  if (!rows) png_error(png_ptr, "Out of memory for the row list!");
  // The file's first row is the top one; the buffer holds the bottom row first.
  for (int y = 0; y < height; ++y) rows[y] = out + row_bytes * (height - 1 - y);
  png_read_image(png_ptr, rows);
  png_read_end(png_ptr, nullptr);
  std::free(rows);
  png_destroy_read_struct(&png_ptr, &info_ptr, nullptr);
  return png_read_ok;
}

}  // namespace

int read_png_file(const std::string& file_path, const std::string& tag, int bytes_per_pix, int depth_change_ok,
                  int max_dim, unsigned char* out, std::size_t out_capacity, png_image_info* info) {
  *info = png_image_info{};
  xmap_class file;
  if (!file.retry(file_path) && !file.mZeroLength) return png_read_missing;
  png_source src{reinterpret_cast<const unsigned char*>(file.mBegin), file.mBegin ? file.mFileMapping : 0, 0, &tag};
  return decode(&src, bytes_per_pix, depth_change_ok, max_dim, out, out_capacity, info);
}

void png_key_color_alpha(unsigned char* rgba, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i) {
    unsigned char* p = rgba + i * 4;
    int distance = p[0] + p[1] + p[2];  // from black
    if (distance < 51) p[3] = static_cast<unsigned char>(5 * distance);
  }
}

const char* png_read_failure_text(int result) {
  switch (result) {
    case png_read_no_png_ptr: return "!png_ptr";
    case png_read_no_info_ptr: return "!info_ptr";
    case png_read_not_png: return "is_png=!png_sig_cmp(png_io_buf,0,8)";
    default: return "setjmp(png_ptr->jmpbuf";
  }
}
