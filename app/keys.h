#pragma once
// Key presses turned into typed characters and editing actions.
#include <string>

#include "ui/typing.h"

class keys_class {
 public:
  // One key-down of the Windows virtual-key code key, with Shift held or not.
  void handle_key(unsigned int key, bool shift);
  // A character typed by the keyboard layout (the text the platform delivers).
  void handle_char(char c);
  // The program code of a named key, 0 for keys that type characters, -1 for function keys.
  static int program_code(unsigned int key);
  // The character a key types on a US keyboard.
  static char typed_char(unsigned int key, bool shift, int lang);
};
extern keys_class keys;
