#include <string>
#include <vector>

#include "tests/install/engine_fixture.h"

using namespace engine_test;

namespace {

const std::string kNew = md5_of("new"), kOld = md5_of("old"), kMine = md5_of("mine");

// A history with an older published version and the current one.
file_history_struct two_versions(const std::string& path, const std::string& current_sig, const std::string& on_disk,
                                 int os_type = 0) {
  file_history_struct h;
  h.versions.push_back(version(path, kOld, kSigNone, os_type));
  h.versions.push_back(version(path, current_sig, on_disk, os_type));
  return h;
}

class ChooseFiles : public EngineTest {
 protected:
  // Records each question and answers with the next of answers (keep when they run out).
  void answer_with(std::vector<int> answers) {
    answers_ = std::move(answers);
    select_alert_hook() = [this](const std::string& dest, int is_gone) {
      asked.push_back({dest, is_gone});
      if (asked.size() > answers_.size()) return static_cast<int>(select_keep);
      return answers_[asked.size() - 1];
    };
  }
  struct question {
    std::string dest;
    int is_gone;
  };
  std::vector<question> asked;

 private:
  std::vector<int> answers_;
};

TEST_F(ChooseFiles, SilentDecisions) {
  answer_with({});
  sim_info.files = {
      two_versions("Top/missing.txt", kNew, kSigNone),  // fetched
      two_versions("Top/current.txt", kNew, kNew),      // left alone
      two_versions("Top/older.txt", kNew, kOld),        // an older release on disk: replaced
      two_versions("Top/retired.txt", kSigGone, kOld),  // an older release the new one removes: deleted
      two_versions("Top/gone.txt", kSigGone, kSigNone),  // removed and already absent
  };
  EXPECT_EQ(choose_files(), 1);
  EXPECT_TRUE(asked.empty());
  auto flags = [](size_t i) {
    const file_version_struct& v = sim_info.files[i].versions.back();
    return std::pair<int, int>(v.want_to_grab_it, v.want_to_nuke_it);
  };
  EXPECT_EQ(flags(0), std::make_pair(1, 0));
  EXPECT_EQ(flags(1), std::make_pair(0, 0));
  EXPECT_EQ(flags(2), std::make_pair(1, 0));
  EXPECT_EQ(flags(3), std::make_pair(0, 1));
  EXPECT_EQ(flags(4), std::make_pair(0, 0));
  // Older versions are never marked.
  for (const auto& h : sim_info.files) EXPECT_EQ(h.versions[0].want_to_grab_it + h.versions[0].want_to_nuke_it, 0);
}

TEST_F(ChooseFiles, FilesForAnotherSystemAreNeverTouched) {
  answer_with({select_proceed});
  sim_info.files = {two_versions("Top/mac.app", kNew, kMine, 1), two_versions("Top/mac2.app", kNew, kSigNone, 1),
                    two_versions("Top/win.exe", kSigGone, kMine, 2)};
  for (auto& h : sim_info.files) h.versions.back().want_to_grab_it = h.versions.back().want_to_nuke_it = 1;
  EXPECT_EQ(choose_files(), 1);
  EXPECT_TRUE(asked.empty());
  for (const auto& h : sim_info.files) {
    EXPECT_EQ(h.versions.back().want_to_grab_it, 0);
    EXPECT_EQ(h.versions.back().want_to_nuke_it, 0);
  }
}

TEST_F(ChooseFiles, ModifiedFilesAreAskedAboutAndLogged) {
  answer_with({select_proceed, select_keep, select_proceed, select_keep});
  sim_info.files = {two_versions("Top/Res/a.txt", kNew, kMine), two_versions("Top/Res/b.txt", kNew, kMine),
                    two_versions("Top/Res/c.txt", kSigGone, kMine), two_versions("Top/Res/d.txt", kSigGone, kMine)};
  EXPECT_EQ(choose_files(), 1);
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[0].dest, dest_dir_path + "Res/a.txt");
  EXPECT_EQ(asked[0].is_gone, 0);
  EXPECT_EQ(asked[2].is_gone, 1);
  EXPECT_EQ(current(0).want_to_grab_it, 1);  // overwrite
  EXPECT_EQ(current(1).want_to_grab_it, 0);  // keep
  EXPECT_EQ(current(2).want_to_nuke_it, 1);  // delete
  EXPECT_EQ(current(3).want_to_nuke_it, 0);  // keep
  EXPECT_NE(log.text().find("File: " + dest_dir_path + "Res/a.txt  sig_want=" + kNew + "  sig_have=" + kMine + "\n"),
            std::string::npos);
}

