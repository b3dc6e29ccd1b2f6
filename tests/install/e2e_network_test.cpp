// End-to-end: mirrors that lack the files, serve faulty archives or oversized ones, downloads
// through a proxy, connections kept from file to file, and a large download cut off and
// continued by the next run.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "tests/install/e2e_fixture.h"

namespace e2e {
namespace {

class Network : public EndToEnd {
 protected:
  // Publishes the first release listing the servers at paths (the real one is "/").
  void publish_first(std::vector<std::string> paths = {"/"}) {
    ASSERT_EQ(publish(make_master("r1", files), "Zephra 8.40", {"--os", "*.exe=2"}, paths), 0);
  }
  release_files files = first_release();
};

// A relay on 127.0.0.1 in front of nginx. Once, the answer to the first request whose bytes
// name `watched` is passed on only up to byte cut_at (its header counted) and then held: the
// connection stays open and carries nothing more. Everything else passes whole.
class CuttingRelay {
 public:
  CuttingRelay(int target_port, std::string watched, size_t cut_at)
      : target_port_(target_port), watched_(std::move(watched)), cut_at_(cut_at) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listen_fd_, 16) != 0 || ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    port_ = ntohs(a.sin_port);
    threads_.emplace_back([this] { accept_loop(); });
  }
  ~CuttingRelay() {
    stopping_ = true;
    for (size_t i = 0;; ++i) {  // connection threads are added while the first ones end
      std::thread t;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (i >= threads_.size()) break;
        t = std::move(threads_[i]);
      }
      if (t.joinable()) t.join();
    }
    if (listen_fd_ >= 0) ::close(listen_fd_);
  }
  bool ok() const { return port_ != 0; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  // Waits for the cut; false when it did not come within the safety limit.
  bool wait_cut() {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(60), [this] { return cut_; });
  }
  // Bytes passed on to clients since the last call.
  size_t take_forwarded() { return forwarded_.exchange(0); }
  // Ends the connection held since the cut, as a mirror that drops it would.
  void release() { released_ = true; }

 private:
  static sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
  }
  static bool send_all(int fd, const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
      ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  void accept_loop() {
    while (!stopping_) {
      pollfd p{listen_fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      threads_.emplace_back([this, client] { relay(client); });
    }
  }

  void relay(int client) {
    int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(target_port_);
    if (server >= 0 && ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      std::string recent;  // the client's latest bytes, where a request line is looked for
      bool counting = false, holding = false;
      size_t counted = 0;
      char buf[65536];
      while (!stopping_ && !(holding && released_)) {
        pollfd p[2] = {{client, POLLIN, 0}, {server, static_cast<short>(holding ? 0 : POLLIN), 0}};
        if (::poll(p, 2, 20) <= 0) continue;
        if (p[0].revents) {
          ssize_t n = ::recv(client, buf, sizeof buf, 0);
          if (n <= 0) break;
          if (holding) continue;
          if (!send_all(server, buf, static_cast<size_t>(n))) break;
          recent.append(buf, static_cast<size_t>(n));
          if (recent.size() > 8192) recent.erase(0, recent.size() - 8192);
          if (recent.find(watched_) != std::string::npos && armed_.exchange(false)) counting = true;
        }
        if (!holding && p[1].revents) {
          ssize_t n = ::recv(server, buf, sizeof buf, 0);
          if (n <= 0) break;
          size_t pass = static_cast<size_t>(n);
          if (counting) pass = std::min(pass, cut_at_ - counted);
          if (!send_all(client, buf, pass)) break;
          forwarded_ += pass;
          counted += counting ? pass : 0;
          if (counting && counted == cut_at_) {
            holding = true;
            std::lock_guard<std::mutex> lock(mutex_);
            cut_ = true;
            cv_.notify_all();
          }
        }
      }
    }
    if (server >= 0) ::close(server);
    ::close(client);
  }

  int target_port_;
  std::string watched_;
  size_t cut_at_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false}, armed_{true}, released_{false};
  std::atomic<size_t> forwarded_{0};
  std::mutex mutex_;
  std::condition_variable cv_;
  bool cut_ = false;
  std::vector<std::thread> threads_;
};

// With this seed the first draw of the server choice falls on the first of two servers.
constexpr const char* kFirstServerSeed = "--seed=1";

