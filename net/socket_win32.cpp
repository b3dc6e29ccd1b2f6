// The socket layer on Windows Sockets 2: non-blocking mode, zero-timeout select, Winsock error codes.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

#include "net/socket.h"

namespace {

// Started once for the process; the sockets and the name lookup need it even when the caller
// never asked, as on systems without a library to start.
bool ensure_started() {
  static const bool started = [] {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return false;
    if (data.wVersion == MAKEWORD(2, 0)) return true;
    WSACleanup();
    return false;
  }();
  return started;
}

SOCKET os_socket(vorn_handle h) { return static_cast<SOCKET>(h); }

// The errors that mean the peer went away rather than that something is broken here.
bool peer_gone(int err, bool sending) {
  switch (err) {
    case WSAECONNABORTED:  // 10053
    case WSAECONNRESET:    // 10054
    case WSAENOTCONN:      // 10057
    case WSAETIMEDOUT:     // 10060
      return true;
    case WSAESHUTDOWN:  // 10058
      return sending;
    default:
      return false;
  }
}

bool would_block(int err) { return err == WSAEWOULDBLOCK || err == WSAEINTR; }

// One zero-timeout select: readable, writable and exceptional, each asked for when its pointer is given.
int select_now(vorn_handle h, bool* readable, bool* writable, bool* exceptional) {
  fd_set rd, wr, ex;
  FD_ZERO(&rd);
  FD_ZERO(&wr);
  FD_ZERO(&ex);
  SOCKET s = os_socket(h);
  if (readable) FD_SET(s, &rd);
  if (writable) FD_SET(s, &wr);
  if (exceptional) FD_SET(s, &ex);
  timeval zero{0, 0};
  int n = ::select(0, readable ? &rd : nullptr, writable ? &wr : nullptr, exceptional ? &ex : nullptr, &zero);
  if (readable) *readable = n > 0 && FD_ISSET(s, &rd);
  if (writable) *writable = n > 0 && FD_ISSET(s, &wr);
  if (exceptional) *exceptional = n > 0 && FD_ISSET(s, &ex);
  return n;
}

int clamp_length(long length) { return static_cast<int>(std::clamp<long>(length, 0, INT_MAX)); }

}  // namespace

VornSocket::VornSocket(uint16_t inPort, bool inServer) {
  if (!ensure_started()) {
    SetError(WSANOTINITIALISED);
    return;
  }
  // Not inherited: the helper programs the installer starts must not hold downloads open.
  SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                          WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) {
    SetError(WSAGetLastError());
    return;
  }
  mWinSocket = static_cast<vorn_handle>(s);
  BOOL one = TRUE;
  (void)::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);

  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(inPort);
  if (::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    SetError(WSAGetLastError());
    return;
  }
  u_long non_blocking = 1;
  if (::ioctlsocket(s, FIONBIO, &non_blocking) != 0) {
    SetError(WSAGetLastError());
    return;
  }
  if (!inServer) return;
  mIsAServer = true;
  if (::listen(s, SOMAXCONN) != 0) SetError(WSAGetLastError());
}

VornSocket::~VornSocket() {
  if (mWinSocket != kInvalidSocket) ::closesocket(os_socket(mWinSocket));
}

bool VornSocket::StartupNetworking(bool) { return ensure_started(); }

Vorn_Status VornSocket::GetStatus() {
  if (mWinSocket == kInvalidSocket) return mSocketStatus;
  if (mSocketStatus == vornstatus_Ready && mIsAServer) {
    bool readable = false;
    int n = select_now(mWinSocket, &readable, nullptr, nullptr);
    if (n > 0) {
      mSocketStatus = readable ? vornstatus_Connecting : vornstatus_Disconnected;
      return mSocketStatus;
    }
    if (n < 0) SetError(WSAGetLastError());
  } else if (mSocketStatus == vornstatus_Connecting) {
    // Winsock reports a connect that failed as an exceptional condition, not as writable.
    bool writable = false, failed = false;
    int n = select_now(mWinSocket, nullptr, &writable, &failed);
    if (n > 0)
      mSocketStatus = (writable && !failed) ? vornstatus_Connected : vornstatus_Disconnected;
    else if (n < 0)
      SetError(WSAGetLastError());
  }
  return mSocketStatus;
}

