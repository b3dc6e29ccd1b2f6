#include <gtest/gtest.h>

#include <cmath>

#include "app/frame_rules.h"
#include "app/keys.h"
#include "app/window.h"
#include "core/alert.h"
#include "ui/sub_windows.h"
#include "ui/window_state.h"

namespace {
// Every case starts from the main screen with nothing pressed or typed.
class Input : public testing::Test {
 protected:
  void SetUp() override {
    mnw = mnw_class();
    mnw.x_res_now = 1024;
    mnw.y_res_now = 768;
    MACIBM_clear_menus(1);
    MACIBM_startwind(0);
    stl_input.clear();
    return_hit = 0;
  }
};
}  // namespace

TEST_F(Input, KeysTypeWhatAUsKeyboardTypes) {
  EXPECT_EQ(keys_class::typed_char('A', false, 0), 'a');
  EXPECT_EQ(keys_class::typed_char('A', true, 0), 'A');
  EXPECT_EQ(keys_class::typed_char('2', true, 0), '@');
  EXPECT_EQ(keys_class::typed_char('0', true, 0), ')');
  EXPECT_EQ(keys_class::typed_char(0xBD, false, 0), '-');
  EXPECT_EQ(keys_class::typed_char(0xBD, true, 0), '_');
  EXPECT_EQ(keys_class::typed_char(0xC0, true, 0), '~');
  EXPECT_EQ(keys_class::typed_char(0xDC, true, 0), '|');
  EXPECT_EQ(keys_class::typed_char('6', false, 1), '_') << "French keyboards type an underscore there";
  EXPECT_EQ(keys_class::program_code(0x0D), key_return);
  EXPECT_EQ(keys_class::program_code(0x2E), key_erase);
  EXPECT_EQ(keys_class::program_code(0x70), 0x7A00);
  EXPECT_EQ(keys_class::program_code(0x79), 0) << "F10 has no code";
  EXPECT_EQ(keys_class::program_code(0x62), 0x5400);
}

TEST_F(Input, TypingEditsTheSharedBuffer) {
  keys.handle_key('2', true);
  keys.handle_char('b');
  EXPECT_EQ(stl_input, "@b");
  keys.handle_key(0x08, false);
  keys.handle_key(0x08, false);
  keys.handle_key(0x08, false);  // Backspace on an empty buffer changes nothing
  EXPECT_EQ(stl_input, "");
  mnw.entry_field = 3;
  keys.handle_key(0x09, false);
  EXPECT_EQ(mnw.entry_field, -1) << "Tab takes the focus from the text field";
  keys.handle_key(0x0D, false);
  EXPECT_EQ(return_hit, 1);
}

TEST_F(Input, ReturnClosesAPanelButNotAnAlert) {
  MACIBM_startwind(2);
  EXPECT_EQ(mnw.is_modal, 1);
  keys.handle_key(0x0D, false);
  EXPECT_EQ(mnw.top_win, 0);
  EXPECT_EQ(return_hit, 0);

  MACIBM_startwind(995);
  keys.handle_key(0x0D, false);
  EXPECT_EQ(mnw.top_win, 995) << "an alert takes Return as its button";
  EXPECT_EQ(return_hit, 1);
}

TEST_F(Input, PanelsAreCentredAndClosedByTheirCloseBoxes) {
  MACIBM_startwind(2);
  EXPECT_EQ(stls.win_name, "Prefs");
  EXPECT_FLOAT_EQ(mnw.win_x, 262);
  EXPECT_FLOAT_EQ(mnw.win_y, 194);
  mnw.mx = 26;
  mnw.my = 370;
  MACIBM_handleclick(0);
  EXPECT_EQ(mnw.top_win, 2) << "26 units from both ends is not a close box";
  mnw.mx = 476;
  MACIBM_handleclick(0);
  EXPECT_EQ(mnw.top_win, 0);
  EXPECT_EQ(mnw.is_modal, 0);
}

