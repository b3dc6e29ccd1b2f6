// The preference and agreement panels drawn in a window, driven by a scripted user.
#include "install/session_state.h"
#include "install/signature_cache.h"
#include "net/http_client.h"
#include "prefs/panels.h"
#include "tests/app/panel_fixture.h"

namespace {

using panel_testing::PanelWindow;

class PrefsPanel : public PanelWindow {
 protected:
  void SetUp() override {
    PanelWindow::SetUp();
    stg.reset();
    http.ProxyHost.clear();
    http.ProxyPort_str.clear();
    http.ProxyPort_int = 0;
    agreed = 0;
    agreement_hook = nullptr;
  }
  void TearDown() override {
    PanelWindow::TearDown();
    stg.reset();
    http.ProxyPort_str.clear();
    http.ProxyPort_int = 0;
    verify_every_file = false;
  }
  // Closes a panel through its left close box, as a person would.
  static void close_box() {
    mnw.mx = 10;
    mnw.my = mnw.win_dy - 8;
    MACIBM_handleclick(0);
  }
};

TEST_F(PrefsPanel, OpensWithEveryControlAndClosesByItsCloseBox) {
  stg.download_os = 0;  // "All", which the list does not hold
  int seen = -1;
  user = [&](int frame) {
    seen = mnw.top_win;
    if (frame == 1) capture_next();
    if (frame == 2) close_box();
  };
  handle_prefs();
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(mnw.top_win, 0);
  save("prefs");
  EXPECT_EQ(stg.download_os, 0) << "looking at the panel does not change the system choice";
  // The panel 500 x 380 sits at (262, 194); the check boxes stand at x = 30 from 110 up to 265.
  EXPECT_GT(drawn_in(262 + 40, 194 + 110, 300, 10), 20) << "no label beside the log box";
}

TEST_F(PrefsPanel, TickingManualStreamsShowsOneAndProxyPortFollowsTheText) {
  user = [&](int frame) {
    if (frame == 1) click(30, 150 + 4);  // the manual streams box
    if (frame == 2) {
      EXPECT_EQ(stg.stream_count, 1) << "ticking starts at one stream";
      http.ProxyPort_str = "8080";
      click(400, 110 + 4);  // the box beside the log box: read every file
    }
    if (frame == 3) {
      EXPECT_TRUE(verify_every_file);
      EXPECT_EQ(http.ProxyPort_int, 8080);
      http.ProxyPort_str = "80a";
      mnw.mx = 90;  // resting on the port field shows its help
      mnw.my = 22;
      capture_next();
    }
    if (frame == 4) {
      EXPECT_EQ(http.ProxyPort_int, -1);
      EXPECT_EQ(stls.help_message, "This is not a port number (1 to 65535), so I use no proxy.");
      // The text is drawn in red: some pixel of the field is clearly redder than it is blue.
      bool red = false;
      for (int y = 194 + 18; y < 194 + 30 && !red; ++y)
        for (int x = 262 + 85; x < 262 + 110 && !red; ++x) {
          const unsigned char* p = &shot[(static_cast<size_t>(y) * 1024 + x) * 4];
          red = p[0] > p[2] + 60;
        }
      EXPECT_TRUE(red) << "the bad port is not shown in red";
      http.ProxyPort_str.clear();
      click(30, 150 + 4);  // untick
    }
    if (frame == 5) close_box();
  };
  handle_prefs();
  save("prefs_streams");
  EXPECT_EQ(stg.stream_count, 0) << "unticking hands the count back to the pass";
  EXPECT_EQ(http.ProxyPort_int, -1) << "an empty text keeps the last number";
}

TEST_F(PrefsPanel, TheOpenPopUpListMarksTheChosenValueAndLightsTheRowUnderTheMouse) {
  const menu_struct& popup = menu[kPopupMenu];
  int panel_x = 0, panel_y = 0;  // where the panel lies on the screen
  // The mean brightness of a row of the open list on the captured screen.
  auto row_light = [&](int i) {
    const item_struct& it = popup.item[i];
    long sum = 0, n = 0;
    for (int y = it.itemy1 + 1; y < it.itemy2 - 1; ++y)
      for (int x = it.itemx1 + 4; x < it.itemx2 - 2; ++x, ++n) {
        const unsigned char* p = &shot[(static_cast<size_t>(y + panel_y) * 1024 + x + panel_x) * 4];
        sum += p[0] + p[1] + p[2];
      }
    return n ? static_cast<double>(sum) / n : 0.0;
  };
  int hovered = -1, plain = -1;
  user = [&](int frame) {
    if (frame == 1) click(200, 310);  // opens the operating-system list
    if (frame == 3) {
      ASSERT_EQ(mnw.menu_up, kPopupMenu);
      ASSERT_GE(popup.item.size(), 3u);
      panel_x = static_cast<int>(mnw.win_x);
      panel_y = static_cast<int>(mnw.win_y);
      hovered = (popup.current + 1) % static_cast<int>(popup.item.size());
      plain = (popup.current + 2) % static_cast<int>(popup.item.size());
      const item_struct& it = popup.item[hovered];
      mnw.mx = (it.itemx1 + it.itemx2) / 2.0f;
      mnw.my = (it.itemy1 + it.itemy2) / 2.0f;
      capture_next();
    }
    if (frame == 5) {
      mnw.menu_up = -1;
      close_box();
    }
  };
  handle_prefs();
  save("prefs_popup");
  ASSERT_GE(hovered, 0);
  EXPECT_GT(row_light(hovered), row_light(plain) + 15) << "the row under the mouse is not lit";
  EXPECT_GT(row_light(popup.current), row_light(plain) + 3) << "the chosen value is not marked";
}

TEST_F(PrefsPanel, ClosingTheProgramWindowEndsThePanel) {
  user = [&](int frame) {
    if (frame == 2) app_done = 1;
  };
  handle_prefs();
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(mnw.top_win, 0);
}

TEST_F(PrefsPanel, AgreementAcceptAndDecline) {
  user = [&](int frame) {
    if (frame == 1) {
      mnw.mx = 430;  // hovering over accept lifts its look
      mnw.my = 20;
      capture_next();
    }
    if (frame == 2) click(430, 20);
  };
  EXPECT_EQ(handle_EULA(), 1);
  EXPECT_EQ(mnw.top_win, 0);
  save("agreement");
  // The agreement 500 x 300 sits at (262, 234); its lines start at 20 units across, 250 up.
  EXPECT_GT(drawn_in(262 + 20, 234 + 248, 200, 12), 20) << "the first line is not drawn";

  frames = 0;
  EXPECT_EQ(handle_EULA(), 1) << "asked once per run";
  EXPECT_EQ(frames, 0);

  agreed = 0;
  frames = 0;
  user = [&](int frame) {
    if (frame == 1) click(340, 20);
  };
  EXPECT_EQ(handle_EULA(), 0);
  EXPECT_EQ(mnw.top_win, 0);

  frames = 0;
  user = [&](int frame) {
    if (frame == 1) close_box();
  };
  EXPECT_EQ(handle_EULA(), 0) << "closing the panel declines";
}

}  // namespace