TEST_F(Network, AMirrorWithoutTheFilesMakesThePassSwitchServers) {
  // The broken mirror comes first, and the seed makes the run start there. It has the directory,
  // but every file's archive is missing (404).
  ASSERT_NO_FATAL_FAILURE(publish_first({"/broken/", "/"}));
  const std::string release = "Zephra 8.40/directory.txt.zip";
  fs::create_directories(site + "/broken/Zephra 8.40");
  fs::copy_file(site + "/" + release, site + "/broken/" + release);

  const std::string dest = tmp / "dest/";
  fs::create_directories(dest);
  install_run run = install(dest, {"--accept_eula", "--give_up_after=100", kFirstServerSeed});
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.out.find(kComplete), std::string::npos) << describe(run);
  expect_installed(dest + "Zephra", files);
  EXPECT_NE(run.log.find("HTTP Error for "), std::string::npos) << describe(run);
  EXPECT_NE(nginx->why().find("/broken/Zephra 8.40/Zephra/"), std::string::npos) << nginx->why();
  // Each file is fetched once from the good mirror: a failure never hands files out again.
  std::istringstream lines(nginx->access_log());
  std::set<std::string> served;
  for (std::string line; std::getline(lines, line);) {
    size_t get = line.find("\"GET /");
    if (get == std::string::npos || line.find("/broken/") != std::string::npos || !line.ends_with(" 200")) continue;
    std::string request = line.substr(get, line.find(' ', get + 5) - get);
    EXPECT_TRUE(served.insert(request).second) << request << " was fetched twice\n" << nginx->access_log();
  }
}

TEST_F(Network, OversizedArchivesAreRefusedUnreadAndTheRunGivesUp) {
  // The only mirror has the directory, but each archive is a megabyte of zeros, far past its
  // catalogued size: every download fails on its length, and failures are no progress.
  ASSERT_NO_FATAL_FAILURE(publish_first({"/broken/"}));
  fs::create_directories(site + "/broken/Zephra 8.40");
  fs::copy_file(site + "/Zephra 8.40/directory.txt.zip", site + "/broken/Zephra 8.40/directory.txt.zip");
  for (const auto& entry : fs::recursive_directory_iterator(site + "/Zephra 8.40/Zephra")) {
    if (!entry.is_regular_file()) continue;
    std::string bad = site + "/broken" + entry.path().string().substr(site.size());
    fs::create_directories(fs::path(bad).parent_path());
    write_file(bad, "");
    fs::resize_file(bad, 1 << 20);
  }
  const std::string dest = tmp / "dest/";
  fs::create_directories(dest);

  install_run run = install(dest, {"--accept_eula", "--give_up_after=5"});
  EXPECT_EQ(run.status, 3) << describe(run);
  EXPECT_NE(run.err.find("I gave up: no file arrived whole for 5 seconds."), std::string::npos) << describe(run);
  EXPECT_NE(run.log.find("   GetOSErr   =" + std::to_string(EFBIG) + "\n"), std::string::npos) << describe(run);
  for (const std::string& f : list_tree(dest)) {
    EXPECT_TRUE(f.ends_with("/")) << f;
  }
  // Nothing of the refused archives was kept.
  for (const auto& entry : fs::recursive_directory_iterator(tmp / "tmp")) {
    if (entry.is_regular_file()) {
      EXPECT_LT(entry.file_size(), 1u << 20) << entry.path();
    }
  }
}

// Every file's archive on the mirror at /bad/ made faulty in one way; the directory is good.
enum class fault { damaged, wrong_content, bomb, no_such_entry };

class BadMirror : public Network {
 protected:
  void make_bad_mirror(fault kind) {
    std::error_code ec;
    fs::remove_all(site + "/bad", ec);
    fs::create_directories(site + "/bad");
    fs::copy(site + "/Zephra 8.40", site + "/bad/Zephra 8.40", fs::copy_options::recursive);
    for (const std::string& rel : list_tree(site + "/bad/Zephra 8.40/Zephra")) {
      if (!rel.ends_with(".zip")) continue;
      const std::string zip = site + "/bad/Zephra 8.40/Zephra/" + rel;
      std::string name = rel.substr(rel.rfind('/') + 1);
      name.resize(name.size() - 4);
      switch (kind) {
        case fault::damaged: {
          // The archive cut short, its end record lost.
          std::string bytes = read_file(zip);
          write_file(zip, bytes.substr(0, bytes.size() / 2));
          break;
        }
        case fault::wrong_content: write_archive(zip, {{name, "not the file the directory lists\n"}}); break;
        // 50 MB of zeros for a file listed at 1 kB, in an archive small enough to be downloaded.
        case fault::bomb: write_archive(zip, {{name, std::string(50u << 20, '\0')}}); break;
        case fault::no_such_entry:
          write_archive(zip, {{"plugins/", "", 040755}, {"plugins/" + name, "elsewhere\n"}, {name + ".txt", "x"}});
          break;
      }
    }
  }

