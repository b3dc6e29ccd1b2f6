#pragma once
// The main screen, the modal panels opened over it, and the menu records with the shared pop-up list.
#include <functional>
#include <string>
#include <vector>

struct item_struct {
  std::string item_name;  // "-..." separator line, "=..." not selectable
  int item_code = 0;
  unsigned char is_korean = 0;
  short itemx1 = -1, itemy1 = -1, itemx2 = -1, itemy2 = -1;
};

struct menu_struct {
  std::string menu_name;
  int menu_prnt = -1;  // -1 top level, else the menu it hangs from
  short menux1 = -1, menuy1 = -1, menux2 = -1, menuy2 = -1;
  std::vector<item_struct> item;
  int current = -1;  // the row of the value now chosen, marked while the list is open; -1 none
};

constexpr int kMenuCount = 1520;
constexpr int kPopupMenu = 1519;  // the shared pop-up list of the list widget

extern std::vector<menu_struct> menu;
extern int active_popup_code;   // list widget that opened the pop-up
extern int select_popup_code;   // list whose choice has arrived, 0 none
extern int popup_menu_select;   // index of the chosen entry
extern bool subwin_started;     // a sub-window has been opened; the splash may draw

// The sub-window table: title and size of each panel kind.
struct subwin_kind {
  const char* title;
  float dx, dy;
  bool modal;
};
// The kind of new_top_win, or null for the main screen and unknown numbers.
const subwin_kind* subwin_lookup(int new_top_win);

void MACIBM_startwind(int new_top_win);
void MACIBM_handleclick(int enter_close);
// Where a chosen menu item's command goes; the shell points it at the application's menu handler.
extern std::function<void(int item_code)> menu_command_hook;
void MACIBM_clear_menus(int level);
float menu_dx(const std::string& label);
