#include <string>
#include <vector>

#include "tests/install/engine_fixture.h"

using namespace engine_test;
using testing_support::write_file;

namespace {

class DirectoryRead : public EngineTest {
 protected:
  std::vector<std::string> current_paths() {
    std::vector<std::string> paths;
    for (const auto& h : sim_info.files) paths.push_back(h.versions.back().path);
    return paths;
  }
};

TEST_F(DirectoryRead, HeaderMustCarryVersion810Or840AndInstaller) {
  sim_info.files.push_back({{version("Top/old.txt", "x")}});
  deleted_files.insert(dir / "Sim/Resources/");
  stg.down_req = 7;
  EXPECT_EQ(read_directory(directory_file("", "A\n810\nINSTALLER extra\n"), "m"), 3);
  EXPECT_TRUE(sim_info.files.empty());
  EXPECT_TRUE(deleted_files.empty());
  EXPECT_EQ(stg.down_req, 0);

  for (const char* header : {"I\n800 version\nINSTALLER\n", "X\n840\nINSTALLER\n", "I\n840\nINSTALLERS\n"}) {
    SCOPED_TRACE(header);
    alerts.alerts.clear();
    app_done = 0;
    EXPECT_EQ(read_directory(directory_file("FILE 0 0 1 1 1 abc Top/a.txt\n", header), "m"), 2);
    ASSERT_EQ(alerts.alerts.size(), 1u);  // the new-format message; the program is told to end
    EXPECT_NE(alerts.alerts[0].lines[0].find("newer than I can understand"), std::string::npos);
    EXPECT_EQ(app_done, 1);
  }
}

TEST_F(DirectoryRead, RecordsFieldsAndLineEnds) {
  std::string records = "DIR Top\\Res:sub/\r\n"
                        "FILE 0 0 1 10 20 s1 a.txt\r\n"
                        "FILE -3 9 -4 +11 21 s2 a.txt\r"  // same path again: the same history
                        "FILE 7 -1 0 1 1 s3 my file.txt";
  records += '\0';
  records += "  \tFILE 0 0 1 1 1 s4 a.txt\n"  // after another path: a history of its own
             "# a comment\n"
             "FILES 0 0 1 1 1 s5 not-a-record.txt\n"
             "DIR\n"  // no blank after the keyword: not a record
             "FILE 0 0 1 1 1 s6 c\\d.txt";
  read_directory(directory_file(records), "m");
  EXPECT_EQ(current_paths(), (std::vector<std::string>{"Top/Res/sub/a.txt", "Top/Res/sub/my file.txt",
                                                       "Top/Res/sub/a.txt", "Top/Res/sub/c/d.txt"}));
  const auto& first = sim_info.files[0].versions;
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].sig_want, "s1");
  EXPECT_EQ(first[1].sig_want, "s2");
  EXPECT_EQ(first[1].use_type, 0);  // clamped from -3
  EXPECT_EQ(first[1].os_type, 6);   // clamped from 9
  EXPECT_EQ(first[1].version_num, -4);
  EXPECT_EQ(first[1].down_size, 11.0f);
  EXPECT_EQ(first[1].disk_size, 21.0f);
  EXPECT_EQ(sim_info.files[1].versions[0].use_type, 1);
  EXPECT_EQ(sim_info.files[1].versions[0].os_type, 0);
}

TEST_F(DirectoryRead, PathsLeadingOutsideTheDestinationAreSkipped) {
  read_directory(directory_file("DIR Top/\n"
                                "FILE 0 0 1 1 1 s1 ../../escaped.txt\n"
                                "FILE 0 0 1 1 1 s2 Resources/../../../escaped.txt\n"
                                "FILE 0 0 1 1 1 s3 a..b/ok.txt\n"
                                "DIR /etc/\n"
                                "FILE 0 0 1 1 1 s4 passwd\n"
                                "DIR ..\n"
                                "FILE 0 0 1 1 1 s5 \n"
                                "DIR Top/\n"
                                "FILE 0 0 1 1 1 s6 ..hidden\n"),
                 "m");
  EXPECT_EQ(current_paths(), (std::vector<std::string>{"Top/a..b/ok.txt", "Top/..hidden"}));
  EXPECT_EQ(stg.down_req, 2.0f);
  std::string text = log.text();
  EXPECT_NE(text.find("I am skipping the file 'Top/../../escaped.txt' of the directory file, because its path "
                      "leads outside the folder I install to."),
            std::string::npos);
  EXPECT_NE(text.find("'/etc/passwd'"), std::string::npos);
  EXPECT_NE(text.find("'..'"), std::string::npos);
}

