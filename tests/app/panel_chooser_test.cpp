// The folder chooser: the desktop choosers' command lines, what their answers mean, and real runs
// of stand-in choosers (shell scripts put first on PATH) that record their arguments.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "app/dialogs.h"
#include "app/dialogs_linux.h"
#include "install/destination.h"
#include "install/directory_view.h"
#include "install/file_selection.h"
#include "tests/support/test_support.h"
#include "ui/window_state.h"

using namespace testing_support;

namespace {

// Sets an environment variable for the life of the object and puts the old value back.
class EnvSet {
 public:
  EnvSet(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~EnvSet() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(FolderChooserCommand, ZenityAndKdialogGetPromptAndStartFolder) {
  EXPECT_EQ(zenity_folder_command("Pick a folder!", "/home/me/Zephra"),
            (std::vector<std::string>{"zenity", "--file-selection", "--directory", "--title=Pick a folder!",
                                      "--filename=/home/me/Zephra/"}));
  EXPECT_EQ(zenity_folder_command("P", "/home/me/Zephra/").back(), "--filename=/home/me/Zephra/")
      << "a folder that already ends in a separator keeps one";
  EXPECT_EQ(zenity_folder_command("P", "").size(), 4u) << "no start folder, no --filename";
  EXPECT_EQ(kdialog_folder_command("Pick a folder!", "/home/me/Zephra/"),
            (std::vector<std::string>{"kdialog", "--getexistingdirectory", "/home/me/Zephra/", "--title",
                                      "Pick a folder!"}));
}

TEST(FolderChooserResult, ExitZeroWithAPathIsAChoiceWithATrailingSeparator) {
  std::string folder = "unchanged";
  EXPECT_TRUE(chooser_folder_from_output(0, "/home/me/Sim\n", &folder));
  EXPECT_EQ(folder, "/home/me/Sim/");
  EXPECT_TRUE(chooser_folder_from_output(0, "/\n", &folder));
  EXPECT_EQ(folder, "/") << "the root keeps its single separator";
  EXPECT_TRUE(chooser_folder_from_output(0, "/home/me/My Sim", &folder)) << "no final newline, spaces kept";
  EXPECT_EQ(folder, "/home/me/My Sim/");

  folder = "unchanged";
  EXPECT_FALSE(chooser_folder_from_output(1, "", &folder)) << "cancel";
  EXPECT_FALSE(chooser_folder_from_output(1, "/home/me\n", &folder));
  EXPECT_FALSE(chooser_folder_from_output(0, "\n", &folder)) << "nothing chosen";
  EXPECT_FALSE(chooser_folder_from_output(-1, "/x\n", &folder)) << "killed";
  EXPECT_EQ(folder, "unchanged");
}

// Stand-in choosers in a folder of their own that is the whole PATH (the scripts use only shell built-ins).
class FakeChoosers : public testing::Test {
 protected:
  void add(const std::string& name, const std::string& body) {
    std::string path = bin + name;
    write_file(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + (dir / (name + ".args")) +
                         "\n" + body + "\n");
    chmod(path.c_str(), 0755);
  }
  std::string args_of(const std::string& name) const {
    std::string p = dir / (name + ".args");
    return file_exists(p) ? read_file(p) : "(not run)";
  }
  TempDir dir;
  std::string bin = dir / "bin/";
  std::string bin_dir = dir / "bin";
  EnvSet path{"PATH", bin_dir};  // no real chooser of this machine can answer
  EnvSet display{"DISPLAY", std::string(":77")};
  EnvSet wayland{"WAYLAND_DISPLAY", std::nullopt};
};

TEST_F(FakeChoosers, ZenityChoiceComesBackWithASeparatorAndItsNoiseIsIgnored) {
  add("zenity", "echo 'Gtk-WARNING **: no theme' >&2\necho /data/My Sim\nexit 0");
  add("kdialog", "echo /wrong\nexit 0");
  char out[kFilePathBufSize] = "before";
  ASSERT_EQ(GetFilePathFromUser(2, "Pick a folder!", "This is it", 0, "/data/old", out), 1);
  EXPECT_STREQ(out, "/data/My Sim/");
  EXPECT_EQ(args_of("zenity"), "--file-selection\n--directory\n--title=Pick a folder!\n--filename=/data/old/\n");
  EXPECT_EQ(args_of("kdialog"), "(not run)");
}

TEST_F(FakeChoosers, ZenityCancelIsFinalAndKeepsTheBuffer) {
  add("zenity", "exit 1");
  add("kdialog", "echo /wrong\nexit 0");
  char out[kFilePathBufSize] = "before";
  EXPECT_EQ(GetFilePathFromUser(2, "P", "A", 0, "/data/old/", out), 0);
  EXPECT_STREQ(out, "before");
  EXPECT_EQ(args_of("kdialog"), "(not run)") << "a cancel is an answer, not a missing chooser";
}

TEST_F(FakeChoosers, KdialogAnswersWhenThereIsNoZenity) {
  add("kdialog", "echo /srv/zephra\nexit 0");
  std::string chosen;
  ASSERT_TRUE(choose_folder("Pick a folder!", "A", "/data/old/", chosen));
  EXPECT_EQ(chosen, "/srv/zephra/");
  EXPECT_EQ(args_of("kdialog"), "--getexistingdirectory\n/data/old/\n--title\nPick a folder!\n");
}

TEST_F(FakeChoosers, WithoutADisplayNoDesktopChooserRunsAndWithoutAWindowNobodyIsAsked) {
  add("zenity", "echo /data/x\nexit 0");
  EnvSet no_display{"DISPLAY", std::nullopt};
  ASSERT_EQ(mnw.context[0], nullptr);
  std::string chosen = "kept";
  EXPECT_FALSE(choose_folder("P", "A", "/data/", chosen));
  EXPECT_EQ(chosen, "kept");
  EXPECT_EQ(args_of("zenity"), "(not run)");
}

TEST_F(FakeChoosers, OnlyFolderChoosingIsOffered) {
  add("zenity", "echo /data/x\nexit 0");
  char out[kFilePathBufSize] = "before";
  EXPECT_EQ(GetFilePathFromUser(0, "P", "A", 0, "/data/", out), 0);
  EXPECT_EQ(GetFilePathFromUser(1, "P", "A", 0, "/data/", out), 0);
  EXPECT_EQ(GetFilePathFromUser(7, "P", "A", 0, "/data/", out), 0);
  EXPECT_STREQ(out, "before");
  EXPECT_EQ(args_of("zenity"), "(not run)");
}

TEST_F(FakeChoosers, APathTooLongForTheBufferIsRefused) {
  add("zenity", "printf '/%0600d\\n' 0\nexit 0");
  char out[kFilePathBufSize] = "before";
  EXPECT_EQ(GetFilePathFromUser(2, "P", "A", 0, "/data/", out), 0);
  EXPECT_STREQ(out, "before");
}

TEST_F(FakeChoosers, TheWindowDialogsFillOnlyEmptySeamsAndNeedTheWindow) {
  add("zenity", "echo /data/x\nexit 0");
  auto saved_chooser = folder_chooser;
  auto saved_select = select_alert_hook();
  auto saved_progress = dir_progress_hook();
  folder_chooser = nullptr;
  select_alert_hook() = [](const std::string&, int) { return 4; };
  dir_progress_hook() = nullptr;

  install_window_dialogs();
  ASSERT_TRUE(folder_chooser);
  EXPECT_TRUE(dir_progress_hook());
  EXPECT_EQ(select_alert_hook()("/x", 0), 4) << "a seam already answered by someone else is kept";
  std::string chosen = "kept";
  EXPECT_FALSE(folder_chooser("P", "T", "/data/", chosen)) << "without the window nobody is asked";
  EXPECT_EQ(chosen, "kept");
  EXPECT_EQ(args_of("zenity"), "(not run)");

  folder_chooser = saved_chooser;
  select_alert_hook() = saved_select;
  dir_progress_hook() = saved_progress;
}

TEST(FindOnPath, FindsExecutablesOnlyAndNeverAPathName) {
  TempDir dir;
  write_file(dir / "a/tool", "#!/bin/sh\n");
  write_file(dir / "b/tool", "#!/bin/sh\n");
  write_file(dir / "a/plain", "not a program\n");
  chmod((dir / "b/tool").c_str(), 0755);
  EnvSet path{"PATH", dir / "a" + ":" + (dir / "b")};
  EXPECT_EQ(find_on_path("tool"), dir / "b/tool") << "the first one is not executable";
  EXPECT_EQ(find_on_path("plain"), "");
  EXPECT_EQ(find_on_path("../a/tool"), "");
}

}  // namespace
