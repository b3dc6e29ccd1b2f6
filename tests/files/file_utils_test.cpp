// File and folder operations, listings, the output stream, error texts and file signatures.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "files/error_text.h"
#include "files/file_utils.h"
#include "files/os_path.h"
#include "files/os_files.h"
#include "files/xmap.h"
#include "tests/support/test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Inside a death test the alert must reach standard error for the matcher to see it.
void alerts_to_stderr() {
  alert_hooks().show = [](const alert_view& v) {
    for (const std::string& l : v.lines) std::cerr << l << "\n";
  };
}

#ifdef _WIN32
bool is_root() { return false; }
#else
bool is_root() { return geteuid() == 0; }
#endif

}  // namespace

TEST(MakeOsPath, TurnsEverySeparatorIntoTheSystemOne) {
  std::string p = "C:Output\\FMS plans:x/y";
  make_os_path(p);
#ifdef _WIN32
  EXPECT_EQ(p, "C:Output\\FMS plans\\x\\y");  // the colon after a drive letter stays
#else
  EXPECT_EQ(p, "C/Output/FMS plans/x/y");
#endif
  std::string limit(499, 'a');
  make_os_path(limit);
  EXPECT_EQ(limit.size(), 499u);
}

TEST(MakeOsPathDeathTest, PathOf500CharactersIsFatal) {
  std::string p(500, 'a');
  EXPECT_EXIT(
      {
        alerts_to_stderr();
        make_os_path(p);
      },
      testing::ExitedWithCode(1), "String too long!");
}

TEST(ErrorStr, TableSentencesAndFallbacks) {
  EXPECT_EQ(error_str(20007), "We were unable to connct to the network due to an internal reconnect error");
  EXPECT_EQ(error_str(20013),
            "Part of the downloaded zip file points outside the folder it belongs in, so I did not unpack it");
  EXPECT_EQ(error_str(5), "Input/output error");
  EXPECT_EQ(error_str(0), "No error detected");
  // Not in the table: the system's own text (Windows' C library has none for this code).
#ifndef _WIN32
  EXPECT_EQ(error_str(ENOTSUP), "Operation not supported");
#endif
  EXPECT_EQ(error_str(123456), "I ran into an error I have no description for (code 123456)");
}

TEST(ErrorStr, EveryCodeThisModuleReturnsHasASentence) {
  const int codes[] = {1, 2, 12, 13, 17, 20, 21, 28, 30, 36, 39, kErrZipOpen, kErrZipRead, kErrFileOpen,
                       kErrZipOutside, kErrZipNoEntry, kErrZipTooBig, kErrZipWrongContent, kErrDirUnreadable,
                       -1, -3, -102, -103, -105};
  for (int code : codes) {
    std::string s = error_str(code);
    EXPECT_FALSE(s.empty()) << code;
    EXPECT_EQ(s.find("no description"), std::string::npos) << code << ": " << s;
  }
}

TEST(FileOps, DeleteFilesAndEmptyFolders) {
  TempDir t;
  EXPECT_EQ(delete_file(""), 2);

  write_file(t / "f.txt", "x");
  EXPECT_EQ(delete_file(t / "f.txt"), 0);
  EXPECT_FALSE(file_exists(t / "f.txt"));
  EXPECT_EQ(delete_file(t / "f.txt"), ENOENT);
  EXPECT_EQ(sErrFile, "IO_UTILS");
  EXPECT_EQ(sErrLine, 648);

  write_file(t / "full/inner.txt", "x");
  EXPECT_EQ(delete_file(t / "full/"), ENOTEMPTY);
  EXPECT_EQ(sErrLine, 645);
  EXPECT_EQ(error_str(ENOTEMPTY), "Directory not empty");
  EXPECT_TRUE(file_exists(t / "full/inner.txt"));

  fs::create_directory(t / "empty");
  EXPECT_EQ(delete_file(t / "empty/"), 0);
  EXPECT_FALSE(file_exists(t / "empty"));
  // Internal separators are accepted too.
  fs::create_directory(t / "other");
  EXPECT_EQ(delete_file(t / "other\\"), 0);
  EXPECT_FALSE(file_exists(t / "other"));
}

TEST(FileOps, UnlockAddsOwnerWrite) {
  TempDir t;
  write_file(t / "ro.txt", "x");
  fs::permissions(t / "ro.txt", fs::perms(0444));
  EXPECT_EQ(unlock_file(t / "ro.txt"), 0);
  const fs::perms now = fs::status(t / "ro.txt").permissions();
  EXPECT_NE(now & fs::perms::owner_write, fs::perms::none);
#ifndef _WIN32
  EXPECT_EQ(now & fs::perms::all, fs::perms(0644));
#endif
  EXPECT_EQ(unlock_file(t / "missing.txt"), ENOENT);
}

