// End-to-end: mirrors that lack the files, serve faulty archives or oversized ones, downloads
// through a proxy, and connections kept from file to file.
#include <cerrno>
#include <set>
#include <sstream>

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
  // the streams' own connections, at most one for each of the four streams.
  std::set<std::string> connections;
  int archives = 0;
  std::istringstream lines(nginx->access_log());
  for (std::string line; std::getline(lines, line);) {
    if (line.find("/Zephra/") == std::string::npos || !line.ends_with(" 200")) continue;
    ++archives;
    connections.insert(line.substr(0, line.find(' ')));
  }
  EXPECT_EQ(archives, static_cast<int>(files.size()) - 1) << nginx->access_log();  // not the .exe
  EXPECT_LE(connections.size(), 4u) << nginx->access_log();
}

}  // namespace
}  // namespace e2e
