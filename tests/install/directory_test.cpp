#include <string>
#include <vector>

#include "tests/install/engine_fixture.h"

using namespace engine_test;
using testing_support::write_file;

namespace {

class DirectoryRead : public EngineTest {};

TEST_F(DirectoryRead, AcceptsOnlyVersions810And840WithTheInstallerKeyword) {
  EXPECT_EQ(read_directory(directory_file("", "I\n810 version\nINSTALLER\n"), "m"), 3);
  EXPECT_EQ(read_directory(directory_file("", "A\n840\nINSTALLER extra\n"), "m"), 3);
  EXPECT_TRUE(alerts.alerts.empty());

  for (const char* header : {"I\n800 version\nINSTALLER\n", "X\n840 version\nINSTALLER\n",
                             "I\n840 version\nSERVERS\n", "I\n840 version\nINSTALLERS\n"}) {
    SCOPED_TRACE(header);
    alerts.alerts.clear();
    app_done = 0;
    EXPECT_EQ(read_directory(directory_file("FILE 0 0 1 1 1 abc Top/a.txt\n", header), "m"), 2);
    // The new-format message, and the program is told to end.
    ASSERT_EQ(alerts.alerts.size(), 1u);
    EXPECT_NE(alerts.alerts[0].lines[0].find("newer than I can understand"), std::string::npos);
    EXPECT_EQ(app_done, 1);
    EXPECT_TRUE(sim_info.files.empty());
  }
}

TEST_F(DirectoryRead, HeaderOnlyGivesAnEmptyDirectory) {
  sim_info.files.push_back({{version("Top/old.txt", "x")}});
  deleted_files.insert(dir / "Sim/Resources/");
  stg.down_req = stg.disk_req = 7;

  EXPECT_EQ(read_directory(directory_file(""), "m"), 3);
  EXPECT_TRUE(sim_info.files.empty());
  EXPECT_TRUE(deleted_files.empty());
  EXPECT_EQ(stg.down_req, 0);
  EXPECT_EQ(stg.disk_req, 0);
}

TEST_F(DirectoryRead, OnlyConsecutiveRecordsOfOnePathShareAHistory) {
  read_directory(directory_file("DIR Top/Resources/\n"
                                "FILE 0 0 1 10 20 s1 a.txt\n"
                                "FILE 1 0 2 11 21 s2 a.txt\n"
                                "FILE 0 0 1 5 6 s3 b.txt\n"
                                "FILE 0 0 3 12 22 s4 a.txt\n"),
                 "m");
  ASSERT_EQ(sim_info.files.size(), 3u);
  const auto& first = sim_info.files[0].versions;
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].path, "Top/Resources/a.txt");
  EXPECT_EQ(first[0].sig_want, "s1");
  EXPECT_EQ(first[1].sig_want, "s2");
  EXPECT_EQ(first[1].use_type, 1);
  EXPECT_EQ(first[1].version_num, 2);
  EXPECT_EQ(first[1].down_size, 11.0f);
  EXPECT_EQ(first[1].disk_size, 21.0f);
  EXPECT_EQ(sim_info.files[1].versions[0].path, "Top/Resources/b.txt");
  ASSERT_EQ(sim_info.files[2].versions.size(), 1u);
  EXPECT_EQ(sim_info.files[2].versions[0].sig_want, "s4");
}

TEST_F(DirectoryRead, FieldsAreClampedAndPathsConverted) {
  read_directory(directory_file("DIR Top\\Res:sub/\n"
                                "FILE -3 9 -4 +5 -0 abc my file.txt\n"
                                "FILE 7 -1 0 1 1 abc\tc\\d.txt\n"),
                 "m");
  ASSERT_EQ(sim_info.files.size(), 2u);
  const file_version_struct& a = sim_info.files[0].versions[0];
  EXPECT_EQ(a.use_type, 0);
  EXPECT_EQ(a.os_type, 6);
  EXPECT_EQ(a.version_num, -4);
  EXPECT_EQ(a.down_size, 5.0f);
  EXPECT_EQ(a.path, "Top/Res/sub/my file.txt");  // the path keeps its inner blanks
  const file_version_struct& b = sim_info.files[1].versions[0];
  EXPECT_EQ(b.use_type, 1);
  EXPECT_EQ(b.os_type, 0);
  EXPECT_EQ(b.path, "Top/Res/sub/c/d.txt");
}

TEST_F(DirectoryRead, LineEndsAndLinesThatAreNotRecords) {
  std::string records = "DIR Top/\r\n"
                        "FILE 0 0 1 1 1 s1 crlf.txt\r\n"
                        "FILE 0 0 1 1 1 s2 cr.txt\r"
                        "FILE 0 0 1 1 1 s3 nul.txt";
  records += '\0';
  records += "  \tFILE 0 0 1 1 1 s4 indented.txt\n"
             "\n"
             "# a comment\n"
             "FILES 0 0 1 1 1 s5 not-a-record.txt\n"
             "DIR\n"  // no blank after the keyword: not a record, the folder stays
             "FILE 0 0 1 1 1 s6 last.txt";  // no line end at all
  read_directory(directory_file(records), "m");
  std::vector<std::string> paths;
  for (const auto& h : sim_info.files) paths.push_back(h.versions.back().path);
  EXPECT_EQ(paths, (std::vector<std::string>{"Top/crlf.txt", "Top/cr.txt", "Top/nul.txt", "Top/indented.txt",
                                             "Top/last.txt"}));
}

