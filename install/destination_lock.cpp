#include "install/destination_lock.h"

#include <cerrno>

#include "core/log.h"
#include "core/own_files.h"
#include "files/error_text.h"
#include "files/os_files.h"
#include "files/os_path.h"

namespace {
constexpr const char* kLockFileName = ".zephra-lock";

own_locked_file held;
std::string held_for;  // the destination held, in the system's form
}  // namespace

bool lock_destination(const std::string& dest) {
  std::string folder = dest;
  make_os_path(folder);
  if (!folder.empty() && folder.back() != kPathSep) folder += kPathSep;
  if (held.is_open() && folder == held_for) return true;
  if (!os_is_folder(folder)) return true;
  own_locked_file lock;
  bool link_removed = false;
  int err = lock.open_and_lock(folder + kLockFileName, link_removed);
  if (link_removed) xer << "A link stood where my lock file goes in " << folder << "; I removed the link.\n";
  if (err == EWOULDBLOCK) return false;
  if (err) {
    xer << "I could not take the lock on " << folder << ": " << error_str(err) << "\n";
    return true;
  }
  unlock_destination();
  held.swap(lock);
  held_for = folder;
  return true;
}

void destination_lock_moved(const std::string& dest) {
  std::string folder = dest;
  make_os_path(folder);
  if (held.is_open()) {
    held.moved_to(folder + kLockFileName);
    held_for = folder;
  }
}

void unlock_destination() {
  held.remove_and_close();
  held_for.clear();
}

std::string destination_busy_message(const std::string& dest) {
  return "Another installer is already working on " + dest + ".";
}
