#include "core/own_files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "core/utf16_win32.h"

namespace {

int errno_of_last_error() {
  switch (GetLastError()) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED: return EACCES;
    case ERROR_SHARING_VIOLATION: return EBUSY;
    case ERROR_LOCK_VIOLATION: return EWOULDBLOCK;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    default: return EIO;
  }
}

std::wstring without_trailing_separators(const std::string& path) {
  std::wstring w = wide_path(path);
  while (w.size() > 3 && (w.back() == L'\\' || w.back() == L'/')) w.pop_back();
  return w;
}

// A link or junction is removed itself: a link to a folder with RemoveDirectoryW, which takes
// the link and leaves the folder it points to.
int remove_link_or_file(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  BOOL removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
  return removed || GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : errno_of_last_error();
}

int remove_entry(const std::wstring& path, int depth) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : errno_of_last_error();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return remove_link_or_file(path, attributes);
  if (depth > 64) return ELOOP;
  int first_err = 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      int err = remove_entry(path + L"\\" + name, depth + 1);
      if (err && !first_err) first_err = err;
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  if (first_err) return first_err;
  return RemoveDirectoryW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : errno_of_last_error();
}

}  // namespace

bool own_is_link(const std::string& path) {
  DWORD attributes = GetFileAttributesW(without_trailing_separators(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

int remove_own_tree(const std::string& path) {
  if (path.empty()) return EINVAL;
  return remove_entry(without_trailing_separators(path), 0);
}

int make_own_folder(const std::string& folder, bool& link_removed) {
  link_removed = false;
  const std::wstring path = without_trailing_separators(folder);
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
    link_removed = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (int err = remove_link_or_file(path, attributes)) return err;
  }
  if (CreateDirectoryW(path.c_str(), nullptr)) return 0;
  attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                 !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)
             ? 0
             : errno_of_last_error();
}

int own_locked_file::open_and_lock(const std::string& path, bool& link_removed) {
  close();
  link_removed = false;
  const std::wstring w = wide_path(path);
  DWORD attributes = GetFileAttributesW(w.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
    link_removed = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (int err = remove_link_or_file(w, attributes)) return err;
  }
  // FILE_FLAG_OPEN_REPARSE_POINT: a link put there after the look is opened itself, not followed.
  HANDLE h = CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return errno_of_last_error();
  // The lock covers one byte far past any content, so it never stands in the way of writing.
  OVERLAPPED at{};
  at.OffsetHigh = 0x40000000;
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    int err = GetLastError() == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : errno_of_last_error();
    CloseHandle(h);
    return err;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return EMFILE;
  }
  fd_ = fd;
  path_ = path;
  return 0;
}

void own_locked_file::remove_and_close() {
  if (fd_ < 0) return;
  const std::wstring w = wide_path(path_);
  close();
  // Another run that opens the file meanwhile and takes the lock keeps it open, and Windows then
  // only removes the name once that run closes it too.
  DeleteFileW(w.c_str());
}

void own_locked_file::close() {
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
  path_.clear();
}

int own_locked_file::duplicate_fd() const { return fd_ < 0 ? -1 : _dup(fd_); }

std::string own_locked_file::take_content(size_t max_bytes) {
  std::string text;
  if (fd_ < 0 || _lseeki64(fd_, 0, SEEK_SET) != 0) return text;
  char buffer[65536];
  while (text.size() < max_bytes) {
    int got = _read(fd_, buffer, static_cast<unsigned>(std::min(sizeof buffer, max_bytes - text.size())));
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  if (_chsize_s(fd_, 0) != 0 || _lseeki64(fd_, 0, SEEK_SET) != 0) text.clear();
  return text;
}

int own_locked_file::replace_content(const std::string& text) {
  if (fd_ < 0) return EBADF;
  if (_chsize_s(fd_, 0) != 0 || _lseeki64(fd_, 0, SEEK_SET) != 0) return EIO;
  for (size_t at = 0; at < text.size();) {
    int put = _write(fd_, text.data() + at, static_cast<unsigned>(std::min<size_t>(text.size() - at, 1u << 30)));
    if (put <= 0) return errno ? errno : EIO;
    at += static_cast<size_t>(put);
  }
  return 0;
}
