// The download client against real servers: nginx serving a folder, and tinyproxy in front of it.
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "net/http_client.h"
#include "tests/net/net_test_support.h"
#include "tests/support/real_peers.h"
#include "tests/support/test_support.h"

using testing_support::NginxServer;
using testing_support::TempDir;
using testing_support::TinyProxy;

namespace {

constexpr size_t kBigBytes = 100u * 1000u * 1000u;

// Pseudo-random bytes, so that a shifted or repeated block cannot pass the comparison.
void write_noise(const std::string& path, size_t size, uint64_t seed) {
  std::ofstream out(path, std::ios::binary);
  std::vector<uint64_t> block(64 * 1024);
  uint64_t x = seed | 1;
  for (size_t done = 0; done < size;) {
    for (uint64_t& v : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      v = x;
    }
    size_t n = std::min(size - done, block.size() * sizeof(uint64_t));
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    done += n;
  }
}

::testing::AssertionResult same_bytes(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return ::testing::AssertionFailure() << "cannot open " << (fa ? b : a);
  std::vector<char> ba(1 << 20), bb(1 << 20);
  for (uint64_t offset = 0;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount() || !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
      return ::testing::AssertionFailure() << b << " differs from " << a << " after byte " << offset;
    if (fa.gcount() == 0) return ::testing::AssertionSuccess();
    offset += static_cast<uint64_t>(fa.gcount());
  }
}

struct Job {
  int slot;
  std::string file;  // path on the server
  std::string dest;
  int result = 0;
};

// Polls every slot once per round, as the frame loop does, until all have answered.
void run_jobs(const std::string& server, std::vector<Job>& jobs) {
  auto start = std::chrono::steady_clock::now();
  for (bool busy = true; busy;) {
    busy = false;
    for (Job& j : jobs) {
      if (j.result != 0) continue;
      j.result = http.net_check(j.slot, server, j.file, j.dest);
      busy = busy || j.result == 0;
    }
    if (std::chrono::steady_clock::now() - start > std::chrono::minutes(5)) {
      ADD_FAILURE() << "downloads did not finish";
      return;
    }
  }
}

class HttpRealPeers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    site = new TempDir;
    testing_support::write_file(*site / "www/a b.txt", "a file with a space in its name\n");
    testing_support::write_file(*site / "www/empty.bin", "");
    testing_support::write_file(*site / "www/sub dir/small.zip", std::string(70000, 'z'));
    write_noise(*site / "www/big.bin", kBigBytes, 0x5eed);
    write_noise(*site / "www/sub dir/medium.bin", 3'000'001, 0xfeed);
  }
  static void TearDownTestSuite() {
    delete site;
    site = nullptr;
  }
  void SetUp() override {
    net_testing::reset_http();
    xtim.set_real_time(0);
  }
  void TearDown() override { net_testing::reset_http(); }

  std::vector<Job> every_file() {
    return {{0, "/a b.txt", out / "a b.txt"},
            {1, "/empty.bin", out / "empty.bin"},
            {2, "/big.bin", out / "big.bin"},
            {3, "\\sub dir\\small.zip", out / "small.zip"},
            {4, ":sub dir:medium.bin", out / "medium.bin"}};
  }

  void expect_all_whole(const std::vector<Job>& jobs) {
    for (const Job& j : jobs) {
      EXPECT_EQ(j.result, 1) << j.file;
      std::string rel = j.file.substr(1);
      for (char& c : rel)
        if (c == '\\' || c == ':') c = '/';
      EXPECT_TRUE(same_bytes(*site / ("www/" + rel), j.dest));
    }
  }

  static TempDir* site;
  TempDir out;
  testing_support::LogCapture log;
  testing_support::AlertRecorder alerts;
};
TempDir* HttpRealPeers::site = nullptr;

}  // namespace

TEST_F(HttpRealPeers, NginxFilesArriveWholeThroughSeveralSlotsAtOnce) {
  NginxServer nginx(*site / "www");
  ASSERT_TRUE(nginx.ok()) << nginx.why();
  std::vector<Job> jobs = every_file();
  run_jobs(nginx.address(), jobs);
  expect_all_whole(jobs);
  EXPECT_EQ(log.text().find("HTTP Error"), std::string::npos) << log.text();
}

TEST_F(HttpRealPeers, NginxMissingFileFailsWithItsPageAndTheDump) {
  NginxServer nginx(*site / "www");
  ASSERT_TRUE(nginx.ok()) << nginx.why();
  std::string dest = out / "nothing.zip";
  EXPECT_EQ(net_testing::poll_slot(5, nginx.address(), "/nothing.zip", dest), 2);
  EXPECT_NE(testing_support::read_file(dest).find("404 Not Found"), std::string::npos);
  EXPECT_NE(log.text().find("   response   =Not Found (#404)\n"), std::string::npos) << log.text();
}

TEST_F(HttpRealPeers, TinyproxyCarriesTheSameDownloads) {
  NginxServer nginx(*site / "www");
  ASSERT_TRUE(nginx.ok()) << nginx.why();
  TinyProxy proxy;
  ASSERT_TRUE(proxy.ok()) << proxy.why();
  http.ProxyHost = "127.0.0.1";
  http.ProxyPort_str = std::to_string(proxy.port());
  http.ProxyPort_int = proxy.port();

  std::vector<Job> jobs = every_file();
  run_jobs(nginx.address(), jobs);
  expect_all_whole(jobs);
  // The proxy was asked with the absolute form of the address.
  EXPECT_NE(proxy.log().find("GET http://" + nginx.address() + "/a%20b.txt HTTP/1.1"), std::string::npos)
      << proxy.log();
}
