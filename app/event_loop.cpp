#include "app/event_loop.h"

#include <algorithm>

#include "app/frame_rules.h"
#include "app/frame_times.h"
#include "app/window.h"
#include "core/alert.h"
#include "core/clock.h"
#include "core/log.h"
#include "install/install_pass.h"
#include "install/session.h"
#include "install/session_state.h"
#include "net/http_client.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/textures.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

std::function<void()> after_frame_hook;

namespace {

bool first_frame_done = false;
frame_times install_frames;
bool cursor_shown = true;

// Period adaptation state: a frame counter and the reference time of each period.
int period_frames = 0;
float fm_reference = 0, ui_reference = 0;

// The session's place: servers known, directory read, step. A frame that moved it may have left
// the next move ready at once.
int session_place[3] = {};
bool session_moved() {
  const int place[3] = {stg.num_servers, stg.dir_scan, stg.step};
  const bool moved = !std::equal(place, place + 3, session_place);
  std::copy(place, place + 3, session_place);
  return moved;
}

// Without a window the only input is the network: wait up to 16 ms for the pass to have
// something to do, so downloads do not idle between frames; not after a frame that moved the
// session on, whose next step may need no network at all.
void windowless_frame() {
  if (!session_moved() && !stg.use_max_cpu) wait_for_pass_work(16);
  xtim.advance();
  if (!mnw.is_modal) APP_update();
  if (after_frame_hook) after_frame_hook();
}

// Texture loads that failed are told once each, on the main screen.
void report_texture_failures() {
  const char* third = "Please see the log.txt file for a detailed list of missing files.";
  if (tman.has_scene_load_fail()) {
    tman.mute_scene_load_fail();
    MACIBM_alert(0, "Some scenery textures could not be loaded.",
                 "This may be an installation problem or you may have a damaged add-on scenery package.", third, "",
                 alert_error);
  }
  if (tman.has_plane_load_fail()) {
    tman.mute_plane_load_fail();
    MACIBM_alert(0, "Some textures for the aircraft you selected could not be loaded.",
                 "This may be an installation problem or you may have a damaged add-on aircrft package.", third, "",
                 alert_error);
  }
  if (tman.has_instl_load_fail()) {
    tman.mute_instl_load_fail();
    MACIBM_alert(0, "Some textures could not be loaded.",
                 "This may be an installation problem.  Run the installer/updater again to get these missing textures.",
                 third, "", alert_error);
  }
}

void adapt_periods() {
  if (++period_frames < 10) return;
  period_frames = 0;
  float now = xtim.real_time;
  if (mnw.top_win == 0 || mnw.sec_mon_inuse)
    adapt_frame_period(xtim.prd_FM, xtim.rt_rat_FM, fm_reference, now);
  else
    fm_reference = now;
  if (mnw.top_win < 995 || mnw.top_win > 999)
    adapt_frame_period(xtim.prd_UI, xtim.rt_rat_UI, ui_reference, now);
  else
    ui_reference = now;
}

// While a menu is open, resting on another top-level menu opens that one.
void switch_menus() {
  if (mnw.menu_up == -1) return;
  for (int m = 0; m < kPopupMenu; ++m) {
    const menu_struct& mm = menu[m];
    if (m == mnw.menu_up || mm.menu_prnt != -1 || mm.menuy2 < 0) continue;
    if (mnw.mx >= mm.menux1 && mnw.mx <= mm.menux2 && mnw.my >= mm.menuy1 && mnw.my <= mm.menuy2) {
      MACIBM_handleclick(0);
      return;
    }
  }
}

// Palette entry of the menus' highlight: the light accent, which stands out from the panel.
constexpr int kMenuAccent = 43;

void draw_open_menu() {
  if (mnw.menu_up == -1) return;
  const menu_struct& open = menu[mnw.menu_up];
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  for (size_t i = 0; i < open.item.size(); ++i) {
    const item_struct& it = open.item[i];
    if (i == 0 || it.itemx1 < x1) x1 = it.itemx1;
    if (i == 0 || it.itemy1 < y1) y1 = it.itemy1;
    if (i == 0 || it.itemx2 > x2) x2 = it.itemx2;
    if (i == 0 || it.itemy2 > y2) y2 = it.itemy2;
  }
  BTN_frame2(17, x1, y1, x2 - x1, y2 - y1, "");
  if (open.menu_prnt == -1 && mnw.menu_up != kPopupMenu)
    OGL_fillrect(35, 0.25f, open.menux1, open.menuy1, open.menux2 - open.menux1, open.menuy2 - open.menuy1);
  int under_mouse = -1;
  for (size_t i = 0; i < open.item.size(); ++i) {
    const item_struct& it = open.item[i];
    bool selectable = !it.item_name.empty() && it.item_name[0] != '-' && it.item_name[0] != '=';
    if (selectable && mnw.mx >= it.itemx1 && mnw.mx <= it.itemx2 && mnw.my >= it.itemy1 && mnw.my < it.itemy2)
      under_mouse = static_cast<int>(i);
  }
  // The value now chosen carries a bar in the accent colour; the row under the mouse is lit.
  if (open.current >= 0 && open.current < static_cast<int>(open.item.size())) {
    const item_struct& it = open.item[open.current];
    OGL_fillrect(kMenuAccent, 0.12f, it.itemx1, it.itemy1, it.itemx2 - it.itemx1, it.itemy2 - it.itemy1);
    OGL_fillrect(kMenuAccent, 1.0f, it.itemx1, it.itemy1 + 1, 2, it.itemy2 - it.itemy1 - 2);
  }
  if (under_mouse >= 0) {
    const item_struct& it = open.item[under_mouse];
    OGL_fillrect(kMenuAccent, 0.35f, it.itemx1, it.itemy1, it.itemx2 - it.itemx1, it.itemy2 - it.itemy1);
  }
  float indent = mnw.menu_up == kPopupMenu ? 3 : 18;
  for (const item_struct& it : open.item) {
    if (!it.item_name.empty() && it.item_name[0] == '-') {
      float y = (it.itemy1 + it.itemy2) * 0.5f;
      OGL_line(colour_text, 1.0f, it.itemx1 + 2, y, it.itemx2 - 2, y);
    } else {
      OGL_string(colour_text, it.itemx1 + indent, it.itemy1 + 3, it.item_name, 9999, 100);
    }
  }
}

void draw_help() {
  if (stls.help_message.empty() || xtim.real_time - mnw.m_move_time <= 1.0f) return;
  help_box box = place_help_box(static_cast<int>(stls.help_message.size()), mnw.mx, mnw.my);
  BTN_frame2(14, box.x - 10, box.y - 10, box.dx + 20, box.dy + 20, "");
  OGL_string(46, box.x + 3, box.y + box.dy - 10, stls.help_message, 394, 100);
}

void update_cursor() {
  if (xtim.real_time - mnw.m_move_time > 10.0f) mnw.cursor_type = 1;
  bool want_shown = mnw.cursor_type == 0;
  if (want_shown != static_cast<bool>(cursor_shown)) {
    window_show_cursor(want_shown);
    cursor_shown = want_shown;
  }
}

}  // namespace

