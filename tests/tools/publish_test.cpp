// zephra-publish, run as the vendor runs it, with its output read back the way the installer
// reads it: the server list by the installer's reader, the archives by its zip extractor.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "files/zip_extract.h"
#include "install/destination.h"
#include "install/directory.h"
#include "install/server_list.h"
#include "install/session_state.h"
#include "tests/support/test_support.h"
#include "tests/tools/publish_support.h"

using namespace testing_support;
using namespace publish_testing;
namespace fs = std::filesystem;

namespace {

const char kReadmeMd5[] = "21c84ea0acc6110b524102e681f01198";  // "Read me first.\n"
const char kAlphaMd5[] = "9f9f90dbe3e5ee1218c86b8839db1995";   // "alpha\n"
const char kAlpha2Md5[] = "7099005eea301ccdf03f5769e14ee438";  // "alpha two\n"
const char kDllMd5[] = "4dfd8f4d3c7708cb27439f6508049e49";     // "MZ fake\n"
const char kSoMd5[] = "e3e402968ac8956542ad0d2ca956de9c";      // "ELF fake\n"
const char kNewMd5[] = "9cd599a3523898e6a12e13ec787da50a";     // "new\n"
const char kBigMd5[] = "83e0f5475b462dd99b336d72ba759d36";     // big_content()

// 2001 bytes that deflate cannot shrink: 3 kB on disk and 3 kB zipped.
std::string big_content() {
  std::string s;
  uint32_t x = 12345;
  for (int i = 0; i < 2001; ++i) {
    x = x * 1103515245u + 12345u;
    s += static_cast<char>((x >> 16) & 0xff);
  }
  return s;
}

class Publish : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(master + "/readme.txt", "Read me first.\n");
    write_file(master + "/Resources/a.txt", "alpha\n");
    write_file(master + "/Resources/big.bin", big_content());
    write_file(master + "/Resources/plugins/win.dll", "MZ fake\n");
    write_file(master + "/Resources/plugins/lin.so", "ELF fake\n");
  }

  // Publishes the master folder as name into out with the extra arguments; the exit status.
  int publish(const std::string& name, const std::string& out, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--master", master, "--name", name, "--out", out};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_publish(args, &out_text, &err_text);
  }

  // The histories of a published directory.txt as the installer reads them, by path.
  std::map<std::string, std::vector<file_version_struct>> histories(const std::string& directory_file) {
    dest_dir_path = tmp / "nowhere/";  // the examination of the disk finds nothing there
    EXPECT_EQ(read_directory(directory_file, "test"), 3);
    std::map<std::string, std::vector<file_version_struct>> by_path;
    for (const file_history_struct& h : sim_info.files) {
      EXPECT_EQ(by_path.count(h.versions.back().path), 0u) << "listed twice: " << h.versions.back().path;
      by_path[h.versions.back().path] = h.versions;
    }
    return by_path;
  }

  TempDir tmp;
  std::string master = tmp / "work/Zephra";
  std::string out_text, err_text;
};

TEST_F(Publish, FirstReleaseWritesTheDirectoryExactly) {
  std::string out = tmp / "out";
  ASSERT_EQ(publish("Zephra 8.50", out, {"--os", "*.dll=2", "--os", "Resources/plugins/*.so=6"}), 0) << err_text;
  std::string rel = out + "/Zephra 8.50/";
  auto down = [&](const std::string& path) { return std::to_string(kb_of(rel + path + ".zip")); };
  std::string expected =
      "I\n840 version\nINSTALLER\n"
      "DIR Zephra/\n"
      "FILE 0 0 850 " + down("Zephra/readme.txt") + " 1 " + kReadmeMd5 + " readme.txt\n"
      "DIR Zephra/Resources/\n"
      "FILE 0 0 850 " + down("Zephra/Resources/a.txt") + " 1 " + kAlphaMd5 + " a.txt\n"
      "FILE 0 0 850 " + down("Zephra/Resources/big.bin") + " 3 " + kBigMd5 + " big.bin\n"
      "DIR Zephra/Resources/plugins/\n"
      "FILE 0 6 850 " + down("Zephra/Resources/plugins/lin.so") + " 1 " + kSoMd5 + " lin.so\n"
      "FILE 0 2 850 " + down("Zephra/Resources/plugins/win.dll") + " 1 " + kDllMd5 + " win.dll\n";
  EXPECT_EQ(read_file(rel + "directory.txt"), expected);
  EXPECT_EQ(down("Zephra/Resources/big.bin"), "3");  // the archive of barely compressible data
  EXPECT_NE(out_text.find("Published Zephra 8.50"), std::string::npos) << out_text;
}

