#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "files/error_text.h"
#include "tests/install/engine_fixture.h"
#include "tests/support/real_peers.h"
#include "threads/worker_pool.h"

using namespace engine_test;
using testing_support::file_exists;
using testing_support::list_tree;
using testing_support::read_file;
using testing_support::write_file;

namespace {

TEST(RetryBackoff, DoublesUpToThirtySecondsAndResetsAfterASuccess) {
  retry_backoff b;
  EXPECT_TRUE(b.ready(0));
  float now = 10;
  std::vector<float> pauses;
  for (int i = 0; i < 7; ++i) {
    b.failed(now);
    b.failed(now + 0.5f);  // another request of the same outage does not lengthen the pause
    pauses.push_back(b.pause());
    EXPECT_FALSE(b.ready(now + b.pause() - 0.01f));
    now += b.pause();
    EXPECT_TRUE(b.ready(now));
  }
  EXPECT_EQ(pauses, (std::vector<float>{1, 2, 4, 8, 16, 30, 30}));
  EXPECT_TRUE(b.ready(1));  // a clock set back does not hold requests back for good
  b.succeeded();
  b.failed(now);
  EXPECT_EQ(b.pause(), 1.0f);
}

class InstallPass : public EngineTest {
 protected:
  // Calls grab_files until the pass ends; gives up after a generous wall-clock limit.
  int run_pass() {
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
      if (int r = grab_files()) return r;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ADD_FAILURE() << "the pass did not end";
    return -1;
  }

  // A current file in the destination that the pass leaves alone.
  size_t add_present(const std::string& path, const std::string& content = "x") {
    std::string rel = path.substr(path.find('/') + 1);
    write_file(dest_dir_path + rel, content);
    return add_file(version(path, md5_of(content), md5_of(content)));
  }

  size_t add_to_delete(const std::string& path) {
    std::string rel = path.substr(path.find('/') + 1);
    write_file(dest_dir_path + rel, "old");
    size_t i = add_file(version(path, kSigGone, md5_of("old")));
    current(i).want_to_nuke_it = 1;
    return i;
  }

