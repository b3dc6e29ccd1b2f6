// End-to-end: updating an installation from one release to the next, and files the user changed.
#include <random>

#include "tests/install/e2e_fixture.h"

namespace e2e {
namespace {

// The second release: one file changed, one added, one removed (its folder then empty), one
// unchanged, and a program for Linux that makes the installer rename the folder.
release_files second_release() {
  release_files files = first_release();
  files["Resources/settings.txt"] = "setting two, longer than before\n";
  files["Airfoils/NACA2412.afl"] = "NACA 2412 lift drag moment\n";
  files.erase("Resources/old/gone.txt");
  files["Resources/plugins/linux-tool"] = "ELF-like program for Linux\n";
  return files;
}

class Update : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    ASSERT_EQ(publish(make_master("r1", first), "Zephra 8.40", {"--os", "*.exe=2"}), 0);
    fs::create_directories(dest);
    install_run run = install(dest);
    ASSERT_EQ(run.status, 0) << describe(run);
    ASSERT_TRUE(fs::is_directory(inst));
    ASSERT_EQ(publish(make_master("r2", second), "Zephra 8.50",
                      {"--os", "*.exe=2", "--os", "linux-*=3", "--previous", site + "/Zephra 8.40/directory.txt"}),
              0);
  }

  release_files first = first_release();
  release_files second = second_release();
  std::string dest = tmp / "dest/";
  std::string inst = tmp / "dest/Zephra/";
  std::string renamed = tmp / "dest/Zephra 8.50/";
};

TEST_F(Update, ReleaseOneBecomesExactlyReleaseTwoAndTheFolderTakesItsName) {
  auto unchanged_stamp = fs::last_write_time(inst + "Instructions/Read Me.txt");
  install_run run = install(inst);
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.out.find(kComplete), std::string::npos) << describe(run);
  // The changed file held the first release's version: replaced without a question.
  EXPECT_EQ(run.out.find("You changed"), std::string::npos) << describe(run);

  EXPECT_FALSE(fs::exists(inst)) << "the folder was not renamed";
  EXPECT_NE(run.out.find("The destination is now " + renamed + "\n"), std::string::npos) << describe(run);
  expect_installed(renamed, second);
  EXPECT_FALSE(fs::exists(renamed + "Resources/old")) << "the emptied folder was kept";
  EXPECT_EQ(fs::last_write_time(renamed + "Instructions/Read Me.txt"), unchanged_stamp);

  // A run over the renamed folder finds it up to date.
  install_run again = install(renamed);
  EXPECT_EQ(again.status, 0) << describe(again);
  EXPECT_NE(again.out.find(kLatest), std::string::npos) << describe(again);

  // A run stopped after deleting the removed file but before removing its emptied folder leaves
  // the folder behind: the next run finishes the job.
  fs::create_directories(renamed + "Resources/old");
  install_run tidy = install(renamed);
  EXPECT_EQ(tidy.status, 0) << describe(tidy);
  EXPECT_NE(tidy.out.find(kComplete), std::string::npos) << describe(tidy);
  EXPECT_FALSE(fs::exists(renamed + "Resources/old")) << "the emptied folder was kept";
  expect_installed(renamed, second);
}

TEST_F(Update, AHomeFolderHoldingTheInstallationIsUpdatedInPlaceAndNeverRenamed) {
  // The installation is the home folder itself, the default destination (none is stored).
  fs::remove(home + "config/Zephra Installer.prf");
  for (const auto& top : {"Airfoils", "Instructions", "Output", "Resources"}) fs::rename(inst + top, home + top);
  write_file(home + "letters/mum.txt", "Dear mum\n");
  install_run run = install("");
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.out.find(kComplete), std::string::npos) << describe(run);
  EXPECT_NE(run.log.find("because it is your home folder."), std::string::npos) << describe(run);
  EXPECT_FALSE(fs::exists(tmp / "Zephra 8.50")) << "the home folder was renamed";
  EXPECT_EQ(read_file(home + "letters/mum.txt"), "Dear mum\n");
  EXPECT_EQ(read_file(home + "Resources/plugins/linux-tool"), second["Resources/plugins/linux-tool"]);
  EXPECT_EQ(read_file(home + "Resources/settings.txt"), second["Resources/settings.txt"]);
}