TEST_F(Publish, EachArchiveHoldsExactlyItsFileAndNothingElseIsLeft) {
  std::string out = tmp / "out";
  ASSERT_EQ(publish("Zephra 8.50", out), 0) << err_text;
  EXPECT_EQ(list_tree(out), (std::vector<std::string>{
                                "Zephra 8.50/",
                                "Zephra 8.50/Zephra/",
                                "Zephra 8.50/Zephra/Resources/",
                                "Zephra 8.50/Zephra/Resources/a.txt.zip",
                                "Zephra 8.50/Zephra/Resources/big.bin.zip",
                                "Zephra 8.50/Zephra/Resources/plugins/",
                                "Zephra 8.50/Zephra/Resources/plugins/lin.so.zip",
                                "Zephra 8.50/Zephra/Resources/plugins/win.dll.zip",
                                "Zephra 8.50/Zephra/readme.txt.zip",
                                "Zephra 8.50/directory.txt",
                                "Zephra 8.50/directory.txt.zip",
                                "serverlist.txt",
                            }));
  for (const char* path : {"readme.txt", "Resources/a.txt", "Resources/big.bin", "Resources/plugins/win.dll",
                           "Resources/plugins/lin.so"}) {
    SCOPED_TRACE(path);
    std::vector<zip_entry> entries;
    ASSERT_TRUE(read_zip(out + "/Zephra 8.50/Zephra/" + path + ".zip", entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, fs::path(path).filename().string());  // unpacked into the file's own folder
    EXPECT_EQ(entries[0].data, read_file(master + "/" + path));
    EXPECT_NE((entries[0].external_fa >> 16) & 0xA000, 0xA000ul);  // not taken for a symbolic link
  }
  std::vector<zip_entry> entries;
  ASSERT_TRUE(read_zip(out + "/Zephra 8.50/directory.txt.zip", entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "directory.txt");
  EXPECT_EQ(entries[0].data, read_file(out + "/Zephra 8.50/directory.txt"));
}

TEST_F(Publish, WhatTheInstallerFetchesAndUnpacksRebuildsTheMaster) {
  std::string out = tmp / "out";
  ASSERT_EQ(publish("Zephra 8.50", out, {"--server", "127.0.0.1:8080", "/", "Local"}), 0) << err_text;
  read_server_list(out + "/serverlist.txt");
  ASSERT_EQ(stg.num_servers, 1);
  EXPECT_EQ(install_name, "Zephra 8.50");
  // The mirror serves the output folder at "/", so a server path is a path below it.
  std::string release = out + server_path[0];
  ASSERT_TRUE(file_exists(release + "directory.txt.zip"));

  dest_dir_path = tmp / "dest/";
  ASSERT_EQ(read_directory(release + "directory.txt", "test"), 3);
  ASSERT_EQ(sim_info.files.size(), 5u);
  for (const file_history_struct& h : sim_info.files) {
    const file_version_struct& v = h.versions.back();
    std::string target = dest_path_of(v.path);
    std::string folder = target.substr(0, target.rfind('/') + 1);
    fs::create_directories(folder);
    ASSERT_EQ(zip_to_file(release + v.path + ".zip", folder, nullptr, 0), 0) << v.path;
  }
  std::string dest = dest_dir_path;
  EXPECT_EQ(list_tree(dest), list_tree(master));
  for (const std::string& f : list_tree(master)) {
    if (f.back() == '/') continue;
    EXPECT_EQ(read_file(dest + f), read_file(master + "/" + f)) << f;
  }
}

TEST_F(Publish, RepublishingKeepsHistoriesAndAddsOnlyWhatChanged) {
  std::string out = tmp / "out";
  ASSERT_EQ(publish("Zephra 8.40", out), 0) << err_text;

  write_file(master + "/Resources/a.txt", "alpha two\n");
  fs::remove(master + "/readme.txt");
  write_file(master + "/Resources/new.txt", "new\n");
  ASSERT_EQ(publish("Zephra 8.50", out, {"--previous", out + "/Zephra 8.40/directory.txt"}), 0) << err_text;
  EXPECT_NE(out_text.find("1 new, 1 changed, 3 unchanged), 1 removed"), std::string::npos) << out_text;

  auto h = histories(out + "/Zephra 8.50/directory.txt");
  ASSERT_EQ(h.size(), 6u);
  ASSERT_EQ(h["Zephra/Resources/a.txt"].size(), 2u);
  EXPECT_EQ(h["Zephra/Resources/a.txt"][0].sig_want, kAlphaMd5);
  EXPECT_EQ(h["Zephra/Resources/a.txt"][0].version_num, 840);
  EXPECT_EQ(h["Zephra/Resources/a.txt"][1].sig_want, kAlpha2Md5);
  EXPECT_EQ(h["Zephra/Resources/a.txt"][1].version_num, 850);
  ASSERT_EQ(h["Zephra/readme.txt"].size(), 2u);
  EXPECT_EQ(h["Zephra/readme.txt"][1].sig_want, "GONE");
  EXPECT_EQ(h["Zephra/readme.txt"][1].down_size, 0);
  EXPECT_EQ(h["Zephra/readme.txt"][1].disk_size, 0);
  ASSERT_EQ(h["Zephra/Resources/new.txt"].size(), 1u);
  EXPECT_EQ(h["Zephra/Resources/new.txt"][0].sig_want, kNewMd5);
  ASSERT_EQ(h["Zephra/Resources/big.bin"].size(), 1u);
  EXPECT_EQ(h["Zephra/Resources/big.bin"][0].version_num, 840);
  EXPECT_FALSE(file_exists(out + "/Zephra 8.50/Zephra/readme.txt.zip"));
  EXPECT_TRUE(file_exists(out + "/Zephra 8.40/Zephra/readme.txt.zip"));  // the older release stays whole

  // A file that is still gone gets no second GONE; one that comes back gets a new version.
  write_file(master + "/readme.txt", "Read me first.\n");
  fs::remove(master + "/Resources/new.txt");
  ASSERT_EQ(publish("Zephra 8.60", out, {"--previous", out + "/Zephra 8.50/directory.txt"}), 0) << err_text;
  ASSERT_EQ(publish("Zephra 8.70", out, {"--previous", out + "/Zephra 8.60/directory.txt"}), 0) << err_text;
  h = histories(out + "/Zephra 8.70/directory.txt");
  ASSERT_EQ(h["Zephra/readme.txt"].size(), 3u);
  EXPECT_EQ(h["Zephra/readme.txt"][2].sig_want, kReadmeMd5);
  EXPECT_EQ(h["Zephra/readme.txt"][2].version_num, 860);
  ASSERT_EQ(h["Zephra/Resources/new.txt"].size(), 2u);
  EXPECT_EQ(h["Zephra/Resources/new.txt"][1].sig_want, "GONE");
  EXPECT_EQ(h["Zephra/Resources/a.txt"].size(), 2u);
  EXPECT_EQ(read_file(out + "/serverlist.txt").find("BETA Zephra 8.70\n"), 22u);
}

TEST_F(Publish, OperatingSystemRulesAndTheirChanges) {
  write_file(master + "/Resources/plugins/sub/deep.dll", "MZ fake\n");
  write_file(master + "/tool.dll", "MZ fake\n");
  std::string out = tmp / "out";
  // Later rules win; "**" spans folders; a pattern without "/" looks at the name only.
  ASSERT_EQ(publish("Zephra 8.50", out,
                    {"--os", "*.dll=2", "--os", "Resources/plugins/**=6", "--os", "Resources/plugins/*.dll=1",
                     "--os", "**/big.bin=5"}),
            0)
      << err_text;
  auto h = histories(out + "/Zephra 8.50/directory.txt");
  EXPECT_EQ(h["Zephra/tool.dll"][0].os_type, 2);
  EXPECT_EQ(h["Zephra/Resources/plugins/win.dll"][0].os_type, 1);
  EXPECT_EQ(h["Zephra/Resources/plugins/sub/deep.dll"][0].os_type, 6);
  EXPECT_EQ(h["Zephra/Resources/plugins/lin.so"][0].os_type, 6);
  EXPECT_EQ(h["Zephra/Resources/big.bin"][0].os_type, 5);
  EXPECT_EQ(h["Zephra/Resources/a.txt"][0].os_type, 0);
  EXPECT_EQ(h["Zephra/readme.txt"][0].os_type, 0);

  // An unchanged file whose system changed gets a version that says so; a removed file's GONE
  // keeps the system of what it removes.
  fs::remove(master + "/tool.dll");
  ASSERT_EQ(publish("Zephra 8.60", out, {"--previous", out + "/Zephra 8.50/directory.txt", "--os", "*.dll=2"}), 0)
      << err_text;
  h = histories(out + "/Zephra 8.60/directory.txt");
  ASSERT_EQ(h["Zephra/Resources/plugins/win.dll"].size(), 2u);
  EXPECT_EQ(h["Zephra/Resources/plugins/win.dll"][1].os_type, 2);
  ASSERT_EQ(h["Zephra/Resources/big.bin"].size(), 2u);
  EXPECT_EQ(h["Zephra/Resources/big.bin"][1].os_type, 0);
  ASSERT_EQ(h["Zephra/Resources/a.txt"].size(), 1u);
  ASSERT_EQ(h["Zephra/tool.dll"].size(), 2u);
  EXPECT_EQ(h["Zephra/tool.dll"][1].sig_want, "GONE");
  EXPECT_EQ(h["Zephra/tool.dll"][1].os_type, 2);
}

TEST_F(Publish, BuildsOnADirectoryWrittenElsewhere) {
  // Written on another system: CR LF line ends, "\" and ":" separators, version 810, another
  // top folder, an out-of-range system code, and one file listed in two places.
  std::string previous = tmp / "old/directory.txt";
  write_file(previous,
             "I\r\n810 version Old Vendor\r\nINSTALLER\r\n"
             "; a comment line\r\n"
             "DIR Old\\Resources\\\r\n"
             "FILE 1 9 800 1 1 " + std::string(kAlphaMd5) + " a.txt\r\n"
             "FILE 0 0 800 1 1 0123456789abcdef0123456789abcdef big.bin\r\n"
             "DIR Old:\r\n"
             "FILE 0 0 800 1 1 ffffffffffffffffffffffffffffffff readme.txt\r\n"
             "FILE 0 0 800 1 1 eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee gone.txt\r\n"
             "FILE 0 0 810 0 0 GONE gone.txt\r\n"
             "DIR Old/Resources/\r\n"
             "FILE 0 0 810 1 1 dddddddddddddddddddddddddddddddd big.bin\r\n");
  std::string out = tmp / "out";
  ASSERT_EQ(publish("Zephra 8.50", out, {"--previous", previous}), 0) << err_text;
  EXPECT_NE(err_text.find("top folder 'Old'"), std::string::npos) << err_text;
  EXPECT_NE(err_text.find("Resources/big.bin in more than one place"), std::string::npos) << err_text;

  auto h = histories(out + "/Zephra 8.50/directory.txt");
  ASSERT_EQ(h.size(), 6u);
  ASSERT_EQ(h["Zephra/Resources/a.txt"].size(), 2u);  // the system code changed from 6 to 0
  EXPECT_EQ(h["Zephra/Resources/a.txt"][0].os_type, 6);
  EXPECT_EQ(h["Zephra/Resources/a.txt"][1].use_type, 1);
  ASSERT_EQ(h["Zephra/Resources/big.bin"].size(), 3u);
  EXPECT_EQ(h["Zephra/Resources/big.bin"][1].sig_want, "dddddddddddddddddddddddddddddddd");
  EXPECT_EQ(h["Zephra/Resources/big.bin"][2].sig_want, kBigMd5);
  ASSERT_EQ(h["Zephra/gone.txt"].size(), 2u);  // already gone: nothing added
  ASSERT_EQ(h["Zephra/readme.txt"].size(), 2u);
}

TEST_F(Publish, ServerListIsWhatTheInstallerReads) {
  std::string out = tmp / "out";
  ASSERT_EQ(publish("Zephra 8.50", out,
                    {"--server", "127.0.0.1:8080", "/mirror", "  First mirror  ", "--server", "files.example.test",
                     "/", "Second one"}),
            0)
      << err_text;
  EXPECT_EQ(read_file(out + "/serverlist.txt"),
            "I\n820 version\nSERVERS\nBETA Zephra 8.50\n"
            "SERVER 127.0.0.1:8080\n/mirror/\nFirst mirror\n"
            "SERVER files.example.test\n/\nSecond one\n"
            "ENDOFLIST\n");
  read_server_list(out + "/serverlist.txt");
  ASSERT_EQ(stg.num_servers, 2);
  EXPECT_EQ(server_name[0], "127.0.0.1:8080");
  EXPECT_EQ(server_path[0], "/mirror/Zephra 8.50/");
  EXPECT_EQ(server_desc[0], "First mirror");
  EXPECT_EQ(server_path[1], "/Zephra 8.50/");
}

TEST_F(Publish, ReleasesShareAnOutputFolderButNeverMix) {
  std::string out = tmp / "out";
  ASSERT_EQ(publish("Zephra 8.40", out), 0) << err_text;
  ASSERT_EQ(publish("Zephra 8.50", out), 0) << err_text;
  EXPECT_TRUE(file_exists(out + "/Zephra 8.40/directory.txt.zip"));
  EXPECT_NE(read_file(out + "/serverlist.txt").find("BETA Zephra 8.50\n"), std::string::npos);

  std::string before = read_file(out + "/Zephra 8.50/directory.txt");
  write_file(master + "/Resources/a.txt", "alpha two\n");
  EXPECT_EQ(publish("Zephra 8.50", out), 1);
  EXPECT_NE(err_text.find("already holds"), std::string::npos) << err_text;
  EXPECT_EQ(read_file(out + "/Zephra 8.50/directory.txt"), before);
  for (const std::string& entry : list_tree(out)) EXPECT_NE(entry[0], '.') << entry;  // no working folder left
}

}  // namespace
