#pragma once
// The file-system calls of the files module, in os_posix.cpp and os_win32.cpp. Every path here is
// already in the system's form (passed through make_os_path); results are 0 or an errno value,
// which the Windows file maps its system's codes onto.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

int os_remove_folder(const std::string& path);
int os_delete_file(const std::string& path);
// One level; an existing folder gives EEXIST.
int os_make_folder(const std::string& path);
// Fails with EEXIST when to exists, for folders too.
int os_rename_noreplace(const std::string& from, const std::string& to);
// Gives the owner write permission when it is missing.
int os_add_owner_write(const std::string& path);
bool os_is_folder(const std::string& path);
// Bytes an ordinary user may still write on the file system that holds path, or that holds its
// nearest existing ancestor when path does not exist yet; -1 when unknown.
int64_t os_free_bytes(const std::string& path);

// Walks the entries of one folder in the order the system gives them, "." and ".." included.
class os_folder_reader {
 public:
  os_folder_reader() = default;
  ~os_folder_reader();
  os_folder_reader(const os_folder_reader&) = delete;
  os_folder_reader& operator=(const os_folder_reader&) = delete;

  // An empty path is the current folder.
  bool open(const std::string& path);
  bool next(std::string& name, bool& is_folder);

 private:
  void* dir_ = nullptr;
  int dir_fd_ = -1;
};

// Reads a whole file front to back through buffer (size bytes), handing each piece to consume.
// A file that shrinks meanwhile just ends early. 0, or the system's error number.
int os_read_file_sequential(const std::string& path, unsigned char* buffer, size_t size,
                            const std::function<void(const unsigned char*, size_t)>& consume);
// What identifies one state of a file: when any of these changes, its content may have.
struct os_file_stamp {
  uint64_t size = 0, mtime_ns = 0, ctime_ns = 0, inode = 0;
  bool operator==(const os_file_stamp&) const = default;
};
// The stamp of a regular file; false for anything else or on failure.
bool os_stamp_file(const std::string& path, os_file_stamp& out);
// Stamps many files one after another as os_stamp_file does. Where the system allows, it keeps the
// folder of the last file open, so that the next file of that folder is looked up by name alone
// instead of along its whole path.
class os_file_stamper {
 public:
  os_file_stamper() = default;
  os_file_stamper(const os_file_stamper&) = delete;
  os_file_stamper& operator=(const os_file_stamper&) = delete;
  ~os_file_stamper();
  bool stamp(const std::string& path, os_file_stamp& out);

 private:
  std::string folder_;    // with its trailing separator
  intptr_t handle_ = -1;  // the folder open, or -1
};

// The absolute path of an existing file or folder with symbolic links resolved; empty on failure.
std::string os_real_path(const std::string& path);
// Flushes every written file of the file system that holds path to stable storage; 0 or errno.
int os_sync_file_system(const std::string& path);

// A whole regular file mapped read-only.
enum class os_map_status { mapped, zero_length, not_opened, view_failed };
struct os_mapping {
  const char* data = nullptr;
  size_t size = 0;
  int fd = -1;
};
// view_failed leaves the system's error number in os_err.
os_map_status os_map_file(const std::string& path, os_mapping& out, int& os_err);
void os_unmap_file(os_mapping& m);

// New content for a file, written into a temporary file in the same folder and put in the
// target's place only by commit(), so that a failure leaves the old file as it was.
class os_replacement_file {
 public:
  os_replacement_file() = default;
  ~os_replacement_file();  // removes the temporary file unless committed
  os_replacement_file(const os_replacement_file&) = delete;
  os_replacement_file& operator=(const os_replacement_file&) = delete;

  // mode is handed to the system, which takes the umask off it as for any new file.
  int create(const std::string& target, unsigned mode = 0666);
  int write(const void* data, size_t len);
  // Flushes what was written to stable storage.
  int sync();
  // Closes the temporary file and renames it over the target.
  int commit();
  const std::string& temp_path() const { return temp_path_; }

 private:
  void discard();
  int fd_ = -1;  // holds a lock while open, so that a tidy-up never takes a file still being written
  // Bytes written, and how many of them the disk has been asked to take already.
  unsigned long long written_ = 0, sent_to_disk_ = 0;
  std::string target_;
  std::string temp_path_;
};

// Removes from folder (ending with a separator) the temporary files of os_replacement_file that
// a killed run left behind: regular files of exactly that naming pattern that no running program
// holds. Anything else is left alone. Returns the number removed.
int os_remove_replacement_leftovers(const std::string& folder);
