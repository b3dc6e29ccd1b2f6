#include "files/os_files.h"
#include "files/replacement_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

int os_remove_folder(const std::string& path) { return rmdir(path.c_str()) == 0 ? 0 : errno; }

int os_delete_file(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

int os_make_folder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }

int os_rename_noreplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  int err = errno;
  // Older kernels and some file systems lack the flag: check for the target, then move.
  if (err != ENOSYS && err != EINVAL) return err;
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) return EEXIST;
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int os_add_owner_write(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno;
  if (st.st_mode & S_IWUSR) return 0;
  return chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0 ? 0 : errno;
}

bool os_is_folder(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t os_free_bytes(const std::string& path) {
  std::string probe = path.empty() ? std::string(".") : path;
  for (;;) {
    struct statvfs vfs;
    if (statvfs(probe.c_str(), &vfs) == 0)
      return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    if ((errno != ENOENT && errno != ENOTDIR) || probe == "/" || probe == ".") return -1;
    // Step up to the parent: drop trailing separators, then the last component.
    while (probe.size() > 1 && probe.back() == '/') probe.pop_back();
    size_t cut = probe.rfind('/');
    if (cut == std::string::npos)
      probe = ".";
    else
      probe.erase(cut == 0 ? 1 : cut);
  }
}

// ---- folder listing

os_folder_reader::~os_folder_reader() {
  if (dir_) closedir(static_cast<DIR*>(dir_));
}

bool os_folder_reader::open(const std::string& path) {
  if (dir_) closedir(static_cast<DIR*>(dir_));
  DIR* d = opendir(path.empty() ? "." : path.c_str());
  dir_ = d;
  dir_fd_ = d ? dirfd(d) : -1;
  return d != nullptr;
}

bool os_folder_reader::next(std::string& name, bool& is_folder) {
  if (!dir_) return false;
  errno = 0;
  dirent* e = readdir(static_cast<DIR*>(dir_));
  if (!e) return false;
  name = e->d_name;
  if (e->d_type == DT_UNKNOWN) {
    // Some file systems do not fill in the type; ask for it.
    struct stat st;
    is_folder = fstatat(dir_fd_, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
  } else {
    is_folder = e->d_type == DT_DIR;
  }
  return true;
}

// ---- read-only mapping

os_map_status os_map_file(const std::string& path, os_mapping& out, int& os_err) {
  out = os_mapping{};
  os_err = 0;
  // Non-blocking so that a named pipe cannot hold us up; only regular files are mapped.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return os_map_status::not_opened;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return os_map_status::not_opened;
  }
  if (st.st_size == 0) {
    close(fd);
    return os_map_status::zero_length;
  }
  size_t size = static_cast<size_t>(st.st_size);
  void* p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (p == MAP_FAILED) {
    os_err = errno;
    close(fd);
    return os_map_status::view_failed;
  }
  // Every reader walks the file front to back.
  madvise(p, size, MADV_SEQUENTIAL);
  out.data = static_cast<const char*>(p);
  out.size = size;
  out.fd = fd;
  return os_map_status::mapped;
}

void os_unmap_file(os_mapping& m) {
  if (m.data) munmap(const_cast<char*>(m.data), m.size);
  if (m.fd >= 0) close(m.fd);
  m = os_mapping{};
}

// ---- replacement file


os_replacement_file::~os_replacement_file() { discard(); }

void os_replacement_file::discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  written_ = sent_to_disk_ = 0;
  if (!temp_path_.empty()) unlink(temp_path_.c_str());
  temp_path_.clear();
}

