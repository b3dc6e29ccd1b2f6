// The installer in its window on a virtual display, against a served release.
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "tests/install/e2e_fixture.h"
#include "tests/support/x11_client.h"
#include "tests/support/xvfb.h"

namespace e2e {
namespace {

class Window : public EndToEnd {
 protected:
  void shows_the_release_and_closes_cleanly();
};

// The Windows build under Wine, its window drawn through Wine's OpenGL.
class WindowOnWindows : public Window {
 protected:
  WindowOnWindows() { windows = true; }
};

TEST_F(Window, TheWindowShowsTheReleaseAndClosesCleanly) { shows_the_release_and_closes_cleanly(); }
TEST_F(WindowOnWindows, TheExesWindowShowsTheReleaseAndClosesCleanly) { shows_the_release_and_closes_cleanly(); }

void Window::shows_the_release_and_closes_cleanly() {
  std::string master = make_master("r1", first_release());
  ASSERT_EQ(publish(master, "Zephra 8.50"), 0);
  XvfbDisplay display;
  ASSERT_TRUE(display.ok()) << "Xvfb did not start";
  // An installation already, so that start-up does not ask for a folder.
  std::string dest = tmp / "dest/";
  for (const char* top : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(dest + top);

  // The program runs as a person starts it: no --unattended, a display to show its window on.
  install_run run;
  std::thread program([&] { run = install(dest, {}, /*unattended=*/false); });
  bool shown = x11_wait_for_window("Lumara", 30);
  if (shown) {
    // Give it time to fetch the server list and read the directory, as the screen then says.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_TRUE(x11_save_window_png("Lumara", std::string(ZEPHRA_BINARY_DIR) + "/frames/e2e_window" +
                                                  (windows ? "_exe" : "") + ".png"));
    // The installer's screen, not an empty or one-colour window.
    std::vector<unsigned char> screen;
    int width = 0, height = 0;
    EXPECT_TRUE(x11_read_window("Lumara", screen, width, height));
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 3 < screen.size(); i += 4)
      colours.insert(screen[i] | screen[i + 1] << 8 | screen[i + 2] << 16);
    EXPECT_GT(colours.size(), 50u) << "a window of " << colours.size() << " colours";
    // The scene behind the controls is the embedded art, pixel for pixel (both bottom row first).
    const std::string art = read_file(std::string(ZEPHRA_BINARY_DIR) + "/generated/ins_back_1.rgba");
    size_t same = 0;
    if (art.size() == screen.size())
      for (size_t i = 0; i + 3 < screen.size(); i += 4)
        same += std::memcmp(&screen[i], &art[i], 3) == 0;
    EXPECT_GT(same, 1024u * 768u / 2) << "of " << width << " x " << height << " pixels, " << same << " show the art";
    EXPECT_TRUE(x11_close_window("Lumara"));
  }
  program.join();
  ASSERT_TRUE(shown) << describe(run);
  EXPECT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.log.find("Clean exit from threads."), std::string::npos) << describe(run);
  EXPECT_NE(run.log.find("OpenGL Version"), std::string::npos) << "the GL probe did not run: " << describe(run);
  EXPECT_TRUE(file_exists(preference_file())) << "the normal finish-up saves the preferences";
  for (const std::string& f : list_tree(dest)) EXPECT_EQ(f.back(), '/') << "installed without a click: " << f;
}

}  // namespace
}  // namespace e2e
