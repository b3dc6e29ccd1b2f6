// The rules behind the preference panel and the image buttons, without a window.
#include <gtest/gtest.h>

#include "prefs/panels.h"
#include "ui/draw.h"
#include "ui/window_state.h"

TEST(ProxyPort, DigitsGiveTheirValueAnythingElseMinusOneAndEmptyKeeps) {
  EXPECT_EQ(proxy_port_from_text("8080", 3128), 8080);
  EXPECT_EQ(proxy_port_from_text("80a", 3128), -1);
  EXPECT_EQ(proxy_port_from_text("", 3128), 3128);
  EXPECT_EQ(proxy_port_from_text("+81", 0), 81);
  EXPECT_EQ(proxy_port_from_text("-81", 0), -81);
  EXPECT_EQ(proxy_port_from_text("+", 0), -1) << "a sign alone is no number";
  EXPECT_EQ(proxy_port_from_text(" 80", 0), -1);
  EXPECT_EQ(proxy_port_from_text("999999999", 0), 999999999) << "nine digits still count";
  EXPECT_EQ(proxy_port_from_text("1234567890", 0), -1) << "ten digits would overflow";
}

TEST(StreamCount, TickingStartsAtOneUntickingHandsBackToAutomatic) {
  EXPECT_EQ(stream_count_after(1, 0), 1) << "ticking the box shows the spinner at 1";
  EXPECT_EQ(stream_count_after(1, 3), 3);
  EXPECT_EQ(stream_count_after(1, 9), 4);
  EXPECT_EQ(stream_count_after(0, 3), 0) << "unticking sets automatic";
  // The box is derived from the count each pass, so a count kept at 1 keeps the box ticked.
  int count = stream_count_after(1, 0);
  EXPECT_EQ(stream_count_after(count != 0, count), 1);
}

TEST(InterfaceRect, HitAreaIncludesItsEdgesAndLooksAreStackedUpwards) {
  // The accept button of the agreement: (400, 10) 59 x 22, art at (918, 166).
  interface_rect_look normal = interface_rect_state(400, 10, 166, 59, 22, 1, 10, 10, 0);
  EXPECT_FALSE(normal.inside);
  EXPECT_FLOAT_EQ(normal.t1, 166);
  EXPECT_TRUE(interface_rect_state(400, 10, 166, 59, 22, 1, 400, 10, 0).inside);
  EXPECT_TRUE(interface_rect_state(400, 10, 166, 59, 22, 1, 459, 32, 0).inside);
  EXPECT_FALSE(interface_rect_state(400, 10, 166, 59, 22, 1, 459.5f, 32, 0).inside);
  EXPECT_FALSE(interface_rect_state(400, 10, 166, 59, 22, 1, 420, 9.5f, 0).inside);

  EXPECT_FLOAT_EQ(interface_rect_state(400, 10, 166, 59, 22, 1, 420, 20, 0).t1, 189) << "hovered: dt + 1 up";
  EXPECT_FLOAT_EQ(interface_rect_state(400, 10, 166, 59, 22, 1, 420, 20, 1).t1, 212) << "pressed: 2 (dt + 1) up";
  EXPECT_FLOAT_EQ(interface_rect_state(400, 10, 166, 59, 22, 0, 420, 20, 1).t1, 166) << "icons never move";
  EXPECT_FLOAT_EQ(interface_rect_state(400, 10, 166, 59, 22, 1, 10, 10, 1).t1, 166) << "held elsewhere";
}

TEST(InterfaceRect, TintAndClickWithoutAWindow) {
  float rgb[3];
  interface_rect_tint(0, rgb);
  EXPECT_FLOAT_EQ(rgb[0] + rgb[1] + rgb[2], 3.0f);
  interface_rect_tint(1, rgb);
  EXPECT_FLOAT_EQ(rgb[0], 0.8f);
  EXPECT_FLOAT_EQ(rgb[1], 1.0f);
  EXPECT_FLOAT_EQ(rgb[2], 0.8f);
  interface_rect_tint(2, rgb);
  EXPECT_FLOAT_EQ(rgb[0], 1.0f);
  EXPECT_FLOAT_EQ(rgb[1], 0.8f);

  // Clicks are reported from the mouse state even where nothing can be drawn.
  mnw_class saved = mnw;
  mnw.mx = 430;
  mnw.my = 20;
  mnw.mouse_clicked = 1;
  EXPECT_EQ(interface_rect(400, 10, 918, 166, 59, 22, 1, 1), 1);
  mnw.mx = 300;
  EXPECT_EQ(interface_rect(400, 10, 918, 166, 59, 22, 1, 1), 0);
  mnw.mouse_clicked = 0;
  mnw.mx = 430;
  EXPECT_EQ(interface_rect(400, 10, 918, 166, 59, 22, 1, 1), 0);
  mnw = saved;
}

TEST(AgreementText, FourLinesThatFitTheirRows) {
  for (const char* line : kAgreementLines) {
    ASSERT_NE(line, nullptr);
    EXPECT_GT(std::string(line).size(), 10u);
    EXPECT_LE(str_dx(line), 400.0f) << "a wrapped line would run into the next: " << line;
  }
}

TEST(AgreementWithoutAWindow, NothingIsAgreedUnlessTheHookAccepts) {
  ASSERT_EQ(mnw.context[0], nullptr);
  agreed = 0;
  agreement_hook = nullptr;
  EXPECT_EQ(handle_EULA(), 0);
  agreement_hook = [] { return 1; };
  EXPECT_EQ(handle_EULA(), 1);
  agreement_hook = [] { return 0; };
  EXPECT_EQ(handle_EULA(), 1) << "once accepted in a run, the answer stands";
  agreed = 0;
  agreement_hook = nullptr;
  handle_prefs();  // without a window it returns at once
}