  int active_streams() const {
    int n = 0;
    for (int a : next.stream_active) n += a;
    return n;
  }
};

TEST_F(InstallPass, ProgressResetStartsTwoSlotsAndDropsLeftovers) {
  next.next_index = 5;
  next.comp_down = next.file_down = next.totl_disk = 9;
  for (int i = 0; i < kStreams; ++i) {
    next.stream_active[i] = 1;
    next.stream_waiting[i] = 0;
    next.stream_index[i] = 3;
    write_file(temp_path + std::to_string(i) + ".zip", "partial");
  }
  // A transfer still under way in a stream's HTTP slot.
  int port = testing_support::free_port();
  http.down[3] = new down_class("127.0.0.1", static_cast<unsigned short>(port), "/x.zip", false, {}, nullptr, 0,
                                (temp_path + "1.zip").c_str());
  xtim.set_real_time(250);

  progress_reset();
  EXPECT_EQ(http.down[3], nullptr);
  EXPECT_EQ(list_tree(temp_path), std::vector<std::string>{".keep"});
  EXPECT_EQ(next.next_index, 0);
  for (int i = 0; i < kStreams; ++i) {
    EXPECT_EQ(next.stream_active[i], i < 2 ? 1 : 0);
    EXPECT_EQ(next.stream_waiting[i], i < 2 ? 1 : 0);
    EXPECT_EQ(next.stream_index[i], 0);
  }
  EXPECT_EQ(next.star_time, 250.0f);
  EXPECT_EQ(next.comp_down + next.file_down + next.totl_disk, 0.0f);
}

TEST_F(InstallPass, MakeDirsCreatesTheDestinationAndTheSelectedFolders) {
  dest_dir_path = dir / "new/deeper/Sim/";
  add_file(version("Top/Resources/a/b/x.txt", "s"));
  add_file(version("Top/Mac/x.app", "s", kSigNone, 1));  // another system
  add_file(version("Top/Gone/x.txt", kSigGone));         // removed by the release
  add_file(version("Top/root.txt", "s"));

  make_dirs();
  make_dirs();  // folders that exist are no error
  EXPECT_TRUE(alerts.alerts.empty());
  EXPECT_EQ(list_tree(dest_dir_path),
            (std::vector<std::string>{"Output/", "Output/FMS plans/", "Output/logbooks/", "Output/movies/",
                                      "Output/situations/", "Resources/", "Resources/a/", "Resources/a/b/",
                                      "Resources/preferences/"}));
}

TEST_F(InstallPass, MakeDirsReportsAFolderItCannotMakeAndGoesOn) {
  write_file(dest_dir_path + "Resources", "a file where a folder should be");
  add_file(version("Top/Resources/a/x.txt", "s"));
  add_file(version("Top/Zeta/x.txt", "s"));

  make_dirs();
  // Resources/a stops the selected folders; Resources:preferences fails on its own.
  ASSERT_EQ(alerts.alerts.size(), 2u);
  const auto& a = alerts.alerts[0];
  EXPECT_EQ(a.type, alert_error);
  EXPECT_EQ(a.lines[0],
            "I am unable to install or update Zephra. An error occurred while creating new folders. Make sure you "
            "are installing to a directory that you have access to!");
  EXPECT_EQ(a.lines[1], "Error: " + error_str(ENOTDIR));
  EXPECT_EQ(a.lines[2], "Install Location: " + dest_dir_path);
  EXPECT_EQ(a.lines[3], "Install Path:" + dest_dir_path + "Resources/a");
  EXPECT_EQ(alerts.alerts[1].lines[3], "Install Path:" + dest_dir_path + "Resources/preferences");
  EXPECT_FALSE(file_exists(dest_dir_path + "Zeta"));
  EXPECT_TRUE(file_exists(dest_dir_path + "Output/situations"));
}

TEST_F(InstallPass, ExtractReplacesTheOldFileAndDeletesTheArchive) {
  stg.log_actions = 1;
  std::string dest = dest_dir_path + "Resources/x.txt", zip = temp_path + "0.zip";
  write_file(dest, "old");
  chmod(dest.c_str(), 0444);
  write_zip(zip, "x.txt", "new content");
  file_version_struct v = version("Top/Resources/x.txt", md5_of("new content"));
  bool fault = true;
  EXPECT_EQ(extract_and_delete_file(zip, dest, v, fault), 0);
  EXPECT_FALSE(fault);
  EXPECT_EQ(read_file(dest), "new content");
  EXPECT_FALSE(file_exists(zip));
  EXPECT_EQ(stg.got_failed_install, 0);
  EXPECT_TRUE(alerts.alerts.empty());
  EXPECT_NE(log.text().find("EXPANDING file " + dest + ", with result=0.\nDELETING  file " + zip + ", with result=0.\n"),
            std::string::npos);

  // An archive that cannot be unpacked, or holds other content, is the server's fault: the old
  // file stays, nothing is shown, the install goes on.
  write_file(zip, "<html>not an archive</html>");
  EXPECT_EQ(extract_and_delete_file(zip, dest, v, fault), kErrZipOpen);
  EXPECT_TRUE(fault);
  write_zip(zip, "x.txt", "other content");
  EXPECT_EQ(extract_and_delete_file(zip, dest, v, fault), kErrZipWrongContent);
  EXPECT_TRUE(fault);
  EXPECT_EQ(stg.got_failed_install, 0);
  EXPECT_TRUE(alerts.alerts.empty());
  EXPECT_EQ(read_file(dest), "new content");
  EXPECT_FALSE(file_exists(zip));

  // A file this computer cannot write fails the install with an alert.
  write_zip(zip, "x.txt", "new content");
  std::string blocked = dest_dir_path + "Resources/no-folder/x.txt";
  EXPECT_EQ(extract_and_delete_file(zip, blocked, v, fault), ENOENT);
  EXPECT_FALSE(fault);
  EXPECT_EQ(stg.got_failed_install, 1);
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].lines[0], "The installer cannot extract a file.");
  EXPECT_EQ(alerts.alerts[0].lines[2], "Compressed File:" + zip);
  EXPECT_EQ(alerts.alerts[0].lines[3], "Destination:" + blocked);
}

