// The socket layer against plain listening sockets of the test itself.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/socket.h"
#include "tests/net/net_test_support.h"
#include "tests/support/real_peers.h"

namespace {

uint32_t loopback_ip() { return htonl(INADDR_LOOPBACK); }

// A listening socket on 127.0.0.1 owned by the test.
struct Listener {
  int fd = -1;
  int port = 0;
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = loopback_ip();
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 4);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~Listener() { ::close(fd); }
  int accept_one() { return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); }
};

// Polls until the status leaves Connecting, within a safety limit.
Vorn_Status settle(VornSocket& s) {
  auto start = std::chrono::steady_clock::now();
  Vorn_Status st = s.GetStatus();
  while (st == vornstatus_Connecting && std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    st = s.GetStatus();
  }
  return st;
}

// Reads until something arrives or the read reports an end, within a safety limit.
long read_some(VornSocket& s, char* buf, long len) {
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    long n = s.ReadData(buf, len);
    if (n != 0 || std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) return n;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

TEST(VornSocketTest, LookupTakesDottedAddressesAndLocalhostWithoutDns) {
  in_addr expected{};
  ASSERT_EQ(inet_pton(AF_INET, "10.0.0.1", &expected), 1);
  EXPECT_EQ(VornSocket::LookupAddress("10.0.0.1"), expected.s_addr);
  EXPECT_EQ(VornSocket::LookupAddress("127.0.0.1"), loopback_ip());
  EXPECT_EQ(VornSocket::LookupAddress("localhost"), loopback_ip());
  EXPECT_EQ(VornSocket::LookupAddress(""), 0u);
  EXPECT_TRUE(VornSocket::StartupNetworking(true));
}

TEST(VornSocketTest, ConnectsReadsAndKeepsConnectedAfterOrderlyClose) {
  Listener server;
  VornSocket s(0, false);
  EXPECT_EQ(s.GetStatus(), vornstatus_Ready);
  s.Connect(loopback_ip(), static_cast<uint16_t>(server.port));
  ASSERT_EQ(settle(s), vornstatus_Connected);
  int peer = server.accept_one();
  ASSERT_GE(peer, 0);

  char buf[64];
  EXPECT_EQ(s.ReadData(buf, sizeof buf), 0) << "nothing waiting reads as nothing now";
  EXPECT_EQ(s.GetStatus(), vornstatus_Connected);

  ASSERT_EQ(s.WriteData("ping", 4), 4);
  char got[8] = {};
  ASSERT_EQ(::recv(peer, got, sizeof got, 0), 4);
  EXPECT_STREQ(got, "ping");

  ASSERT_TRUE(net_testing::send_all(peer, "pong"));
  ASSERT_EQ(read_some(s, buf, sizeof buf), 4);
  EXPECT_EQ(std::string(buf, 4), "pong");

  ::close(peer);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(s.ReadData(buf, sizeof buf), 0);
  EXPECT_EQ(s.ReadData(buf, sizeof buf), 0);
  EXPECT_TRUE(s.ReceivedRelease());
  EXPECT_EQ(s.GetStatus(), vornstatus_Connected);

  s.Disconnect();
  EXPECT_EQ(s.GetStatus(), vornstatus_Disconnected);
  EXPECT_EQ(s.GetOSError(), 0);
}

TEST(VornSocketTest, RefusedConnectIsDisconnectedWithoutError) {
  int port = testing_support::free_port();  // nobody listens there
  ASSERT_GT(port, 0);
  VornSocket s(0, false);
  s.Connect(loopback_ip(), static_cast<uint16_t>(port));
  EXPECT_EQ(settle(s), vornstatus_Disconnected);
  EXPECT_EQ(s.GetOSError(), 0);
}

TEST(VornSocketTest, ResetPeerGivesDisconnectedAndWritingNeverRaisesSigpipe) {
  Listener server;
  VornSocket s(0, false);
  s.Connect(loopback_ip(), static_cast<uint16_t>(server.port));
  ASSERT_EQ(settle(s), vornstatus_Connected);
  int peer = server.accept_one();
  net_testing::reset_close(peer);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));

  // Writing to a peer that is gone must come back as -1, not end the test with SIGPIPE.
  long r = 0;
  for (int i = 0; i < 20; ++i) r = s.WriteData("data", 4);
  EXPECT_EQ(r, -1);
  EXPECT_EQ(s.GetStatus(), vornstatus_Disconnected);
  EXPECT_EQ(s.GetOSError(), 0);

  VornSocket t(0, false);
  t.Connect(loopback_ip(), static_cast<uint16_t>(server.port));
  ASSERT_EQ(settle(t), vornstatus_Connected);
  net_testing::reset_close(server.accept_one());
  char buf[16];
  EXPECT_EQ(read_some(t, buf, sizeof buf), -1);
  EXPECT_EQ(t.GetStatus(), vornstatus_Disconnected);
}

TEST(VornSocketTest, WriteAcceptsOnlyWhatFitsAndNeverBlocks) {
  Listener server;
  VornSocket s(0, false);
  s.Connect(loopback_ip(), static_cast<uint16_t>(server.port));
  ASSERT_EQ(settle(s), vornstatus_Connected);
  int peer = server.accept_one();
  // The peer reads nothing, so the buffers fill: the socket takes part, then nothing.
  std::vector<char> big(64 * 1024 * 1024, 'x');
  long first = s.WriteData(big.data(), static_cast<long>(big.size()));
  EXPECT_GT(first, 0);
  EXPECT_LT(first, static_cast<long>(big.size()));
  long more = 0;
  for (int i = 0; i < 1000; ++i) more = s.WriteData(big.data(), static_cast<long>(big.size()));
  EXPECT_EQ(more, 0);
  EXPECT_EQ(s.GetStatus(), vornstatus_Connected);
  ::close(peer);
}

TEST(VornSocketTest, ListeningSocketSeesAWaitingConnection) {
  VornSocket listener(0, true);
  ASSERT_EQ(listener.GetStatus(), vornstatus_Ready);
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ASSERT_EQ(::getsockname(listener.Handle(), reinterpret_cast<sockaddr*>(&a), &len), 0);
  int port = ntohs(a.sin_port);

  VornSocket client(0, false);
  client.Connect(loopback_ip(), static_cast<uint16_t>(port));
  ASSERT_EQ(settle(client), vornstatus_Connected);
  auto start = std::chrono::steady_clock::now();
  while (listener.GetStatus() == vornstatus_Ready && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(listener.GetStatus(), vornstatus_Connecting);
}

TEST(VornSocketTest, BindFailureIsAnErrorThatStays) {
  VornSocket first(0, true);
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ASSERT_EQ(::getsockname(first.Handle(), reinterpret_cast<sockaddr*>(&a), &len), 0);

  VornSocket second(ntohs(a.sin_port), false);  // the same local port is taken
  EXPECT_EQ(second.GetStatus(), vornstatus_Error);
  EXPECT_EQ(second.GetOSError(), EADDRINUSE);
  second.Connect(loopback_ip(), 9);
  EXPECT_EQ(second.GetStatus(), vornstatus_Error);
  second.Disconnect();
  EXPECT_EQ(second.GetStatus(), vornstatus_Error);
  EXPECT_EQ(second.GetOSError(), EADDRINUSE);
  char buf[4];
  EXPECT_EQ(second.ReadData(buf, sizeof buf), -1);
}
