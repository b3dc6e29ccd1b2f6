#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>

#include "install/destination.h"
#include "install/session_state.h"
#include "net/http_client.h"
#include "prefs/pref_file.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {
// Points the preference folder at a temporary one and resets the variables the file holds.
class PrefFile : public testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    reset();
  }
  void TearDown() override { use_test_config_folder(); }
  static void reset() {
    stg.reset();
    dest_dir_path.clear();
    dest_user_chosen = false;
    http.ProxyHost.clear();
    http.ProxyPort_str.clear();
    http.ProxyPort_int = 0;
  }
  std::string file() const { return dir / "Zephra Installer.prf"; }
  TempDir dir;
  AlertRecorder alerts;
};
}  // namespace

TEST_F(PrefFile, WritesEveryTagAndReadsThemBack) {
  stg.download_os = 6;
  stg.use_max_cpu = 1;
  stg.rename_folder = 0;
  stg.stream_count = 3;
  stg.log_actions = 1;
  stg.always_ask_dir = 1;
  dest_dir_path = "/home/me/My Games/Zephra/";
  dest_user_chosen = true;
  http.ProxyHost = "127.0.0.1";
  http.ProxyPort_str = "3128";
  http.ProxyPort_int = 3128;
  pref.IO_set(kPrefInstaller, kPrefWrite);
  EXPECT_EQ(read_file(file()),
            "I\n8500 version\n_download_os 6\n_use_max_cpu 1\n_rename_folder 0\n_stream_count 3\n"
            "_log_actions 1\n_always_ask_dir 1\n_dest_dir_path /home/me/My Games/Zephra/\n_dest_user_chosen 1\n"
            "_proxy_host 127.0.0.1\n_proxy_port 3128\n_proxy_port_int 3128\n");

  reset();
  pref.IO_set(kPrefInstaller, kPrefRead);
  EXPECT_EQ(stg.download_os, 6);
  EXPECT_EQ(stg.use_max_cpu, 1);
  EXPECT_EQ(stg.rename_folder, 0);
  EXPECT_EQ(stg.stream_count, 3);
  EXPECT_EQ(stg.log_actions, 1);
  EXPECT_EQ(stg.always_ask_dir, 1);
  EXPECT_EQ(dest_dir_path, "/home/me/My Games/Zephra/");
  EXPECT_TRUE(dest_user_chosen);
  EXPECT_EQ(http.ProxyHost, "127.0.0.1");
  EXPECT_EQ(http.ProxyPort_str, "3128");
  EXPECT_EQ(http.ProxyPort_int, 3128);
  EXPECT_TRUE(alerts.alerts.empty());
}

TEST_F(PrefFile, EmptyStringsAreLeftOutAndThePortNumberIsAlwaysWritten) {
  pref.IO_set(kPrefInstaller, kPrefWrite);
  std::string text = read_file(file());
  EXPECT_EQ(text.find("_proxy_host"), std::string::npos);
  EXPECT_EQ(text.find("_dest_dir_path"), std::string::npos);
  EXPECT_NE(text.find("_proxy_port_int 0\n"), std::string::npos);
  EXPECT_NE(text.find("_download_os 3\n"), std::string::npos) << "Linux files are the default";
}

TEST_F(PrefFile, MissingOrForeignFilesKeepTheDefaults) {
  pref.IO_set(kPrefInstaller, kPrefRead);  // no file at all
  EXPECT_EQ(stg.download_os, kThisOs);
  EXPECT_EQ(stg.rename_folder, 1);

  for (const char* content : {"", "A\n8400 version\n_download_os 6\n", "X\n8500 version\n_download_os 6\n",
                              "i\n8500 version\n_download_os 6\n"}) {
    write_file(file(), content);
    pref.IO_set(kPrefInstaller, kPrefRead);
    EXPECT_EQ(stg.download_os, kThisOs) << content;
  }
  EXPECT_TRUE(alerts.alerts.empty());
}

TEST_F(PrefFile, HandEditedFiles) {
  // CR LF line ends, garbage, unknown tags, a value that is not a number, a repeated tag.
  write_file(file(),
             "I\r\n8500 version\r\n\r\n   _stream_count    2\r\n#### garbage line with words\r\n"
             "_unknown_tag 77\r\n_rename_folder x9\r\n_stream_count 4\r\n_dest_dir_path /a b/c d/\r\n");
  pref.IO_set(kPrefInstaller, kPrefRead);
  EXPECT_EQ(stg.stream_count, 4) << "the later value wins";
  EXPECT_EQ(stg.rename_folder, 0) << "a value that is not a number reads as 0";
  EXPECT_EQ(dest_dir_path, "/a b/c d/");
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].lines[0], "ERROR: A prefs tag is being read twice!");
  EXPECT_EQ(alerts.alerts[0].lines[1], "_stream_count");
  EXPECT_EQ(alerts.alerts[0].lines[2], "2");
  EXPECT_EQ(alerts.alerts[0].lines[3], "4");
}

TEST_F(PrefFile, UnwritableFolderIsReportedAndNothingElseBreaks) {
  setenv("XDG_CONFIG_HOME", (dir / "a-file").c_str(), 1);
  write_file(dir / "a-file", "not a folder");
  pref.IO_set(kPrefInstaller, kPrefWrite);
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].lines[0].rfind("I could not save the file!", 0), 0u);
}

TEST_F(PrefFile, AStoredDestinationTooLongForAPathCountsAsNotStored) {
  LogCapture log;
  write_file(file(), "I\n8500 version\n_dest_dir_path /" + std::string(495, 'd') + "/\n_stream_count 2\n");
  dest_dir_path = "/home/me/";
  pref.IO_set(kPrefInstaller, kPrefRead);
  EXPECT_EQ(dest_dir_path, "/home/me/");
  EXPECT_EQ(stg.stream_count, 2);
  EXPECT_TRUE(alerts.alerts.empty());
  EXPECT_NE(log.text().find("The stored destination is too long for a path"), std::string::npos);
}

TEST_F(PrefFile, AFullDiskKeepsTheOldFileWholeAndSaysSo) {
  stg.stream_count = 3;
  pref.IO_set(kPrefInstaller, kPrefWrite);
  std::string before = read_file(file());
  ASSERT_FALSE(before.empty());

  // A file-size limit makes every write past 16 bytes fail as a full disk would, even for root.
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit tight = saved;
  tight.rlim_cur = 16;
  sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &tight);
  stg.stream_count = 4;
  pref.IO_set(kPrefInstaller, kPrefWrite);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);

  EXPECT_EQ(read_file(file()), before);
  EXPECT_EQ(list_tree(dir.path()), std::vector<std::string>{"Zephra Installer.prf"}) << "no temporary file is left";
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].lines[0].rfind("I could not save the file!", 0), 0u);
  EXPECT_EQ(alerts.alerts[0].lines[2], "The preferences saved before are kept as they were.");
}
