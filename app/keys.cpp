#include "app/keys.h"

#include <cctype>

#include "core/alert.h"
#include "install/session.h"
#include "ui/sub_windows.h"
#include "ui/window_state.h"

keys_class keys;

namespace {
// Windows virtual-key codes of the keys handled by name.
enum : unsigned int {
  vk_backspace = 0x08, vk_tab = 0x09, vk_return = 0x0D, vk_shift = 0x10, vk_page_up = 0x21, vk_page_down = 0x22,
  vk_left = 0x25, vk_up = 0x26, vk_right = 0x27, vk_down = 0x28, vk_insert = 0x2D, vk_delete = 0x2E,
  vk_f1 = 0x70, vk_f10 = 0x79, vk_f12 = 0x7B,
};
constexpr int kFunctionKeyCodes[12] = {0x7A00, 0x7800, 0x6300, 0x7600, 0x6000, 0x6100,
                                       0x6200, 0x6400, 0x6500, 0,      0x6700, 0x6F00};

// The punctuation keys of a US keyboard: their code, shifted sign and plain sign.
struct punctuation_key {
  unsigned int vk;
  char shifted, plain;
};
constexpr punctuation_key kPunctuation[] = {{0xBD, '_', '-'}, {0xBB, '+', '='}, {0xDB, '{', '['}, {0xDD, '}', ']'},
                                            {0xBA, ':', ';'}, {0xBC, '<', ','}, {0xBE, '>', '.'}, {0xBF, '?', '/'},
                                            {0xC0, '`', '`'}, {0xDC, '\\', '\\'}};
constexpr const char* kShiftedDigits = ")!@#$%^&*(";

bool is_function_key(unsigned int key) { return (key >= vk_f1 && key <= vk_f12) || key == vk_insert; }

// Typing into the shared buffer: erase keys remove the last character, named keys type nothing.
void edit_buffer(int code, char c) {
  switch (code) {
    case key_return: case key_tab: case key_left: case key_right: case key_down: case key_up:
    case key_page_up: case key_page_down: case key_shift: return;
    case key_erase:
      if (!stl_input.empty()) stl_input.pop_back();
      return;
    default:
      if (c) stl_input += c;
  }
}
}  // namespace

int keys_class::program_code(unsigned int key) {
  switch (key) {
    case vk_return: return key_return;
    case vk_tab: return key_tab;
    case vk_left: return key_left;
    case vk_right: return key_right;
    case vk_down: return key_down;
    case vk_up: return key_up;
    case vk_insert: return key_insert;
    case vk_page_up: return key_page_up;
    case vk_page_down: return key_page_down;
    case vk_backspace: case vk_delete: return key_erase;
    case vk_shift: return key_shift;
    default: break;
  }
  if (key >= 0x61 && key <= 0x66) return 0x5300 + static_cast<int>(key - 0x61) * 0x100;
  if (key == 0x68) return 0x5B00;
  if (key >= vk_f1 && key <= vk_f12) return kFunctionKeyCodes[key - vk_f1];
  return 0;
}

char keys_class::typed_char(unsigned int key, bool shift, int lang) {
  char c = static_cast<char>(key);
  const punctuation_key* punct = nullptr;
  for (const punctuation_key& p : kPunctuation)
    if (p.vk == key) punct = &p;
  if (punct) c = punct->shifted;
  if (lang == 1 && c == '6') c = '_';
  if (!shift) {
    if (std::isupper(static_cast<unsigned char>(c))) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (punct) c = punct->plain;
  } else {
    if (c >= '0' && c <= '9') c = kShiftedDigits[c - '0'];
    if (c == '`') c = '~';
    if (c == '\\') c = '|';
  }
  return c;
}

void keys_class::handle_key(unsigned int key, bool shift) {
  int code = program_code(key);
  char c = typed_char(key, shift, mnw.lang);
  if (is_function_key(key)) {
    APP_handlekey(code, 0);
    return;
  }
  if (code == key_return) return_hit = 1;
  if (code == key_tab || code == key_left || code == key_right || code == key_down || code == key_up)
    mnw.entry_field = -1;
  if (mnw.top_win != 0 && return_hit) {
    MACIBM_handleclick(1);
    return;
  }
  mnw.key_pressed = static_cast<unsigned char>(c);
  if (mnw.entry_field == -1 && mnw.top_win != 999) APP_handlekey(mnw.key_pressed, 0);
  edit_buffer(code, c);
}

void keys_class::handle_char(char c) {
  mnw.key_pressed = static_cast<unsigned char>(c);
  if (mnw.entry_field == -1 && mnw.top_win != 999) APP_handlekey(mnw.key_pressed, 0);
  edit_buffer(0, c);
}
