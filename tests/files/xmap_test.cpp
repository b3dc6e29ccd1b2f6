// The mapped text scanner: headers, line ends and the four scans.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "files/xmap.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

const int kV800[] = {800, 0};
const int kV810[] = {810, 0};

}  // namespace

TEST(Xmap, EmptyAndMissingFilesGiveAnEmptyScanner) {
  TempDir t;
  write_file(t / "empty.txt", "");
  xmap_class empty(t / "empty.txt");
  EXPECT_EQ(empty.mBegin, nullptr);
  EXPECT_EQ(empty.mCrt, empty.mEnd);
  EXPECT_EQ(empty.mZeroLength, 1);
  EXPECT_EQ(empty.check_file(10001, kV800, nullptr, nullptr), 0);

  xmap_class missing(t / "missing.txt");
  EXPECT_EQ(missing.mBegin, nullptr);
  EXPECT_EQ(missing.mZeroLength, 0);
  std::string s = "old";
  missing.TXT_str_scan_eoln(&s);
  EXPECT_EQ(s, "");
  s = "old";
  missing.TXT_str_scan_space(&s);
  EXPECT_EQ(s, "");
  EXPECT_EQ(missing.TXT_int_scan(), 0);
  EXPECT_EQ(missing.TXT_str_scan_match("X", 1), 0);

  // A folder is not a file to map, and no alert is raised for it.
  AlertRecorder alerts;
  xmap_class folder(t.path());
  EXPECT_EQ(folder.mBegin, nullptr);
  EXPECT_TRUE(alerts.alerts.empty());
}

TEST(Xmap, RetryReplacesTheMapping) {
  TempDir t;
  write_file(t / "a.txt", "first");
  write_file(t / "b.txt", "second file");
  xmap_class map(t / "a.txt");
  ASSERT_NE(map.mBegin, nullptr);
  EXPECT_EQ(std::string(map.mBegin, map.mEnd), "first");
  EXPECT_NE(map.retry(t / "b.txt"), nullptr);
  EXPECT_EQ(std::string(map.mBegin, map.mEnd), "second file");
  EXPECT_EQ(map.retry(t / "gone.txt"), nullptr);
  EXPECT_EQ(map.mEnd, nullptr);
  EXPECT_EQ(map.mFile, -1);
}

TEST(Xmap, TextHeader) {
  TempDir t;
  write_file(t / "servers.txt", "I\n800 version\nSERVERS\nnext line\n");
  xmap_class map(t / "servers.txt");
  EXPECT_EQ(map.check_file(10001, kV800, "SERVERS", nullptr), 800);
  std::string rest;
  map.TXT_str_scan_eoln(&rest);
  EXPECT_EQ(rest, "next line");
  EXPECT_EQ(map.check_file(10001, kV810, "SERVERS", nullptr), 0);
  EXPECT_EQ(map.check_file(10001, kV800, "SERVER", nullptr), 0);
  EXPECT_EQ(map.check_file(10001, kV800, nullptr, nullptr), 800);
  // The text mark is not a raw mark.
  EXPECT_EQ(map.check_file(10000, kV800, nullptr, nullptr), 0);

  write_file(t / "lower.txt", "i\n800 version\n");
  xmap_class lower(t / "lower.txt");
  EXPECT_EQ(lower.check_file(10001, kV800, nullptr, nullptr), 0);

  // Windows line ends pass as well.
  write_file(t / "crlf.txt", "A\r\n800 version (c) me\r\nSERVERS\r\n");
  xmap_class crlf(t / "crlf.txt");
  std::string copyright;
  EXPECT_EQ(crlf.check_file(10001, kV800, "SERVERS", &copyright), 800);
  EXPECT_EQ(copyright, "version (c) me");
}

TEST(Xmap, RawHeaderInBothByteOrders) {
  TempDir t;
  write_file(t / "i.bin", std::string("i\x20\x03\x00\x00", 5));
  xmap_class little(t / "i.bin");
  EXPECT_EQ(little.check_file(10000, kV800, nullptr, nullptr), 800);
  EXPECT_EQ(little.rev_inf_bin, 0);

  write_file(t / "a.bin", std::string("a\x00\x00\x03\x20", 5));
  xmap_class big(t / "a.bin");
  EXPECT_EQ(big.check_file(10000, kV800, nullptr, nullptr), 800);
  EXPECT_EQ(big.rev_inf_bin, 1);

  write_file(t / "short.bin", std::string("i\x20\x03", 3));
  xmap_class cut(t / "short.bin");
  EXPECT_EQ(cut.check_file(10000, kV800, nullptr, nullptr), 0);

  write_file(t / "text.bin", "I\n800 version\n");
  xmap_class text(t / "text.bin");
  EXPECT_EQ(text.check_file(10000, kV800, nullptr, nullptr), 0);
}

