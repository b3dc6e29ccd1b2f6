#include "files/error_text.h"

#include <cstring>

const error_msg_info kErrMsgs[] = {
    {20001, "We were unable to open a zip file.  It may be missing or damaged"},
    {20002, "We were unable to read from a zip file.  It may be missing or damaged"},
    {20003, "We were unable to create a zip file"},
    {20004, "We were unable to write to a zip file.  It may be missing or damaged"},
    {20005, "We cannot compress a zip file because its source file resource fork is more than 2 GB.  The source file is probably damaged"},
    {20006, "We could not open a file to read from it"},
    {20007, "We were unable to connct to the network due to an internal reconnect error"},
    {20008, "We wre unable to connect to the network due to a bad state error"},
    {20009, "We could not allocate a connection to the network"},
    {20010, "We could not write the incoming file from the web to disk"},
    {20011, "We could not find the server over the network"},
    {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {20013, "Part of the downloaded zip file points outside the folder it belongs in, so I did not unpack it"},
    {20014, "Part of the downloaded zip file has a name Windows cannot give a file, so I did not unpack it"},
    {20021, "The downloaded zip file does not hold the file it was sent for"},
    {20022, "The downloaded zip file unpacks to more than the directory lists for its file, so I stopped unpacking it"},
    {20023, "The unpacked file is not the one the directory lists (its MD5 signature differs)"},
    {20024, "The directory file from the server is empty or not a directory file I can read"},
    {11, "Resource temporarily unavailable"},
    {35, "Resource deadlock avoided"},
    {36, "File name too long"},
    {38, "Function not implemented"},
    {39, "Directory not empty"},
    {88, "Wide character encoding error"},
    {7, "Argument list too long"},
    {13, "Permission denied.  Perhaps you do not have access to a directory or file system"},
    {9, "Bad file descriptor"},
    {16, "Device busy"},
    {10, "No child processes"},
    {33, "Numerical argument out of domain"},
    {17, "File exists"},
    {14, "Bad address"},
    {27, "File too large"},
    {40, "File Position Error"},
    {4, "Interrupted system call"},
    {22, "Invalid argument"},
    {5, "Input/output error"},
    {21, "Is a directory"},
    {24, "Too many open files"},
    {31, "Too many links"},
    {23, "Too many open files in system"},
    {19, "Operation not supported by device"},
    {2, "No such file or directory"},
    {0, "No error detected"},
    {8, "Exec format error"},
    {77, "No locks available"},
    {12, "Out of memory"},
    {28, "No space left on device.  Perhaps your hard drive is full"},
    {20, "Not a directory"},
    {25, "Inappropriate ioctl for device"},
    {6, "Device not configured"},
    {1, "Operation not permitted.  Perhaps you do not have access to a directory or file system"},
    {32, "Broken pipe"},
    {34, "Result too large"},
    {30, "The destination file system is read-only"},
    {26, "Signal error"},
    {29, "Illegal seek"},
    {3, "No such process"},
    {99, "Unknown error"},
    {18, "Cross-device link"},
    {0, nullptr},
};

namespace {

// The zip reader's own (negative) codes, which the system has no text for.
const error_msg_info kZipReaderMsgs[] = {
    {-1, "I could not read the downloaded zip file from the disk"},
    {-2, "The zip reader hit an internal error while unpacking"},
    {-3, "Part of the downloaded zip file is damaged and cannot be unpacked"},
    {-4, "I ran out of memory while unpacking a zip file"},
    {-5, "Part of the downloaded zip file is cut short"},
    {-102, "The downloaded zip file holds nothing I can unpack"},
    {-103, "The downloaded zip file is damaged"},
    {-104, "The zip reader hit an internal error while unpacking"},
    {-105, "Part of the downloaded zip file is corrupted (its checksum does not match)"},
    {0, nullptr},
};

const char* find_in(const error_msg_info* table, int val) {
  for (const error_msg_info* e = table; e->msg; ++e)
    if (e->err == val) return e->msg;
  return nullptr;
}

}  // namespace

std::string error_str(int val) {
  if (const char* msg = find_in(kErrMsgs, val)) return msg;
  if (const char* msg = find_in(kZipReaderMsgs, val)) return msg;
  char buffer[256];
#ifdef _WIN32
  const char* text = strerror_s(buffer, sizeof buffer, val) == 0 ? buffer : nullptr;
#else
  // The GNU form: returns the text, which need not be in buffer.
  const char* text = strerror_r(val, buffer, sizeof buffer);
#endif
  if (text && *text && std::strncmp(text, "Unknown error", 13) != 0) return text;
  return "I ran into an error I have no description for (code " + std::to_string(val) + ")";
}
