// zephra-publish refuses what it cannot publish soundly, says why, and leaves the output folder
// as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"
#include "tests/tools/publish_support.h"

using namespace testing_support;
using namespace publish_testing;
namespace fs = std::filesystem;

namespace {

class PublishErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(master + "/readme.txt", "Read me first.\n");
    write_file(master + "/Resources/a.txt", "alpha\n");
  }
  // Runs the publisher; expects the exit status and a message holding needle, and nothing
  // published into out.
  void expect_refused(std::vector<std::string> args, int status, const std::string& needle) {
    std::string err;
    EXPECT_EQ(run_publish(args, nullptr, &err), status) << err;
    EXPECT_NE(err.find(needle), std::string::npos) << err;
    EXPECT_EQ(err.find("zephra-publish: "), 0u) << err;
    EXPECT_FALSE(fs::exists(out)) << "the output folder was made";
  }
  std::vector<std::string> base(const std::string& name = "Zephra 8.50") {
    return {"--master", master, "--name", name, "--out", out};
  }
  std::vector<std::string> with(std::vector<std::string> extra) {
    auto args = base();
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  TempDir tmp;
  std::string master = tmp / "work/Zephra";
  std::string out = tmp / "out";
};

TEST_F(PublishErrors, BadCommandLinesAreRefusedWithUsageStatus) {
  expect_refused({}, 2, "I need --master");
  expect_refused({"--master", master, "--out", out}, 2, "I need --name");
  expect_refused(with({"--verbose"}), 2, "I don't know the option '--verbose'");
  expect_refused(with({"--name", "Again"}), 2, "--name is given twice");
  expect_refused({"--master", master, "--name"}, 2, "--name needs a value");
  expect_refused(with({"--os", "*.dll"}), 2, "--os wants PATTERN=CODE");
  expect_refused(with({"--os", "*.dll=7"}), 2, "--os wants PATTERN=CODE");
  expect_refused(with({"--os", "=2"}), 2, "--os wants PATTERN=CODE");
  expect_refused(with({"--number", "8.5"}), 2, "--number wants a whole number");
  expect_refused(with({"--server", "host", "/path/"}), 2, "--server needs three values");
  expect_refused(with({"--server", "host/x", "/", "d"}), 2, "The server host 'host/x' won't do");
  expect_refused(with({"--server", "host:99999", "/", "d"}), 2, "port");
  expect_refused(with({"--server", "host", "path/", "d"}), 2, "must begin with '/'");
  expect_refused(with({"--server", "host", "/a/../b/", "d"}), 2, "'..'");
  expect_refused(with({"--server", "host", "/a?b/", "d"}), 2, "'?'");
  expect_refused(with({"--server", "host", "/", "  "}), 2, "description of server host won't do");
  std::vector<std::string> eleven = base();
  for (int i = 0; i < 11; ++i) eleven.insert(eleven.end(), {"--server", "h" + std::to_string(i), "/", "d"});
  expect_refused(eleven, 2, "at most 10 servers");
  expect_refused(with({"--serial", "7"}), 2, "give --sign-key too");
  expect_refused(with({"--sign-key", tmp / "k.secret", "--serial", "-7"}), 2, "--serial wants a whole number");
  expect_refused(with({"--sign-key", tmp / "k.secret", "--expires", "soon"}), 2, "--expires wants a number of days");
  expect_refused(with({"--new-key", tmp / "k"}), 2, "--new-key goes alone");
}