TEST_F(InstallPass, ACurrentInstallationIsWalkedThroughWithoutDownloads) {
  server_path[0] = "/rel/Zephra-8.50/";
  stg.num_servers = 1;
  add_present("Top/a.txt");
  add_present("Top/Resources/b.txt");
  add_file(version("Top/other.app", "s", kSigNone, 1));  // not needed here

  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(next.dir_done, 1);
  EXPECT_EQ(stg.crnt_file_stat, 3);
  EXPECT_EQ(crnt_file_name, "other.app.zip");
  EXPECT_EQ(crnt_file_path, "/rel/Zephra-8.50/Top/other.app.zip");
  EXPECT_EQ(next.comp_down, 0.0f);
  for (int s = 2; s < kHttpSlots; ++s) EXPECT_EQ(http.down[s], nullptr);
}

TEST_F(InstallPass, DeletedFilesAndTheFoldersTheyEmptied) {
  stg.log_actions = 1;
  add_present("Top/Resources/keep.txt");
  add_to_delete("Top/Resources/a/b/x.txt");  // Resources/a holds only the folder b
  add_to_delete("Top/Old/only.txt");
  add_to_delete("Top/Old/missing.txt");
  std::remove((dest_dir_path + "Old/missing.txt").c_str());

  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(deleted_files, (std::set<std::string>{dest_dir_path + "Old/", dest_dir_path + "Resources/",
                                                  dest_dir_path + "Resources/a/", dest_dir_path + "Resources/a/b/"}));
  // Parents are examined before their subfolders: Resources/a still held b at that moment.
  EXPECT_EQ(list_tree(dest_dir_path), (std::vector<std::string>{"Resources/", "Resources/a/", "Resources/keep.txt"}));
  EXPECT_TRUE(alerts.alerts.empty());  // a file already gone is only logged
  std::string text = log.text();
  EXPECT_NE(text.find("now we want to nuke a file: DELETING  file " + dest_dir_path + "Old/only.txt, with result=0.\n"),
            std::string::npos);
  EXPECT_NE(text.find("cleanup: DELETING  file " + dest_dir_path + "Old/, with result=0.\n"), std::string::npos);
  EXPECT_NE(text.find("DELETING  file " + dest_dir_path + "Old/missing.txt, with result=" + std::to_string(ENOENT)),
            std::string::npos);
}

TEST_F(InstallPass, TheDestinationTakesTheReleaseNameAfterACompletePass) {
  add_present("Top/a.txt");
  this_install_has_exes = 1;
  stg.rename_folder = 1;
  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(dest_dir_path, dir / "Zephra-8.50/");
  EXPECT_TRUE(file_exists(dir / "Zephra-8.50/a.txt"));
}

TEST_F(InstallPass, TheDestinationKeepsItsNameWhenItCannotOrShouldNotChange) {
  add_present("Top/a.txt");
  const std::string original = dest_dir_path;
  write_file(dir / "Taken/x", "");
  this_install_has_exes = 1;
  for (const char* name : {"Taken", "../Elsewhere", "..", ""}) {
    progress_reset();
    install_name = name;
    EXPECT_EQ(run_pass(), 1);
    EXPECT_EQ(dest_dir_path, original) << name;
  }
  EXPECT_NE(log.text().find("I am not renaming " + original + " to '../Elsewhere'"), std::string::npos);
  progress_reset();
  install_name = "Zephra-8.50";
  dest_user_chosen = false;
  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(dest_dir_path, original);
  EXPECT_NE(log.text().find("because I picked it myself rather than you."), std::string::npos);
  progress_reset();
  dest_user_chosen = true;
  stg.rename_folder = 0;
  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(dest_dir_path, original);
}