TEST(FileOps, RenameNeverReplacesAnExistingTarget) {
  TempDir t;
  write_file(t / "a.txt", "a");
  write_file(t / "b.txt", "b");
  EXPECT_EQ(rename_file(t.path(), "a.txt", "b.txt"), EEXIST);
  EXPECT_EQ(sErrLine, 702);
  EXPECT_EQ(read_file(t / "a.txt"), "a");
  EXPECT_EQ(read_file(t / "b.txt"), "b");

  // A plain rename would silently replace an empty folder.
  write_file(t / "A/keep.txt", "k");
  fs::create_directory(t / "B");
  EXPECT_EQ(rename_file(t.path(), "A", "B"), EEXIST);
  EXPECT_TRUE(file_exists(t / "A/keep.txt"));

  EXPECT_EQ(rename_file(t.path(), "A", "C"), 0);
  EXPECT_TRUE(file_exists(t / "C/keep.txt"));
  EXPECT_EQ(rename_file(t.path(), "missing", "D"), ENOENT);
}

TEST(FileOps, MakeFolderAndItsErrors) {
  TempDir t;
  EXPECT_EQ(make_folder(t / "new/"), 0);
  EXPECT_TRUE(fs::is_directory(t / "new"));
  int again = make_folder(t / "new/");
  EXPECT_EQ(again, EEXIST);
  EXPECT_EQ(show_make_dir_err(again), 0);
  EXPECT_EQ(show_make_dir_err(183), 0);
  EXPECT_EQ(show_make_dir_err(0), 0);

  int deep = make_folder(t / "x/y/z/");  // one level only
  EXPECT_EQ(deep, ENOENT);
  EXPECT_EQ(sErrLine, 730);
  EXPECT_EQ(show_make_dir_err(deep), 1);
  EXPECT_EQ(show_del_err(deep), 0);
}

TEST(FileOps, DirExistsAnswersForTheFolderItself) {
  TempDir t;
  fs::create_directories(t / "B/other");
  fs::create_directory(t / "NOTES.TXT");
  write_file(t / "file.txt", "x");
  EXPECT_EQ(dir_exists(t / "B/"), 1);
  EXPECT_EQ(dir_exists(t / "B"), 1);
  EXPECT_EQ(dir_exists(t / "NOTES.TXT/"), 1);
  EXPECT_EQ(dir_exists(t / "file.txt"), 0);
  EXPECT_EQ(dir_exists(t / "missing/"), 0);
  // The name B appears in the parent's path, but B/B itself is not there.
  EXPECT_EQ(dir_exists(t / "B/B"), 0);
  EXPECT_EQ(dir_exists(t / "B/oth"), 0);
}

TEST(FileOps, FreeBytesOfAPathNotYetMade) {
  TempDir t;
  EXPECT_GT(os_free_bytes(t.path()), 0);
  EXPECT_GT(os_free_bytes(t / "not/yet/made/"), 0);
}

TEST(Listing, TypesSortingAndHiddenEntries) {
  TempDir t;
  write_file(t / "b.txt", "");
  write_file(t / "A.acf", "");
  write_file(t / "pic.Png", "");
  write_file(t / ".hidden", "");
  write_file(t / "abc", "");
  fs::create_directory(t / "sub");
  fs::create_directory(t / "NOTES.TXT");
  fs::create_directory(t / ".git");

  wrk_path = t.path();
  ASSERT_EQ(opensave_getitems(0), 6);
  const char* names[] = {"A.acf", "NOTES.TXT", "abc", "b.txt", "pic.Png", "sub"};
  const int types[] = {3, 11, 0, 11, 2, 1};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(g_file[i], names[i]);
    EXPECT_EQ(g_file_type[i], types[i]) << names[i];
  }
  EXPECT_EQ(g_path_rel[5], t / "sub/");
  EXPECT_EQ(g_path_rel[3], t / "b.txt");
}

TEST(Listing, EmptyMissingAndDotOnlyFolders) {
  TempDir t;
  write_file(t / "dots/.a", "");
  write_file(t / "dots/.b", "");
  wrk_path = t / "dots/";
  EXPECT_EQ(opensave_getitems(0), 0);
  wrk_path = t / "missing/";
  EXPECT_EQ(opensave_getitems(0), 0);
  // Internal separators are converted and stored back.
  wrk_path = t.path() + "dots\\";
  EXPECT_EQ(opensave_getitems(0), 0);
  EXPECT_EQ(wrk_path, t / "dots/");
}

