// The modified-file question and the directory progress screen drawn in a window.
#include "install/directory_view.h"
#include "install/directory_view_panel.h"
#include "install/file_selection.h"
#include "install/file_selection_panel.h"
#include "tests/app/panel_fixture.h"

namespace {

using panel_testing::PanelWindow;

class InstallPanels : public PanelWindow {};

TEST_F(InstallPanels, EachButtonOfTheQuestionGivesItsAnswer) {
  for (int answer = select_proceed; answer <= select_keep_folder; ++answer) {
    frames = 0;
    user = [&](int frame) {
      if (frame == 1 && answer == select_proceed) capture_next();
      if (frame == 2) {
        select_button_place b = select_alert_button(answer);
        click(b.x_center, b.y_center);
      }
    };
    EXPECT_EQ(select_alert_panel("/home/me/Zephra/Resources/plugins/my plugin.xpl", 0), answer);
    EXPECT_EQ(mnw.top_win, 0);
    if (answer == select_proceed) save("select_install");
  }
  EXPECT_GT(drawn_in(162 + 10, 311 + 116, 150, 12), 20) << "the first line of the question is not drawn";
}

TEST_F(InstallPanels, TheDeleteQuestionAndAClickBesideTheButtons) {
  user = [&](int frame) {
    if (frame == 1) {
      capture_next();
      click(350, 88);  // on the text, not a button
    }
    if (frame == 3) click(select_alert_button(select_cancel).x_center, select_alert_button(select_cancel).y_center);
  };
  EXPECT_EQ(select_alert_panel("/home/me/Zephra/Resources/old.dat", 1), select_cancel);
  EXPECT_EQ(frames, 3);
  save("select_delete");
}

TEST_F(InstallPanels, ClosingTheQuestionCancelsTheInstallation) {
  user = [&](int frame) {
    if (frame == 2) MACIBM_startwind(0);
  };
  EXPECT_EQ(select_alert_panel("/x/y", 0), select_cancel);
  frames = 0;
  user = [&](int frame) {
    if (frame == 1) app_done = 1;
  };
  EXPECT_EQ(select_alert_panel("/x/y", 0), select_cancel);
  EXPECT_EQ(mnw.top_win, 0);
}

TEST_F(InstallPanels, TheProgressScreenIsOneWholePresentedFrame) {
  dir_progress_screen screen;
  screen.message1 = "I am reading the directory file.";
  screen.activity = "Currently EXAMINING the hard disk.";
  screen.fill = dir_progress_fill(0, 50, 100);
  screen.rel_path_exp = "/home/me/Zephra/Resources/default scenery/a rather long path to a file.dsf";
  capture_next();
  dir_progress_panel(screen);
  save("dir_progress");
  // The bar runs from 12 to 1012 across at 384 up: half of it is filled.
  auto lum = [&](int x, int y) {
    const unsigned char* p = &shot[(static_cast<size_t>(y) * 1024 + x) * 4];
    return p[0] + p[1] + p[2];
  };
  EXPECT_NE(lum(300, 384), lum(800, 384)) << "the filled part looks like the empty part";
  EXPECT_GT(drawn_in(200, 384 + 20, 600, 40), 50) << "the two lines above the bar are missing";
}

}  // namespace