TEST(XmapDeathTest, BadHeaderKindIsFatal) {
  EXPECT_EXIT(
      {
        alert_hooks().show = [](const alert_view& v) { std::cerr << v.lines[0] << "\n"; };
        xmap_class map;
        map.check_file(3, kV800, nullptr, nullptr);
      },
      testing::ExitedWithCode(1), "Bad check_file type!");
}

TEST(Xmap, IntScan) {
  TempDir t;
  write_file(t / "n.txt", "-12 +7\t-+5 1a  ,\n  42");
  xmap_class map(t / "n.txt");
  EXPECT_EQ(map.TXT_int_scan(), -12);
  EXPECT_EQ(map.TXT_int_scan(), 7);
  EXPECT_EQ(map.TXT_int_scan(), 5);
  EXPECT_EQ(map.TXT_int_scan(), 59);  // digits are not checked
  map.TXT_int_scan();
  EXPECT_EQ(map.TXT_int_scan(), 0);  // an empty field at the line end
  map.TXT_str_scan_eoln(nullptr);
  EXPECT_EQ(map.TXT_int_scan(), 42);
  EXPECT_EQ(map.mCrt, map.mEnd);
  EXPECT_EQ(map.TXT_int_scan(), 0);

  // Far too many digits wrap around rather than misbehave.
  write_file(t / "big.txt", "99999999999999999999999");
  xmap_class big(t / "big.txt");
  big.TXT_int_scan();
  EXPECT_EQ(big.mCrt, big.mEnd);
}

TEST(Xmap, EveryLineEndEndsALine) {
  TempDir t;
  static const char kText[] = "  abc  \r\n\r\n  def\rtwo\nthree\r\nfour\0five";
  write_file(t / "ends.txt", std::string(kText, sizeof kText - 1));
  xmap_class map(t / "ends.txt");
  std::string line;
  map.TXT_str_scan_eoln(&line);
  EXPECT_EQ(line, "abc  ");
  EXPECT_EQ(*map.mCrt, 'd');
  const char* expected[] = {"def", "two", "three", "four", "five"};
  for (const char* e : expected) {
    map.TXT_str_scan_eoln(&line);
    EXPECT_EQ(line, e);
  }
  EXPECT_EQ(map.mCrt, map.mEnd);
  map.TXT_str_scan_eoln(&line);
  EXPECT_EQ(line, "");
}

TEST(Xmap, WordsStopAtBlanksAndLineEnds) {
  TempDir t;
  write_file(t / "w.txt", "  one\ttwo three\nfour");
  xmap_class map(t / "w.txt");
  std::string w;
  map.TXT_str_scan_space(&w);
  EXPECT_EQ(w, "one");
  map.TXT_str_scan_space(&w);
  EXPECT_EQ(w, "two");
  map.TXT_str_scan_space(&w);
  EXPECT_EQ(w, "three");
  map.TXT_str_scan_space(&w);
  EXPECT_EQ(w, "");  // the line end is not skipped
  map.TXT_str_scan_eoln(nullptr);
  map.TXT_str_scan_space(&w);
  EXPECT_EQ(w, "four");
}

TEST(Xmap, KeywordMatch) {
  TempDir t;
  write_file(t / "k.txt", "FILE\r\nFILE x\nFILES\nFILE");
  xmap_class map(t / "k.txt");
  EXPECT_EQ(map.TXT_str_scan_match("FILE", 0), 0);  // a line end needs eol_ok
  EXPECT_EQ(map.TXT_str_scan_match("FILE", 1), 1);
  map.TXT_str_scan_eoln(nullptr);
  EXPECT_EQ(map.TXT_str_scan_match("FILE", 0), 1);
  EXPECT_EQ(*map.mCrt, ' ');
  map.TXT_str_scan_eoln(nullptr);
  const char* before = map.mCrt;
  EXPECT_EQ(map.TXT_str_scan_match("FILE", 1), 0);
  EXPECT_EQ(map.mCrt, before);
  EXPECT_EQ(map.TXT_str_scan_match("FILES", 1), 1);
  map.TXT_str_scan_eoln(nullptr);
  EXPECT_EQ(map.TXT_str_scan_match("FILE", 0), 0);  // the end of the data is a line end
  EXPECT_EQ(map.TXT_str_scan_match("FILE", 1), 1);
  EXPECT_EQ(map.mCrt, map.mEnd);
}
