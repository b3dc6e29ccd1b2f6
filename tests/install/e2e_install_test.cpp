// End-to-end: fresh installations, runs over a finished one, and the licence agreement.
#include "tests/install/e2e_fixture.h"

namespace e2e {
namespace {

class FreshInstall : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
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
  // Built without the vendor's keys, the installer takes the release as it comes and says so.
  EXPECT_NE(run.log.find("Releases are not checked"), std::string::npos) << describe(run);
  // Nothing of the download is left in the temporary folder.
  for (const std::string& f : list_tree(tmp / "tmp")) EXPECT_EQ(f.find(".zip"), std::string::npos) << f;
}

TEST_F(FreshInstall, FoldersThatOnlyLookLikeAnInstallationAndAMissingFolderGetANewFolder) {
  // Somebody's own folders whose names merely begin like the top folders.
  for (const char* own : {"Airfoils-old", "Instructions-copy", "Output-2019", "Resources-bak"})
    write_file(dest + own + "/photo.jpg", own);
  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  expect_installed(dest + "Zephra", files);
  EXPECT_EQ(read_file(dest + "Output-2019/photo.jpg"), "Output-2019");

  // A folder named on the command line that does not exist yet is made and used.
  std::string missing = tmp / "not/yet/there/";
  install_run made = install(missing);
  ASSERT_EQ(made.status, 0) << describe(made);
  expect_installed(missing + "Zephra", files);
}

TEST_F(FreshInstall, TheCommandLineBehavesLikeAUnixTool) {
  auto run_alone = [&](const std::string& args) {
    install_run run;
    run.status = run_command("cd " + shell_quote(tmp.path()) + " && " + shell_quote(installer) + " " + args + " >out 2>err");
    run.out = read_file(tmp / "out");
    run.err = read_file(tmp / "err");
    return run;
  };
  install_run help = run_alone("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: zephra-installer [OPTION]... [DESTINATION]\n", 0), 0u) << help.out;
  EXPECT_EQ(run_alone("-h").out, help.out);
  EXPECT_NE(help.out.find("Each run writes its log to " + (tmp / "prog/Log.txt")), std::string::npos) << help.out;
  install_run version = run_alone("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Zephra 8.50 Beta 8 - Installer/Updater build 85008\n");
  install_run unknown = run_alone("--unatended " + shell_quote(dest));
  EXPECT_EQ(unknown.status, 64);
  EXPECT_EQ(unknown.err, "I don't know the option --unatended.\n\n" + help.out);
  EXPECT_TRUE(list_tree(dest).empty()) << "a mistyped option must not start an installation";

  // "--vendor_host HOST" with a space, and a relative folder below the current one (tmp/tmp);
  // standard error holds nothing that is not the installer's own.
  install_run run = install("mine", {"--accept_eula", "--vendor_host", nginx->address()});
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_EQ(run.err, "") << describe(run);
  expect_installed(tmp / "tmp/mine/Zephra", files);
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

  auto cache_files = [&] {
    std::vector<std::string> caches;
    for (const std::string& f : list_tree(home + "config"))
      if (f.find(" signatures ") != std::string::npos) caches.push_back(home + "config/" + f);
    return caches;
  };
  ASSERT_EQ(cache_files().size(), 1u);
  struct stat before {};
  ASSERT_EQ(stat(cache_files()[0].c_str(), &before), 0);

