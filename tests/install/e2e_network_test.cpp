// End-to-end: a mirror that lacks the files or sends oversized ones, a damaged archive,
// downloads through a proxy, and connections kept from file to file.
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

TEST_F(Network, AMirrorWithoutTheFilesMakesThePassSwitchServers) {
  // The broken mirror comes first, which the server choice favours. It has the directory, so
  // the pass may start there, but every file's archive is missing (404).
  ASSERT_NO_FATAL_FAILURE(publish_first({"/broken/", "/"}));
  const std::string release = "Zephra 8.40/directory.txt.zip";
  fs::create_directories(site + "/broken/Zephra 8.40");
  fs::copy_file(site + "/" + release, site + "/broken/" + release);

  // The server is drawn at random, the broken one about three times in five; twelve runs leave a
  // chance of about 1 in 40,000 that none starts there. Every run has to finish with the release.
  bool switched = false;
  for (int attempt = 0; attempt < 12 && !switched; ++attempt) {
    std::string dest = tmp / ("dest" + std::to_string(attempt) + "/");
    fs::create_directories(dest);
    // Only placed files count as progress, and a run of failures on the broken mirror may pause
    // for a minute and more; the limit stays under the test's own.
    install_run run = install(dest, {"--accept_eula", "--give_up_after=100"});
    ASSERT_EQ(run.status, 0) << describe(run);
    EXPECT_NE(run.out.find(kComplete), std::string::npos) << describe(run);
    expect_installed(dest + "Zephra", files);
    switched = run.log.find("HTTP Error for ") != std::string::npos &&
               nginx->why().find("/broken/Zephra 8.40/Zephra/") != std::string::npos;
  }
  EXPECT_TRUE(switched) << "no run asked the broken mirror for a file\n" << nginx->why();
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

TEST_F(Network, ADamagedArchiveFailsTheInstallation) {
  ASSERT_NO_FATAL_FAILURE(publish_first());
  const std::string archive = site + "/Zephra 8.40/Zephra/Resources/settings.txt.zip";
  ASSERT_TRUE(file_exists(archive));
  write_file(archive, "this is not a zip archive, just some garbage bytes\n");
  const std::string dest = tmp / "dest/";
  fs::create_directories(dest);

  install_run run = install(dest);
  EXPECT_EQ(run.status, 1) << describe(run);
  EXPECT_EQ(run.out.find(kComplete), std::string::npos) << describe(run);
  EXPECT_NE(run.log.find("The installer cannot extract a file."), std::string::npos) << describe(run);
  EXPECT_NE(run.log.find("settings.txt"), std::string::npos) << describe(run);
  EXPECT_NE(run.err.find("The installer cannot extract a file."), std::string::npos) << describe(run);
  // Whatever else the pass wrote stays inside the destination.
  for (const std::string& f : list_tree(dest)) EXPECT_EQ(f.rfind("Zephra/", 0), 0u) << f;
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
