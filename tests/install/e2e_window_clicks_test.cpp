// A person at the installer's window, played with synthetic mouse clicks and typing on a virtual
// display: preferences, the agreement declined and accepted, the question about a changed file,
// and the installation through a proxy, with a picture of every screen.
#include <chrono>
#include <thread>

#include "tests/install/e2e_fixture.h"
#include "tests/support/real_peers.h"
#include "tests/support/x11_client.h"
#include "tests/support/xvfb.h"

namespace e2e {
namespace {

// Where things are on the screens, in window units from the lower left. Panels are centred:
// preferences 500 x 380 at (262, 194), agreement 500 x 300 at (262, 234), the question
// 700 x 146 at (162, 311).
constexpr int kInstall[2] = {700, 430};
constexpr int kPreferences[2] = {200, 372};
constexpr int kManualStreams[2] = {262 + 30, 194 + 152};
constexpr int kProxyHost[2] = {262 + 120, 194 + 44};
constexpr int kProxyPort[2] = {262 + 120, 194 + 24};
constexpr int kDecline[2] = {262 + 342, 234 + 21};
constexpr int kAccept[2] = {262 + 429, 234 + 21};
constexpr int kKeepTheOldFile[2] = {162 + 525, 311 + 62};

const char* const kTitle = "Lumara";

class WindowClicks : public EndToEnd {
 protected:
  std::string frame(const std::string& name) { return std::string(ZEPHRA_BINARY_DIR) + "/frames/e2e_" + name + ".png"; }
  std::string log() { return file_exists(tmp / "prog/Log.txt") ? read_file(tmp / "prog/Log.txt") : std::string(); }

  // Waits until the program's log holds text.
  bool wait_for_log(const std::string& text, double seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if (log().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  void click(const int (&at)[2]) {
    ASSERT_TRUE(x11_click(kTitle, at[0], at[1]));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  void look(const std::string& name) { EXPECT_TRUE(x11_save_window_png(kTitle, frame(name))); }
};

TEST_F(WindowClicks, APersonInstallsTheReleaseByClicking) {
  release_files files = first_release();
  ASSERT_EQ(publish(make_master("r1", files), "Zephra 8.50", {"--os", "*.exe=2"}), 0);
  TinyProxy proxy;
  ASSERT_TRUE(proxy.ok()) << proxy.why();
  XvfbDisplay display;
  ASSERT_TRUE(display.ok()) << "Xvfb did not start";

  // An installation whose read-me the user changed.
  std::string dest = tmp / "dest/";
  for (const char* top : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(dest + top);
  write_file(dest + "Instructions/Read Me.txt", "My own notes.\n");

  install_run run;
  std::thread program([&] { run = install(dest, {}, /*unattended=*/false); });
  struct closer {  // the window is closed however the test ends, so the program always ends
    std::thread& t;
    ~closer() {
      x11_close_window(kTitle);
      if (t.joinable()) t.join();
    }
  } close_at_end{program};

  ASSERT_TRUE(x11_wait_for_window(kTitle, 30)) << describe(run);
  ASSERT_TRUE(wait_for_log("Status: You have selected an earlier version", 20)) << log();
  std::this_thread::sleep_for(std::chrono::seconds(2));  // the directory is fetched and read
  look("1_screen");

  // Preferences: streams set by hand, and the proxy.
  click(kPreferences);
  click(kManualStreams);
  click(kProxyHost);
  ASSERT_TRUE(x11_type("127.0.0.1"));
  click(kProxyPort);
  ASSERT_TRUE(x11_type(std::to_string(proxy.port())));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  look("2_preferences");
  ASSERT_TRUE(x11_key("Return"));  // Return closes the preference panel
  std::this_thread::sleep_for(std::chrono::milliseconds(400));

  // The agreement, declined: nothing is installed.
  click(kInstall);
  look("3_agreement");
  click(kDecline);
  EXPECT_FALSE(file_exists(dest + "Resources/settings.txt")) << "installed although the agreement was declined";

  // Accepted: the question about the changed read-me comes up; keep it.
  click(kInstall);
  click(kAccept);
  ASSERT_TRUE(wait_for_log("File: " + dest + "Instructions/Read Me.txt", 10)) << log();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  look("4_question");
  click(kKeepTheOldFile);

  bool complete = wait_for_log("Status: INSTALLATION COMPLETE!", 60);
  if (!complete) look("5_not_complete");
  ASSERT_TRUE(complete) << log();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  look("5_complete");
  // The finished installation shows its progress bar full: its right end looks like its left.
  std::vector<unsigned char> screen;
  int width = 0, height = 0;
  ASSERT_TRUE(x11_read_window(kTitle, screen, width, height));
  auto green_at = [&](int x, int y) { return screen[(static_cast<size_t>(y) * width + x) * 4 + 1]; };
  EXPECT_NEAR(green_at(1005, 13), green_at(140, 13), 12) << "the bar is not full at the end";
  EXPECT_GT(green_at(1005, 13), green_at(1005, 24) + 30) << "no bar where it should be";
  x11_close_window(kTitle);
  program.join();

  EXPECT_EQ(run.status, 0) << describe(run);
  // The question takes most of this short installation: the line may have too few frames to time.
  EXPECT_NE(log().find("Frame times while installing: "), std::string::npos) << log();
  EXPECT_EQ(list_tree(dest), expected_tree(files));
  EXPECT_EQ(read_file(dest + "Instructions/Read Me.txt"), "My own notes.\n") << "the changed file was kept";
  EXPECT_EQ(read_file(dest + "Resources/settings.txt"), "setting one\n");
  EXPECT_EQ(read_file(dest + "Airfoils/NACA0012.afl"), "NACA 0012 lift drag moment\n");
  EXPECT_NE(proxy.log().find("settings.txt.zip"), std::string::npos) << "the files did not come through the proxy";

  std::string prefs = read_file(home + "config/Zephra Installer.prf");
  EXPECT_NE(prefs.find("_stream_count 1\n"), std::string::npos) << prefs;
  EXPECT_NE(prefs.find("_proxy_host 127.0.0.1\n"), std::string::npos) << prefs;
  EXPECT_NE(prefs.find("_proxy_port_int " + std::to_string(proxy.port()) + "\n"), std::string::npos) << prefs;
}

}  // namespace
}  // namespace e2e