TEST_F(Input, ThePopUpListReportsTheChosenEntry) {
  menu_struct& popup = menu[kPopupMenu];
  for (int i = 0; i < 3; ++i) {
    item_struct it;
    it.item_name = i == 1 ? "-" : "entry";
    it.itemx1 = 100;
    it.itemx2 = 200;
    it.itemy1 = static_cast<short>(300 - 20 * i);
    it.itemy2 = static_cast<short>(320 - 20 * i);
    popup.item.push_back(it);
  }
  active_popup_code = 7;
  mnw.menu_up = kPopupMenu;
  mnw.mx = 150;
  mnw.my = 265;  // the third entry
  mnw.mouse_clicked = 1;
  MACIBM_handleclick(0);
  EXPECT_EQ(popup_menu_select, 2);
  EXPECT_EQ(select_popup_code, 7);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.menu_up, -1);
  EXPECT_EQ(mnw.mouse_clicked, 0);

  // A press outside closes the list without a choice; the separator is never chosen.
  select_popup_code = 0;
  mnw.menu_up = kPopupMenu;
  mnw.my = 285;
  MACIBM_handleclick(0);
  EXPECT_EQ(select_popup_code, 0);
  EXPECT_EQ(mnw.menu_up, -1);
}

TEST_F(Input, MouseStateFollowsTheQuarterSecondRules) {
  mnw.mouse_clicked = 1;
  update_mouse_state(10.0f, mnw.mx, mnw.my);
  EXPECT_EQ(mnw.now_dragging, 1);
  EXPECT_FLOAT_EQ(mnw.m_down_time, 10.0f);

  mnw.mouse_clicked = 0;
  update_mouse_state(10.3f, mnw.mx, mnw.my);
  EXPECT_EQ(mnw.delay_dragging, 1) << "held for more than 0.25 s";

  mnw.mouse_lifted = 1;
  update_mouse_state(10.4f, mnw.mx, mnw.my);
  EXPECT_EQ(mnw.mouse_did_click, 0) << "released after more than 0.25 s";
  EXPECT_EQ(mnw.now_dragging, 0);

  mnw.mouse_lifted = 0;
  mnw.mouse_clicked = 1;
  update_mouse_state(20.0f, mnw.mx, mnw.my);
  mnw.mouse_clicked = 0;
  mnw.mouse_lifted = 1;
  update_mouse_state(20.1f, mnw.mx, mnw.my);
  EXPECT_EQ(mnw.mouse_did_click, 1);
  mnw.mouse_lifted = 0;
  mnw.mouse_clicked = 1;
  update_mouse_state(20.2f, mnw.mx, mnw.my);
  EXPECT_EQ(mnw.mouse_double_clicked, 1);

  float moved_at = mnw.m_move_time;
  mnw.mouse_clicked = 0;
  mnw.mx += 0.4f;
  update_mouse_state(30.0f, mnw.mx - 0.4f, mnw.my);
  EXPECT_FLOAT_EQ(mnw.m_move_time, moved_at) << "half a unit is not a movement";
  update_mouse_state(31.0f, mnw.mx - 0.6f, mnw.my);
  EXPECT_FLOAT_EQ(mnw.m_move_time, 31.0f);

  on_mouse_wheel(240);
  on_mouse_wheel(100);
  EXPECT_EQ(mnw.mouse_wheel, 2);
}

TEST(FrameRules, PeriodsAdaptWithinTheirLimits) {
  float period = 0.02f, ratio = 1, reference = 0;
  adapt_frame_period(period, ratio, reference, 0.4f);  // ten frames took twice their period
  EXPECT_FLOAT_EQ(ratio, 1.5f);
  EXPECT_NEAR(period, 0.02f * std::pow(1.5f, 0.25f), 1e-6);
  EXPECT_FLOAT_EQ(reference, 0.4f);
  for (int i = 0; i < 100; ++i) adapt_frame_period(period, ratio, reference, reference + 10);
  EXPECT_FLOAT_EQ(period, 0.05f);
  for (int i = 0; i < 100; ++i) adapt_frame_period(period, ratio, reference, reference);
  EXPECT_FLOAT_EQ(period, 0.0010001f);
}

TEST(FrameRules, TheHelpBoxStaysOnTheScreen) {
  help_box box = place_help_box(120, 100, 700);
  EXPECT_FLOAT_EQ(box.dx, 400);
  EXPECT_FLOAT_EQ(box.dy, 60) << "20 + 10 per 50 characters, at least 60";
  EXPECT_FLOAT_EQ(box.x, 10);
  EXPECT_FLOAT_EQ(box.y, 688);
  EXPECT_FLOAT_EQ(place_help_box(5000, 900, 100).dy, 300);
  EXPECT_FLOAT_EQ(place_help_box(0, 900, 100).x, 500);
}
