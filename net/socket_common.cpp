// The parts of the socket layer that are the same on both systems.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include "net/socket.h"

// A dotted IPv4 address as it stands, else the system's resolver restricted to IPv4.
uint32_t VornSocket::LookupAddress(const char* inAddress) {
  if (!inAddress || !*inAddress || !StartupNetworking(true)) return 0;
  in_addr dotted{};
  if (::inet_pton(AF_INET, inAddress, &dotted) == 1) return dotted.s_addr;

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  if (::getaddrinfo(inAddress, nullptr, &hints, &answer) != 0 || !answer) return 0;
  uint32_t found = 0;
  for (addrinfo* a = answer; a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr) {
      found = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
      break;
    }
  }
  ::freeaddrinfo(answer);
  return found;
}

void VornSocket::Failed(int err, bool gone) {
  // Disconnected and Error are final: a later failure does not move the socket out of them.
  if (mSocketStatus == vornstatus_Disconnected || mSocketStatus == vornstatus_Error) return;
  if (gone)
    mSocketStatus = vornstatus_Disconnected;
  else
    SetError(err);
}
