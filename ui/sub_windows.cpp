#include "ui/sub_windows.h"

#include <cmath>

#include "core/alert.h"
#include "ui/draw.h"
#include "ui/typing.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

std::vector<menu_struct> menu(kMenuCount);
std::string stl_input;
std::function<void(int item_code)> menu_command_hook;
int active_popup_code = 0;
int select_popup_code = 0;
int popup_menu_select = 0;
bool subwin_started = false;

namespace {
constexpr subwin_kind kAgreement{"EULA", 500, 300, true};
constexpr subwin_kind kPrefs{"Prefs", 500, 380, true};
constexpr subwin_kind kPanel994{"", 500, 300, true};
constexpr subwin_kind kAlert{"", 400, 230, true};
constexpr subwin_kind kPanel996{"", 300, 166, true};
constexpr subwin_kind kQuestion{"", 700, 146, true};
constexpr subwin_kind kTall{"", 341, 484, true};

bool inside(float x, float y, float x1, float y1, float x2, float y2) { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }

// Half away from zero, as the panels are centred.
float round_half_away(float v) { return std::round(v); }
}  // namespace

const subwin_kind* subwin_lookup(int new_top_win) {
  switch (new_top_win) {
    case 1: return &kAgreement;
    case 2: return &kPrefs;
    case 994: return &kPanel994;
    case 995: return &kAlert;
    case 996: return &kPanel996;
    case 997: return &kQuestion;
    case 998:
    case 999: return &kTall;
    default: return nullptr;
  }
}

void MACIBM_startwind(int new_top_win) {
  subwin_started = true;
  if (mnw.context[0]) OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f);
  stl_input.clear();

  mnw.win_dx = static_cast<float>(mnw.x_res_now);
  mnw.win_dy = static_cast<float>(mnw.y_res_now);
  mnw.is_modal = 0;
  stls.win_name.clear();
  if (const subwin_kind* kind = subwin_lookup(new_top_win)) {
    stls.win_name = kind->title;
    mnw.win_dx = kind->dx;
    mnw.win_dy = kind->dy;
    mnw.is_modal = kind->modal ? 1 : 0;
  }
  mnw.entry_field = -1;
  mnw.menu_up = -1;
  mnw.top_win = new_top_win;

  float s = mnw.xy_scale_now;
  mnw.win_x = round_half_away((mnw.x_res_now - mnw.win_dx * s) * 0.5f) / s;
  mnw.win_y = round_half_away((mnw.y_res_now - mnw.win_dy * s) * 0.5f) / s;
  if (mnw.win_y < 0) mnw.win_y = 0;

  mnw.now_dragging = 0;
  mnw.mouse_clicked = 0;
  mnw.mouse_wheel = 0;
  menu_struct& popup = menu[kPopupMenu];
  popup.menux1 = popup.menuy1 = popup.menux2 = popup.menuy2 = -1;
}

void MACIBM_handleclick(int enter_close) {
  // A press on a close box in the title strip of a panel (alerts and questions have none).
  if (mnw.top_win != 0 && (mnw.top_win < 995 || mnw.top_win > 999)) {
    bool in_strip = mnw.my >= mnw.win_dy - 20 && mnw.my <= mnw.win_dy;
    bool at_end = (mnw.mx >= 0 && mnw.mx <= 25) || (mnw.mx >= mnw.win_dx - 25 && mnw.mx <= mnw.win_dx);
    if ((in_strip && at_end) || enter_close) {
      return_hit = 0;
      BTN_zap_boxes(1);
      OGL_sbuf();
      MACIBM_startwind(0);
      return;
    }
    // A panel's own pop-up list (the preference window's) takes its choice below.
    if (mnw.menu_up != kPopupMenu) return;
  }

  for (int m = 0; m < kPopupMenu; ++m) {
    const menu_struct& mm = menu[m];
    bool reachable = mm.menu_prnt == -1 || (mnw.menu_up != -1 && mm.menu_prnt == mnw.menu_up);
    if (mm.menuy2 >= 0 && reachable && inside(mnw.mx, mnw.my, mm.menux1, mm.menuy1, mm.menux2, mm.menuy2)) {
      mnw.menu_up = mnw.menu_up == m ? -1 : m;
      mnw.mouse_clicked = 0;
      return;
    }
  }

  if (mnw.menu_up != -1) {
    const menu_struct& open = menu[mnw.menu_up];
    for (size_t i = 0; i < open.item.size(); ++i) {
      const item_struct& it = open.item[i];
      if (it.item_name.empty() || it.item_name[0] == '-' || it.item_name[0] == '=') continue;
      if (!inside(mnw.mx, mnw.my, it.itemx1, it.itemy1, it.itemx2, it.itemy2)) continue;
      if (mnw.menu_up == kPopupMenu) {
        popup_menu_select = static_cast<int>(i);
        select_popup_code = active_popup_code;
        active_popup_code = 0;
      } else {
        if (menu_command_hook) menu_command_hook(it.item_code);
      }
      break;
    }
    mnw.menu_up = -1;
    mnw.mouse_clicked = 0;
  }
}

void MACIBM_clear_menus(int level) {
  if (level != 1) return;
  menu.assign(kMenuCount, menu_struct{});
}

float menu_dx(const std::string& label) {
  float dx = 0;
  for (char c : label) dx += chr_dx(c);
  return dx;
}
