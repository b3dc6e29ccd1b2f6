#include "files/os_files.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "core/utf16_win32.h"
#include "files/replacement_names.h"

namespace {

constexpr DWORD kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64 lacks

// The errno value that the rest of the program expects for a Windows error code.
int errno_of(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
      return EACCES;
    // Another program has the file open in a way that excludes us.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_BUSY:
      return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    // Windows has no errno value of its own for a full quota: the program treats both alike.
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kDiskQuotaExceeded:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_COMMITMENT_LIMIT:
      return ENOMEM;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return ENOSYS;
    // Media and device faults, and anything not listed: a failed input or output.
    default:
      return EIO;
  }
}

int last_errno() { return errno_of(GetLastError()); }

bool is_sep(wchar_t c) { return c == L'\\' || c == L'/'; }

DWORD attributes_of(const std::string& path) { return GetFileAttributesW(wide_path(path).c_str()); }

// An open handle for reading a file's attributes and identity; folders open too.
HANDLE open_for_query(const std::string& path) {
  return CreateFileW(wide_path(path).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Nanoseconds since 1970 from a count of 100 ns since 1601.
uint64_t unix_ns(LONGLONG filetime) {
  constexpr LONGLONG kEpochDifference = 116444736000000000LL;
  return filetime <= kEpochDifference ? 0 : static_cast<uint64_t>(filetime - kEpochDifference) * 100u;
}

// The folder of an open folder listing: the first entry comes with the handle.
struct find_state {
  HANDLE handle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data{};
  bool pending = false;
};

// A link or junction counts as a folder only for removal: like a Linux listing, which reports a
// link and not what it points to, the listing never leads into it.
bool is_plain_folder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

int os_remove_folder(const std::string& path) {
  return RemoveDirectoryW(wide_path(path).c_str()) ? 0 : last_errno();
}

int os_delete_file(const std::string& path) {
  std::wstring w = wide_path(path);
  if (DeleteFileW(w.c_str())) return 0;
  DWORD code = GetLastError();
  if (code != ERROR_ACCESS_DENIED) return errno_of(code);
  DWORD attributes = GetFileAttributesW(w.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return errno_of(code);
  // A link to a folder is removed as a folder; the folder it points to stays.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return RemoveDirectoryW(w.c_str()) ? 0 : last_errno();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
  // On Linux a file's own permission does not stop its removal; the read-only attribute does here.
  if ((attributes & FILE_ATTRIBUTE_READONLY) &&
      SetFileAttributesW(w.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) {
    if (DeleteFileW(w.c_str())) return 0;
    int err = last_errno();
    SetFileAttributesW(w.c_str(), attributes);
    return err;
  }
  return errno_of(code);
}

int os_make_folder(const std::string& path) {
  return CreateDirectoryW(wide_path(path).c_str(), nullptr) ? 0 : last_errno();
}

int os_rename_noreplace(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails when to exists, folder or file.
  return MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(), 0) ? 0 : last_errno();
}

int os_add_owner_write(const std::string& path) {
  std::wstring w = wide_path(path);
  DWORD attributes = GetFileAttributesW(w.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return last_errno();
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return 0;
  return SetFileAttributesW(w.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) ? 0 : last_errno();
}

bool os_is_folder(const std::string& path) {
  if (path.empty()) return false;
  DWORD attributes = attributes_of(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t os_free_bytes(const std::string& path) {
  std::wstring probe = path.empty() ? std::wstring(L".") : wide_path(path);
  for (;;) {
    ULARGE_INTEGER available;
    // The bytes free to this user, quotas included; null asks about the current folder's drive.
    if (GetDiskFreeSpaceExW(probe == L"." ? nullptr : probe.c_str(), &available, nullptr, nullptr))
      return static_cast<int64_t>(available.QuadPart);
    DWORD code = GetLastError();
    // A file rather than a folder, or a path not made yet: ask its parent.
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND && code != ERROR_DIRECTORY &&
        code != ERROR_INVALID_NAME)
      return -1;
    size_t end = probe.size();
    while (end > 1 && is_sep(probe[end - 1])) --end;
    // A drive that does not exist has nothing above it.
    if (probe[end - 1] == L':') return -1;
    size_t cut = probe.find_last_of(L"\\/", end - 1);
    if (cut == std::wstring::npos) {
      if (probe == L".") return -1;
      probe = L".";  // a bare name lies in the current folder
      continue;
    }
    // The parent keeps its separator, so that a drive's root reads "C:\".
    std::wstring parent = probe.substr(0, cut + 1);
    if (parent.size() >= probe.size()) return -1;
    probe = parent;
  }
}

// ---- folder listing

os_folder_reader::~os_folder_reader() {
  if (auto* state = static_cast<find_state*>(dir_)) {
    if (state->handle != INVALID_HANDLE_VALUE) FindClose(state->handle);
    delete state;
  }
}

bool os_folder_reader::open(const std::string& path) {
  if (auto* old = static_cast<find_state*>(dir_)) {
    if (old->handle != INVALID_HANDLE_VALUE) FindClose(old->handle);
    delete old;
    dir_ = nullptr;
  }
  std::wstring pattern = path.empty() ? std::wstring() : wide_path(path);
  if (!pattern.empty() && !is_sep(pattern.back())) pattern += L'\\';
  pattern += L'*';
  auto* state = new find_state;
  state->handle = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &state->data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (state->handle != INVALID_HANDLE_VALUE) {
    state->pending = true;
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND || (!path.empty() && !os_is_folder(path))) {
    // Only an existing folder without a single entry (an empty drive root) lists as empty.
    delete state;
    return false;
  }
  dir_ = state;
  return true;
}

bool os_folder_reader::next(std::string& name, bool& is_folder) {
  auto* state = static_cast<find_state*>(dir_);
  if (!state || state->handle == INVALID_HANDLE_VALUE) return false;
  if (state->pending) {
    state->pending = false;
  } else if (!FindNextFileW(state->handle, &state->data)) {
    return false;
  }
  name = to_utf8(state->data.cFileName);
  is_folder = is_plain_folder(state->data.dwFileAttributes);
  return true;
}

// ---- reading and identity

int os_read_file_sequential(const std::string& path, unsigned char* buffer, size_t size,
                            const std::function<void(const unsigned char*, size_t)>& consume) {
  HANDLE h = CreateFileW(wide_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    int err = last_errno();
    // A folder does not open without backup semantics: say what it is, as Linux does.
    return os_is_folder(path) ? EISDIR : err;
  }
  DWORD piece = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  int err = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, buffer, piece, &got, nullptr)) {
      DWORD code = GetLastError();
      if (code != ERROR_HANDLE_EOF) err = errno_of(code);
      break;
    }
    if (got == 0) break;
    consume(buffer, got);
  }
  CloseHandle(h);
  return err;
}

bool os_stamp_file(const std::string& path, os_file_stamp& out) {
  HANDLE h = open_for_query(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) &&
            GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) &&
            GetFileInformationByHandle(h, &info) && !standard.Directory;
  CloseHandle(h);
  if (!ok) return false;
  out.size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
  out.mtime_ns = unix_ns(basic.LastWriteTime.QuadPart);
  out.ctime_ns = unix_ns(basic.ChangeTime.QuadPart);
  out.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// Windows looks a file up by its whole path whatever is open.
os_file_stamper::~os_file_stamper() = default;

bool os_file_stamper::stamp(const std::string& path, os_file_stamp& out) { return os_stamp_file(path, out); }

std::string os_real_path(const std::string& path) {
  HANDLE h = open_for_query(path);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::wstring result(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetFinalPathNameByHandleW(h, result.data(), static_cast<DWORD>(result.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) {
      result.clear();
      break;
    }
    if (n < result.size()) {
      result.resize(n);
      break;
    }
    result.assign(n, L'\0');  // n is then the size needed, terminator included
  }
  CloseHandle(h);
  // The system answers in its \\?\ form: C:\ paths and \\server\share paths without it.
  if (result.compare(0, 8, L"\\\\?\\UNC\\") == 0)
    result = L"\\\\" + result.substr(8);
  else if (result.compare(0, 4, L"\\\\?\\") == 0)
    result.erase(0, 4);
  return to_utf8(result);
}

int os_sync_file_system(const std::string& path) {
  // Flushing a whole volume needs administrator rights, which an ordinary run lacks. That is why
  // commit() flushes every file it puts in place: without the rights nothing is left to do here.
  wchar_t volume[MAX_PATH + 1];
  std::wstring w = path.empty() ? std::wstring(L".") : wide_path(path);
  if (!GetVolumePathNameW(w.c_str(), volume, MAX_PATH + 1)) return 0;
  std::wstring device = volume;
  while (!device.empty() && is_sep(device.back())) device.pop_back();
  if (device.size() != 2 || device[1] != L':') return 0;
  HANDLE h = CreateFileW((L"\\\\.\\" + device).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  DWORD code = FlushFileBuffers(h) ? ERROR_SUCCESS : GetLastError();
  CloseHandle(h);
  // Refused or unsupported for this volume: the per-file flushes stand.
  if (code == ERROR_ACCESS_DENIED || code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED) return 0;
  return errno_of(code);
}

// ---- read-only mapping

os_map_status os_map_file(const std::string& path, os_mapping& out, int& os_err) {
  out = os_mapping{};
  os_err = 0;
  // Folders do not open without backup semantics; pipes and devices are turned away below.
  HANDLE file = CreateFileW(wide_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return os_map_status::not_opened;
  LARGE_INTEGER size;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    return os_map_status::not_opened;
  }
  if (size.QuadPart == 0) {
    CloseHandle(file);
    return os_map_status::zero_length;
  }
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (!view) os_err = last_errno();
  // The view keeps the mapping and the file alive by itself.
  if (mapping) CloseHandle(mapping);
  CloseHandle(file);
  if (!view) return os_map_status::view_failed;
  out.data = static_cast<const char*>(view);
  out.size = static_cast<size_t>(size.QuadPart);
  return os_map_status::mapped;
}

void os_unmap_file(os_mapping& m) {
  if (m.data) UnmapViewOfFile(m.data);
  m = os_mapping{};
}

// ---- replacement file

namespace {

// The handle lives in the int the header keeps for a descriptor: Windows handles carry only 32
// significant bits, which is what HandleToLong and LongToHandle are for. -1 is no handle.
HANDLE handle_of(int fd) { return LongToHandle(fd); }

// Moves from over to, also over a read-only target, which a Linux rename replaces as well.
bool move_replacing(const std::wstring& from, const std::wstring& to) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (MoveFileExW(from.c_str(), to.c_str(), flags)) return true;
  DWORD code = GetLastError();
  DWORD attributes = GetFileAttributesW(to.c_str());
  if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      SetFileAttributesW(to.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) {
    if (MoveFileExW(from.c_str(), to.c_str(), flags)) return true;
    code = GetLastError();
    SetFileAttributesW(to.c_str(), attributes);
  }
  SetLastError(code);
  return false;
}

}  // namespace

os_replacement_file::~os_replacement_file() { discard(); }

void os_replacement_file::discard() {
  if (fd_ != -1) CloseHandle(handle_of(fd_));
  fd_ = -1;
  if (!temp_path_.empty()) DeleteFileW(wide_path(temp_path_).c_str());
  temp_path_.clear();
}

int os_replacement_file::create(const std::string& target, unsigned mode) {
  discard();
  if (target.empty() || target.back() == '\\' || target.back() == '/') return EISDIR;
  target_ = target;
  size_t cut = target.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
  // Without the owner's write bit the new file is read-only, as its mode would make it on Linux.
  DWORD attributes = (mode & 0200) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = folder + replacement_file_name(GetCurrentProcessId());
    // No sharing: while this handle is open no other program, nor a tidy-up, can open the file.
    HANDLE h = CreateFileW(wide_path(candidate).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, attributes,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      fd_ = HandleToLong(h);
      temp_path_ = candidate;
      return 0;
    }
    DWORD code = GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS && code != ERROR_SHARING_VIOLATION)
      return errno_of(code);
  }
  return EEXIST;
}

int os_replacement_file::write(const void* data, size_t len) {
  if (fd_ == -1) return EBADF;
  const char* p = static_cast<const char*>(data);
  while (len > 0) {
    DWORD piece = len > (1u << 30) ? (1u << 30) : static_cast<DWORD>(len);
    DWORD done = 0;
    if (!WriteFile(handle_of(fd_), p, piece, &done, nullptr)) return last_errno();
    if (done == 0) return EIO;
    p += done;
    len -= done;
  }
  return 0;
}

int os_replacement_file::sync() {
  if (fd_ == -1) return EBADF;
  return FlushFileBuffers(handle_of(fd_)) ? 0 : last_errno();
}

int os_replacement_file::commit() {
  if (fd_ == -1) return EBADF;
  HANDLE h = handle_of(fd_);
  fd_ = -1;
  // Each file is flushed here, since the file system as a whole can be flushed only by an
  // administrator (os_sync_file_system); closing reports a full disk on some file systems.
  bool flushed = FlushFileBuffers(h);
  DWORD code = flushed ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(h) && flushed) code = GetLastError();
  if (code != ERROR_SUCCESS) {
    int err = errno_of(code);
    discard();
    return err;
  }
  if (!move_replacing(wide_path(temp_path_), wide_path(target_))) {
    int err = last_errno();
    discard();
    return err;
  }
  temp_path_.clear();
  return 0;
}

int os_remove_replacement_leftovers(const std::string& folder) {
  std::wstring base = folder.empty() ? std::wstring() : wide_path(folder);
  if (!base.empty() && !is_sep(base.back())) base += L'\\';
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW((base + L".zephra-part-*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    if (!is_replacement_file_name(to_utf8(data.cFileName)) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    // Without sharing, the open succeeds only when no running program holds the file; a link is
    // opened as itself, never followed.
    HANDLE h = CreateFileW((base + data.cFileName).c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    FILE_BASIC_INFO basic;
    bool ours = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) &&
                !(basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    if (ours && (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
      // A read-only file refuses removal; it was ours, so its attribute goes first.
      basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
      if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
      ours = SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO dispose{};
    dispose.DeleteFile = TRUE;
    // The file goes when the handle closes.
    if (ours && SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose)) ++removed;
    CloseHandle(h);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return removed;
}
