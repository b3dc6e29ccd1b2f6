#pragma once
// The codes of the named keys and the shared typing buffer that the text fields edit.
#include <string>

// Program key codes of the named keys (a Macintosh-style key number times 256).
enum program_key : int {
  key_return = 0x2400,
  key_tab = 0x3000,
  key_left = 0x7B00,
  key_right = 0x7C00,
  key_down = 0x7D00,
  key_up = 0x7E00,
  key_insert = 0x6D00,
  key_page_up = 60005,
  key_page_down = 60006,
  key_erase = 29999,  // Backspace and Delete
  key_shift = -999,
};

extern std::string stl_input;  // the shared typing buffer that the focused text field copies