  // Requests for the mirror at /bad/ that nginx served.
  size_t bad_requests(const std::string& file) {
    std::string log = nginx->access_log();
    size_t n = 0;
    for (size_t at = log.find("/bad/"); at != std::string::npos; at = log.find("/bad/", at + 1)) {
      size_t end = log.find('\n', at);
      n += log.substr(at, end - at).find(file) != std::string::npos;
    }
    return n;
  }
};

TEST_F(BadMirror, AnyFaultyArchiveIsFetchedAgainFromTheGoodMirror) {
  ASSERT_NO_FATAL_FAILURE(publish_first({"/bad/", "/"}));
  // The good mirror's archive of settings.txt holds more than that file: only the file is placed,
  // and without the setuid, setgid and sticky bits its mode asks for.
  write_archive(site + "/Zephra 8.40/Zephra/Resources/settings.txt.zip",
                {{"plugins/", "", 040755},
                 {"plugins/readme.txt", "placed by the mirror\n"},
                 {"settings.txt", files.at("Resources/settings.txt"), 0107644},
                 {"../escaped.txt", "outside\n"},
                 {"link", "/etc/passwd", 0120777}});

  const std::pair<fault, const char*> kinds[] = {
      {fault::damaged, "We were unable to open a zip file"},
      {fault::wrong_content, "its MD5 signature differs"},
      {fault::bomb, "unpacks to more than the directory lists"},
      {fault::no_such_entry, "does not hold the file it was sent for"}};
  for (const auto& [kind, reason] : kinds) {
    SCOPED_TRACE(reason);
    ASSERT_NO_FATAL_FAILURE(make_bad_mirror(kind));
    const std::string dest = tmp / ("dest" + std::to_string(static_cast<int>(kind)) + "/");
    fs::create_directories(dest);
    install_run run = install(dest, {"--accept_eula", kFirstServerSeed});
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_NE(run.out.find(kComplete), std::string::npos) << describe(run);
    EXPECT_NE(run.log.find(reason), std::string::npos) << describe(run);
    EXPECT_GT(bad_requests(".zip"), 1u) << nginx->access_log();  // the directory and a file at least
    expect_installed(dest + "Zephra", files);
    EXPECT_FALSE(fs::exists(tmp / "escaped.txt"));
  }
}

TEST_F(BadMirror, ADamagedArchiveFailsTheInstallation) {
  // The only mirror serves a damaged archive of settings.txt; the others are the release's.
  ASSERT_NO_FATAL_FAILURE(publish_first({"/bad/"}));
  fs::create_directories(site + "/bad");
  fs::copy(site + "/Zephra 8.40", site + "/bad/Zephra 8.40", fs::copy_options::recursive);
  const std::string archive = site + "/bad/Zephra 8.40/Zephra/Resources/settings.txt.zip";
  ASSERT_TRUE(file_exists(archive));
  write_file(archive, "this is not a zip archive, just some garbage bytes\n");
  const std::string dest = tmp / "dest/";
  fs::create_directories(dest);

  install_run run = install(dest);
  EXPECT_EQ(run.status, 1) << describe(run);
  EXPECT_EQ(run.out.find(kComplete), std::string::npos) << describe(run);
  const std::string alert = "I could not get a good copy of Zephra/Resources/settings.txt: 3 archives";
  EXPECT_NE(run.log.find(alert), std::string::npos) << describe(run);
  EXPECT_NE(run.err.find(alert), std::string::npos) << describe(run);
  EXPECT_EQ(bad_requests("settings.txt.zip"), 3u) << nginx->access_log();
  // What was placed was verified; the file without a good copy is not there, nor any part of it.
  for (const std::string& rel : list_tree(dest)) {
    ASSERT_EQ(rel.rfind("Zephra/", 0), 0u) << rel;
    if (rel.ends_with("/")) continue;
    ASSERT_TRUE(files.count(rel.substr(7))) << rel;
    EXPECT_EQ(read_file(dest + rel), files.at(rel.substr(7))) << rel;
  }
  EXPECT_FALSE(file_exists(dest + "Zephra/Resources/settings.txt"));
}

