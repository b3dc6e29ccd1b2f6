// The alert drawn in the window (panel 995): its button, Return, the reference line of a fatal
// alert and the language chooser, each looked at in a saved frame.
#include "app/alert_panel.h"
#include "core/alert.h"
#include "tests/app/panel_fixture.h"

namespace {

using panel_testing::PanelWindow;

class AlertPanel : public PanelWindow {
 protected:
  static alert_view view_of(int type) {
    alert_view v;
    v.lines[0] = "I could not download a file!";
    v.lines[1] = "The server said no.";
    v.lines[2] = "Zephra/Resources/some file.txt";
    v.lines[3] = "";
    v.type = type;
    v.reference = "(install_pass line 321)";
    v.message_box = false;
    return v;
  }
  // Screen rectangle of the current panel, for pixel checks.
  static int px(float x) { return static_cast<int>(mnw.win_x + x); }
  static int py(float y) { return static_cast<int>(mnw.win_y + y); }
};

TEST_F(AlertPanel, OkButtonClosesAnErrorBackToTheMainScreen) {
  float mx_before = 123, my_before = 456;
  mnw.mx = mx_before;
  mnw.my = my_before;
  int panel_while_open = -1, panel_dx = 0;
  user = [&](int frame) {
    panel_while_open = mnw.top_win;
    panel_dx = static_cast<int>(mnw.win_dx);
    if (frame == 1) capture_next();
    if (frame == 2) {
      alert_button_place b = alert_panel_button();
      click(b.x_center, b.y_center);
    }
  };
  alert_panel_run(view_of(alert_error));
  EXPECT_EQ(panel_while_open, 995);
  EXPECT_EQ(panel_dx, 400);
  EXPECT_EQ(frames, 2) << "the click on OK ends the panel in the next pass";
  EXPECT_EQ(mnw.top_win, 0);
  EXPECT_EQ(mnw.is_modal, 0);
  EXPECT_FLOAT_EQ(mnw.mx, mx_before) << "the mouse position is given back";
  EXPECT_FLOAT_EQ(mnw.my, my_before);
  save("alert_error");
  // The panel 400 x 230 is centred in 1024 x 768; its text lines lie in its upper part.
  EXPECT_GT(drawn_in(312 + 10, 269 + 190, 200, 15), 20) << "the first line is not drawn";
}

TEST_F(AlertPanel, ReturnActsAsTheButtonAndAMissWaits) {
  user = [&](int frame) {
    if (frame == 1) click(5, 200);  // on the panel, away from the button: nothing happens
    if (frame == 3) return_hit = 1;
  };
  alert_panel_run(view_of(alert_error));
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(mnw.top_win, 0);
  EXPECT_EQ(return_hit, 0) << "the panel takes the Return";
}

TEST_F(AlertPanel, FatalShowsTheReferenceAndStaysOpenForTheFinishUp) {
  alert_view v = view_of(alert_fatal);
  user = [&](int frame) {
    if (frame == 1) capture_next();
    if (frame == 2) click(alert_panel_button().x_center, alert_panel_button().y_center);
  };
  alert_panel_run(v);
  EXPECT_EQ(mnw.top_win, 995) << "a fatal alert leaves the panel to the finish-up";
  save("alert_fatal");
  EXPECT_GT(drawn_in(312 + 10, 269 + 30, 150, 14), 20) << "no reference line at 35 units up";
}

TEST_F(AlertPanel, ClosingTheWindowEndsTheLoop) {
  user = [&](int frame) {
    if (frame == 2) app_done = 1;
  };
  alert_panel_run(view_of(alert_error));
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(mnw.top_win, 0);
}

TEST_F(AlertPanel, LanguageChooserSetsTheLanguageAndAccepts) {
  mnw.lang = 0;
  std::string title;
  user = [&](int frame) {
    title = stls.win_name;
    if (frame == 1) capture_next();
    if (frame == 2) click(mnw.win_dx * 0.5f - 25, 180 - 20 * 2 + 4);  // the third choice, German
    if (frame == 3) click(alert_panel_button().x_center, alert_panel_button().y_center);
  };
  alert_panel_run(view_of(alert_language));
  save("alert_language");
  EXPECT_EQ(title, "Language:");
  EXPECT_EQ(mnw.lang, 2);
  EXPECT_EQ(mnw.top_win, 0);
  mnw.lang = 0;
}

// Through the alert routine: after start-up, with no hook, an error is drawn and logged.
TEST_F(AlertPanel, TheAlertRoutineDrawsThePanelOnceTheWindowIsUp) {
  testing_support::LogCapture log;
  ogl_inited = 1;
  int seen = -1;
  user = [&](int frame) {
    seen = mnw.top_win;
    if (frame == 1) return_hit = 1;
  };
  MACIBM_alert(0, "I am a drawn alert.", "", "", "", alert_error);
  ogl_inited = 0;
  EXPECT_EQ(seen, 995);
  EXPECT_EQ(in_alert, 0);
  EXPECT_NE(log.text().find("I am a drawn alert."), std::string::npos);
}

}  // namespace
