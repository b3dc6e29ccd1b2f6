// The socket layer on POSIX sockets: non-blocking mode, zero-timeout poll, send without SIGPIPE.
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <vector>
#include <sys/socket.h>
#include <unistd.h>

#include "net/socket.h"

namespace {

// The errors that mean the peer went away rather than that something is broken here.
bool peer_gone(int err, bool sending) {
  switch (err) {
    case ECONNABORTED:
    case ECONNRESET:
    case ENOTCONN:
    case ETIMEDOUT:
      return true;
    case ESHUTDOWN:
    case EPIPE:
      return sending;
    default:
      return false;
  }
}

bool would_block(int err) { return err == EAGAIN || err == EWOULDBLOCK || err == EINTR; }

// One zero-timeout poll; the ready count, with revents filled in.
int poll_now(int fd, short events, short& revents) {
  pollfd p{fd, events, 0};
  int n = ::poll(&p, 1, 0);
  revents = p.revents;
  return n;
}

}  // namespace

VornSocket::VornSocket(uint16_t inPort, bool inServer) {
  // Close-on-exec: the helper programs the installer starts must not inherit downloads.
  mWinSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (mWinSocket == kInvalidSocket) {
    SetError(errno);
    return;
  }
  int one = 1;
  (void)::setsockopt(mWinSocket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(inPort);
  if (::bind(mWinSocket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    SetError(errno);
    return;
  }
  int flags = ::fcntl(mWinSocket, F_GETFL, 0);
  if (flags < 0 || ::fcntl(mWinSocket, F_SETFL, flags | O_NONBLOCK) != 0) {
    SetError(errno);
    return;
  }
  if (!inServer) return;
  mIsAServer = true;
  if (::listen(mWinSocket, SOMAXCONN) != 0) SetError(errno);
}

VornSocket::~VornSocket() {
  if (mWinSocket != kInvalidSocket) ::close(mWinSocket);
}

bool VornSocket::StartupNetworking(bool) { return true; }

Vorn_Status VornSocket::GetStatus() {
  if (mWinSocket == kInvalidSocket) return mSocketStatus;
  short revents = 0;
  if (mSocketStatus == vornstatus_Ready && mIsAServer) {
    int n = poll_now(mWinSocket, POLLIN, revents);
    if (n > 0) {
      mSocketStatus = (revents & POLLIN) ? vornstatus_Connecting : vornstatus_Disconnected;
      return mSocketStatus;
    }
    if (n < 0 && errno != EINTR) SetError(errno);
  } else if (mSocketStatus == vornstatus_Connecting) {
    int n = poll_now(mWinSocket, POLLOUT, revents);
    if (n > 0) {
      // A connect that failed shows as ready with SO_ERROR set: the peer refused or is gone.
      int so_error = 0;
      socklen_t len = sizeof so_error;
      if (::getsockopt(mWinSocket, SOL_SOCKET, SO_ERROR, &so_error, &len) != 0) so_error = errno;
      bool failed = so_error != 0 || (revents & (POLLERR | POLLHUP | POLLNVAL));
      mSocketStatus = (!failed && (revents & POLLOUT)) ? vornstatus_Connected : vornstatus_Disconnected;
    } else if (n < 0 && errno != EINTR) {
      SetError(errno);
    }
  }
  return mSocketStatus;
}

bool VornSocket::IdleAndOpen() {
  if (mWinSocket == kInvalidSocket || mReceivedRelease || GetStatus() != vornstatus_Connected) return false;
  short revents = 0;
  // Readable here means the peer closed, reset, or sent bytes nobody asked for.
  return poll_now(mWinSocket, POLLIN, revents) == 0;
}

void VornSocket::Connect(uint32_t inIP, uint16_t inPort) {
  if (mSocketStatus == vornstatus_Error) return;
  mSocketStatus = vornstatus_Connecting;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = inIP;
  peer.sin_port = htons(inPort);
  if (::connect(mWinSocket, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) {
    mSocketStatus = vornstatus_Connected;
    return;
  }
  int err = errno;
  if (err == EINPROGRESS || err == EINTR) return;  // the normal case: poll GetStatus
  // A refusal reported at once is the same event as one reported by the poll.
  if (err == ECONNREFUSED) {
    mSocketStatus = vornstatus_Disconnected;
    return;
  }
  SetError(err);
}

long VornSocket::ReadData(void* outBuf, long inLength) {
  if (mWinSocket == kInvalidSocket || mSocketStatus == vornstatus_Error) return -1;
  ssize_t n = ::recv(mWinSocket, outBuf, static_cast<size_t>(inLength), 0);
  if (n > 0) return static_cast<long>(n);
  if (n == 0) {
    // The peer closed its side; the status stays, the caller knows the end by the length.
    mReceivedRelease = true;
    return 0;
  }
  int err = errno;
  if (would_block(err)) return 0;
  Failed(err, peer_gone(err, false));
  return -1;
}

long VornSocket::WriteData(const void* inBuf, long inLength) {
  if (mWinSocket == kInvalidSocket || mSocketStatus == vornstatus_Error) return -1;
  // MSG_NOSIGNAL: a peer that closed early must not kill the program with SIGPIPE.
  ssize_t n = ::send(mWinSocket, inBuf, static_cast<size_t>(inLength), MSG_NOSIGNAL);
  if (n >= 0) return static_cast<long>(n);
  int err = errno;
  if (would_block(err)) return 0;
  Failed(err, peer_gone(err, true));
  return -1;
}

void VornSocket::Disconnect() {
  if (mWinSocket != kInvalidSocket) ::shutdown(mWinSocket, SHUT_WR);
  if (mSocketStatus != vornstatus_Error) mSocketStatus = vornstatus_Disconnected;
}

namespace {
// The counter a wake-up writes and every wait also watches; it stays readable until a wait reads it.
int wake_counter() {
  static const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return fd;
}
}  // namespace

bool VornSocket_can_wake_waiter() { return wake_counter() >= 0; }

void VornSocket_wake_waiter() {
  const int fd = wake_counter();
  if (fd < 0) return;
  const uint64_t one = 1;
  // A counter that cannot take more already wakes the next wait.
  [[maybe_unused]] ssize_t posted = write(fd, &one, sizeof one);
}

void VornSocket_wait_any(const vorn_wait_item* items, int count, int timeout_ms) {
  std::vector<pollfd> fds;
  const int wake = wake_counter();
  if (wake >= 0) fds.push_back({wake, POLLIN, 0});
  for (int i = 0; i < count; ++i)
    if (items[i].handle != kInvalidSocket)
      fds.push_back({items[i].handle, static_cast<short>(items[i].want_write ? POLLIN | POLLOUT : POLLIN), 0});
  if (poll(fds.empty() ? nullptr : fds.data(), fds.size(), timeout_ms) > 0 && wake >= 0 && fds[0].revents) {
    uint64_t posted;
    [[maybe_unused]] ssize_t drained = read(wake, &posted, sizeof posted);
  }
}