TEST_F(PublishErrors, KeysAreMadeForTheOwnerOnlyNeverReplacedAndOnlyASecretOneSigns) {
  ASSERT_EQ(run_publish({"--new-key", tmp / "k"}, nullptr, nullptr), 0);
  EXPECT_EQ(fs::status(tmp / "k.secret").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  std::string secret = read_file(tmp / "k.secret");
  std::string err;
  EXPECT_EQ(run_publish({"--new-key", tmp / "k"}, nullptr, &err), 1);
  EXPECT_NE(err.find("already exists; I won't replace a key"), std::string::npos) << err;
  EXPECT_EQ(read_file(tmp / "k.secret"), secret);
  expect_refused(with({"--sign-key", tmp / "k.public"}), 1, "it is not a secret key made with --new-key");
  expect_refused(with({"--sign-key", tmp / "missing.secret"}), 1, "can't be read");
}

TEST_F(PublishErrors, ReleaseNamesThatWouldLeaveTheOutputFolderOrBreakTheListAreRefused) {
  expect_refused(base(".."), 2, "release name '..' won't do");
  expect_refused(base("../escape"), 2, "holds a '/'");
  expect_refused(base(""), 2, "it is empty");
  expect_refused(base(" Zephra"), 2, "begins with a blank");
  expect_refused(base("Zephra "), 2, "ends with a blank");
  expect_refused(base("Zephra\n8.50"), 2, "control character");
  expect_refused(base("Zephra:8.50"), 2, "folder separator");
  expect_refused(base("serverlist.txt"), 2, "server list itself");
  EXPECT_FALSE(file_exists(tmp / "escape"));
}

TEST_F(PublishErrors, MasterFoldersTheInstallerCouldNotCarryAreRefused) {
  expect_refused({"--master", tmp / "missing", "--name", "Zephra 8.50", "--out", out}, 1, "does not exist");

  write_file(master + "/Resources/odd:name.txt", "x");
  write_file(master + "/Resources/50%.txt", "x");
  write_file(master + "/__MACOSX_notes.txt", "x");
  write_file(master + "/bad\\dir/x.txt", "x");
  fs::create_symlink("readme.txt", master + "/link.txt");
  std::string err;
  EXPECT_EQ(run_publish(base(), nullptr, &err), 1);
  for (const char* needle : {"Zephra/Resources/odd:name.txt: it holds a ':'", "Zephra/Resources/50%.txt: it holds a '%'",
                             "begins with __MACOSX", "Zephra/bad\\dir: it holds a '\\'", "Zephra/link.txt: it is a symbolic link",
                             "Nothing was published."})
    EXPECT_NE(err.find(needle), std::string::npos) << needle << "\n" << err;
  EXPECT_EQ(err.find("bad\\dir/x.txt"), std::string::npos) << "a refused folder is not entered";
  EXPECT_FALSE(file_exists(out + "/Zephra 8.50"));
  EXPECT_FALSE(file_exists(out + "/serverlist.txt"));
}

TEST_F(PublishErrors, LayoutsThatWouldCollideOrLoopAreRefused) {
  write_file(master + "/Resources/a.txt.zip/inner.txt", "x");  // a.txt.zip would be a file and a folder
  expect_refused(base(), 1, "would have to be a folder as well");
  fs::remove_all(master + "/Resources/a.txt.zip");

  expect_refused({"--master", master, "--name", "Zephra 8.50", "--out", master + "/Output"}, 1,
                 "inside the master folder");
  EXPECT_FALSE(file_exists(master + "/Output"));  // nothing is made inside the master folder

  std::string empty = tmp / "empty/Zephra";
  fs::create_directories(empty);
  expect_refused({"--master", empty, "--name", "Zephra 8.50", "--out", out}, 1, "holds no files");
}

TEST_F(PublishErrors, PreviousDirectoriesThatCannotBeBuiltOnAreRefused) {
  expect_refused(with({"--previous", tmp / "none/directory.txt"}), 1, "can't find the previous directory file");
  write_file(tmp / "empty.txt", "");
  expect_refused(with({"--previous", tmp / "empty.txt"}), 1, "is empty");
  write_file(tmp / "v800.txt", "I\n800 version\nINSTALLER\n");
  expect_refused(with({"--previous", tmp / "v800.txt"}), 1, "810 or 840");
  write_file(tmp / "servers.txt", "I\n820 version\nSERVERS\n");
  expect_refused(with({"--previous", tmp / "servers.txt"}), 1, "810 or 840");
  write_file(tmp / "nofile.txt", "I\n840 version\nINSTALLER\nDIR Zephra/\nFILE 0 0 840 1 1 GONE\n");
  expect_refused(with({"--previous", tmp / "nofile.txt"}), 1, "without a file name");
}

}  // namespace
