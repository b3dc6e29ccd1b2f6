// The widgets' hit areas and value rules, driven through the mouse and key state in mnw as the
// frame loop leaves it; no display is needed (without a context nothing is drawn).
#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "app/frame_rules.h"
#include "app/keys.h"
#include "core/alert.h"
#include "ui/draw.h"
#include "ui/sub_windows.h"
#include "ui/widgets.h"
#include "ui/window_state.h"

namespace {

class Widgets : public testing::Test {
 protected:
  void SetUp() override {
    mnw = mnw_class();
    MACIBM_clear_menus(1);
    MACIBM_startwind(0);
    stl_input.clear();
    stls.help_message.clear();
    return_hit = 0;
    active_popup_code = select_popup_code = popup_menu_select = 0;
    mnw.mx = mnw.my = -100;  // far from every widget
  }
  // The start of a frame as the loop leaves it: a press (or none) at (x, y), the per-frame
  // flags cleared, the mouse rules applied (a press drops the text focus).
  void frame(float x, float y, bool press) {
    now_ += 1.0f;
    return_hit = 0;
    stls.help_message.clear();
    mnw.mouse_clicked = press ? 1 : 0;
    mnw.mx = x;
    mnw.my = y;
    update_mouse_state(now_, x, y);
    if (press) MACIBM_handleclick(0);
  }
  float now_ = 0;
};

void alerts_to_stderr() {
  alert_hooks().show = [](const alert_view& v) {
    for (const std::string& line : v.lines) std::cerr << line << "\n";
  };
}

struct parts {
  std::string label1, label2, help;
};
parts expand(const std::string& s) {
  parts p;
  BTN_expand_label(s, &p.label1, &p.label2, &p.help);
  return p;
}

}  // namespace

TEST_F(Widgets, LabelsSplitIntoCaptionRemarkAndHelp) {
  parts p = expand("|English");
  EXPECT_EQ(p.label1, "");
  EXPECT_EQ(p.label2, "English");
  EXPECT_EQ(p.help, "");
  p = expand("Operating System to download Zephra for:|(Install and copy the entire Zephra folder)");
  EXPECT_EQ(p.label1, "Operating System to download Zephra for:");
  EXPECT_EQ(p.label2, "(Install and copy the entire Zephra folder)");
  p = expand("a|b|c");
  EXPECT_EQ(p.label1, "a|b") << "the last bar separates";
  EXPECT_EQ(p.label2, "c");
  p = expand("Proxy|on{ Use a proxy: host|port");
  EXPECT_EQ(p.label1, "Proxy");
  EXPECT_EQ(p.label2, "on");
  EXPECT_EQ(p.help, "Use a proxy: host|port") << "a bar inside the help text is text";
  p = expand("Name{");
  EXPECT_EQ(p.label1, "Name");
  EXPECT_EQ(p.help, "");
}

TEST_F(Widgets, LongLabelsBreakNearTheirMiddle) {
  std::string l1, l2;
  EXPECT_EQ(BTN_label_lines("", true, &l1, &l2), 0);
  EXPECT_EQ(BTN_label_lines("twelve chars", true, &l1, &l2), 1) << "12 characters are never split";
  EXPECT_EQ(l1, "twelve chars");
  // 19 characters, middle 10: breaks at 8 and 11, the one at 11 is nearer.
  EXPECT_EQ(BTN_label_lines("abcdefgh/ab cdefghi", true, &l1, &l2), 2);
  EXPECT_EQ(l1, "abcdefgh/ab");
  EXPECT_EQ(l2, "cdefghi");
  // Breaks at 9 and 11 are equally near 10: the earlier one wins.
  EXPECT_EQ(BTN_label_lines("abcdefghi-b cdefghi", true, &l1, &l2), 2);
  EXPECT_EQ(l1, "abcdefghi");
  EXPECT_EQ(l2, "b cdefghi");
  EXPECT_EQ(BTN_label_lines(" abcdefghijklmnopq/", true, &l1, &l2), 1) << "first and last characters do not break";
  EXPECT_EQ(BTN_label_lines("-download the whole release", true, &l1, &l2), 1);
  EXPECT_EQ(l1, "download the whole release") << "a leading dash is dropped and keeps one line";
  EXPECT_EQ(BTN_label_lines("download the whole release", false, &l1, &l2), 1) << "side 1 never splits";
}

