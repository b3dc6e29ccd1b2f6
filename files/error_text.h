#pragma once
// Turns any error code of the system into the sentence shown to the user.
#include <string>

struct error_msg_info {
  int err;
  const char* msg;
};
extern const error_msg_info kErrMsgs[];

// The system's own codes for zip, network and unpacking failures.
enum : int {
  kErrZipOpen = 20001,
  kErrZipRead = 20002,
  kErrZipCreate = 20003,
  kErrZipWrite = 20004,
  kErrZipForkSize = 20005,
  kErrFileOpen = 20006,
  kErrNetReconnect = 20007,
  kErrNetBadState = 20008,
  kErrNetAlloc = 20009,
  kErrNetWriteFile = 20010,
  kErrNetNoServer = 20011,
  kErrZipForkHeader = 20012,
  kErrZipOutside = 20013,
  kErrZipWindowsName = 20014,
  // A downloaded archive that is not what the directory lists: faults of the server it came from.
  kErrZipNoEntry = 20021,
  kErrZipTooBig = 20022,
  kErrZipWrongContent = 20023,
  kErrDirUnreadable = 20024,
};

std::string error_str(int val);