int os_replacement_file::create(const std::string& target, unsigned mode) {
  discard();
  if (target.empty() || target.back() == '/') return EISDIR;
  target_ = target;
  size_t cut = target.rfind('/');
  std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
  // A hidden name, so that folder listings never show a half-written file.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = folder + replacement_file_name(getpid());
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                    static_cast<mode_t>(mode & 0777));
    if (fd >= 0) {
      // The lock tells a tidy-up in another run that this file is in use; it ends with the process.
      flock(fd, LOCK_EX | LOCK_NB);
      fd_ = fd;
      temp_path_ = candidate;
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int os_replacement_file::write(const void* data, size_t len) {
  if (fd_ < 0) return EBADF;
  const char* p = static_cast<const char*>(data);
  while (len > 0) {
    ssize_t n = ::write(fd_, p, len);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    p += n;
    len -= static_cast<size_t>(n);
    written_ += static_cast<unsigned long long>(n);
  }
  // A large file goes to the disk while it is written, so that the flush at the end of the
  // pass finds little left to do; the call only starts the writing and never waits for it.
  constexpr unsigned long long kWritebackBytes = 16ull << 20;
  if (written_ - sent_to_disk_ >= kWritebackBytes) {
    sync_file_range(fd_, static_cast<off_t>(sent_to_disk_), static_cast<off_t>(written_ - sent_to_disk_),
                    SYNC_FILE_RANGE_WRITE);
    sent_to_disk_ = written_;
  }
  return 0;
}

int os_read_file_sequential(const std::string& path, unsigned char* buffer, size_t size,
                            const std::function<void(const unsigned char*, size_t)>& consume) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    close(fd);
    return err;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  int err = 0;
  for (;;) {
    ssize_t got = read(fd, buffer, size);
    if (got > 0) {
      consume(buffer, static_cast<size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      err = errno;
      break;
    }
  }
  close(fd);
  return err;
}

namespace {
bool stamp_of(const struct stat& st, os_file_stamp& out) {
  if (!S_ISREG(st.st_mode)) return false;
  out.size = static_cast<uint64_t>(st.st_size);
  out.mtime_ns = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec);
  out.ctime_ns = static_cast<uint64_t>(st.st_ctim.tv_sec) * 1000000000u + static_cast<uint64_t>(st.st_ctim.tv_nsec);
  out.inode = static_cast<uint64_t>(st.st_ino);
  return true;
}
}  // namespace

bool os_stamp_file(const std::string& path, os_file_stamp& out) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && stamp_of(st, out);
}

os_file_stamper::~os_file_stamper() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool os_file_stamper::stamp(const std::string& path, os_file_stamp& out) {
  const size_t cut = path.rfind('/');
  if (cut == std::string::npos) return os_stamp_file(path, out);
  if (path.compare(0, cut + 1, folder_) != 0) {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    folder_.assign(path, 0, cut + 1);
    handle_ = open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  if (handle_ < 0) return os_stamp_file(path, out);
  struct stat st;
  return fstatat(static_cast<int>(handle_), path.c_str() + cut + 1, &st, 0) == 0 && stamp_of(st, out);
}

std::string os_real_path(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return std::string();
  std::string result = real;
  free(real);
  return result;
}

int os_sync_file_system(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int err = syncfs(fd) == 0 ? 0 : errno;
  close(fd);
  return err;
}

int os_replacement_file::sync() {
  if (fd_ < 0) return EBADF;
  return fsync(fd_) == 0 ? 0 : errno;
}

int os_replacement_file::commit() {
  if (fd_ < 0) return EBADF;
  int fd = fd_;
  fd_ = -1;
  // Some file systems report a full disk only when the file is closed.
  if (close(fd) != 0) {
    int err = errno;
    discard();
    return err;
  }
  if (rename(temp_path_.c_str(), target_.c_str()) != 0) {
    int err = errno;
    discard();
    return err;
  }
  temp_path_.clear();
  return 0;
}

int os_remove_replacement_leftovers(const std::string& folder) {
  int dir_fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) return 0;
  DIR* d = fdopendir(dir_fd);
  if (!d) {
    close(dir_fd);
    return 0;
  }
  int removed = 0;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (!is_replacement_file_name(name)) continue;
    // Never follow a link, never block on a pipe; only a regular file of ours is removed.
    int fd = openat(dir_fd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) continue;
    struct stat st;
    bool ours = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (ours && unlinkat(dir_fd, name.c_str(), 0) == 0) ++removed;
    close(fd);
  }
  closedir(d);
  return removed;
}