TEST_F(InstallPass, TheNumberOfStreamsFollowsTheAverageRate) {
  EXPECT_EQ(stream_target(50), 2);
  EXPECT_EQ(stream_target(50.5f), 4);
  EXPECT_EQ(stream_target(201), 9);
  for (int i = 0; i < 12; ++i) add_present("Top/f" + std::to_string(i));
  // 60 kilobytes per second since the pass started: every finished file adds a slot up to four.
  next.star_time = xtim.real_time - 10;
  next.comp_down = 600;
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(active_streams(), 4);
  // Below 50 kilobytes per second the slots beyond two retire as they finish files.
  next.comp_down = 100;
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(active_streams(), 2);
  EXPECT_EQ(run_pass(), 1);
}

TEST_F(InstallPass, AStreamCountPreferenceFixesTheNumber) {
  stg.stream_count = 3;
  EXPECT_EQ(stream_target(500), 3);
  // No streams at all would end the pass at once with nothing installed.
  stg.stream_count = -2;
  EXPECT_EQ(stream_target(500), 1);
  // With one stream, the first of the two starting slots to finish a file retires.
  stg.stream_count = 1;
  for (int i = 0; i < 6; ++i) add_present("Top/f" + std::to_string(i));
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(next.stream_active[0], 0);
  EXPECT_EQ(next.stream_active[1], 1);
  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(active_streams(), 1);
}

// Passes that download from nginx on 127.0.0.1, with the worker pool unpacking the archives as
// in the program.
class DownloadPass : public InstallPass {
 protected:
  void SetUp() override {
    InstallPass::SetUp();
    THREAD_init();
    server = std::make_unique<testing_support::NginxServer>(www);
    ASSERT_TRUE(server->ok()) << server->why();
    stg.num_servers = 2;
    for (int s = 0; s < 2; ++s) {
      server_name[s] = server->address();
      server_path[s] = "/rel/Zephra-8.50/";
    }
  }

  // Publishes path (with its top folder) as an archive holding one file of that name.
  void publish(const std::string& path, const std::string& content) {
    std::string zip = www + "rel/Zephra-8.50/" + path + ".zip";
    write_file(zip, "");
    write_zip(zip, path.substr(path.rfind('/') + 1), content);
  }

  size_t add_to_fetch(const std::string& path, const std::string& content, float down_size) {
    file_version_struct v = version(path, md5_of(content));
    v.want_to_grab_it = 1;
    v.down_size = down_size;
    v.disk_size = 2 * down_size;
    return add_file(v);
  }

  void TearDown() override {
    progress_reset();
    extraction_start_hook() = nullptr;
    THREAD_shutdown();
    InstallPass::TearDown();
  }

  std::string www = dir / "www/";
  std::unique_ptr<testing_support::NginxServer> server;
};

// Holds the extraction of one file on its worker until released, at the latest when it goes.
struct extraction_gate {
  explicit extraction_gate(const std::string& dest) {
    extraction_start_hook() = [this, dest](const std::string& target) {
      if (target != dest) return;
      std::unique_lock<std::mutex> lock(m);
      held = true;
      cv.wait(lock, [this] { return released; });
    };
  }
  ~extraction_gate() { release(); }
  void release() {
    std::lock_guard<std::mutex> lock(m);
    released = true;
    cv.notify_all();
  }
  std::mutex m;
  std::condition_variable cv;
  std::atomic<bool> held{false};
  bool released = false;
};

