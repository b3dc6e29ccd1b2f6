// Unpacking downloaded archives: layout, damaged input, names that lead outside, failed writes.
#include <gtest/gtest.h>

#include <cerrno>
#include <minizip/unzip.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "files/error_text.h"
#include "files/file_utils.h"
#include "files/md5.h"
#include "files/zip_extract.h"
#include "tests/files/zip_maker.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using zip_maker::entry;
using zip_maker::make_zip;
namespace fs = std::filesystem;

namespace {

// A temporary folder with an archive path and an output folder inside it.
struct unzip_fixture : testing::Test {
  TempDir t;
  LogCapture log;
  std::string zip = t / "in.zip";
  std::string out = t / "out/";
  void SetUp() override { fs::create_directory(out); }
  int unzip() { return zip_to_file(zip, out, nullptr, 0); }
  std::vector<std::string> out_tree() { return list_tree(out); }
};

}  // namespace

using ZipToFile = unzip_fixture;

TEST_F(ZipToFile, FoldersFilesAndEmptyFiles) {
  ASSERT_TRUE(make_zip(zip, {{"a/", ""}, {"a/b.txt", "hello b"}, {"top.txt", "top", false}, {"a/empty.txt", ""}}));
  ASSERT_EQ(unzip(), 0);
  EXPECT_EQ(out_tree(), (std::vector<std::string>{"a/", "a/b.txt", "a/empty.txt", "top.txt"}));
  EXPECT_EQ(read_file(out + "a/b.txt"), "hello b");
  EXPECT_EQ(read_file(out + "top.txt"), "top");
  EXPECT_EQ(fs::file_size(out + "a/empty.txt"), 0u);
  // Every walk ends with this line, success included.
  EXPECT_NE(log.text().find("NEXTFILE zip_to_file failed with err=-100\n"), std::string::npos);
  EXPECT_EQ(log.text().find("Zip to file failed"), std::string::npos);
}

TEST_F(ZipToFile, FileWithoutItsFolderEntry) {
  ASSERT_TRUE(make_zip(zip, {{"a/b.txt", "x"}}));
  EXPECT_EQ(unzip(), ENOENT);
  EXPECT_TRUE(out_tree().empty());
  fs::create_directory(out + "a");
  EXPECT_EQ(unzip(), 0);
  EXPECT_EQ(read_file(out + "a/b.txt"), "x");
}

TEST_F(ZipToFile, MacDataAndSymbolicLinksAreSkipped) {
  ASSERT_TRUE(make_zip(zip, {{"__MACOSX/", ""},
                             {"__MACOSX/._b.txt", "fork"},
                             {"__MACOSX", "odd"},
                             {"link", "/etc/passwd", true, 0120777},
                             {"b.txt", "b", true, 0100644}}));
  ASSERT_EQ(unzip(), 0);
  EXPECT_EQ(out_tree(), std::vector<std::string>{"b.txt"});
}

TEST_F(ZipToFile, ReplacesExistingFilesReadOnlyOnesToo) {
  write_file(out + "f.txt", "old old old");
  chmod((out + "f.txt").c_str(), 0444);
  ASSERT_TRUE(make_zip(zip, {{"f.txt", "new"}}));
  ASSERT_EQ(unzip(), 0);
  EXPECT_EQ(read_file(out + "f.txt"), "new");
  EXPECT_EQ(out_tree(), std::vector<std::string>{"f.txt"});
}

TEST_F(ZipToFile, OutFileAndForcedName) {
  ASSERT_TRUE(make_zip(zip, {{"first.txt", "1"}, {"second.txt", "2"}}));
  std::string name = "renamed.txt";
  ASSERT_EQ(zip_to_file(zip, out, &name, 1), 0);
  EXPECT_EQ(name, "first.txt");
  EXPECT_EQ(out_tree(), (std::vector<std::string>{"renamed.txt", "second.txt"}));
  EXPECT_EQ(read_file(out + "renamed.txt"), "1");
}

TEST_F(ZipToFile, MissingNonZipAndTruncatedArchives) {
  EXPECT_EQ(unzip(), kErrZipOpen);
  std::string text = log.text();
  EXPECT_NE(text.find("ok i am about to report that i could not open a zip file for extraction!\n"
                      "that incoming file is " + zip + "\nin c-form, it is " + zip + "\nthe size is " +
                      std::to_string(zip.size()) + "\n"),
            std::string::npos);
  EXPECT_NE(text.find("Zip to file failed with error err = 20001. file = IO_UTILS line = 1598. zip_file=" + zip +
                      ", out_directory=" + out + ".\n"),
            std::string::npos);
  EXPECT_EQ(error_str(kErrZipOpen), "We were unable to open a zip file.  It may be missing or damaged");

  write_file(zip, "This is a web server's error page, not a zip file.\n");
  EXPECT_EQ(unzip(), kErrZipOpen);

  ASSERT_TRUE(make_zip(zip, {{"a.txt", std::string(5000, 'a')}, {"b.txt", std::string(5000, 'b'), false}}));
  fs::resize_file(zip, fs::file_size(zip) / 2);
  EXPECT_EQ(unzip(), kErrZipOpen);
  EXPECT_TRUE(out_tree().empty());
}