TEST_F(Widgets, PushButtonSizesToItsCaptionAndClicksInsideOnly) {
  const float half = (str_dx("quit") + 21.0f) * 0.5f;
  frame(900 + half - 0.5f, 270, true);
  EXPECT_EQ(BTN_action(900, 260, 0, 0, 1, "quit"), 1);
  frame(900 + half + 1.0f, 260, true);
  EXPECT_EQ(BTN_action(900, 260, 0, 0, 1, "quit"), 0) << "beyond the caption + 21 pixels";
  frame(900, 271, true);
  EXPECT_EQ(BTN_action(900, 260, 0, 0, 1, "quit"), 0) << "more than 10 above the centre";
  frame(900 + 60, 260, true);
  EXPECT_EQ(BTN_action(900, 260, 120, 2, 1, "INSTALL"), 1) << "a given width; a pressed look still clicks";
  frame(900, 260, false);
  EXPECT_EQ(BTN_action(900, 260, 0, 0, 1, "quit{ Ends the program"), 0) << "hovering is no click";
  EXPECT_EQ(stls.help_message, "Ends the program");
  frame(900, 260, true);
  mnw.menu_up = kPopupMenu;
  EXPECT_EQ(BTN_action(900, 260, 0, 0, 1, "quit"), 0) << "an open menu takes the mouse";
}

TEST_F(Widgets, CheckBoxesToggleAndRadioChoicesSelect) {
  int flag = 0;
  frame(108, 212, true);  // the corner of x +- 8 by y - 4...y + 12
  EXPECT_EQ(BTN_bool(100, 200, &flag, "Use all the CPU", 0), 1);
  EXPECT_EQ(flag, 1);
  frame(100, 196, true);
  EXPECT_EQ(BTN_bool(100, 200, &flag, "", 0), 1);
  EXPECT_EQ(flag, 0);
  flag = 5;
  frame(100, 200, true);
  BTN_bool(100, 200, &flag, "", 0);
  EXPECT_EQ(flag, 0) << "any non-zero value toggles to 0";
  frame(109, 200, true);
  EXPECT_EQ(BTN_bool(100, 200, &flag, "", 0), 0);
  frame(100, 195, true);
  EXPECT_EQ(BTN_bool(100, 200, &flag, "", 0), 0);
  EXPECT_EQ(flag, 0);

  // Three radio choices, as the server list draws them.
  int server = 0;
  auto draw_servers = [&] {
    int clicks = 0;
    for (int n = 0; n < 3; ++n) clicks += BTN_is_int(142, 578 - 20.0f * n, &server, n, "|server");
    return clicks;
  };
  frame(142, 540, true);
  EXPECT_EQ(draw_servers(), 1);
  EXPECT_EQ(server, 2);
  frame(142, 540, true);
  EXPECT_EQ(draw_servers(), 1) << "the selected choice still reports its click";
  EXPECT_EQ(server, 2) << "and stays selected";
  frame(142, 578, true);
  mnw.menu_up = kPopupMenu;
  EXPECT_EQ(draw_servers(), 0) << "an open menu takes the mouse";
  EXPECT_EQ(server, 2);
}