TEST(Listing, FiveThousandEntriesGive2999Sorted) {
  TempDir t;
  for (int i = 0; i < 5000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%05d.dat", (i * 7919) % 5000);
    std::FILE* f = std::fopen((t / name).c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  wrk_path = t.path();
  ASSERT_EQ(opensave_getitems(0), 2999);
  EXPECT_TRUE(std::is_sorted(g_file, g_file + 2999));
  EXPECT_EQ(std::adjacent_find(g_file, g_file + 2999), g_file + 2999);
}

TEST(ListingDeathTest, WorkingPathWithoutSeparatorIsFatal) {
  EXPECT_EXIT(
      {
        alerts_to_stderr();
        wrk_path = "/tmp";
        opensave_getitems(0);
      },
      testing::ExitedWithCode(1), "Working path does not appear to be a directory!");
}

TEST(OufOpen, TextHeaderReadsBackThroughTheScanner) {
  TempDir t;
  ASSERT_EQ(ouf_open(t / "SET.PRF", 10001, 800, "no-copyright-string"), 1);
  ouf << "_pref 1\n";
  ouf.close();
#ifdef _WIN32
  // A text file, in a file system that does not tell case apart.
  EXPECT_EQ(read_file(t / "SET.prf"), "I\r\n800 version\r\n_pref 1\r\n");
#else
  EXPECT_FALSE(file_exists(t / "SET.PRF"));
  EXPECT_EQ(read_file(t / "SET.prf"), "I\n800 version\n_pref 1\n");
#endif

  ASSERT_EQ(ouf_open(t / "c.txt", 10001, 8500, " (c) somebody"), 1);
  ouf << "SERVERS\n";
  ouf.close();
  xmap_class map(t / "c.txt");
  const int versions[] = {8500, 0};
  std::string copyright;
  EXPECT_EQ(map.check_file(10001, versions, "SERVERS", &copyright), 8500);
  EXPECT_EQ(copyright, "version (c) somebody");
}

TEST(OufOpen, RawHeaderIsLittleEndian) {
  TempDir t;
  ASSERT_EQ(ouf_open(t / "raw.bin", 10000, 0x01020304, ""), 1);
  ouf.close();
  EXPECT_EQ(read_file(t / "raw.bin"), std::string("i\x04\x03\x02\x01", 5));
}

TEST(OufOpen, MissingFolderIsAnAlertNotACrash) {
  TempDir t;
  AlertRecorder alerts;
  EXPECT_EQ(ouf_open(t / "no/such/folder/x.prf", 10001, 800, "no-copyright-string"), 0);
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].type, alert_error);
  EXPECT_EQ(alerts.alerts[0].lines[1], t / "no/such/folder/x.prf");
  // The stream is usable again for the next file.
  EXPECT_EQ(ouf_open(t / "ok.prf", 10001, 800, "no-copyright-string"), 1);
  ouf.close();
}

TEST(OufOpenDeathTest, BadKindIsFatal) {
  EXPECT_EXIT(
      {
        alerts_to_stderr();
        ouf_open("/tmp/x.prf", 10002, 1, "");
      },
      testing::ExitedWithCode(1), "Bad ouf_open type!");
}

TEST(CalcFileMd5, KnownSignaturesAndEmptyFiles) {
  TempDir t;
  std::string sig;
  write_file(t / "abc.txt", "abc");
  ASSERT_EQ(calc_file_md5(t / "abc.txt", sig), 0);
  EXPECT_EQ(sig, "900150983cd24fb0d6963f7d28e17f72");

  // Longer than one 64 KiB piece, and not a multiple of it.
  write_file(t / "million.txt", std::string(1000000, 'a'));
  ASSERT_EQ(calc_file_md5(t / "million.txt", sig), 0);
  EXPECT_EQ(sig, "7707d6ae4e027c70eea2a935c2296f21");

  write_file(t / "empty.txt", "");
  ASSERT_EQ(calc_file_md5(t / "empty.txt", sig), 0);
  EXPECT_EQ(sig, "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(CalcFileMd5, UnreadableInputsGive20006AndKeepTheSignature) {
  TempDir t;
  std::string sig = "NONE";
  EXPECT_EQ(calc_file_md5(t / "missing.txt", sig), kErrFileOpen);
  EXPECT_EQ(sig, "NONE");
  fs::create_directory(t / "folder");
  EXPECT_EQ(calc_file_md5(t / "folder", sig), kErrFileOpen);
  EXPECT_EQ(calc_file_md5(t / "folder/", sig), kErrFileOpen);
  EXPECT_EQ(sig, "NONE");
  EXPECT_EQ(error_str(kErrFileOpen), "We could not open a file to read from it");
}

TEST(CalcFileMd5, ModeZeroFileIsUnreadable) {
#ifdef _WIN32
  GTEST_SKIP() << "no file mode keeps its owner from reading it on Windows";
#endif
  if (is_root()) GTEST_SKIP() << "root reads files of mode 000";
  TempDir t;
  write_file(t / "locked.txt", "secret");
  fs::permissions(t / "locked.txt", fs::perms::none);
  std::string sig = "NONE";
  EXPECT_EQ(calc_file_md5(t / "locked.txt", sig), kErrFileOpen);
  EXPECT_EQ(sig, "NONE");
}