TEST_F(ZipToFile, ArchiveWithoutEntriesDoesNotOpen) {
  ASSERT_TRUE(make_zip(zip, {}));
  EXPECT_EQ(unzip(), kErrZipOpen);
}

TEST_F(ZipToFile, CrcErrorKeepsTheOldFileAndLeavesNoPartialFile) {
  write_file(out + "target.bin", "the old content");
  ASSERT_TRUE(make_zip(zip, {{"good.txt", "good"}, {"target.bin", "PAYLOAD-0123456789", false}, {"after.txt", "a"}}));
  int64_t at = zip_maker::find_in_file(zip, "PAYLOAD-0123456789");
  ASSERT_GE(at, 0);
  zip_maker::flip_byte(zip, at + 3);

  int err = unzip();
  EXPECT_EQ(err, UNZ_CRCERROR);
  EXPECT_EQ(error_str(err), "Part of the downloaded zip file is corrupted (its checksum does not match)");
  EXPECT_EQ(read_file(out + "target.bin"), "the old content");
  // Entries before the damaged one stay; nothing after it is written.
  EXPECT_EQ(out_tree(), (std::vector<std::string>{"good.txt", "target.bin"}));
  std::string text = log.text();
  EXPECT_NE(text.find("Zip to file failed with error -105. file = IO_UTILS line = 1420. inFile=" + out +
                      "target.bin.\n"),
            std::string::npos);
  EXPECT_NE(text.find("UNZIP zip_to_file failed with err=-105\n"), std::string::npos);
}

TEST_F(ZipToFile, DamagedCompressedDataFails) {
  std::string content;
  for (int i = 0; i < 20000; ++i) content += "line " + std::to_string(i * 31 % 977) + "\n";
  ASSERT_TRUE(make_zip(zip, {{"data.txt", content}}));
  zip_maker::flip_byte(zip, 30 + 8 + 200);  // inside the deflated data of the first entry
  int err = unzip();
  EXPECT_TRUE(err == kErrZipRead || err == UNZ_CRCERROR) << err;
  EXPECT_TRUE(out_tree().empty());
}

TEST_F(ZipToFile, NamesLeadingOutsideAreNeverWritten) {
  const std::vector<std::string> bad_names = {"../x", "/etc/x", "a/../../x", "..\\x", "a/..", "../evil/",
                                              "a:..:..:x"};
  for (const std::string& bad : bad_names) {
    SCOPED_TRACE(bad);
    fs::remove_all(out);
    fs::create_directory(out);
    ASSERT_TRUE(make_zip(zip, {{"good.txt", "g"}, {"a/", ""}, {bad, "escaped"}, {"after.txt", "after"}}));
    EXPECT_EQ(unzip(), kErrZipOutside);
    EXPECT_EQ(out_tree(), (std::vector<std::string>{"a/", "good.txt"}));
    // Nothing appeared beside the output folder either.
    EXPECT_EQ(list_tree(t.path()), (std::vector<std::string>{"in.zip", "out/", "out/a/", "out/good.txt"}));
  }
  EXPECT_NE(log.text().find("UNZIP zip_to_file failed with err=20013\n"), std::string::npos);

  // Names Windows cannot hold, which unpacking refuses there, and near misses it must keep.
  for (const char* unfit : {"CON", "con.txt", "Data/nul.tar.gz", "a/PRN/b", "aux:x", "LPT9.log", "com1",
                            "COM\xc2\xb9", "nul .txt", "dir./f", "f ", "a\\b. ", "a<b", "q?", "s*", "p|q", "x\"y",
                            "tab\tname", "bell\x07"})
    EXPECT_TRUE(zip_name_unfit_for_windows(unfit)) << unfit;
  for (const char* fit : {"CONSOLE.txt", "console", "com10", "LPT0", "nul_x", "AUXILIARY/x", "a.b/c.d", ".hidden",
                          "folder/", "./x", "Resources/airfoils/NACA 0012.afl", "\xc3\xbc" "ber.txt", ""})
    EXPECT_FALSE(zip_name_unfit_for_windows(fit)) << fit;
}