TEST_F(Widgets, SpinnerDigitsStepByTheirPlaceAndStayInRange) {
  float v = 5.0f;  // dig 3, dec 1 at (100, 200): slots 100-110, 110-120, 120-130
  frame(105, 210, true);
  EXPECT_EQ(BTN_flt_range(100, 200, &v, 3, 1, 0, 99.9f, ""), 1);
  EXPECT_FLOAT_EQ(v, 15.0f) << "upper half of the first slot adds 10.0";
  frame(125, 202, true);
  EXPECT_EQ(BTN_flt_range(100, 200, &v, 3, 1, 0, 99.9f, ""), 1);
  EXPECT_FLOAT_EQ(v, 14.9f) << "lower half of the last slot takes 0.1";
  frame(130, 203, true);
  BTN_flt_range(100, 200, &v, 3, 1, 0, 99.9f, "");
  EXPECT_FLOAT_EQ(v, 15.0f) << "the right edge and y + 3 belong to the last slot's upper half";
  v = 95.0f;
  frame(105, 220, true);
  BTN_flt_range(100, 200, &v, 3, 1, 0, 99.9f, "");
  EXPECT_FLOAT_EQ(v, 99.9f) << "clamped to hi";
  v = 3.0f;
  frame(105, 190, true);
  BTN_flt_range(100, 200, &v, 3, 1, 0, 99.9f, "");
  EXPECT_FLOAT_EQ(v, 0.0f) << "clamped to lo";
  // Outside the area, or with a menu open, nothing steps; the clamp and rounding hold every frame.
  v = 0.25f;
  frame(131, 210, true);
  EXPECT_EQ(BTN_flt_range(100, 200, &v, 3, 1, -9.9f, 99.9f, ""), 0);
  EXPECT_FLOAT_EQ(v, 0.3f) << "rounded half away from zero";
  v = 500.0f;
  frame(105, 210, true);
  mnw.menu_up = kPopupMenu;
  EXPECT_EQ(BTN_flt_range(100, 200, &v, 3, 1, 0, 99.9f, ""), 0);
  EXPECT_FLOAT_EQ(v, 99.9f);
  mnw.menu_up = -1;
  // Help shows only over the digits themselves.
  frame(105, 215, false);
  BTN_flt_range(100, 200, &v, 3, 1, 0, 99.9f, "{ rate");
  EXPECT_EQ(stls.help_message, "");
  frame(105, 204, false);
  BTN_flt_range(100, 200, &v, 3, 1, 0, 99.9f, "{ rate");
  EXPECT_EQ(stls.help_message, "rate");
  // Only the first ten slots react.
  float big = 0;
  frame(100 + 10 * 10 + 5, 210, true);
  EXPECT_EQ(BTN_flt_range(100, 200, &big, 12, 0, 0, 1e12f, ""), 0);
  EXPECT_FLOAT_EQ(big, 0.0f);
  frame(100 + 9 * 10 + 5, 210, true);
  EXPECT_EQ(BTN_flt_range(100, 200, &big, 12, 0, 0, 1e12f, ""), 1);
  EXPECT_FLOAT_EQ(big, 100.0f);
}

TEST_F(Widgets, IntegerSpinnerWorksOnWholeNumbers) {
  int streams = 1234;
  frame(115, 210, true);
  EXPECT_EQ(BTN_int_range(100, 200, &streams, 4, 0, 2000, ""), 1);
  EXPECT_EQ(streams, 1334);
  frame(135, 190, true);
  BTN_int_range(100, 200, &streams, 4, 0, 2000, "");
  EXPECT_EQ(streams, 1333);
  frame(105, 210, true);
  BTN_int_range(100, 200, &streams, 4, 0, 2000, "");
  EXPECT_EQ(streams, 2000);
  streams = -7;
  frame(0, 0, false);
  EXPECT_EQ(BTN_int_range(100, 200, &streams, 4, 1, 4, ""), 0);
  EXPECT_EQ(streams, 1);
}

TEST_F(Widgets, TextFieldTakesFocusHoldsItsLengthAndEndsOnReturn) {
  std::string host = "old.proxy", port = "8080";
  auto draw = [&] {
    return BTN_enterstring(100, 300, &host, 8, 1, "Proxy host") + 10 * BTN_enterstring(100, 280, &port, 5, 2, "port");
  };
  frame(0, 0, false);
  EXPECT_EQ(draw(), 0);
  EXPECT_EQ(host, "old.proxy") << "an unfocused field keeps its text";

  frame(120, 304, true);
  EXPECT_EQ(draw(), 1);
  EXPECT_EQ(mnw.entry_field, 1);
  EXPECT_EQ(host, "") << "taking the focus empties the field";
  for (char c : std::string("proxy.example")) keys.handle_char(c);
  frame(0, 0, false);
  draw();
  EXPECT_EQ(host, "proxy.ex") << "at most dim characters";
  EXPECT_EQ(stl_input, "proxy.ex");
  EXPECT_EQ(port, "8080");

  frame(101, 308, true);  // the press drops the focus; the field being edited takes it back
  EXPECT_EQ(draw(), 0);
  EXPECT_EQ(mnw.entry_field, 1);
  EXPECT_EQ(host, "proxy.ex") << "clicking the focused field does not clear it";
  keys.handle_key(0x08, false);
  frame(0, 0, false);
  draw();
  EXPECT_EQ(host, "proxy.e");

  frame(110, 282, true);
  EXPECT_EQ(draw(), 10);
  EXPECT_EQ(mnw.entry_field, 2);
  EXPECT_EQ(port, "") << "another field empties when it takes the focus";
  EXPECT_EQ(host, "proxy.e");
  frame(0, 0, false);
  keys.handle_char('3');
  keys.handle_char('1');
  keys.handle_key(0x0D, false);  // Return on the main screen, in the same frame
  draw();
  EXPECT_EQ(port, "31");
  EXPECT_EQ(mnw.entry_field, -1) << "Return ends the edit";
  keys.handle_char('9');
  frame(0, 0, false);
  draw();
  EXPECT_EQ(port, "31") << "typing after the edit ended changes nothing";

  // A press elsewhere ends the edit; coming back later empties the field again.
  frame(110, 282, true);
  draw();
  frame(500, 500, true);
  draw();
  EXPECT_EQ(mnw.entry_field, -1);
  frame(0, 0, false);
  draw();
  port = "80";
  frame(110, 282, true);
  EXPECT_EQ(draw(), 10);
  EXPECT_EQ(port, "");
  frame(100, 279, true);
  draw();
  EXPECT_EQ(mnw.entry_field, -1) << "below the field";
}

