#include <gtest/gtest.h>

#include "core/app_state.h"
#include "install/server_list.h"
#include "install/session.h"
#include "install/session_state.h"
#include "prefs/panels.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {
class ServerList : public testing::Test {
 protected:
  void SetUp() override {
    stg.reset();
    install_name = no_install_name;
    app_done = 0;
    go_to_URL_hook = [this](const std::string& url) { opened = url; };
  }
  void TearDown() override {
    go_to_URL_hook = nullptr;
    app_done = 0;
  }
  void read(const std::string& text) {
    write_file(dir / "serverlist.txt", text);
    read_server_list(dir / "serverlist.txt");
  }
  TempDir dir;
  AlertRecorder alerts;
  std::string opened;
};
}  // namespace

TEST_F(ServerList, ReadsTheReleaseAndItsServers) {
  read("I\n820 version\nSERVERS\nFINAL Zephra 7\nBETA Zephra 8.50 Beta 8\n\nSERVER 127.0.0.1:8080\n   /zephra/\n\n"
       "  Main mirror  \nSERVER mirror.two\n/\nSecond\nENDOFLIST\nSERVER after.the.end\n/\nignored\n");
  EXPECT_EQ(stg.num_servers, 2);
  EXPECT_EQ(install_name, "Zephra 8.50 Beta 8");
  EXPECT_EQ(server_name[0], "127.0.0.1:8080");
  EXPECT_EQ(server_path[0], "/zephra/Zephra 8.50 Beta 8/");
  EXPECT_EQ(server_desc[0], "Main mirror  ") << "inner and trailing blanks are kept";
  EXPECT_EQ(server_name[1], "mirror.two");
  EXPECT_EQ(server_path[1], "/Zephra 8.50 Beta 8/");
  EXPECT_GE(stg.sel_server, 0);
  EXPECT_LT(stg.sel_server, 2);
  EXPECT_TRUE(alerts.alerts.empty());
  EXPECT_EQ(app_done, 0);
}

TEST_F(ServerList, OddListsStillGiveAUsableTable) {
  read("I\n820 version\nSERVERS\nENDOFLIST\nSERVER a\n/\nA\n");
  EXPECT_EQ(stg.num_servers, 0);

  // A BETA line after a server renames the release but not the paths already built.
  read("A\n820 version\nSERVERS\nBETA One\nSERVER a\n/p/\nA\nBETA Two\nSERVER b\n/q/\nB\nSERVER last.host");
  EXPECT_EQ(stg.num_servers, 3);
  EXPECT_EQ(server_path[0], "/p/One/");
  EXPECT_EQ(server_path[1], "/q/Two/");
  EXPECT_EQ(server_name[2], "last.host");
  EXPECT_EQ(server_path[2], "Two/") << "a host line that ends the file leaves the path empty";

  std::string eleven = "I\n820 version\nSERVERS\nBETA R\n";
  for (int i = 0; i < 11; ++i) eleven += "SERVER host" + std::to_string(i) + "\n/\nD\n";
  read(eleven);
  EXPECT_EQ(stg.num_servers, 10);
  EXPECT_EQ(server_name[9], "host9");
  EXPECT_EQ(app_done, 0);
}

TEST_F(ServerList, AnUnknownFormatTellsTheUserAndEnds) {
  for (const char* text : {"I\n821 version\nSERVERS\n", "", "I\n820 version\nSERVERSX\n", "X\n820\nSERVERS\n"}) {
    app_done = 0;
    alerts.alerts.clear();
    read(text);
    EXPECT_EQ(app_done, 1) << text;
    EXPECT_EQ(stg.step, 2);
    ASSERT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(alerts.alerts[0].lines[1], "In other words, you need to get a new installer!");
    EXPECT_FALSE(opened.empty());
  }
}

TEST(ServerChoice, EarlyServersAreMoreLikely) {
  int counts[4] = {};
  for (int i = 0; i < 20000; ++i) counts[weighted_server_choice(4)]++;
  // (1/4)^(1/1.3) is about 0.34 and 1 - (3/4)^(1/1.3) about 0.20.
  EXPECT_NEAR(counts[0] / 20000.0, 0.344, 0.03);
  EXPECT_NEAR(counts[3] / 20000.0, 0.199, 0.03);
  EXPECT_EQ(weighted_server_choice(1), 0);
  EXPECT_EQ(weighted_server_choice(0), 0);
}

TEST(ScreenTexts, SizesPercentagesAndTimeLeft) {
  std::string size;
  set_size_str(0, &size);
  EXPECT_EQ(size, "0.0 Meg");
  set_size_str(999.99f, &size);
  EXPECT_EQ(size, "0.9 Meg");
  set_size_str(1234.5f, &size);
  EXPECT_EQ(size, "1.2 Meg");
  set_size_str(999999, &size);
  EXPECT_EQ(size, "999.9 Meg");
  set_size_str(1500000, &size);
  EXPECT_EQ(size, "1.5 Gig");

  EXPECT_EQ(percent_text(5.25f), "05.2");
  EXPECT_EQ(percent_text(100), "100.0");
  EXPECT_EQ(time_left_text(119), "119 seconds");
  EXPECT_EQ(time_left_text(120), "2 minutes");
  EXPECT_EQ(time_left_text(7199), "119 minutes");
  EXPECT_EQ(time_left_text(7200), "2 hours");
}
