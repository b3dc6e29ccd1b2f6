#include <gtest/gtest.h>

#include "app/startup.h"
#include "core/alert.h"
#include "core/app_state.h"
#include "core/cmdline.h"
#include "core/log.h"
#include "core/system_info.h"
#include "tests/support/test_support.h"

using namespace testing_support;

TEST(IntToStr, SignsAndPadding) {
  char buffer[16];
  int_to_str(-7, buffer, 3, 0);
  EXPECT_STREQ(buffer, "-007");
  int_to_str(5, buffer, 0, 1);
  EXPECT_STREQ(buffer, "+5");
  int_to_str(0, buffer, 0, 0);
  EXPECT_STREQ(buffer, "0");
  int_to_str(-2147483647 - 1, buffer, 12, 0);  // padding stops at ten digits
  EXPECT_STREQ(buffer, "-2147483648");
  EXPECT_EQ(intlim(5, 0, 3), 3);
  EXPECT_EQ(intlim(-5, 0, 3), 0);
}

TEST(CommandLine, OptionsAreParsedAndLogged) {
  LogCapture log;
  UTL_cmdline line;
  line.init_win("a=1 b c= a=2");
  EXPECT_EQ(line.options.size(), 3u);
  EXPECT_EQ(line.options["a"], "2");  // a later occurrence wins
  EXPECT_TRUE(line.has_option("b"));
  EXPECT_TRUE(line.has_option("c"));
  EXPECT_FALSE(line.has_option("d"));
  EXPECT_EQ(log.text(),
            "     'a'='1'\n     'b'\n     'c'\n"
            "WARNING: command line option a=2included twice.\n     'a'='2'\n");
}

TEST(CommandLine, DestinationIsTheLineWithoutOptions) {
  const char* args[] = {"zephra-installer", "--no_vbos", "/home/me/My", "Sim", "--unattended"};
  std::string raw = cmdline_join(5, args);
  EXPECT_EQ(raw, "--no_vbos /home/me/My Sim --unattended");
  EXPECT_EQ(cmdline_destination(raw), "/home/me/My Sim");
  EXPECT_EQ(cmdline_destination("--no_vbos"), "");
  EXPECT_EQ(cmdline_destination(""), "");
  EXPECT_EQ(cmdline_destination("  /a  b/ "), "/a  b/");
}

TEST(Alert, ErrorIsShownAndLoggedWithItsSource) {
  LogCapture log;
  AlertRecorder recorder;
  MACIBM_alert(0, "first", "second", "", "fourth", alert_error);
  int line = __LINE__ - 1;
  ASSERT_EQ(recorder.alerts.size(), 1u);
  EXPECT_EQ(recorder.alerts[0].lines[0], "first");
  EXPECT_EQ(recorder.alerts[0].lines[3], "fourth");
  std::string ref = "(shell_test line " + std::to_string(line) + ")";
  EXPECT_EQ(recorder.alerts[0].reference, ref);
  EXPECT_EQ(log.text(), "first\nsecond\n\nfourth\n" + ref + "\n");
  EXPECT_EQ(in_alert, 0);
}

TEST(Alert, EmptyPanelAlertIsNotShownButLogged) {
  LogCapture log;
  AlertRecorder recorder;
  ogl_inited = 1;
  MACIBM_alert(0, "", "", "", "", alert_error);
  ogl_inited = 0;
  EXPECT_TRUE(recorder.alerts.empty());
  EXPECT_NE(log.text().find("(shell_test line"), std::string::npos);
}

TEST(AlertDeathTest, FatalAlertEndsTheProcessAfterLoggingAndRemovesTheRunsTemporaryFolder) {
  TempDir dir;
  EXPECT_EXIT(
      {
        // No display: the system message box must not wait for a click.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("TMPDIR", dir.path().c_str(), 1);
        write_file(system_run_temp_folder() + "1.zip", "a download");
        log_open(dir / "Log.txt");
        MACIBM_alert(0, "It broke", "badly", "", "", alert_fatal);
      },
      testing::ExitedWithCode(1), "It broke");
  std::string text = read_file(dir / "Log.txt");
  EXPECT_NE(text.find("It broke\nbadly\n\n\n(shell_test line"), std::string::npos);
  EXPECT_EQ(list_tree(dir.path()), std::vector<std::string>{"Log.txt"});
}

TEST(AlertDeathTest, AlertInsideAnAlertIsFatal) {
  EXPECT_EXIT(
      {
        alert_hooks().show = [](const alert_view& v) {
          if (v.lines[0] == "outer") MACIBM_alert(0, "inner", "", "", "", alert_error);
        };
        MACIBM_alert(0, "outer", "", "", "", alert_error);
      },
      testing::ExitedWithCode(1), "");
}

TEST(Log, HeaderAndSystemLines) {
  LogCapture log;
  log_write_header();
  std::string text = log.text();
  EXPECT_EQ(text.rfind("log.txt for Zephra 8.50 Beta 8 - Installer/Updater build 85008 compiled on ", 0), 0u);
  EXPECT_NE(text.find("\nThis log file is generated automatically by Quellwright applications\n"
                      "and contains diagnostics about your graphics hardware, installatoin, and\n"),
            std::string::npos);
  EXPECT_NE(text.find("start ANY of our applications.\n\nLinux "), std::string::npos);
  EXPECT_NE(text.find("\nCPU type: "), std::string::npos);
  EXPECT_NE(text.find("\nPhysical Memory: "), std::string::npos);
  EXPECT_NE(text.find("\nLumara folder=  case sensitive=1\n"), std::string::npos);
  for (const std::string& line : system_cpu_lines()) {
    EXPECT_EQ(line.rfind("CPU 0: ", 0), 0u);
    EXPECT_NE(line.find(" Speed (mhz): "), std::string::npos);
  }
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgram) {
  std::string folder;
  MACIBM_app_path(&folder, nullptr);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(file_exists(folder + "app_tests"));
}

TEST(ProgramInstall, PutsBothProgramsTheDesktopEntryAndTheIconUnderThePrefix) {
  TempDir prefix;
  ASSERT_EQ(run_command("cmake --install " + std::string(ZEPHRA_BINARY_DIR) + " --prefix " + prefix.path() +
                        " >/dev/null"),
            0);
  EXPECT_EQ(run_command(prefix / "bin/zephra-installer --version >/dev/null"), 0);
  EXPECT_EQ(run_command(prefix / "bin/zephra-publish --help >/dev/null 2>&1; test -x " + prefix / "bin/zephra-publish"), 0);
  std::string entry = read_file(prefix / "share/applications/zephra-installer.desktop");
  EXPECT_NE(entry.find("\nExec=zephra-installer\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nIcon=zephra-installer\n"), std::string::npos) << entry;
  std::string icon = read_file(prefix / "share/icons/hicolor/128x128/apps/zephra-installer.png");
  ASSERT_GT(icon.size(), 24u);
  EXPECT_EQ(icon.substr(1, 3), "PNG");
  // The width and height in the PNG header, big-endian.
  EXPECT_EQ(static_cast<unsigned char>(icon[19]), 128);
  EXPECT_EQ(static_cast<unsigned char>(icon[23]), 128);
}
