#include <string>
#include <utility>
#include <vector>

#include "tests/install/engine_fixture.h"

using namespace engine_test;

namespace {

const std::string kNew = md5_of("new"), kOld = md5_of("old"), kMine = md5_of("mine");

class ChooseFiles : public EngineTest {
 protected:
  // Adds a history of an older published version and the current one.
  void add(const std::string& path, const std::string& current_sig, const std::string& on_disk, int os_type = 0) {
    sim_info.files.push_back({{version(path, kOld, kSigNone, os_type), version(path, current_sig, on_disk, os_type)}});
  }
  // Records each question and answers with the next of answers (keep when they run out).
  void answer_with(std::vector<int> answers) {
    asked.clear();
    select_alert_hook() = [this, answers](const std::string& dest, int is_gone) {
      asked.push_back({dest, is_gone});
      return asked.size() <= answers.size() ? answers[asked.size() - 1] : int{select_keep};
    };
  }
  std::pair<int, int> flags(size_t i) { return {current(i).want_to_grab_it, current(i).want_to_nuke_it}; }

  std::vector<std::pair<std::string, int>> asked;
};

const std::pair<int, int> kGrab{1, 0}, kNuke{0, 1}, kLeave{0, 0};

TEST_F(ChooseFiles, PublishedVersionsAreHandledWithoutAsking) {
  answer_with({});
  add("Top/missing.txt", kNew, kSigNone);   // fetched
  add("Top/current.txt", kNew, kNew);       // left alone
  add("Top/older.txt", kNew, kOld);         // an older release: replaced
  add("Top/retired.txt", kSigGone, kOld);   // an older release the new one removes: deleted
  add("Top/gone.txt", kSigGone, kSigNone);  // removed and already absent
  add("Top/mac.app", kNew, kMine, 1);       // another system: never touched
  add("Top/win.exe", kSigGone, kOld, 2);
  current(5).want_to_grab_it = current(6).want_to_nuke_it = 1;

  EXPECT_EQ(choose_files(), 1);
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(flags(0), kGrab);
  EXPECT_EQ(flags(1), kLeave);
  EXPECT_EQ(flags(2), kGrab);
  EXPECT_EQ(flags(3), kNuke);
  EXPECT_EQ(flags(4), kLeave);
  EXPECT_EQ(flags(5), kLeave);
  EXPECT_EQ(flags(6), kLeave);
}

TEST_F(ChooseFiles, ModifiedFilesAreAskedAboutAndLogged) {
  answer_with({select_proceed, select_keep, select_proceed, select_keep});
  add("Top/Res/a.txt", kNew, kMine);
  add("Top/Res/b.txt", kNew, kMine);
  add("Top/Res/c.txt", kSigGone, kMine);
  add("Top/Res/d.txt", kSigGone, kMine);
  EXPECT_EQ(choose_files(), 1);
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[0], std::make_pair(dest_dir_path + "Res/a.txt", 0));
  EXPECT_EQ(asked[2].second, 1);
  EXPECT_EQ(flags(0), kGrab);
  EXPECT_EQ(flags(1), kLeave);
  EXPECT_EQ(flags(2), kNuke);
  EXPECT_EQ(flags(3), kLeave);
  EXPECT_NE(log.text().find("File: " + dest_dir_path + "Res/a.txt  sig_want=" + kNew + "  sig_have=" + kMine + "\n"),
            std::string::npos);
}

TEST_F(ChooseFiles, AnswersForAWholeFolderHoldForThatFolderAndThisCallOnly) {
  answer_with({select_proceed_folder, select_keep_folder, select_keep});
  add("Top/A/1.txt", kNew, kMine);      // asked: every file of A
  add("Top/A/2.txt", kSigGone, kMine);  // deleted without asking
  add("Top/B/1.txt", kNew, kMine);      // asked: keep every file of B
  add("Top/A/sub/1.txt", kNew, kMine);  // a subfolder is another folder: asked
  add("Top/B/2.txt", kNew, kMine);      // kept without asking
  add("Top/A/3.txt", kNew, kMine);      // overwritten without asking
  EXPECT_EQ(choose_files(), 1);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[2].first, dest_dir_path + "A/sub/1.txt");
  EXPECT_EQ(flags(1), kNuke);
  EXPECT_EQ(flags(4), kLeave);
  EXPECT_EQ(flags(5), kGrab);

  answer_with({});
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(asked.size(), 6u);
}

TEST_F(ChooseFiles, CancelStopsAtOnceAndNoAnswerKeepsTheUsersFile) {
  answer_with({select_cancel});
  add("Top/missing.txt", kNew, kSigNone);
  add("Top/mine.txt", kNew, kMine);
  add("Top/later.txt", kNew, kSigNone);
  current(2).want_to_nuke_it = 1;  // from before, left as it was
  EXPECT_EQ(choose_files(), 0);
  EXPECT_EQ(flags(0), kGrab);
  EXPECT_EQ(flags(2), kNuke);

  // Nobody to ask, or an answer the question does not have: the file stays as it is.
  select_alert_hook() = nullptr;
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(flags(1), kLeave);
  answer_with({0});
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(flags(1), kLeave);
}

}  // namespace
