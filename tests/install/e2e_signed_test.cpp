// End-to-end: the installer built with the vendor's keys takes only signed releases, moves on to
// the next mirror when one serves anything else, and never goes back to an older release.
#include "tests/install/e2e_fixture.h"

namespace e2e {
namespace {

const std::string kKeys = std::string(ZEPHRA_BINARY_DIR) + "/tests/release-keys/";

class Signed : public EndToEnd {
 protected:
  std::string installer_build() const override {
    return std::string(ZEPHRA_BINARY_DIR) + "/tests/zephra-installer-signed";
  }

  // Publishes master as name into out (the served site unless told), signed by key when one is given.
  int publish_into(const std::string& out, const std::string& master, const std::string& name,
                   std::vector<std::string> extra, std::vector<std::string> paths = {"/"}) {
    std::string cmd = shell_quote(std::string(ZEPHRA_BINARY_DIR) + "/tools/zephra-publish") + " --master " +
                      shell_quote(master) + " --name " + shell_quote(name) + " --out " + shell_quote(out);
    for (const std::string& e : extra) cmd += " " + shell_quote(e);
    cmd += " --os '*.exe=2'";
    for (const std::string& p : paths) cmd += " --server " + nginx->address() + " " + shell_quote(p) + " 'A mirror'";
    cmd += " >" + shell_quote(tmp / "publish.out") + " 2>&1";
    int status = run_command(cmd);
    if (status != 0) ADD_FAILURE() << read_file(tmp / "publish.out");
    return status;
  }

  // A copy of the published release folder as the mirror at path (say "/b/").
  std::string mirror(const std::string& from, const std::string& path, const std::string& name = "Zephra 8.40") {
    std::string to = site + path + name;
    fs::create_directories(to);
    fs::copy(from + "/" + name, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return to + "/";
  }

  void expect_untouched(const install_run& run) {
    EXPECT_EQ(run.status, 4) << describe(run);
    EXPECT_NE(run.err.find("I have changed nothing in"), std::string::npos) << describe(run);
  }

  release_files files = first_release();
  std::string dest = tmp / "dest/";
};

TEST_F(Signed, EveryTamperedMirrorIsRefusedAndTheGoodCopyIsUsed) {
  std::string master = make_master("r1", files);
  std::vector<std::string> signed_by = {"--sign-key", kKeys + "vendor.secret", "--serial", "100"};
  std::vector<std::string> mirrors = {"/unsigned/", "/garbled/", "/stranger/", "/expired/", "/swapped/"};
  ASSERT_EQ(publish_into(site, master, "Zephra 8.40", signed_by, mirrors), 0);
  // The same release signed by a key the installer does not know, already expired, and
  // another release's directory.
  ASSERT_EQ(run_command(shell_quote(std::string(ZEPHRA_BINARY_DIR) + "/tools/zephra-publish") + " --new-key " +
                        shell_quote(tmp / "stranger") + " >/dev/null"),
            0);
  ASSERT_EQ(publish_into(tmp / "s", master, "Zephra 8.40", {"--sign-key", tmp / "stranger.secret"}), 0);
  ASSERT_EQ(publish_into(tmp / "e", master, "Zephra 8.40", {"--sign-key", kKeys + "vendor.secret", "--expires", "0"}), 0);
  files["Instructions/Read Me.txt"] = "Somebody else's words.\n";
  ASSERT_EQ(publish_into(tmp / "o", make_master("other", files), "Zephra 8.40", {}), 0);
  files = first_release();

  fs::remove(mirror(site, "/unsigned/") + "release.txt.sig");
  write_file(mirror(site, "/garbled/") + "release.txt.sig", "not*base64*at*all\n");
  for (const char* f : {"release.txt", "release.txt.sig"})
    fs::copy_file(tmp / ("s/Zephra 8.40/" + std::string(f)), mirror(site, "/stranger/") + f,
                  fs::copy_options::overwrite_existing);
  mirror(tmp / "e", "/expired/");
  fs::copy_file(tmp / "o/Zephra 8.40/directory.txt.zip", mirror(site, "/swapped/") + "directory.txt.zip",
                fs::copy_options::overwrite_existing);

  // Every mirror is bad: each is asked once, and one alert says what each one served.
  fs::create_directories(dest);
  install_run run = install(dest);
  expect_untouched(run);
  for (const char* why : {"/unsigned/Zephra 8.40/: it is not signed.", "/garbled/Zephra 8.40/: its signature is damaged.",
                          "/stranger/Zephra 8.40/: its signature does not match.", "/expired/Zephra 8.40/: the release expired on",
                          "/swapped/Zephra 8.40/: its directory.txt.zip is not the one its release.txt was signed for."})
    EXPECT_NE(run.err.find(why), std::string::npos) << why << "\n" << describe(run);
  EXPECT_TRUE(list_tree(dest).empty());

  // With a good copy listed too, the installer gets there from whichever mirror it starts at.
  fs::remove_all(site + "/Zephra 8.40");
  fs::remove(site + "/serverlist.txt");
  mirrors.push_back("/");
  ASSERT_EQ(publish_into(site, master, "Zephra 8.40", signed_by, mirrors), 0);
  run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  expect_installed(dest + "Zephra", files);
}

TEST_F(Signed, ANewerReleaseUnderARotatedKeyInstallsAndTheOlderOneIsNeverTakenBack) {
  ASSERT_EQ(publish_into(site, make_master("r1", files), "Zephra 8.40",
                         {"--sign-key", kKeys + "vendor.secret", "--serial", "100"}),
            0);
  fs::copy(site, tmp / "old-site", fs::copy_options::recursive);
  fs::create_directories(dest);
  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  expect_installed(dest + "Zephra", files);

  // The next release is signed with the second key the installer was built with.
  release_files second = files;
  second["Resources/settings.txt"] = "setting two\n";
  ASSERT_EQ(publish_into(site, make_master("r2", second), "Zephra 8.50",
                         {"--sign-key", kKeys + "rotated.secret", "--serial", "200", "--previous",
                          site + "/Zephra 8.40/directory.txt"}),
            0);
  run = install(dest + "Zephra/");
  ASSERT_EQ(run.status, 0) << describe(run);
  expect_installed(dest + "Zephra", second);

  // Somebody serves the first release again, whole and well signed: it is older than what is there.
  for (const char* f : {"serverlist.txt", "serverlist.txt.sig"})
    fs::copy_file(tmp / ("old-site/" + std::string(f)), site + "/" + f, fs::copy_options::overwrite_existing);
  run = install(dest + "Zephra/");
  expect_untouched(run);
  EXPECT_NE(run.err.find("the release (serial 100) is older than the one already installed in"), std::string::npos)
      << describe(run);
  expect_installed(dest + "Zephra", second);

  // A server list without a signature is refused after a few tries.
  fs::remove(site + "/serverlist.txt.sig");
  run = install(dest + "Zephra/");
  expect_untouched(run);
  EXPECT_NE(run.err.find("I will not use the server list from " + nginx->address() + ": it is not signed."),
            std::string::npos)
      << describe(run);
  expect_installed(dest + "Zephra", second);
}

}  // namespace
}  // namespace e2e