TEST_F(Widgets, PopUpListOpensTakesAChoiceAndReportsItNextFrame) {
  const std::string list = "All-Macintosh-Windows-Linux";
  int sel = 2;
  const int code = BTN_popup_code(300, 400);
  EXPECT_EQ(code, 1024 * 400 + 300);

  frame(300, 402, false);
  EXPECT_EQ(BTN_textlist(300, 400, &sel, list, "Operating System:{ Which files to fetch"), 0);
  EXPECT_EQ(stls.help_message, "Which files to fetch");
  EXPECT_EQ(mnw.menu_up, -1);

  frame(310, 403, true);  // a click on the control opens the shared pop-up
  EXPECT_EQ(BTN_textlist(300, 400, &sel, list, ""), 0);
  EXPECT_EQ(active_popup_code, code);
  ASSERT_EQ(mnw.menu_up, kPopupMenu);
  const menu_struct& popup = menu[kPopupMenu];
  ASSERT_EQ(popup.item.size(), 4u);
  EXPECT_EQ(popup.item[1].item_name, "Macintosh");
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(popup.item[i].itemy2 - popup.item[i].itemy1, 12);
  EXPECT_EQ(popup.item[0].itemy1, popup.item[1].itemy2) << "one row under the other";
  EXPECT_TRUE(popup.item[2].itemy1 <= 400 && popup.item[2].itemy2 > 400) << "the selected row sits at the control";

  frame(300, 400, false);  // open frames keep it open
  EXPECT_EQ(BTN_textlist(300, 400, &sel, list, ""), 0);
  EXPECT_EQ(mnw.menu_up, kPopupMenu);

  // The window layer takes the press on the first row and stores the choice...
  frame(popup.item[0].itemx1 + 5.0f, popup.item[0].itemy1 + 6.0f, true);
  EXPECT_EQ(mnw.menu_up, -1);
  EXPECT_EQ(select_popup_code, code);
  // ...which the list reports in its next call, once.
  EXPECT_EQ(BTN_textlist(300, 400, &sel, list, ""), 1);
  EXPECT_EQ(sel, 0);
  EXPECT_EQ(select_popup_code, 0);
  frame(0, 0, false);
  EXPECT_EQ(BTN_textlist(300, 400, &sel, list, ""), 0);
  EXPECT_EQ(mnw.menu_up, -1);
}

TEST_F(Widgets, PopUpClosedWithoutAChoiceChangesNothing) {
  const std::string list = "one-two-three";
  int sel = 1, other = 0;
  frame(310, 403, true);
  BTN_textlist(300, 400, &sel, list, "");
  BTN_textlist(300, 200, &other, list, "");
  ASSERT_EQ(mnw.menu_up, kPopupMenu);
  frame(800, 100, true);  // outside every row
  EXPECT_EQ(mnw.menu_up, -1);
  EXPECT_EQ(BTN_textlist(300, 400, &sel, list, ""), 0);
  EXPECT_EQ(BTN_textlist(300, 200, &other, list, ""), 0);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(sel, 1);
  frame(800, 100, false);
  BTN_textlist(300, 400, &sel, list, "");
  EXPECT_EQ(mnw.menu_up, -1) << "it does not open again by itself";

  // A choice goes only to the list that opened the pop-up.
  frame(310, 203, true);
  BTN_textlist(300, 400, &sel, list, "");
  BTN_textlist(300, 200, &other, list, "");
  const item_struct& row = menu[kPopupMenu].item[2];
  frame(row.itemx1 + 5.0f, row.itemy1 + 6.0f, true);
  EXPECT_EQ(BTN_textlist(300, 400, &sel, list, ""), 0);
  EXPECT_EQ(BTN_textlist(300, 200, &other, list, ""), 1);
  EXPECT_EQ(sel, 1);
  EXPECT_EQ(other, 2);
}