  install_run second = install(inst);
  EXPECT_EQ(second.status, 0) << describe(second);
  EXPECT_NE(second.out.find(kLatest), std::string::npos) << describe(second);
  // Nothing changed, so the cache is not written again.
  struct stat after {};
  ASSERT_EQ(stat(cache_files()[0].c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  std::string served = nginx->why();
  EXPECT_EQ(served.find(".zip\" failed"), std::string::npos) << served;
  EXPECT_EQ(second.log.find("HTTP Error"), std::string::npos) << describe(second);
  EXPECT_EQ(fs::last_write_time(inst + "Resources/settings.txt"), stamp);
  expect_installed(inst, kept);
  // Every file present was known by its stamp; the Windows program is not here.
  EXPECT_NE(second.log.find("Signatures: 6 from the cache, 0 read from the disk, 1 not there.\n"), std::string::npos)
      << describe(second);

  // A file changed in place, its size and modification time kept, is still read and found changed.
  std::string changed = first_release()["Resources/settings.txt"];
  changed[0] = 'S';
  write_file(inst + "Resources/settings.txt", changed);
  fs::last_write_time(inst + "Resources/settings.txt", stamp);
  install_run third = install(inst);
  EXPECT_EQ(third.status, 0) << describe(third);
  EXPECT_NE(third.out.find("keeping your copy."), std::string::npos) << describe(third);
  EXPECT_NE(third.log.find("Signatures: 5 from the cache, 1 read from the disk, 1 not there.\n"), std::string::npos)
      << describe(third);
  EXPECT_EQ(read_file(inst + "Resources/settings.txt"), changed);

  // A damaged cache is no cache: every file is read again, and the run finds what it found.
  for (const std::string& f : list_tree(home + "config"))
    if (f.find(" signatures ") != std::string::npos)
      write_file(home + "config/" + f, "ZEPHRA-SIGNATURES 1 " + inst + "\n12 34 x\n");
  install_run damaged = install(inst);
  EXPECT_EQ(damaged.status, 0) << describe(damaged);
  EXPECT_NE(damaged.out.find("keeping your copy."), std::string::npos) << describe(damaged);
  EXPECT_NE(damaged.log.find("Signatures: 0 from the cache, 6 read from the disk, 1 not there.\n"), std::string::npos)
      << describe(damaged);

  // --verify reads every file.
  install_run verified = install(inst, {"--accept_eula", "--verify"});
  EXPECT_EQ(verified.status, 0) << describe(verified);
  EXPECT_NE(verified.log.find("Signatures: 0 from the cache, 6 read from the disk, 1 not there.\n"), std::string::npos)
      << describe(verified);

  // The cache forgets files the release no longer lists, and destinations that are gone.
  const std::string cache = cache_files()[0];
  write_file(cache, read_file(cache) + "1 2 3 4 0123456789abcdef0123456789abcdef Zephra/Resources/not listed.txt\n");
  install_run forgetting = install(inst);
  EXPECT_EQ(forgetting.status, 0) << describe(forgetting);
  EXPECT_EQ(read_file(cache).find("not listed"), std::string::npos);
  fs::remove_all(dest);
  const std::string elsewhere = tmp / "elsewhere/";
  fs::create_directories(elsewhere);
  install_run other = install(elsewhere, {});  // without the agreement: it only looks
  EXPECT_EQ(other.status, 2) << describe(other);
  EXPECT_FALSE(file_exists(cache)) << "the cache of a destination that is gone";
}

// A small file system mounted over folder for the life of the object, where this machine allows it.
class SmallDisk {
 public:
  SmallDisk(const std::string& folder, int kilobytes) : folder_(folder) {
    mounted_ = run_command("mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k tmpfs " + shell_quote(folder) +
                           " 2>/dev/null") == 0;
  }
  ~SmallDisk() {
    if (mounted_) run_command("umount " + shell_quote(folder_));
  }
  bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

TEST_F(FreshInstall, AFullDiskIsToldAsSuch) {
  // A 1.1 MB file that does not compress: its archive is too big to be held in memory, so it is
  // downloaded into the temporary folder, and it fills a small disk.
  std::string noise(1100 * 1024, '\0');
  unsigned state = 12345;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
  files["Resources/scenery.dat"] = noise;
  ASSERT_EQ(publish(make_master("big", files), "Zephra 8.41", {"--os", "*.exe=2"}), 0);
  {
    // The temporary folder on a disk too small for the download.
    SmallDisk temp(tmp / "tmp", 256);
    if (!temp.mounted()) GTEST_SKIP() << "this machine does not let the test mount a small file system";
    install_run run = install(dest);
    EXPECT_EQ(run.status, 1) << describe(run);
    EXPECT_EQ(run.out.find(kComplete), std::string::npos) << describe(run);
    EXPECT_NE(run.err.find("The disk that holds " + (tmp / "tmp/zephra-installer-")), std::string::npos)
        << describe(run);
    EXPECT_NE(run.err.find("more there."), std::string::npos) << describe(run);
  }
  // With room again the same run completes.
  install_run run = install(dest);
  EXPECT_EQ(run.status, 0) << describe(run);
  expect_installed(dest + "Zephra", files);

  // A destination whose disk fills midway: a 4.5 MB file is downloaded into the destination's
  // partial folder, and there is no room left to unpack it beside its archive.
  std::string large(4500 * 1000, '\0');
  for (char& c : large) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
  files["Resources/terrain.dat"] = large;
  ASSERT_EQ(publish(make_master("large", files), "Zephra 8.42", {"--os", "*.exe=2"}), 0);
  const std::string small_dest = tmp / "small/";
  fs::create_directories(small_dest);
  SmallDisk disk(small_dest, 16 * 1024);
  ASSERT_TRUE(disk.mounted());
  write_file(small_dest + "filler", std::string(8 * 1024 * 1024, 'f'));
  install_run full = install(small_dest);
  EXPECT_EQ(full.status, 1) << describe(full);
  EXPECT_NE(full.err.find("The disk that holds " + small_dest + "Zephra/"), std::string::npos) << describe(full);
  EXPECT_NE(full.err.find(" is full."), std::string::npos) << describe(full);
  EXPECT_FALSE(fs::exists(small_dest + "Zephra/.zephra-partial")) << "its space is given back";
  for (const std::string& rel : list_tree(small_dest + "Zephra")) {
    if (rel.ends_with("/")) continue;
    ASSERT_TRUE(files.count(rel)) << rel << " is no file of the release";
    EXPECT_EQ(read_file(small_dest + "Zephra/" + rel), files.at(rel)) << rel;
  }
  // Space freed, the next run ends exact.
  fs::remove(small_dest + "filler");
  install_run freed = install(small_dest);
  EXPECT_EQ(freed.status, 0) << describe(freed);
  expect_installed(small_dest + "Zephra", files);
}

TEST_F(FreshInstall, OurHiddenThingsReplacedByLinksNeverReachTheirTargets) {
  // Somebody's documents, and links to them (and to nowhere, and to themselves) where the
  // installer keeps its own things.
  const std::string documents = tmp / "documents/";
  write_file(documents + "letter.txt", "dear");
  write_file(tmp / "victim.txt", "keep me");
  const std::string inst = dest + "Zephra/";
  fs::create_directories(inst);
  fs::create_directory_symlink(documents, inst + ".zephra-partial");
  fs::create_symlink(inst + ".zephra-lock", inst + ".zephra-lock");
  fs::create_symlink(tmp / "victim.txt", tmp / "prog/Log.txt");
  fs::create_symlink(tmp / "nowhere", tmp / "prog/Log.old.txt");
  // A killed run's temporary folder, with a link inside it; no process has a number past pid_max.
  const long pid_max = std::stol(read_file("/proc/sys/kernel/pid_max"));
  const std::string dead = tmp / ("tmp/zephra-installer-" + std::to_string(pid_max + 1) + "-AbCdEf/");
  fs::create_directories(dead);
  fs::create_directory_symlink(documents, dead + "inner");

  ASSERT_EQ(run_command(command(dest, {"--accept_eula"}, true, "timeout -k 5 120")), 0) << read_file(tmp / "run.err");
  expect_installed(inst, files);
  EXPECT_EQ(list_tree(documents), std::vector<std::string>{"letter.txt"});
  EXPECT_EQ(read_file(documents + "letter.txt"), "dear");
  EXPECT_EQ(read_file(tmp / "victim.txt"), "keep me");
  std::error_code ec;
  EXPECT_FALSE(fs::exists(dead, ec));
  EXPECT_FALSE(fs::is_symlink(tmp / "prog/Log.txt"));
  const std::string log = read_file(tmp / "prog/Log.txt");
  EXPECT_NE(log.find("A link stood where my log goes"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(fs::symlink_status(inst + ".zephra-partial", ec))) << "the link goes, as a link";
  EXPECT_NE(log.find("A link stood where my lock file goes"), std::string::npos) << log;

  // The next run keeps this one's log as Log.old.txt.
  ASSERT_EQ(run_command(command(dest, {"--accept_eula"}, true, "timeout -k 5 120")), 0) << read_file(tmp / "run.err");
  EXPECT_EQ(read_file(tmp / "prog/Log.old.txt"), log);
  EXPECT_FALSE(fs::exists(tmp / "nowhere"));
}

TEST_F(FreshInstall, HostilePreferencesInstallExactlyWithBoundedOutput) {
  const std::string prefs = preference_file();
  // Numbers out of range or too big for the program, garbage, and one line repeated 40,000 times.
  std::string text = "I\n8500 version\n_download_os 99999999999999999999\n_stream_count -7\n_proxy_port_int 1e9\n";
  for (int i = 0; i < 40000; ++i) text += "_use_max_cpu 1\n";
  write_file(prefs, text);
  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  expect_installed(dest + "Zephra", files);
  EXPECT_EQ(run.err, "") << describe(run);
  EXPECT_LT(run.log.size(), 20000u) << describe(run);
  EXPECT_NE(run.log.find("gives 39999 tags again"), std::string::npos) << describe(run);
  EXPECT_NE(read_file(prefs).find("_download_os " + std::to_string(windows ? 2 : 3) + "\n"), std::string::npos)
      << "saved back with the default";

  // A file that is no preference file at all is set aside once, and the defaults installed.
  std::string huge(3 << 20, 'z');
  huge[100] = '\0';
  write_file(prefs, huge);
  const std::string other = tmp / "other/";
  fs::create_directories(other);
  install_run again = install(other);
  ASSERT_EQ(again.status, 0) << describe(again);
  expect_installed(other + "Zephra", files);
  EXPECT_EQ(read_file(prefs + ".bad"), huge);
  EXPECT_LT(again.err.size(), 1000u) << describe(again);
  EXPECT_NE(again.err.find("I have set it aside as " + prefs + ".bad."), std::string::npos) << describe(again);
}

TEST_F(FreshInstall, ReleasePathsAreCheckedBeforeAnythingChangesAndAnyNameDownloads) {
  // A path of 406 characters below the top folder, and a name a strict server wants encoded.
  const std::string deep = std::string(99, 'a') + "/" + std::string(99, 'b') + "/" + std::string(99, 'c') + "/" +
                           std::string(92, 'd') + ".txt";
  release_files named = {{"Instructions/Lisez-moi d\xC3\xA9j\xC3\xA0 s\xC3\xBBr (1+1=2) & co.txt", "bonjour\n"},
                         {"Resources/" + deep, "deep\n"},
                         {"Resources/settings.txt", "setting one\n"}};
  ASSERT_EQ(publish(make_master("named", named), "Zephra 8.43"), 0);
  EXPECT_NE(read_file(tmp / "publish.out").find("warning: Zephra/Resources/" + deep + " leaves only 93 characters"),
            std::string::npos)
      << read_file(tmp / "publish.out");

  // With "Zephra/" after it, a destination over 93 characters is too long for that path, and the
  // installation is refused before anything changes.
  const std::string far = tmp / (std::string(100, 'x') + "/");
  fs::create_directories(far);
  install_run refused = install(far);
  EXPECT_EQ(refused.status, 1) << describe(refused);
  EXPECT_NE(refused.err.find("its longest path would be"), std::string::npos) << describe(refused);
  EXPECT_NE(refused.err.find("The longest path is Resources/" + deep + "."), std::string::npos) << describe(refused);
  EXPECT_NE(refused.err.find("Choose a destination whose path is at most 93 characters long"), std::string::npos)
      << describe(refused);
  EXPECT_TRUE(list_tree(far).empty()) << list_tree(far).front();

  const size_t served = nginx->access_log().size();
  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  expect_installed(dest + "Zephra", named);
  const std::string requests = nginx->access_log().substr(served);
  EXPECT_NE(requests.find("GET /Zephra%208.43/Zephra/Instructions/Lisez-moi%20d%C3%A9j%C3%A0%20s%C3%BBr%20%281%2B1%3D2%29%20%26%20co.txt.zip "),
            std::string::npos)
      << requests;
  for (char c : requests) ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << "every request line is plain ASCII";
}

TEST_F(FreshInstall, WithoutTheAgreementNothingIsInstalled) {
  install_run run = install(dest, {});
  EXPECT_EQ(run.status, 2) << describe(run);
  EXPECT_NE(run.err.find("--accept_eula"), std::string::npos) << describe(run);
  // Without the agreement the destination is left exactly as it was.
  EXPECT_TRUE(list_tree(dest).empty()) << "installed without agreement: " << list_tree(dest).front();
  EXPECT_EQ(run.out.find(kComplete), std::string::npos) << describe(run);
}

// The Windows build under Wine, through the same scenario: a fresh installation, then an update
// over a file the user changed and a file the release removes.
class FreshInstallOnWindows : public FreshInstall {
 protected:
  FreshInstallOnWindows() { windows = true; }
};

TEST_F(FreshInstallOnWindows, TheExeInstallsThenUpdatesKeepingAChangedFileAndDeletingWhatTheReleaseRemoves) {
  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.out.find(kComplete), std::string::npos) << describe(run);
  // The program for Windows is installed, and with it the folder takes the release's name.
  const std::string inst = dest + "Zephra 8.40/";
  expect_installed(inst, files);
  EXPECT_NE(run.out.find("The destination is now " + os_form(inst) + "\n"), std::string::npos) << describe(run);

  release_files second = files;
  second["Resources/settings.txt"] = "setting two, longer than before\n";
  second["Airfoils/NACA2412.afl"] = "NACA 2412 lift drag moment\n";
  second.erase("Resources/old/gone.txt");
  // A new build of the Windows program: installing it makes the installer rename the folder.
  second["Resources/plugins/windows-tool.exe"] = "MZ program for Windows, second build\n";
  ASSERT_EQ(publish(make_master("r2", second), "Zephra 8.50",
                    {"--os", "*.exe=2", "--previous", site + "/Zephra 8.40/directory.txt"}),
            0);
  write_file(inst + "Resources/settings.txt", "my own settings\n");
  install_run update = install(inst);
  ASSERT_EQ(update.status, 0) << describe(update);
  EXPECT_NE(update.out.find("keeping your copy."), std::string::npos) << describe(update);
  release_files expected = second;
  expected["Resources/settings.txt"] = "my own settings\n";
  const std::string renamed = dest + "Zephra 8.50/";
  expect_installed(renamed, expected);
  EXPECT_FALSE(fs::exists(renamed + "Resources/old")) << "the emptied folder was kept";
}

}  // namespace
}  // namespace e2e
