#pragma once
// The directory file: every file of the release with each published version of it, read into
// sim_info, and the comparison of each current version with what lies in the destination.
#include <string>
#include <vector>

// The signature words besides MD5 texts: a version that removes the file, and a file that
// cannot be read on disk.
inline constexpr const char* kSigGone = "GONE";
inline constexpr const char* kSigNone = "NONE";

// One version of one file: one FILE record.
struct file_version_struct {
  int use_type = 0;     // 0..1, carried along
  int os_type = 0;      // 0 all, 1 Macintosh, 2 Windows, 3..5 Linux kinds, 6 any Linux
  int version_num = 0;  // as written; no decision depends on it
  float down_size = 0;  // kilobytes of the archive
  float disk_size = 0;  // kilobytes unpacked
  std::string sig_want;  // MD5 of this version, or "GONE"
  std::string sig_have = kSigNone;  // MD5 of the file in the destination, or "NONE"
  std::string path;      // full path in the system's form; the first component is the master's top folder
  int on_disk = 0;
  int want_to_grab_it = 0;
  int want_to_nuke_it = 0;
  int mirror_faults = 0;  // archives of this version found damaged or wrong in this pass
};

// Every version listed for one path, oldest first; the last one is current.
struct file_history_struct {
  std::vector<file_version_struct> versions;
};

struct sim_info_struct {
  std::vector<file_history_struct> files;
};
extern sim_info_struct sim_info;

// Set once an applicable, missing version belongs to one system (os_type 1..5); never cleared
// during the run. The pass then names the destination folder after the release.
extern int this_install_has_exes;

// 1 when a version for os_type is wanted on a system chosen as download_os: the same system,
// every system (0), or any Linux (6) for one of the Linux kinds (3, 4, 5).
int version_applies(int os_type, int download_os);

// Where a listed path lies in the destination: dest_dir_path + path without its first component.
std::string dest_path_of(const std::string& path);

// False, after telling the user, when a path of the release is too long for the system in this
// destination: checked before anything is changed, so that no installation stops midway.
bool release_paths_fit_destination();

// 1 when a listed path (already in the system's form) could reach outside the destination:
// empty, absolute, or with a ".." component.
int path_leaves_destination(const std::string& path);

// After a complete pass: remembers the signature of every file now current in the destination and
// forgets the others, then saves the destination's signature cache.
void record_installed_signatures();

// False when the file at disk_path is empty or lacks the header every directory file starts with
// (a byte-order line, a version, INSTALLER), whatever its version: a server sent something else.
bool looks_like_directory_file(const std::string& disk_path);

// Reads the directory file at disk_path into sim_info and examines the destination; sets
// stg.down_req and stg.disk_req and empties deleted_files. Returns the new stg.dir_scan: 3 when
// read, 2 when the header was not accepted (a network install then shows the new-format message
// and the program ends). message is the first line of the progress screen.
int read_directory(const std::string& disk_path, std::string message);
