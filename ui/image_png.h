#pragma once
// PNG files decoded through libpng into a pixel buffer, rows bottom first.
#include <cstddef>
#include <string>

enum png_read_result {
  png_read_ok = 0,
  png_read_missing,        // the file could not be opened: not an error, another format is tried
  png_read_no_png_ptr,     // libpng refused to make its read structure
  png_read_no_info_ptr,    // libpng refused to make its info structure
  png_read_not_png,        // the signature is not PNG's (also an empty or too short file)
  png_read_lib_error,      // libpng stopped with an error (already shown as "PNG error!")
  png_read_too_big,        // the image does not fit the limits; width and height are filled in
};

struct png_image_info {
  int width = 0;
  int height = 0;
  int bytes_per_pix = 0;  // of the decoded pixels: 1, 3 or 4
};

// Decodes file_path into out (out_capacity bytes), R, G, B(, A) or grey, rows bottom first.
// bytes_per_pix is the wanted pixel size; with depth_change_ok the file's alpha decides between
// 3 and 4 bytes. Images wider or taller than max_dim are not read (png_read_too_big).
// tag names the texture in the messages.
int read_png_file(const std::string& file_path, const std::string& tag, int bytes_per_pix, int depth_change_ok,
                  int max_dim, unsigned char* out, std::size_t out_capacity, png_image_info* info);

// Gives every RGBA pixel whose summed channel distance from the key colour black is below 51
// the alpha 5 x that distance.
void png_key_color_alpha(unsigned char* rgba, std::size_t pixels);

// The text of a failed read for the fatal alert: "!png_ptr", "!info_ptr", ...
const char* png_read_failure_text(int result);
