// A published release served by nginx and fetched with the installer's own HTTP client at the
// addresses the installer builds: the server list at "/serverlist.txt", the directory archive
// at the server path + "directory.txt.zip", each file at the server path + its path + ".zip".
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "core/clock.h"
#include "files/os_path.h"
#include "files/zip_extract.h"
#include "install/destination.h"
#include "install/directory.h"
#include "install/server_list.h"
#include "install/session_state.h"
#include "net/http_client.h"
#include "tests/support/real_peers.h"
#include "tests/support/test_support.h"
#include "tests/tools/publish_support.h"

using namespace testing_support;
using namespace publish_testing;
namespace fs = std::filesystem;

namespace {

// Polls slot o as the frame loop does until the download answers; 1 when it arrived whole.
int fetch(int o, const std::string& server, const std::string& file, const std::string& dest) {
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    int r = http.net_check(o, server, file, dest);
    if (r != 0) return r;
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) return -1;
  }
}

TEST(PublishServed, AnInstallerPassOverHttpRebuildsTheMaster) {
  TempDir tmp;
  std::string master = tmp / "work/Zephra";
  write_file(master + "/readme.txt", "Read me first.\n");
  write_file(master + "/Resources/sub folder/with space.txt", "spaces travel as %20\n");
  write_file(master + "/Resources/empty.dat", "");
  std::string out = tmp / "www";
  fs::create_directories(out);
  NginxServer nginx(out);
  ASSERT_TRUE(nginx.ok()) << nginx.why();
  std::string err;
  ASSERT_EQ(run_publish({"--master", master, "--name", "Zephra 8.50", "--out", out, "--server", nginx.address(),
                         "/", "Local nginx"},
                        nullptr, &err),
            0)
      << err;

  xtim.set_real_time(0);
  std::string temp = tmp / "temp/";
  fs::create_directories(temp);
  ASSERT_EQ(fetch(0, nginx.address(), "/serverlist.txt", temp + "serverlist.txt"), 1);
  read_server_list(temp + "serverlist.txt");
  ASSERT_EQ(stg.num_servers, 1);
  ASSERT_EQ(fetch(1, server_name[0], server_path[0] + "directory.txt.zip", temp + "directory.txt.zip"), 1);
  ASSERT_EQ(zip_to_file(temp + "directory.txt.zip", temp, nullptr, 0), 0);

  std::string dest = tmp / "dest/";
  dest_dir_path = dest;
  ASSERT_EQ(read_directory(temp + "directory.txt", "test"), 3);
  ASSERT_EQ(sim_info.files.size(), 3u);
  for (const file_history_struct& h : sim_info.files) {
    const file_version_struct& v = h.versions.back();
    std::string target = dest_path_of(v.path);
    std::string folder = target.substr(0, target.rfind(kPathSep) + 1);
    fs::create_directories(folder);
    ASSERT_EQ(fetch(2, server_name[0], server_path[0] + v.path + ".zip", temp + "0.zip"), 1) << v.path;
    ASSERT_EQ(zip_to_file(temp + "0.zip", folder, nullptr, 0), 0) << v.path;
  }
  EXPECT_EQ(list_tree(dest), list_tree(master));
  EXPECT_EQ(read_file(dest + "Resources/sub folder/with space.txt"), "spaces travel as %20\n");
}

}  // namespace
