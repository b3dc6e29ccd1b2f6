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

TEST_F(PrefFile, HandEditedAndHostileFilesKeepTheDefaultsAndSayItOnce) {
  LogCapture log;
  // CR LF line ends, garbage, unknown tags, numbers that are none, out of range or too big for an
  // int, and a tag repeated thousands of times.
  std::string text =
      "I\r\n8500 version\r\n\r\n   _stream_count    2\r\n#### garbage line with words\r\n"
      "_unknown_tag 77\r\n_rename_folder x9\r\n_download_os 99999999999999999999\r\n_use_max_cpu -1\r\n"
      "_proxy_port_int 70000\r\n_dest_dir_path /a b/c d/\r\n";
  for (int i = 0; i < 5000; ++i) text += "_stream_count 4\r\n";
  write_file(file(), text);
  pref.IO_set(kPrefInstaller, kPrefRead);
  EXPECT_EQ(stg.stream_count, 4) << "the later value wins";
  EXPECT_EQ(stg.rename_folder, 1) << "the default, not what a failed parse gives";
  EXPECT_EQ(stg.download_os, kThisOs) << "never wrapped into another system";
  EXPECT_EQ(stg.use_max_cpu, 0);
  EXPECT_EQ(http.ProxyPort_int, 0);
  EXPECT_EQ(dest_dir_path, "/a b/c d/");
  EXPECT_TRUE(alerts.alerts.empty());
  const std::string said = log.text();
  EXPECT_NE(said.find("gives 5000 tags again (the first: _stream_count)"), std::string::npos) << said;
  EXPECT_NE(said.find("The preference _download_os is '99999999999999999999', not a whole number from 0 to 6; I use " +
                      std::to_string(kThisOs)),
            std::string::npos)
      << said;
  EXPECT_LT(said.size(), 2000u) << "one line for the repeats, one per bad value";

  // What is saved back is the defaults, never the wrapped value.
  pref.IO_set(kPrefInstaller, kPrefWrite);
  EXPECT_NE(read_file(file()).find("_download_os " + std::to_string(kThisOs) + "\n"), std::string::npos);
}

TEST_F(PrefFile, AHugeOrBinaryFileIsSetAsideOnceAndTheDefaultsUsed) {
  for (const std::string& content : {std::string("I\n8500 version\n_stream_count 3\n") + std::string(1 << 20, '#'),
                                     std::string("I\n8500 version\n_stream_count 3\n") + std::string("\x01\x02" "binary\0", 9)}) {
    reset();
    alerts.alerts.clear();
    write_file(file(), content);
    pref.IO_set(kPrefInstaller, kPrefRead);
    EXPECT_EQ(stg.stream_count, 0);
    EXPECT_FALSE(file_exists(file()));
    EXPECT_EQ(read_file(file() + ".bad"), content) << "set aside whole";
    ASSERT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(alerts.alerts[0].lines[0].rfind("I could not use my preference file", 0), 0u);
    EXPECT_EQ(alerts.alerts[0].lines[1], "I have set it aside as " + file() + ".bad.");
  }
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
