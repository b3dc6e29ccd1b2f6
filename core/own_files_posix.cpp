#include "core/own_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

std::string without_trailing_slashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Removes the entry name of the open folder dir_fd: a folder is emptied through descriptors
// opened with O_NOFOLLOW, so a folder swapped for a link meanwhile is never entered.
int remove_entry_at(int dir_fd, const char* name, int depth) {
  struct stat st;
  if (fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : errno;
  if (!S_ISDIR(st.st_mode)) return unlinkat(dir_fd, name, 0) == 0 || errno == ENOENT ? 0 : errno;
  // Deeper than any tree of ours: something is wrong, and nothing more is removed.
  if (depth > 64) return ELOOP;
  int fd = openat(dir_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    // Replaced by a link or a file since the look: that is removed as it is.
    if (errno == ELOOP || errno == ENOTDIR) return unlinkat(dir_fd, name, 0) == 0 ? 0 : errno;
    return errno == ENOENT ? 0 : errno;
  }
  DIR* d = fdopendir(fd);
  if (!d) {
    int err = errno;
    ::close(fd);
    return err;
  }
  int first_err = 0;
  while (dirent* e = readdir(d)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    int err = remove_entry_at(dirfd(d), e->d_name, depth + 1);
    if (err && !first_err) first_err = err;
  }
  closedir(d);
  if (first_err) return first_err;
  return unlinkat(dir_fd, name, AT_REMOVEDIR) == 0 || errno == ENOENT ? 0 : errno;
}

// Whether path names, without following a link, the file open as fd.
bool names_open_file(const std::string& path, int fd) {
  struct stat held, named;
  return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

bool own_is_link(const std::string& path) {
  struct stat st;
  return lstat(without_trailing_slashes(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int remove_own_tree(const std::string& path) {
  const std::string target = without_trailing_slashes(path);
  if (target.empty() || target == "/") return EINVAL;
  const size_t cut = target.rfind('/');
  const std::string parent = cut == std::string::npos ? "." : cut == 0 ? "/" : target.substr(0, cut);
  const std::string name = cut == std::string::npos ? target : target.substr(cut + 1);
  int parent_fd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent_fd < 0) return errno == ENOENT ? 0 : errno;
  int err = remove_entry_at(parent_fd, name.c_str(), 0);
  ::close(parent_fd);
  return err;
}

int make_own_folder(const std::string& folder, bool& link_removed) {
  link_removed = false;
  const std::string path = without_trailing_slashes(folder);
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return 0;
    link_removed = S_ISLNK(st.st_mode);
    if (unlink(path.c_str()) != 0) return errno;
  }
  if (mkdir(path.c_str(), 0777) == 0) return 0;
  return errno == EEXIST && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : errno;
}

int own_locked_file::open_and_lock(const std::string& path, bool& link_removed) {
  close();
  link_removed = false;
  for (int attempt = 0; attempt < 10; ++attempt) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      link_removed = link_removed || S_ISLNK(st.st_mode);
      if (unlink(path.c_str()) != 0) return errno;
    }
    // O_NOFOLLOW: a link put there after the look makes the open fail rather than follow it.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
      if (errno == ELOOP) continue;
      return errno;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int err = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
      ::close(fd);
      return err;
    }
    // The holder before us may have removed the file on its way out: the lock must be on the
    // file the path names now, or a third run could lock a new one beside ours.
    if (names_open_file(path, fd)) {
      fd_ = fd;
      path_ = path;
      return 0;
    }
    ::close(fd);
  }
  return EAGAIN;
}

void own_locked_file::remove_and_close() {
  if (fd_ < 0) return;
  if (names_open_file(path_, fd_)) unlink(path_.c_str());
  close();
}

void own_locked_file::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
}

int own_locked_file::duplicate_fd() const { return fd_ < 0 ? -1 : fcntl(fd_, F_DUPFD_CLOEXEC, 0); }

std::string own_locked_file::take_content(size_t max_bytes) {
  std::string text;
  if (fd_ < 0 || lseek(fd_, 0, SEEK_SET) != 0) return text;
  char buffer[65536];
  while (text.size() < max_bytes) {
    ssize_t got = read(fd_, buffer, std::min(sizeof buffer, max_bytes - text.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0) text.clear();
  return text;
}

int own_locked_file::replace_content(const std::string& text) {
  if (fd_ < 0) return EBADF;
  if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0) return errno;
  for (size_t at = 0; at < text.size();) {
    ssize_t put = write(fd_, text.data() + at, text.size() - at);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return put < 0 ? errno : EIO;
    at += static_cast<size_t>(put);
  }
  return 0;
}