TEST_F(DirectoryRead, PathsLeadingOutsideTheDestinationAreSkipped) {
  write_file(dir / "escaped.txt", "outside");
  read_directory(directory_file("DIR Top/\n"
                                "FILE 0 0 1 1 1 s1 ../../escaped.txt\n"
                                "FILE 0 0 1 1 1 s2 Resources/../../../escaped.txt\n"
                                "FILE 0 0 1 1 1 s3 a..b/ok.txt\n"
                                "DIR /etc/\n"
                                "FILE 0 0 1 1 1 s4 passwd\n"
                                "DIR \\\\server\\share\\\n"
                                "FILE 0 0 1 1 1 s5 x.txt\n"
                                "DIR ..\n"
                                "FILE 0 0 1 1 1 s6 \n"
                                "DIR Top/\n"
                                "FILE 0 0 1 1 1 s7 ..hidden\n"),
                 "m");
  std::vector<std::string> paths;
  for (const auto& h : sim_info.files) paths.push_back(h.versions.back().path);
  EXPECT_EQ(paths, (std::vector<std::string>{"Top/a..b/ok.txt", "Top/..hidden"}));
  // Two kept files missing on disk: only they count.
  EXPECT_EQ(stg.down_req, 2.0f);
  std::string text = log.text();
  EXPECT_NE(text.find("I am skipping the file 'Top/../../escaped.txt' of the directory file"), std::string::npos);
  EXPECT_NE(text.find("'/etc/passwd'"), std::string::npos);
  EXPECT_NE(text.find("'..'"), std::string::npos);
  EXPECT_EQ(testing_support::read_file(dir / "escaped.txt"), "outside");
}

TEST_F(DirectoryRead, ExaminesTheCurrentVersionAgainstTheDisk) {
  const std::string now = md5_of("new"), old = md5_of("old");
  write_file(dest_dir_path + "Resources/current.txt", "new");
  write_file(dest_dir_path + "Resources/older.txt", "old");
  write_file(dest_dir_path + "Resources/empty.txt", "");
  write_file(dest_dir_path + "Resources/removed.txt", "old");
  write_file(dest_dir_path + "Resources/folder.txt/inside", "");
  read_directory(directory_file("DIR Top/Resources/\n"
                                "FILE 0 0 1 1 10 " + old + " current.txt\n"
                                "FILE 0 0 2 2 20 " + now + " current.txt\n"
                                "FILE 0 0 1 4 40 " + old + " older.txt\n"
                                "FILE 0 0 2 8 80 " + now + " older.txt\n"
                                "FILE 0 3 1 16 160 " + now + " missing.txt\n"
                                "FILE 0 0 1 32 320 " + md5_of("") + " empty.txt\n"
                                "FILE 0 0 1 64 640 " + old + " removed.txt\n"
                                "FILE 0 0 2 64 640 GONE removed.txt\n"
                                "FILE 0 1 1 128 1280 " + now + " mac-only.txt\n"
                                "FILE 0 6 1 256 2560 " + now + " any-linux.txt\n"
                                "FILE 0 0 1 512 5120 " + now + " folder.txt\n"),
                 "m");
  ASSERT_EQ(sim_info.files.size(), 8u);
  auto at = [](size_t i) -> const file_version_struct& { return sim_info.files[i].versions.back(); };

  EXPECT_EQ(at(0).sig_have, now);
  EXPECT_EQ(at(0).on_disk, 1);
  EXPECT_EQ(sim_info.files[0].versions[0].sig_have, kSigNone);  // older versions are not examined
  EXPECT_EQ(at(1).sig_have, old);
  EXPECT_EQ(at(1).on_disk, 0);
  EXPECT_EQ(at(2).sig_have, kSigNone);
  EXPECT_EQ(at(3).on_disk, 1);  // an empty file is present, with the MD5 of no bytes
  EXPECT_EQ(at(4).sig_have, old);
  EXPECT_EQ(at(4).on_disk, 0);
  EXPECT_EQ(at(7).sig_have, kSigNone);  // a folder is not a readable file

  // Counted: older.txt, missing.txt (Linux), any-linux.txt, folder.txt. Not: the current file,
  // the empty file, the removed file, the Macintosh file.
  EXPECT_EQ(stg.down_req, 8.0f + 16 + 256 + 512);
  EXPECT_EQ(stg.disk_req, 80.0f + 160 + 2560 + 5120);
  EXPECT_EQ(this_install_has_exes, 1);  // missing.txt is for Linux Generic x86
}