TEST_F(BadMirror, ADirectoryThatDoesNotReadIsFetchedFromTheOtherMirror) {
  ASSERT_NO_FATAL_FAILURE(publish_first({"/bad/", "/"}));
  ASSERT_NO_FATAL_FAILURE(make_bad_mirror(fault::wrong_content));
  write_archive(site + "/bad/Zephra 8.40/directory.txt.zip", {{"directory.txt", "<html>Not Found</html>\n"}});
  const std::string dest = tmp / "dest/";
  fs::create_directories(dest);

  install_run run = install(dest, {"--accept_eula", kFirstServerSeed});
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.err.find("not a directory file I can read"), std::string::npos) << describe(run);
  EXPECT_EQ(bad_requests("directory.txt.zip"), 1u) << nginx->access_log();
  EXPECT_EQ(bad_requests("settings.txt.zip"), 0u) << nginx->access_log();
  expect_installed(dest + "Zephra", files);
}

TEST_F(BadMirror, ADirectoryArchiveThatDoesNotUnpackIsRetriedAfterADoublingPause) {
  ASSERT_NO_FATAL_FAILURE(publish_first({"/bad/"}));
  ASSERT_NO_FATAL_FAILURE(make_bad_mirror(fault::damaged));
  write_file(site + "/bad/Zephra 8.40/directory.txt.zip", "garbage");
  const std::string dest = tmp / "dest/";
  fs::create_directories(dest);

  // Pauses of 1, 2 and 4 seconds allow at most three more requests before the run gives up at
  // 10 seconds, the next one coming at 15; a pause that never grew would allow one a second.
  install_run run = install(dest, {"--accept_eula", "--give_up_after=10"});
  EXPECT_EQ(run.status, 3) << describe(run);
  EXPECT_NE(run.err.find("DIR-scan: The installer cannot extract a file."), std::string::npos) << describe(run);
  EXPECT_GE(bad_requests("directory.txt.zip"), 2u) << nginx->access_log();
  EXPECT_LE(bad_requests("directory.txt.zip"), 4u) << nginx->access_log();
  EXPECT_TRUE(list_tree(dest).empty());
}

TEST_F(Network, DownloadsGoThroughTheProxyOfThePreferences) {
  TinyProxy proxy;
  ASSERT_TRUE(proxy.ok()) << proxy.why();
  ASSERT_NO_FATAL_FAILURE(publish_first());
  const std::string port = std::to_string(proxy.port());
  write_file(home + "config/Zephra Installer.prf", "I\n8500 version\n_proxy_host 127.0.0.1\n_proxy_port " + port +
                                                       "\n_proxy_port_int " + port + "\n");
  const std::string dest = tmp / "dest/";
  fs::create_directories(dest);

  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run) << "\n--- proxy\n" << proxy.log();
  expect_installed(dest + "Zephra", files);
  const std::string log = proxy.log();
  EXPECT_NE(log.find("serverlist.txt"), std::string::npos) << log;
  EXPECT_NE(log.find("directory.txt.zip"), std::string::npos) << log;
  EXPECT_NE(log.find("settings.txt.zip"), std::string::npos) << log;
}

TEST_F(Network, TheEnvironmentsProxyIsUsedUnlessNoProxyExemptsTheHostAndIsNeverStored) {
  TinyProxy proxy;
  ASSERT_TRUE(proxy.ok()) << proxy.why();
  ASSERT_NO_FATAL_FAILURE(publish_first());
  const std::string address = "127.0.0.1:" + std::to_string(proxy.port());
  const std::string prefs = home + "config/Zephra Installer.prf";

  // The bare HOST:PORT form, with the server exempt among other entries: nothing goes through it.
  extra_env = "http_proxy=" + address + " no_proxy=" + shell_quote("example.com, .example.org,127.0.0.1");
  install_run run = install(tmp / "direct/");
  ASSERT_EQ(run.status, 0) << describe(run);
  expect_installed(tmp / "direct/Zephra", files);
  EXPECT_NE(run.log.find("Proxy: " + address + " from http_proxy"), std::string::npos) << describe(run);
  EXPECT_EQ(proxy.log().find("serverlist.txt"), std::string::npos) << proxy.log();

  extra_env = "HTTP_PROXY=" + shell_quote("http://" + address + "/");
  run = install(tmp / "proxied/");
  ASSERT_EQ(run.status, 0) << describe(run) << "\n--- proxy\n" << proxy.log();
  expect_installed(tmp / "proxied/Zephra", files);
  EXPECT_NE(run.log.find("Proxy: " + address + " from HTTP_PROXY\n"), std::string::npos) << describe(run);
  EXPECT_NE(proxy.log().find("settings.txt.zip"), std::string::npos) << proxy.log();
  // The preference file keeps the user's choice, which is none.
  ASSERT_TRUE(file_exists(prefs));
  EXPECT_EQ(read_file(prefs).find("_proxy_host"), std::string::npos) << read_file(prefs);
  EXPECT_NE(read_file(prefs).find("_proxy_port_int 0\n"), std::string::npos) << read_file(prefs);

  extra_env.clear();
  run = install(tmp / "none/");
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.log.find("Proxy: none\n"), std::string::npos) << describe(run);

  // A proxy in the preferences whose port was mistyped: the log says why none is used.
  write_file(prefs, read_file(prefs) + "_proxy_host 127.0.0.1\n_proxy_port 80a\n");
  run = install(tmp / "none/");
  ASSERT_EQ(run.status, 0) << describe(run);
  EXPECT_NE(run.log.find("I do not use the proxy 127.0.0.1 of the preferences, because its port '80a' is not a "
                         "number from 1 to 65535.\nProxy: none\n"),
            std::string::npos)
      << describe(run);
}