void MACIBM_event_proc() {
  if (!mnw.context[0]) return windowless_frame();

  return_hit = 0;
  mnw.mouse_clicked = 0;
  mnw.mouse_lifted = 0;
  mnw.key_hit = 0;
  // A modal panel draws its widgets before its frame runs: keep the help they set for this frame.
  std::string panel_help = mnw.is_modal ? stls.help_message : std::string();
  stls.help_message.clear();

  if (mnw.top_win == -1) mnw.top_win = 0;
  if (!first_frame_done) {
    MACIBM_startwind(mnw.top_win);
    first_frame_done = true;
  }

  // While files are installed the pass waits on the network inside the frame, so the frame does
  // not also wait for input; the frame times of the installation are logged when it ends.
  const bool installing = stg.step == 1 && !mnw.is_modal;
  const int installs_before = session_installs_begun();
  if (installing) {
    install_frames.frame_began(program_clock());
  } else {
    install_frames.pause();
    if (stg.step != 1) {
      std::string times = install_frames.summary();
      if (!times.empty()) xer << times << "\n";
      install_frames.clear();
    }
  }
  float last_mx = mnw.mx, last_my = mnw.my;
  window_pump_events(stg.use_max_cpu || installing ? 0 : 16);
  if (mnw.top_win == 0) report_texture_failures();

  xtim.advance();
  adapt_periods();
  update_mouse_state(xtim.real_time, last_mx, last_my);
  update_pulse_colours(xtim.real_time);
  mnw.cursor_type = 0;
  switch_menus();

  if (!mnw.is_modal) {
    APP_update();
    xtim.first_miss_cycle = 0;
  }
  // An installation begun by a click in this frame (after the agreement and any question, which
  // wait inside it) may also end in it: its timing starts here, so that its line is still logged.
  if (!installing && session_installs_begun() != installs_before) install_frames.frame_began(program_clock());
  if (stls.help_message.empty()) stls.help_message = panel_help;
  draw_open_menu();
  draw_help();
  update_cursor();
  OGL_sbuf();
  if (after_frame_hook) after_frame_hook();
}