TEST_F(DownloadPass, DownloadsAndUnpacksEachSelectedFile) {
  publish("Top/Resources/a.txt", "alpha");
  publish("Top/b.txt", "bravo");
  write_file(dest_dir_path + "b.txt", "my old b");
  size_t a = add_to_fetch("Top/Resources/a.txt", "alpha", 3);
  add_present("Top/c.txt");
  size_t b = add_to_fetch("Top/b.txt", "bravo", 5);
  add_to_delete("Top/Old/x.txt");

  make_dirs();
  EXPECT_EQ(run_pass(), 1);
  for (const auto& alert : alerts.alerts) ADD_FAILURE() << alert.lines[0] << " " << alert.lines[1];
  EXPECT_EQ(read_file(dest_dir_path + "Resources/a.txt"), "alpha");
  EXPECT_EQ(read_file(dest_dir_path + "b.txt"), "bravo");
  EXPECT_FALSE(file_exists(dest_dir_path + "Old"));
  EXPECT_EQ(current(a).on_disk, 1);
  EXPECT_EQ(current(b).on_disk, 1);
  EXPECT_EQ(next.comp_down, 8.0f);
  EXPECT_EQ(next.totl_disk, 16.0f);
  EXPECT_EQ(stg.got_404, 0);
  EXPECT_EQ(list_tree(temp_path), std::vector<std::string>{".keep"});
}

TEST_F(DownloadPass, AFailedDownloadIsRetriedAfterAPause) {
  size_t a = add_to_fetch("Top/a.txt", "alpha", 1);
  make_dirs();
  auto start = std::chrono::steady_clock::now();
  while (!stg.got_404 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) grab_files();
  ASSERT_EQ(stg.got_404, 1);
  EXPECT_EQ(crnt_file_path, "/rel/Zephra-8.50/Top/a.txt.zip");
  EXPECT_GE(stg.sel_server, 0);
  EXPECT_LT(stg.sel_server, 2);
  EXPECT_EQ(download_retry.pause(), 1.0f);

  // Within the pause no new request starts.
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(http.down[2], nullptr);
  }
  xtim.set_real_time(xtim.real_time + 0.5f);
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(http.down[2], nullptr);

  // After it, the same file is asked for again and fails again: the pause doubles.
  xtim.set_real_time(xtim.real_time + 0.5f);
  start = std::chrono::steady_clock::now();
  while (download_retry.pause() < 2.0f && std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
    grab_files();
  EXPECT_EQ(download_retry.pause(), 2.0f);

  // Once the archive is there, the next attempt gets it and the pause is over.
  publish("Top/a.txt", "alpha");
  xtim.set_real_time(xtim.real_time + 2.0f);
  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(stg.got_404, 0);
  EXPECT_EQ(download_retry.pause(), 0.0f);
  EXPECT_EQ(current(a).on_disk, 1);
  EXPECT_EQ(read_file(dest_dir_path + "a.txt"), "alpha");
}

TEST_F(DownloadPass, AFailedExtractionOfTheLastFileEndsThePassAsFailed) {
  std::string zip = www + "rel/Zephra-8.50/Top/Resources/a.txt.zip";
  write_file(zip, "this is no zip archive");
  add_to_fetch("Top/Resources/a.txt", "alpha", 1);
  make_dirs();
  this_install_has_exes = 1;
  stg.rename_folder = 1;
  // The slot that fails retires, leaving only a slot already past the end of the list.
  stg.stream_count = 1;
  const std::string original = dest_dir_path;

  // Each fault is followed by the pause of a failed download; the frame clock skips it.
  float longest_pause = 0;
  int r = 0;
  auto start = std::chrono::steady_clock::now();
  while (!(r = grab_files()) && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
    longest_pause = std::max(longest_pause, download_retry.pause());
    xtim.set_real_time(xtim.real_time + download_retry.wait_left(xtim.real_time));
  }
  EXPECT_EQ(r, 1);
  EXPECT_GE(longest_pause, 1.0f);
  EXPECT_EQ(stg.got_failed_install, 1);
  EXPECT_EQ(next.dir_done, 0);
  EXPECT_EQ(dest_dir_path, original);
  EXPECT_FALSE(file_exists(dest_dir_path + "Resources/a.txt"));
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].lines[0],
            "I could not get a good copy of Top/Resources/a.txt: 3 archives of it from the servers were damaged or "
            "held the wrong file.");
}

