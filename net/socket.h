#pragma once
// One non-blocking TCP socket for the download client. Nothing here blocks except the host
// name lookup: every operation completes at once or reports that nothing happened yet, and
// the connection's progress is learnt by polling GetStatus.
#include <cstdint>

enum Vorn_Status : int32_t {
  vornstatus_Ready = 1,         // created and bound, not connecting
  vornstatus_Connecting = 2,    // connect issued, not yet writable (listening: a connection waits)
  vornstatus_Connected = 3,     // data may flow
  vornstatus_Disconnected = 4,  // closed by either side, or the connect failed at the peer
  vornstatus_Error = 5,         // a system failure; GetOSError tells which
};

#ifdef _WIN32
using vorn_handle = uintptr_t;
constexpr vorn_handle kInvalidSocket = ~static_cast<uintptr_t>(0);
#else
using vorn_handle = int;
constexpr vorn_handle kInvalidSocket = -1;
#endif

class VornSocket {
 public:
  // A TCP socket bound to the local port inPort (0: any); inServer makes it listen.
  VornSocket(uint16_t inPort, bool inServer);
  virtual ~VornSocket();
  VornSocket(const VornSocket&) = delete;
  VornSocket& operator=(const VornSocket&) = delete;

  // Starts the system's socket library where there is one; true when it is usable.
  static bool StartupNetworking(bool inUnused);
  // A dotted IPv4 address or a host name as an IPv4 address in network order; 0: not found.
  static uint32_t LookupAddress(const char* inAddress);

  // The status after a zero-timeout readiness poll.
  Vorn_Status GetStatus();
  // The system error code recorded when the status became Error; 0 otherwise.
  int GetOSError() const { return mSocketError; }

  // Starts connecting to inIP (network order) : inPort (host order).
  void Connect(uint32_t inIP, uint16_t inPort);
  // Bytes read; 0: nothing now (or the peer closed its side); -1: gone or failed.
  long ReadData(void* outBuf, long inLength);
  // Bytes accepted, possibly fewer than offered; 0: nothing now; -1: gone or failed.
  long WriteData(const void* inBuf, long inLength);
  // Shuts the sending direction; the status becomes Disconnected unless it is Error.
  void Disconnect();

  // True when the socket is connected, its peer has not closed, and nothing waits to be read:
  // a connection kept between requests that may carry the next one.
  bool IdleAndOpen();
  bool ReceivedRelease() const { return mReceivedRelease; }
  vorn_handle Handle() const { return mWinSocket; }

 private:
  // Records a failed read or write: the peer went away (gone) or the system failed.
  void Failed(int err, bool gone);
  void SetError(int code) {
    mSocketStatus = vornstatus_Error;
    mSocketError = code;
  }

  vorn_handle mWinSocket = kInvalidSocket;
  Vorn_Status mSocketStatus = vornstatus_Ready;
  int mSocketError = 0;
  bool mReceivedRelease = false;  // the peer closed its sending side
  bool mSentRelease = false;      // kept for the shape of the record; nothing sets it
  bool mIsAServer = false;
};

// One socket to wait on, and whether bytes are waiting to be sent on it.
struct vorn_wait_item {
  vorn_handle handle;
  bool want_write;
};
// Waits up to timeout_ms until one of the sockets can be read (or written, where bytes wait to
// be sent); with no sockets it simply waits. Never used where a window's events are waited on.
void VornSocket_wait_any(const vorn_wait_item* items, int count, int timeout_ms);
// Ends the current or next VornSocket_wait_any at once; callable from any thread, so that a worker
// can tell the waiting thread its result is ready.
void VornSocket_wake_waiter();
// False where the system cannot end a wait that way: the waiting side then has to look again
// after a short wait of its own.
bool VornSocket_can_wake_waiter();