TEST_F(DirectoryRead, FilesForEverySystemDoNotMakeTheInstallSystemSpecific) {
  read_directory(directory_file("FILE 0 0 1 1 1 abc Top/all.txt\n"
                                "FILE 0 6 1 1 1 abc Top/linux.txt\n"
                                "FILE 0 2 1 1 1 abc Top/windows.exe\n"),
                 "m");
  EXPECT_EQ(this_install_has_exes, 0);
  EXPECT_EQ(stg.down_req, 2.0f);
}

TEST(VersionApplies, SameSystemEverySystemAndAnyLinux) {
  for (int os = 0; os <= 6; ++os) {
    SCOPED_TRACE(os);
    EXPECT_EQ(version_applies(os, 2), os == 0 || os == 2 ? 1 : 0);
    EXPECT_EQ(version_applies(os, 4), os == 0 || os == 4 || os == 6 ? 1 : 0);
    EXPECT_EQ(version_applies(os, 1), os == 0 || os == 1 ? 1 : 0);
  }
}

TEST(PathLeavesDestination, AbsoluteAndParentComponents) {
  EXPECT_EQ(path_leaves_destination(""), 1);
  EXPECT_EQ(path_leaves_destination("/etc/passwd"), 1);
  EXPECT_EQ(path_leaves_destination("\\x"), 1);
  EXPECT_EQ(path_leaves_destination("C:\\x"), 1);
  EXPECT_EQ(path_leaves_destination("Top/../x"), 1);
  EXPECT_EQ(path_leaves_destination("Top/x/.."), 1);
  EXPECT_EQ(path_leaves_destination(".."), 1);
  EXPECT_EQ(path_leaves_destination("Top/x..y/z"), 0);
  EXPECT_EQ(path_leaves_destination("Top/.../z"), 0);
  EXPECT_EQ(path_leaves_destination("Top/./z"), 0);
  EXPECT_EQ(path_leaves_destination("single.txt"), 0);
}

TEST_F(DirectoryRead, ProgressScreensWhileScanningAndExamining) {
  std::vector<dir_progress_screen> screens;
  dir_progress_hook() = [&](const dir_progress_screen& s) { screens.push_back(s); };
  std::string records;
  for (int i = 0; i < 1000; ++i) records += "FILE 0 0 1 1 1 abc Top/f" + std::to_string(i) + ".txt\n";
  read_directory(directory_file(records), "Scanning for you");

  int scanning = 0, examining = 0;
  for (const auto& s : screens) {
    EXPECT_EQ(s.message1, "Scanning for you");
    EXPECT_GE(s.fill, 0.04f);
    EXPECT_LE(s.fill, 1.0f);
    if (s.activity == "Currently SCANNING the directory text file.") ++scanning;
    if (s.activity == "Currently EXAMINING the hard disk.") {
      if (examining == 0) {
        EXPECT_EQ(s.rel_path_exp, dest_dir_path + "f0.txt");
      }
      ++examining;
    }
  }
  // Every 500th record of the run, wherever the run's count stood; every fifth of 1000 files.
  EXPECT_EQ(scanning, 2);
  EXPECT_EQ(examining, 200);
}

TEST(DirProgressFill, RatioIsKeptInsideTheBar) {
  EXPECT_FLOAT_EQ(dir_progress_fill(0, 0, 10), 0.04f);
  EXPECT_FLOAT_EQ(dir_progress_fill(0, 5, 10), 0.52f);
  EXPECT_FLOAT_EQ(dir_progress_fill(0, 10, 10), 1.0f);
  EXPECT_FLOAT_EQ(dir_progress_fill(0, 20, 10), 1.0f);
  EXPECT_FLOAT_EQ(dir_progress_fill(0, -5, 10), 0.04f);
  EXPECT_FLOAT_EQ(dir_progress_fill(3, 3, 3), 0.52f);
}

// Fatal ends run in a child process; the alert text goes to standard error there.
void alerts_to_stderr() {
  alert_hooks().show = [](const alert_view& v) {
    for (const std::string& l : v.lines) std::fprintf(stderr, "%s\n", l.c_str());
  };
}

TEST_F(DirectoryRead, MissingOrEmptyDirectoryFileIsFatal) {
  EXPECT_EXIT(
      {
        alerts_to_stderr();
        read_directory(dir / "nothing-here.txt", "m");
      },
      testing::ExitedWithCode(1), "I tried to read a directory file that does not exist!");
  write_file(dir / "empty.txt", "");
  EXPECT_EXIT(
      {
        alerts_to_stderr();
        read_directory(dir / "empty.txt", "m");
      },
      testing::ExitedWithCode(1), "I tried to read a directory file that does not exist!");
}

TEST_F(DirectoryRead, PathWithoutFileNameIsFatal) {
  std::string file = directory_file("DIR Top/Resources/\nFILE 0 0 1 1 1 abc \n");
  EXPECT_EXIT(
      {
        alerts_to_stderr();
        read_directory(file, "m");
      },
      testing::ExitedWithCode(1), "found a path that has no file!");
}

}  // namespace