TEST_F(Update, RunsKilledAtAnyMomentThenRunToTheEndLeaveExactlyTheRelease) {
  // Twenty runs killed outright at moments spread over a whole run (from a fixed seed), each
  // starting where the last one was stopped; then one run to the end.
  std::mt19937 moments(2026);
  std::uniform_int_distribution<int> millis(0, 400);
  for (int k = 0; k < 20; ++k) {
    std::string where = fs::exists(renamed) ? renamed : inst;
    // In the foreground, timeout reaps the killed run itself, as a shell or desktop would.
    std::string limit = "timeout --foreground -s KILL " + std::to_string(millis(moments) / 1000.0);
    run_command(command(where, {"--accept_eula"}, true, limit));
  }
  install_run run = install(fs::exists(renamed) ? renamed : inst);
  ASSERT_EQ(run.status, 0) << describe(run);
  // A run killed after its last file was placed but before the rename leaves the release whole
  // under the old name, and the last run then finds nothing to do: either name is right.
  expect_installed(fs::exists(renamed) ? renamed : inst, second);
  // Nothing of the killed runs is left: no half-written file (the tree is exact), no temporary
  // folder, no download.
  EXPECT_EQ(list_tree(tmp / "tmp"), std::vector<std::string>{}) << "left in the temporary folder";
}

TEST_F(Update, AnOlderPublishedVersionOnDiskIsReplacedWithoutAsking) {
  install_run run = install(inst);
  ASSERT_EQ(run.status, 0) << describe(run);
  ASSERT_TRUE(fs::is_directory(renamed));
  // The first release's settings go back on disk: a version the installer knows, not a change
  // of the user's, so even --modified=cancel does not stop the update.
  write_file(renamed + "Resources/settings.txt", first["Resources/settings.txt"]);
  install_run back = install(renamed, {"--accept_eula", "--modified=cancel"});
  EXPECT_EQ(back.status, 0) << describe(back);
  EXPECT_EQ(back.out.find("You changed"), std::string::npos) << describe(back);
  expect_installed(renamed, second);
}

TEST_F(Update, AChangedFileIsKeptByDefault) {
  write_file(inst + "Resources/settings.txt", "my own settings\n");
  write_file(inst + "Resources/old/gone.txt", "my own notes\n");  // a file the release removes
  install_run run = install(inst);
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.out.find("keeping your copy."), std::string::npos) << describe(run);
  EXPECT_NE(run.out.find("which this release removes"), std::string::npos) << describe(run);
  release_files expected = second;
  expected["Resources/settings.txt"] = "my own settings\n";
  expected["Resources/old/gone.txt"] = "my own notes\n";
  // The pass ends complete, so the folder is renamed all the same.
  expect_installed(renamed, expected);
}

TEST_F(Update, AChangedFileIsOverwrittenWhenAsked) {
  write_file(inst + "Resources/settings.txt", "my own settings\n");
  write_file(inst + "Resources/old/gone.txt", "my own notes\n");  // deleted, its folder pruned
  // A program replaced by the release's gets the release's execute bits.
  write_file(inst + "Resources/plugins/linux-tool", "my own build\n");
  fs::permissions(inst + "Resources/plugins/linux-tool", fs::perms(0644));
  install_run run = install(inst, {"--accept_eula", "--modified=overwrite"});
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.out.find("replacing it."), std::string::npos) << describe(run);
  expect_installed(renamed, second);
}

TEST_F(Update, AChangedFileCancelsTheInstallationWhenAsked) {
  write_file(inst + "Resources/settings.txt", "my own settings\n");
  install_run run = install(inst, {"--accept_eula", "--modified=cancel"});
  EXPECT_EQ(run.status, 1) << describe(run);
  EXPECT_NE(run.out.find("cancelling the installation."), std::string::npos) << describe(run);
  EXPECT_EQ(read_file(inst + "Resources/settings.txt"), "my own settings\n");
  EXPECT_FALSE(fs::exists(renamed)) << "a cancelled installation renamed the folder";
}

}  // namespace
}  // namespace e2e