TEST_F(Widgets, PopUpRowsStayOnTheScreenAndSelectionsStayInTheList) {
  const std::string list = "a-b-c-d-e";
  int sel = 0;
  frame(110, 23, true);
  BTN_textlist(100, 20, &sel, list, "");
  ASSERT_EQ(mnw.menu_up, kPopupMenu);
  EXPECT_GE(menu[kPopupMenu].item[4].itemy1, 0) << "the last row moved up onto the screen";
  EXPECT_LT(menu[kPopupMenu].item[4].itemy1, 12);

  MACIBM_startwind(0);
  active_popup_code = 0;
  sel = 4;
  frame(110, 753, true);
  BTN_textlist(100, 750, &sel, list, "");
  ASSERT_EQ(mnw.menu_up, kPopupMenu);
  EXPECT_LE(menu[kPopupMenu].item[0].itemy2, 768) << "the first row moved down onto the screen";
  EXPECT_GT(menu[kPopupMenu].item[0].itemy2, 756);

  frame(0, 0, false);
  sel = 7;
  BTN_textlist(500, 500, &sel, list, "");
  EXPECT_EQ(sel, 4);
  sel = -3;
  BTN_textlist(500, 500, &sel, list, "");
  EXPECT_EQ(sel, 0);
}

TEST_F(Widgets, MalformedListsEndTheProgram) {
  int sel = 0;
  EXPECT_DEATH((alerts_to_stderr(), BTN_textlist(0, 0, &sel, "a|b", "")), "Found \\| char in text string!");
  std::string long_list(299, '-');
  frame(0, 0, false);
  BTN_textlist(0, 0, &sel, long_list, "");  // 300 items are allowed
  EXPECT_EQ(sel, 0);
  EXPECT_DEATH((alerts_to_stderr(), BTN_textlist(0, 0, &sel, long_list + "-", "")), "BTN_text_list overflow!");
}

TEST_F(Widgets, SubPanelsChainAndCloseBoxesClickWithoutAWindow) {
  MACIBM_startwind(2);  // 500 x 380
  float x2 = 0, y2 = 0;
  BTN_subwin(0, 13, -1, -1, -1, -1, "", &x2, &y2);
  EXPECT_FLOAT_EQ(x2, 500);
  EXPECT_FLOAT_EQ(y2, 362);
  BTN_subwin(20, 13, 30, 40, -1, -1, "", &x2, &y2);
  EXPECT_FLOAT_EQ(x2, 500);
  EXPECT_FLOAT_EQ(y2, 40 + (380 - 28 - 40 - 20) + 10);
  BTN_subwin(0, 13, 30, 40, 100, 50, "", &x2, &y2);
  EXPECT_FLOAT_EQ(x2, 140);
  EXPECT_FLOAT_EQ(y2, 100);

  mnw.mouse_clicked = 1;
  mnw.mx = 500 - 16 + 9;
  mnw.my = 380 - 10;
  EXPECT_EQ(BTN_zap_boxes(0), 1);
  mnw.mx = 16 + 10;
  EXPECT_EQ(BTN_zap_boxes(0), 0);
}

TEST_F(Widgets, PopUpChoiceWorksInsideAPanel) {
  MACIBM_startwind(2);
  int sel = 0;
  frame(210, 103, true);
  BTN_textlist(200, 100, &sel, "All-Windows-Linux", "");
  ASSERT_EQ(mnw.menu_up, kPopupMenu);
  const item_struct& row = menu[kPopupMenu].item[1];
  frame(row.itemx1 + 5.0f, row.itemy1 + 6.0f, true);
  EXPECT_EQ(mnw.top_win, 2) << "the press chose a row; it did not close the panel";
  EXPECT_EQ(BTN_textlist(200, 100, &sel, "All-Windows-Linux", ""), 1);
  EXPECT_EQ(sel, 1);
}