TEST_F(DownloadPass, DownloadsGoOnWhileAnArchiveIsUnpacked) {
  publish("Top/Resources/a.txt", "alpha");
  publish("Top/Resources/b.txt", "bravo");
  size_t a = add_to_fetch("Top/Resources/a.txt", "alpha", 1);
  // The second of the two slots a pass starts with takes this file, which is there already, and
  // retires; b is left to the first slot, which takes it once a is downloaded.
  add_present("Top/Resources/p.txt");
  size_t b = add_to_fetch("Top/Resources/b.txt", "bravo", 1);
  write_file(dest_dir_path + "Resources/a.txt", "old alpha");
  make_dirs();
  // One stream: it fetches b while its archive of a is unpacked.
  stg.stream_count = 1;
  extraction_gate gate(dest_dir_path + "Resources/a.txt");

  // While a's archive is held on its worker, the stream fetches b; b's result is applied only
  // after a's, in the order the downloads ended.
  auto start = std::chrono::steady_clock::now();
  while (!(gate.held && extractions_in_flight() == 2) &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
    ASSERT_EQ(grab_files(), 0);
  ASSERT_TRUE(gate.held);
  EXPECT_EQ(extractions_in_flight(), 2);
  EXPECT_EQ(current(b).on_disk, 0);
  EXPECT_EQ(current(a).on_disk, 0);
  EXPECT_EQ(read_file(dest_dir_path + "Resources/a.txt"), "old alpha");

  gate.release();
  EXPECT_EQ(run_pass(), 1);
  EXPECT_TRUE(alerts.alerts.empty());
  EXPECT_EQ(read_file(dest_dir_path + "Resources/a.txt"), "alpha");
  EXPECT_EQ(read_file(dest_dir_path + "Resources/b.txt"), "bravo");
  EXPECT_EQ(next.comp_down, 2.0f);
  EXPECT_EQ(extractions_in_flight(), 0);
}

// A file this computer cannot write, and an alert raised while unpacking, reach the user from the
// worker as they did from the main thread, and fail the pass.
TEST_F(DownloadPass, AnExtractionErrorOnAWorkerIsShownAndFailsThePass) {
  stg.log_actions = 1;
  publish("Top/Resources/a.txt", "alpha");
  size_t a = add_to_fetch("Top/Resources/a.txt", "alpha", 1);
  stg.stream_count = 1;
  // Without make_dirs the folder of the file is missing.
  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(stg.got_failed_install, 1);
  EXPECT_EQ(current(a).on_disk, 0);
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].lines[0], "The installer cannot extract a file.");
  EXPECT_EQ(alerts.alerts[0].lines[1], "Error:" + error_str(ENOENT));
  EXPECT_EQ(alerts.alerts[0].lines[3], "Destination:" + dest_dir_path + "Resources/a.txt");
  // The worker's diagnostics come whole, before what the main thread logs of the same file.
  std::string text = log.text();
  size_t unpacking = text.find("Unpacking a.txt failed with error " + std::to_string(ENOENT));
  ASSERT_NE(unpacking, std::string::npos);
  EXPECT_LT(unpacking, text.find("The installer cannot extract a file.\n"));
  EXPECT_LT(text.find("The installer cannot extract a file.\n"), text.find("EXPANDING file " + dest_dir_path));

  progress_reset();
  stg.got_failed_install = 0;
  alerts.alerts.clear();
  make_dirs();
  extraction_start_hook() = [](const std::string&) { MACIBM_alert(0, "Held up.", "", "", "", alert_error); };
  EXPECT_EQ(run_pass(), 1);
  EXPECT_EQ(stg.got_failed_install, 1);
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].lines[0], "Held up.");
  EXPECT_EQ(alerts.alerts[0].type, alert_error);
  EXPECT_EQ(alerts.alerts[0].reference.rfind("(install_pass_test line ", 0), 0u);
  EXPECT_FALSE(file_exists(dest_dir_path + "Resources/a.txt"));
}

}  // namespace
