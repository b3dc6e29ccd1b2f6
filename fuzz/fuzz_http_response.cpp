// The download client reading a server's answers on one kept connection: a slot asks for a file,
// then for a second with a third asked for ahead behind it, and finally for the third. Each input
// is what the server sends on that connection: two bytes (little-endian) give the length of the
// part meant for the first request; the rest follows once the slot is done with it or has waited
// for more, and the server closes when everything is sent and the slot still waits. Later
// connections are closed unanswered. Any crash, sanitizer report or hang is a finding; the
// outcomes themselves (placed or failed) are free.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/clock.h"
#include "fuzz/fuzz_support.h"
#include "net/http_client.h"

namespace {

constexpr int kSlot = 0;
// Polls without the slot ending before the server does the next thing to end it: send the rest,
// close, then move the clock past the 30-second rule.
constexpr int kPollsBeforeStall = 64;

int listener = -1;
std::string server;

void start_listener() {
  listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    std::abort();
  server = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
}

// The server's side of one input.
struct server_side {
  server_side(const uint8_t* input, size_t input_size) : data(input), size(input_size) {}

  const uint8_t* data;
  size_t size;
  size_t sent = 0;
  bool closed = false;          // the first connection's writing side is shut
  std::vector<int> connections; // the first one carries the answers

  // Accepts new connections, shutting every one after the first, and reads what the client
  // sent, so that its requests never fill the socket's buffers.
  void take_requests() {
    for (int fd; (fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
      if (!connections.empty()) ::shutdown(fd, SHUT_WR);
      connections.push_back(fd);
    }
    char buf[4096];
    for (int fd : connections)
      while (::recv(fd, buf, sizeof buf, 0) > 0) {
      }
  }

  // Sends on the first connection what it takes of the input up to limit; true when any went.
  bool send_up_to(size_t limit) {
    if (connections.empty() || closed || sent >= limit) return false;
    ssize_t n = ::send(connections[0], data + sent, limit - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) sent += static_cast<size_t>(n);
    if (n < 0 && errno != EAGAIN) sent = size;  // the client has closed: nothing more goes
    return n > 0;
  }

  ~server_side() {
    // The client has closed already or is told so at once: no connection waits out its time here.
    linger no_wait{1, 0};
    for (int fd : connections) {
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &no_wait, sizeof no_wait);
      ::close(fd);
    }
  }
};

// Polls the slot for file until it ends, sending the input up to limit meanwhile. A slot that
// still waits gets, one after the other, the rest of the input, the server's close and the
// clock past the 30-second rule; one that waits on after that hangs.
void fetch(server_side& peer, const std::string& file, const std::string& dest, long long max_body,
           const std::string& ahead, size_t limit) {
  xtim.set_real_time(0);
  auto step = [&] { return http.net_check(kSlot, server, file, dest, max_body, nullptr, ahead); };
  int result = step();
  for (int polls = 0; result == 0; ++polls) {
    peer.take_requests();
    if (peer.send_up_to(limit)) polls = 0;
    if (polls == kPollsBeforeStall && limit < peer.size) {
      limit = peer.size;
      polls = 0;
    } else if (polls == kPollsBeforeStall && !peer.closed) {
      if (!peer.connections.empty()) ::shutdown(peer.connections[0], SHUT_WR);
      peer.closed = true;
      polls = 0;
    } else if (polls == kPollsBeforeStall) {
      xtim.set_real_time(31.0f);
    } else if (polls > kPollsBeforeStall + 1000) {
      std::fprintf(stderr, "the slot never ends: a hang\n");
      std::abort();
    }
    result = step();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (listener < 0) {
    fuzz_support::quiet_alerts();
    start_listener();
    app_path.clear();
  }
  if (size < 2) return 0;
  const size_t first_part = std::min<size_t>(data[0] | size_t(data[1]) << 8, size - 2);
  server_side peer(data + 2, size - 2);
  const std::string dest = fuzz_support::scratch_folder() + "body";
  // The first answer goes to a file, the two after it to memory, bounded as small archives are.
  constexpr long long kInMemoryBound = 1 << 20;
  fetch(peer, "/release/a.zip", dest, -1, "", first_part);
  fetch(peer, "/release/b.zip", "", kInMemoryBound, "/release/c.zip", peer.size);
  fetch(peer, "/release/c.zip", "", kInMemoryBound, "", peer.size);
  http.close_kept();
  ::unlink(dest.c_str());
  return 0;
}