TEST_F(ChooseFiles, AnswersForAWholeFolderHoldForThatFolderOnly) {
  answer_with({select_proceed_folder, select_keep_folder, select_keep});
  sim_info.files = {
      two_versions("Top/A/1.txt", kNew, kMine),      // asked: every file of A
      two_versions("Top/A/2.txt", kSigGone, kMine),  // A: deleted without asking
      two_versions("Top/B/1.txt", kNew, kMine),      // asked: keep every file of B
      two_versions("Top/A/sub/1.txt", kNew, kMine),  // a subfolder is another folder: asked
      two_versions("Top/B/2.txt", kNew, kMine),      // B: kept without asking
      two_versions("Top/A/3.txt", kNew, kMine),      // A: overwritten without asking
  };
  EXPECT_EQ(choose_files(), 1);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[2].dest, dest_dir_path + "A/sub/1.txt");
  EXPECT_EQ(current(0).want_to_grab_it, 1);
  EXPECT_EQ(current(1).want_to_nuke_it, 1);
  EXPECT_EQ(current(2).want_to_grab_it, 0);
  EXPECT_EQ(current(3).want_to_grab_it, 0);
  EXPECT_EQ(current(4).want_to_grab_it, 0);
  EXPECT_EQ(current(5).want_to_grab_it, 1);

  // The folder answers last for one call only.
  asked.clear();
  answer_with({});
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(asked.size(), 6u);
  EXPECT_EQ(current(0).want_to_grab_it, 0);
}

TEST_F(ChooseFiles, CancelStopsAtOnceAndLeavesTheRestAlone) {
  answer_with({select_cancel});
  sim_info.files = {two_versions("Top/missing.txt", kNew, kSigNone), two_versions("Top/mine.txt", kNew, kMine),
                    two_versions("Top/later.txt", kNew, kSigNone)};
  current(2).want_to_nuke_it = 1;  // a value from before, left as it was
  EXPECT_EQ(choose_files(), 0);
  EXPECT_EQ(current(0).want_to_grab_it, 1);
  EXPECT_EQ(current(1).want_to_grab_it, 0);
  EXPECT_EQ(current(2).want_to_grab_it, 0);
  EXPECT_EQ(current(2).want_to_nuke_it, 1);
}

TEST_F(ChooseFiles, WithoutAnyoneToAskTheUsersFileIsKept) {
  sim_info.files = {two_versions("Top/mine.txt", kNew, kMine), two_versions("Top/gone.txt", kSigGone, kMine)};
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(current(0).want_to_grab_it, 0);
  EXPECT_EQ(current(1).want_to_nuke_it, 0);
  // An answer the dialog does not have keeps the file too.
  answer_with({0, 99});
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(current(0).want_to_grab_it, 0);
  EXPECT_EQ(current(1).want_to_nuke_it, 0);
}

TEST(SelectAlertText, InstallAndDeleteWordings) {
  select_alert_texts install = select_alert_text("/d/x.txt", 0);
  EXPECT_EQ(install.lines[0], "I am about to install:");
  EXPECT_EQ(install.lines[1], "/d/x.txt");
  EXPECT_EQ(install.labels[select_proceed - 1], "OVERWRITE THE OLD FILE");
  EXPECT_EQ(install.labels[select_proceed_folder - 1], "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY");
  select_alert_texts remove = select_alert_text("/d/x.txt", 1);
  EXPECT_EQ(remove.lines[0], "I am about to DELETE:");
  EXPECT_EQ(remove.lines[2], "because we no longer use this file, but it appears you have modified it. What to do?");
  EXPECT_EQ(remove.labels[select_proceed - 1], "DELETE THE OLD FILE");
  EXPECT_EQ(remove.labels[select_cancel - 1], "CANCEL THE WHOLE INSTALLATION!");
}

}  // namespace