bool VornSocket::IdleAndOpen() {
  if (mWinSocket == kInvalidSocket || mReceivedRelease || GetStatus() != vornstatus_Connected) return false;
  // Readable here means the peer closed, reset, or sent bytes nobody asked for.
  bool readable = false;
  return select_now(mWinSocket, &readable, nullptr, nullptr) == 0;
}

void VornSocket::Connect(uint32_t inIP, uint16_t inPort) {
  if (mSocketStatus == vornstatus_Error) return;
  mSocketStatus = vornstatus_Connecting;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = inIP;
  peer.sin_port = htons(inPort);
  if (::connect(os_socket(mWinSocket), reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) {
    mSocketStatus = vornstatus_Connected;
    return;
  }
  int err = WSAGetLastError();
  if (err == WSAEWOULDBLOCK || err == WSAEINPROGRESS) return;  // the normal case: poll GetStatus
  // A refusal reported at once is the same event as one reported by the poll.
  if (err == WSAECONNREFUSED) {
    mSocketStatus = vornstatus_Disconnected;
    return;
  }
  SetError(err);
}

long VornSocket::ReadData(void* outBuf, long inLength) {
  if (mWinSocket == kInvalidSocket || mSocketStatus == vornstatus_Error) return -1;
  int n = ::recv(os_socket(mWinSocket), static_cast<char*>(outBuf), clamp_length(inLength), 0);
  if (n > 0) return n;
  if (n == 0) {
    // The peer closed its side; the status stays, the caller knows the end by the length.
    mReceivedRelease = true;
    return 0;
  }
  int err = WSAGetLastError();
  if (would_block(err)) return 0;
  Failed(err, peer_gone(err, false));
  return -1;
}

long VornSocket::WriteData(const void* inBuf, long inLength) {
  if (mWinSocket == kInvalidSocket || mSocketStatus == vornstatus_Error) return -1;
  int n = ::send(os_socket(mWinSocket), static_cast<const char*>(inBuf), clamp_length(inLength), 0);
  if (n >= 0) return n;
  int err = WSAGetLastError();
  if (would_block(err)) return 0;
  Failed(err, peer_gone(err, true));
  return -1;
}

void VornSocket::Disconnect() {
  if (mWinSocket != kInvalidSocket) ::shutdown(os_socket(mWinSocket), SD_SEND);
  if (mSocketStatus != vornstatus_Error) mSocketStatus = vornstatus_Disconnected;
}

// select waits on sockets only; a worker's result is found by the waiting side's own short waits.
bool VornSocket_can_wake_waiter() { return false; }
void VornSocket_wake_waiter() {}

void VornSocket_wait_any(const vorn_wait_item* items, int count, int timeout_ms) {
  fd_set rd, wr, ex;
  FD_ZERO(&rd);
  FD_ZERO(&wr);
  FD_ZERO(&ex);
  int added = 0;
  for (int i = 0; i < count && added < FD_SETSIZE; ++i) {
    if (items[i].handle == kInvalidSocket) continue;
    SOCKET s = os_socket(items[i].handle);
    FD_SET(s, &rd);
    // A connect that fails shows only as an exceptional condition.
    FD_SET(s, &ex);
    if (items[i].want_write) FD_SET(s, &wr);
    ++added;
  }
  // Winsock's select refuses three empty sets instead of waiting.
  if (added == 0 || !ensure_started()) {
    ::Sleep(timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms));
    return;
  }
  timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  ::select(0, &rd, &wr, &ex, timeout_ms < 0 ? nullptr : &limit);
}
