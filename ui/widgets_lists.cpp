// The pop-up list: a button showing the chosen item; a click opens the window layer's shared
// pop-up menu with one row per item, and the choice made there comes back in the next frame.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/alert.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {
constexpr int kMaxItems = 300;
constexpr float kRow = 12;           // pixels per row of the open list
constexpr int kChosenColour = 37;

// Fills the shared pop-up with one row per item, the selected row level with the control,
// shifted by whole rows to stay on the screen (the top row wins when the list is too tall).
void open_popup(float x, float y, float max_dx, const std::vector<std::string>& items, int sel) {
  menu_struct& popup = menu[kPopupMenu];
  const int n = static_cast<int>(items.size());
  const float x1 = x + 10.0f - (max_dx * 0.5f + 14.0f), x2 = x + 10.0f + max_dx * 0.5f + 14.0f;
  const float row0 = y - 3.0f;  // lower edge of the selected row
  const float bottom = -mnw.win_y, top = static_cast<float>(mnw.y_res_now) / mnw.xy_scale_now - mnw.win_y;
  int shift = 0;
  const float lowest = row0 + kRow * (sel - (n - 1));
  if (lowest < bottom) shift = static_cast<int>(std::ceil((bottom - lowest) / kRow));
  const float highest = row0 + kRow * (sel + shift) + kRow;
  if (highest > top) shift -= static_cast<int>(std::ceil((highest - top) / kRow));

  popup.item.assign(n, item_struct{});
  popup.current = sel;
  for (int i = 0; i < n; ++i) {
    item_struct& it = popup.item[i];
    it.item_name = items[i];
    it.item_code = i;
    const float y1 = row0 + kRow * (sel - i + shift);
    it.itemx1 = static_cast<short>(std::lround(x1));
    it.itemx2 = static_cast<short>(std::lround(x2));
    it.itemy1 = static_cast<short>(std::lround(y1));
    it.itemy2 = static_cast<short>(std::lround(y1 + kRow));
  }
  popup.menux1 = popup.item.back().itemx1;
  popup.menuy1 = popup.item.back().itemy1;
  popup.menux2 = popup.item.front().itemx2;
  popup.menuy2 = popup.item.front().itemy2;
  mnw.menu_up = kPopupMenu;
}
}  // namespace

int BTN_popup_code(float x, float y) { return static_cast<int>(std::lround(1024.0f * y + x)); }

int BTN_textlist(float x, float y, int* sel, const std::string& stl_list, const std::string& input_label) {
  if (stl_list.find('|') != std::string::npos) {
    MACIBM_alert(0, "Found | char in text string!", stl_list, "", "", alert_fatal);
    return 0;
  }
  if (std::count(stl_list.begin(), stl_list.end(), '-') > kMaxItems - 1) {
    MACIBM_alert(0, "BTN_text_list overflow!", "", "", "", alert_fatal);
    return 0;
  }
  std::vector<std::string> items;
  for (size_t start = 0;;) {
    const size_t dash = stl_list.find('-', start);
    items.push_back(stl_list.substr(start, dash - start));
    if (dash == std::string::npos) break;
    start = dash + 1;
  }
  std::string label1, label2, help;
  BTN_expand_label(input_label, &label1, &label2, &help);

  const int code = BTN_popup_code(x, y);
  int chosen = 0;
  if (select_popup_code != 0 && select_popup_code == code) {
    *sel = popup_menu_select;
    select_popup_code = 0;
    chosen = 1;
  }
  *sel = std::clamp(*sel, 0, static_cast<int>(items.size()) - 1);
  // The pop-up was closed without a choice (a press outside it, or a window change).
  if (active_popup_code == code && mnw.menu_up != kPopupMenu) active_popup_code = 0;

  float max_dx = 0;
  for (const std::string& item : items) max_dx = std::max(max_dx, str_dx(item));
  const bool over =
      std::fabs(mnw.mx - (x + 10.0f)) <= max_dx * 0.5f + 15.0f && std::fabs(mnw.my - (y + 3.0f)) <= 5.0f;
  if (over && !help.empty()) stls.help_message = help;
  if (over && mnw.mouse_clicked && active_popup_code != code) active_popup_code = code;
  if (active_popup_code == code) open_popup(x, y, max_dx, items, *sel);

  BTN_frame1(10, x + 10.0f, y + 5.0f, max_dx + 28.0f, 0);
  if (active_popup_code != code) {
    const std::string& shown = items[*sel];
    OGL_string(kChosenColour, x - str_dx(shown) * 0.5f, y, shown, 9999, 100);
  }
  BTN_util_draw_label(x - max_dx * 0.5f - 5.0f, y, 0, label1, 0);
  BTN_util_draw_label(x + max_dx * 0.5f + 25.0f, y, 2, label2, 0);
  return chosen;
}
