#pragma once
// The files and folders the program makes for itself (its log, locks, partial downloads,
// temporary folders), handled without ever following a symbolic link (on Windows, a reparse
// point) that somebody put in their place: such a link is removed as a link, never its target.
// Paths are in the system's form; results are 0 or an errno value.
#include <string>
#include <utility>

// Whether path itself, not what it may point to, is a link.
bool own_is_link(const std::string& path);
// Removes path and, when it is a real folder, everything in it. A link met anywhere is removed as
// a link. A path that does not exist is already gone: 0.
int remove_own_tree(const std::string& path);
// Makes the folder (one level) unless a real folder is there already. Anything else in its place,
// a link above all, is removed first and link_removed set.
int make_own_folder(const std::string& folder, bool& link_removed);

// A file of ours open for reading and writing, and a lock on it that the system drops when the
// process ends, so that a killed run never blocks the next one.
class own_locked_file {
 public:
  own_locked_file() = default;
  ~own_locked_file() { close(); }
  own_locked_file(const own_locked_file&) = delete;
  own_locked_file& operator=(const own_locked_file&) = delete;

  // Opens path (made when missing; a link in its place is removed first and link_removed set) and
  // locks it. EWOULDBLOCK: another process holds the lock.
  int open_and_lock(const std::string& path, bool& link_removed);
  bool is_open() const { return fd_ >= 0; }
  // A new C-runtime descriptor of the file, for a stream that closes it when done.
  int duplicate_fd() const;
  // Reads what the file holds (its first max_bytes at most) and empties it.
  std::string take_content(size_t max_bytes);
  // Makes text the file's whole content; 0 or errno.
  int replace_content(const std::string& text);
  const std::string& path() const { return path_; }
  // The file was moved (its folder renamed): it is now at path.
  void moved_to(const std::string& path) { path_ = path; }
  void swap(own_locked_file& other) {
    std::swap(fd_, other.fd_);
    path_.swap(other.path_);
  }
  // Removes the file when path still names it, then drops the lock.
  void remove_and_close();
  void close();

 private:
  int fd_ = -1;
  std::string path_;
};
