// The download client reading a server's answer: each input is the whole answer, sent over a
// loopback connection to a real slot, after which the server closes. Any crash, sanitizer
// report or hang is a finding; the outcome itself (placed or failed) is free.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/app_state.h"
#include "core/clock.h"
#include "fuzz/fuzz_support.h"
#include "net/http_client.h"

namespace {

constexpr int kSlot = 0;
// Polls after the server closed before the 30-second rule is forced by moving the clock on.
constexpr int kPollsBeforeStall = 64;

int listener = -1;
std::string server;

void start_listener() {
  listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    std::abort();
  server = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (listener < 0) {
    fuzz_support::quiet_alerts();
    start_listener();
    app_path.clear();
  }
  const std::string dest = fuzz_support::scratch_folder() + "body";
  xtim.set_real_time(0);
  auto step = [&] { return http.net_check(kSlot, server, "/release/file.zip", dest); };

  int result = step();
  if (result != 0) return 0;  // no socket to be had here; nothing was read
  pollfd p{listener, POLLIN, 0};
  int fd = ::poll(&p, 1, 10000) == 1 ? ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK) : -1;
  if (fd < 0) {
    std::fprintf(stderr, "the loopback connection never arrived\n");
    std::abort();
  }

  // The request is read whole first, so that closing the server's side is an orderly end.
  std::string request;
  while (result == 0 && request.find("\r\n\r\n") == std::string::npos) {
    char buf[4096];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n > 0) request.append(buf, static_cast<size_t>(n));
    result = step();
  }
  size_t sent = 0;
  while (result == 0 && sent < size) {
    ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN) break;  // the client already closed
    if (n > 0) sent += static_cast<size_t>(n);
    result = step();
  }
  ::shutdown(fd, SHUT_WR);
  for (int polls = 0; result == 0; ++polls) {
    if (polls == kPollsBeforeStall) xtim.set_real_time(31.0f);
    if (polls > kPollsBeforeStall + 1000) std::abort();  // the slot never ends: a hang
    result = step();
  }
  // The client has closed already; a reset leaves no connection waiting out its time here.
  linger no_wait{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &no_wait, sizeof no_wait);
  ::close(fd);
  ::unlink(dest.c_str());
  return 0;
}