TEST_F(Network, AFreshInstallKeepsItsConnectionsOpenFromFileToFile) {
  for (int i = 0; i < 24; ++i) files["Resources/many/file" + std::to_string(i) + ".txt"] = std::to_string(i) + "\n";
  ASSERT_NO_FATAL_FAILURE(publish_first());
  const std::string dest = tmp / "dest/";
  fs::create_directories(dest);

  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  expect_installed(dest + "Zephra", files);
  // Each line of the log begins with the connection's serial number; the archives come over
  // the streams' own connections, at most one for each of the four streams. On a connection
  // that has served a file, the next file is asked for behind the one in flight (pipelined).
  std::set<std::string> connections;
  int archives = 0, pipelined = 0;
  std::istringstream lines(nginx->access_log());
  for (std::string line; std::getline(lines, line);) {
    if (line.find("/Zephra/") == std::string::npos || !line.ends_with(" 200")) continue;
    ++archives;
    connections.insert(line.substr(0, line.find(' ')));
    pipelined += line.find(" p \"GET ") != std::string::npos;
  }
  EXPECT_EQ(archives, static_cast<int>(files.size()) - 1) << nginx->access_log();  // not the .exe
  EXPECT_LE(connections.size(), 4u) << nginx->access_log();
  EXPECT_GT(pipelined, 0) << nginx->access_log();
}

// Bytes that do not compress, from a fixed seed.
std::string incompressible(size_t size, unsigned seed) {
  std::mt19937 bytes(seed);
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>(bytes());
  return data;
}

TEST_F(Network, ALargeDownloadCutOffIsContinuedByTheNextRun) {
  files["Resources/big.bin"] = incompressible(6'000'000, 8);
  CuttingRelay relay(nginx->port(), "big.bin.zip", 4'500'000);
  ASSERT_TRUE(relay.ok());
  mirror = relay.address();
  ASSERT_NO_FATAL_FAILURE(publish_first());
  const size_t archive = fs::file_size(site + "/Zephra 8.40/Zephra/Resources/big.bin.zip");
  const std::string dest = tmp / "dest/";
  const std::string partials = dest + "Zephra/.zephra-partial/";
  fs::create_directories(dest);

  // The first run is killed outright once its partial archive holds what the relay let through
  // (less the header and what the C library may still buffer).
  std::string cmd = command(dest, {"--accept_eula"}, true, "");
  cmd.replace(cmd.find("&& env "), 7, "&& exec env ");
  const char* argv[] = {"sh", "-c", cmd.c_str(), nullptr};
  ChildProcess first;
  ASSERT_TRUE(first.start(argv, tmp / "first.log"));
  ASSERT_TRUE(relay.wait_cut()) << read_file(tmp / "run.err");
  auto partial_size = [&] {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(partials, ec))
      if (e.path().extension() == ".zip") return static_cast<size_t>(e.file_size());
    return size_t{0};
  };
  for (int i = 0; i < 6000 && partial_size() < 4'500'000 - 16'384; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_GE(partial_size(), 4'500'000u - 16'384) << "the partial archive did not grow";
  ::kill(first.pid(), SIGKILL);
  first.stop();
  // No half-written file in the destination itself: what lies outside the hidden folder is whole,
  // but for a hidden replacement file the run was killed while writing, which the next run sweeps.
  // The killed run's lock file is left, and does not stop the next run.
  EXPECT_TRUE(file_exists(dest + "Zephra/.zephra-lock"));
  for (const std::string& rel : list_tree(dest + "Zephra")) {
    if (rel.ends_with("/") || rel.rfind(".zephra-partial/", 0) == 0 || rel == ".zephra-lock" ||
        fs::path(rel).filename().string().rfind(".zephra-part-", 0) == 0)
      continue;
    ASSERT_TRUE(files.count(rel)) << rel;
    EXPECT_EQ(read_file(dest + "Zephra/" + rel), files.at(rel)) << rel;
  }
  relay.take_forwarded();

  const size_t served = nginx->access_log().size();
  install_run run = install(dest);
  ASSERT_EQ(run.status, 0) << describe(run);
  // The folder of partial archives is gone with the completed pass: the tree is exact.
  expect_installed(dest + "Zephra", files);
  const std::string log = nginx->access_log().substr(served);
  EXPECT_NE(log.find("big.bin.zip HTTP/1.1\" 206"), std::string::npos) << log;
  EXPECT_EQ(log.find("big.bin.zip HTTP/1.1\" 200"), std::string::npos) << log;
  EXPECT_NE(run.log.find("I continue the download of Zephra/Resources/big.bin after the "), std::string::npos)
      << describe(run);
  // Only the rest came, and the few small files.
  EXPECT_LT(relay.take_forwarded(), archive - 4'500'000 + 100'000);
}

