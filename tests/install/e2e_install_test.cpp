// End-to-end: fresh installations, runs over a finished one, and the licence agreement.
#include "tests/install/e2e_fixture.h"

namespace e2e {
namespace {

class FreshInstall : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(publish(make_master("r1", files), "Zephra 8.40", {"--os", "*.exe=2"}), 0);
    fs::create_directories(dest);
  }
  release_files files = first_release();
  std::string dest = tmp / "dest/";
};

TEST_F(FreshInstall, AnEmptyFolderGetsExactlyTheRelease) {
  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.out.find(kComplete), std::string::npos) << describe(run);
  // Without a program for this system among the files the folder keeps its name.
  EXPECT_EQ(list_tree(dest).front(), "Zephra/");
  expect_installed(dest + "Zephra", files);
  EXPECT_FALSE(file_exists(dest + "Zephra/Resources/plugins/windows-tool.exe"));
  // Nothing of the download is left in the temporary folder.
  for (const std::string& f : list_tree(tmp / "tmp")) EXPECT_EQ(f.find(".zip"), std::string::npos) << f;
}

TEST_F(FreshInstall, AnEmptyFileIsInstalledOnceAndThenCountsAsPresent) {
  install_run first = install(dest);
  ASSERT_EQ(first.status, 0) << describe(first);
  ASSERT_TRUE(file_exists(dest + "Zephra/Output/empty.txt"));
  EXPECT_EQ(fs::file_size(dest + "Zephra/Output/empty.txt"), 0u);

  install_run second = install(dest + "Zephra/");
  EXPECT_EQ(second.status, 0) << describe(second);
  EXPECT_NE(second.out.find(kLatest), std::string::npos) << describe(second);
  EXPECT_EQ(second.out.find(kComplete), std::string::npos) << describe(second);
}

TEST_F(FreshInstall, ASecondRunDownloadsNothing) {
  install_run first = install(dest);
  ASSERT_EQ(first.status, 0) << describe(first);
  const std::string inst = dest + "Zephra/";
  auto stamp = fs::last_write_time(inst + "Resources/settings.txt");

  // Any request for a file's archive would now be a 404 that nginx logs as an error.
  size_t removed = 0;
  for (const std::string& f : list_tree(site))
    if (f.ends_with(".zip") && f.find("directory.txt") == std::string::npos) removed += fs::remove(site + "/" + f);
  ASSERT_GT(removed, 0u);

  // A run killed while unpacking left its temporary files; the examination removes those of
  // exactly that pattern, and nothing that only looks like one.
  write_file(inst + "Resources/.zephra-part-k1ll3dr0n0", "half a file");
  write_file(inst + "Airfoils/.zephra-part-0123456789", "half a file");
  release_files kept = files;
  for (const char* other :
       {"Resources/.zephra-part-short", "Resources/.zephra-part-ABCDEFGHIJ", "x.zephra-part-0123456789"}) {
    write_file(inst + other, "not ours");
    kept[other] = "not ours";
  }

  install_run second = install(inst);
  EXPECT_EQ(second.status, 0) << describe(second);
  EXPECT_NE(second.out.find(kLatest), std::string::npos) << describe(second);
  std::string served = nginx->why();
  EXPECT_EQ(served.find(".zip\" failed"), std::string::npos) << served;
  EXPECT_EQ(second.log.find("HTTP Error"), std::string::npos) << describe(second);
  EXPECT_EQ(fs::last_write_time(inst + "Resources/settings.txt"), stamp);
  expect_installed(inst, kept);
}

TEST_F(FreshInstall, WithoutTheAgreementNothingIsInstalled) {
  install_run run = install(dest, {});
  EXPECT_EQ(run.status, 2) << describe(run);
  EXPECT_NE(run.err.find("--accept_eula"), std::string::npos) << describe(run);
  // Without the agreement the destination is left exactly as it was.
  EXPECT_TRUE(list_tree(dest).empty()) << "installed without agreement: " << list_tree(dest).front();
  EXPECT_EQ(run.out.find(kComplete), std::string::npos) << describe(run);
}

}  // namespace
}  // namespace e2e
