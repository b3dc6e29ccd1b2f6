// The program's own folder panel, shown when the desktop has no chooser: the user types a path.
#include <cstdlib>

#include "app/dialogs.h"
#include "app/keys.h"
#include "core/alert.h"
#include "tests/app/panel_fixture.h"

namespace {

using panel_testing::PanelWindow;

class FolderPanel : public PanelWindow {
 protected:
  void SetUp() override {
    PanelWindow::SetUp();
    if (const char* p = std::getenv("PATH")) old_path_ = p;
    setenv("PATH", empty_bin_.path().c_str(), 1);  // neither zenity nor kdialog can be found
  }
  void TearDown() override {
    setenv("PATH", old_path_.c_str(), 1);
    PanelWindow::TearDown();
  }
  testing_support::TempDir empty_bin_;
  std::string old_path_;
};

TEST_F(FolderPanel, TypedPathIsConfirmedByReturnAndGetsASeparator) {
  user = [&](int frame) {
    if (frame == 1) {
      capture_next();
      stl_input += "/Zephra 9";  // typed after the start folder
    }
    if (frame == 2) return_hit = 1;
  };
  std::string chosen;
  ASSERT_TRUE(choose_folder("Pick a folder to install Zephra to!", "This is my Zephra destination", "/home/me",
                            chosen));
  EXPECT_EQ(chosen, "/home/me/Zephra 9/");
  EXPECT_EQ(mnw.top_win, 0);
  save("folder");
}

TEST_F(FolderPanel, CancelAndAnEmptyPathChooseNothing) {
  user = [&](int frame) {
    if (frame == 1) click(600 * 0.8f, 22);
  };
  std::string chosen = "kept";
  EXPECT_FALSE(choose_folder("P", "OK", "/home/me/", chosen));
  frames = 0;
  user = [&](int frame) {
    if (frame == 1) stl_input = "   ";
    if (frame == 2) click(600 * 0.3f, 22);
  };
  EXPECT_FALSE(choose_folder("P", "OK", "/home/me/", chosen));
  frames = 0;
  user = [&](int frame) {
    if (frame == 1) app_done = 1;
  };
  EXPECT_FALSE(choose_folder("P", "OK", "/home/me/", chosen)) << "closing the window cancels";
  EXPECT_EQ(chosen, "kept");
  EXPECT_EQ(mnw.top_win, 0);
}

}  // namespace