TEST_F(Network, ASecondRunOnTheSameDestinationChangesNothingAndTheFirstEndsExact) {
  files["Resources/big.bin"] = incompressible(6'000'000, 9);
  CuttingRelay relay(nginx->port(), "big.bin.zip", 4'500'000);
  ASSERT_TRUE(relay.ok());
  mirror = relay.address();
  ASSERT_NO_FATAL_FAILURE(publish_first());
  const std::string dest = tmp / "dest/";
  const std::string partial_folder = dest + "Zephra/.zephra-partial/";
  fs::create_directories(dest);

  // The first run holds until the relay lets its big download go on.
  const std::string first_cmd = command(dest, {"--accept_eula"}, true, "timeout -k 5 120") + "; echo $? >" +
                                shell_quote(tmp / "first.status");
  const char* argv[] = {"sh", "-c", first_cmd.c_str(), nullptr};
  ChildProcess first;
  ASSERT_TRUE(first.start(argv, tmp / "first.log"));
  ASSERT_TRUE(relay.wait_cut()) << read_file(tmp / "run.err");
  auto partial_tree = [&] {
    std::vector<std::pair<std::string, uintmax_t>> tree;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(partial_folder, ec)) tree.emplace_back(e.path().string(), e.file_size());
    std::sort(tree.begin(), tree.end());
    return tree;
  };
  auto largest = [&] {
    uintmax_t size = 0;
    for (const auto& [name, bytes] : partial_tree()) size = std::max(size, bytes);
    return size;
  };
  for (int i = 0; i < 6000 && largest() < 4'500'000 - 16'384; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const auto held = partial_tree();
  ASSERT_GE(largest(), 4'500'000u - 16'384) << "the partial archive did not grow";

  // A second and a third run on the same destination, spelled another way, are turned away.
  for (const std::string& other : {dest + "Zephra/", dest + "./Zephra//"}) {
    const int status = run_command(command(other, {"--accept_eula"}, true, "timeout -k 5 60", "second"));
    EXPECT_EQ(status, 5) << read_file(tmp / "second.err");
    EXPECT_NE(read_file(tmp / "second.err").find("Another installer is already working on "), std::string::npos)
        << read_file(tmp / "second.err");
  }
  EXPECT_EQ(partial_tree(), held) << "the first run's partial download was not touched";
  // Each run kept a log of its own beside the program.
  EXPECT_NE(read_file(tmp / "prog/Log 2.txt").find("Another installer is already working on "), std::string::npos);

  relay.release();
  for (int i = 0; i < 12000 && first.alive(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(first.alive());
  EXPECT_EQ(read_file(tmp / "first.status"), "0\n") << read_file(tmp / "run.err");
  expect_installed(dest + "Zephra", files);
  EXPECT_NE(read_file(tmp / "prog/Log.txt").find("I continue the download of"), std::string::npos);
}

}  // namespace
}  // namespace e2e