TEST_F(ZipToFile, OverlongNamesAreAnErrorNotAnEnd) {
  ASSERT_TRUE(make_zip(zip, {{std::string(480, 'n'), "x"}}));
  EXPECT_EQ(unzip(), ENAMETOOLONG);
  ASSERT_TRUE(make_zip(zip, {{std::string(300, 'n'), "x"}}));
  EXPECT_EQ(unzip(), ENAMETOOLONG);
  EXPECT_EQ(error_str(ENAMETOOLONG), "File name too long");
  EXPECT_TRUE(out_tree().empty());
}

TEST_F(ZipToFile, TargetThatCannotBeCreated) {
  write_file(out + "f", "a file where a folder should be");
  ASSERT_TRUE(make_zip(zip, {{"f/x.txt", "x"}}));
  EXPECT_EQ(unzip(), ENOTDIR);
  EXPECT_EQ(sErrLine, 1638);
  EXPECT_EQ(read_file(out + "f"), "a file where a folder should be");
}

TEST_F(ZipToFile, ReadOnlyFolderKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  write_file(out + "ro/f.txt", "old");
  chmod((out + "ro").c_str(), 0555);
  ASSERT_TRUE(make_zip(zip, {{"ro/f.txt", "new"}}));
  EXPECT_EQ(unzip(), EACCES);
  EXPECT_EQ(read_file(out + "ro/f.txt"), "old");
  EXPECT_EQ(out_tree(), (std::vector<std::string>{"ro/", "ro/f.txt"}));
}

TEST_F(ZipToFile, FailedWriteKeepsTheOldFileAndLeavesNoPartialFile) {
  // A file-size limit makes the write fail the way a full disk does, for root too.
  write_file(out + "big.bin", "the old content");
  std::string content(2 << 20, 'z');
  ASSERT_TRUE(make_zip(zip, {{"big.bin", content}}));
  log.text();  // make sure the log is on disk before the limit

  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  struct rlimit small = old_limit;
  small.rlim_cur = 1 << 20;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int err = unzip();
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);

  EXPECT_EQ(err, EFBIG) << "the system's own reason is kept";
  EXPECT_EQ(sErrLine, 1638);
  EXPECT_EQ(read_file(out + "big.bin"), "the old content");
  EXPECT_EQ(out_tree(), std::vector<std::string>{"big.bin"});
  EXPECT_NE(log.text().find("Zip to file failed with error " + std::to_string(EFBIG) + ". file = IO_UTILS line = 1435."),
            std::string::npos);
}

TEST_F(ZipToFile, BigEntryIsStreamedInBoundedMemory) {
  const uint64_t size = 50ull << 20;
  MD5_CTX expected;
  MD5Init(&expected);
  // Low-entropy bytes: quick to deflate, still far from uniform.
  uint64_t state = 88172645463325252ull;
  auto fill = [&](uint64_t, unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      p[i] = static_cast<unsigned char>('a' + (state & 15));
    }
    MD5UpdateWide(&expected, p, n);
  };
  ASSERT_TRUE(zip_maker::make_big_zip(zip, "big.dat", size, fill));
  MD5Final(&expected);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", expected.digest[i]);

  // Reset the peak so that it measures the extraction alone.
  { std::ofstream("/proc/self/clear_refs") << "5"; }
  long before = zip_maker::peak_rss_kib();
  ASSERT_EQ(unzip(), 0);
  long grown = zip_maker::peak_rss_kib() - before;
  RecordProperty("peak_growth_kib", static_cast<int>(grown));

  EXPECT_EQ(fs::file_size(out + "big.dat"), size);
  std::string sig;
  ASSERT_EQ(calc_file_md5(out + "big.dat", sig), 0);
  EXPECT_EQ(sig, hex);
  if (before > 0) {
    EXPECT_LT(grown, 16 * 1024) << "KiB added to the peak while unpacking";
  }

  // A large entry is hashed on a thread of its own: the digest must still decide.
  zip_entry_rules want;
  want.name = "big.dat";
  want.md5 = hex;
  const std::string target = t / "checked.dat";
  bool archive_fault = true;
  EXPECT_EQ(zip_extract_entry(zip, target, want, &archive_fault, nullptr), 0);
  EXPECT_FALSE(archive_fault);
  EXPECT_EQ(fs::file_size(target), size);
  want.md5[0] = want.md5[0] == '0' ? '1' : '0';
  write_file(target, "kept");
  EXPECT_EQ(zip_extract_entry(zip, target, want, &archive_fault, nullptr), kErrZipWrongContent);
  EXPECT_TRUE(archive_fault);
  EXPECT_EQ(read_file(target), "kept");
  // No half-written file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(t.path()), fs::directory_iterator()), 3);
}