TEST_F(DirectoryRead, ExaminesTheCurrentVersionAgainstTheDisk) {
  const std::string now = md5_of("new"), old = md5_of("old");
  for (const char* name : {"current.txt", "older.txt", "removed.txt"})
    write_file(dest_dir_path + "Res/" + name, std::string(name) == "current.txt" ? "new" : "old");
  write_file(dest_dir_path + "Res/empty.txt", "");
  write_file(dest_dir_path + "Res/folder.txt/inside", "");
  read_directory(directory_file("DIR Top/Res/\n"
                                "FILE 0 0 1 1 10 " + old + " current.txt\n"
                                "FILE 0 0 2 2 20 " + now + " current.txt\n"
                                "FILE 0 0 2 4 40 " + now + " older.txt\n"
                                "FILE 0 0 1 8 80 " + md5_of("") + " empty.txt\n"
                                "FILE 0 0 2 16 160 GONE removed.txt\n"
                                "FILE 0 1 1 32 320 " + now + " mac-only.txt\n"
                                "FILE 0 6 1 64 640 " + now + " any-linux.txt\n"
                                "FILE 0 0 1 128 1280 " + now + " folder.txt\n"),
                 "m");
  ASSERT_EQ(sim_info.files.size(), 7u);
  auto at = [](size_t i) -> const file_version_struct& { return sim_info.files[i].versions.back(); };
  EXPECT_EQ(at(0).on_disk, 1);
  EXPECT_EQ(sim_info.files[0].versions[0].sig_have, kSigNone);  // older versions are not examined
  EXPECT_EQ(at(1).sig_have, old);
  EXPECT_EQ(at(1).on_disk, 0);
  EXPECT_EQ(at(2).on_disk, 1);  // an empty file is present, with the MD5 of no bytes
  EXPECT_EQ(at(3).sig_have, old);
  EXPECT_EQ(at(5).sig_have, kSigNone);
  EXPECT_EQ(at(6).sig_have, kSigNone);  // a folder is not a readable file
  // Counted: older.txt, any-linux.txt, folder.txt; not the removed or the Macintosh file.
  EXPECT_EQ(stg.down_req, 4.0f + 64 + 128);
  EXPECT_EQ(stg.disk_req, 40.0f + 640 + 1280);
  EXPECT_EQ(this_install_has_exes, 0);  // only files for every system or any Linux are missing

  read_directory(directory_file("FILE 0 3 1 1 1 abc Top/linux-x86.bin\n"), "m");
  EXPECT_EQ(this_install_has_exes, 1);
}

TEST(VersionApplies, SameSystemEverySystemAndAnyLinux) {
  for (int os = 0; os <= 6; ++os) {
    EXPECT_EQ(version_applies(os, 2), os == 0 || os == 2 ? 1 : 0) << os;
    EXPECT_EQ(version_applies(os, 4), os == 0 || os == 4 || os == 6 ? 1 : 0) << os;
  }
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
    scanning += s.activity == "Currently SCANNING the directory text file.";
    examining += s.activity == "Currently EXAMINING the hard disk.";
  }
  // Every 500th record of the run, wherever its count stood; every fifth of 1000 files.
  EXPECT_EQ(scanning, 2);
  EXPECT_EQ(examining, 200);
  EXPECT_EQ(screens.back().rel_path_exp, dest_dir_path + "f995.txt");
  EXPECT_FLOAT_EQ(dir_progress_fill(0, 5, 10), 0.52f);
  EXPECT_FLOAT_EQ(dir_progress_fill(0, 20, 10), 1.0f);
  EXPECT_FLOAT_EQ(dir_progress_fill(0, -5, 10), 0.04f);
  EXPECT_FLOAT_EQ(dir_progress_fill(3, 3, 3), 0.52f);
}

TEST_F(DirectoryRead, MissingFileOrPathWithoutFileNameIsFatal) {
  auto to_stderr = [] {
    alert_hooks().show = [](const alert_view& v) {
      for (const std::string& l : v.lines) std::fprintf(stderr, "%s\n", l.c_str());
    };
  };
  EXPECT_EXIT((to_stderr(), read_directory(dir / "nothing-here.txt", "m")), testing::ExitedWithCode(1),
              "I tried to read a directory file that does not exist!");
  std::string file = directory_file("DIR Top/Resources/\nFILE 0 0 1 1 1 abc \n");
  EXPECT_EXIT((to_stderr(), read_directory(file, "m")), testing::ExitedWithCode(1), "found a path that has no file!");
}

}  // namespace
