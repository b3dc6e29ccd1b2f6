#pragma once
// The download-and-install pass: up to four stream slots that take the files of sim_info in
// order and delete, download and unpack, or skip each; plus the folders it needs beforehand and
// the tidying up afterwards.
#include <deque>
#include <functional>
#include <set>
#include <string>

#include "install/directory.h"
#include "install/retry_backoff.h"

struct THREAD_call;

// Folders (full paths ending with a separator) from which the pass deleted a file, with their
// ancestors below the destination; those found empty at the end are removed. Emptied by each
// read of the directory.
extern std::set<std::string> deleted_files;
// Records the folder of the file dest (a full path) and its ancestors below the destination in
// deleted_files.
void note_deleted_folders(const std::string& dest);

// Folders already cleared of a killed run's temporary files; emptied by each read of the directory.
extern std::set<std::string> cleaned_folders;
// Removes the temporary files a killed run left in the folder of file_path (a full path in the
// system's form), once per folder until the directory is read again.
void remove_leftovers_beside(const std::string& file_path);
// The same for the folders of many files in a row, each folder swept on the worker pool (when it
// runs) while the caller goes on; finish() waits for the sweeps and logs what they removed.
class leftover_sweeper {
 public:
  void sweep_beside(const std::string& file_path);
  void finish();
  ~leftover_sweeper() { finish(); }

 private:
  struct sweep {
    std::string folder;
    int removed = 0;
    THREAD_call* call = nullptr;
  };
  std::deque<sweep> sweeps_;  // a deque, so that a worker's record never moves
  std::string last_folder_;
};

// How often an archive of one file may turn out damaged or wrong before the pass gives up.
constexpr int kMaxMirrorFaults = 3;

// The pause before a failed file download is started again; reset by progress_reset().
extern retry_backoff download_retry;

// Puts the pass back to its start: cancels the downloads of the stream slots and removes their
// temporary archives, activates the first slots, and zeroes the counters.
void progress_reset();

// Creates the destination and every folder the selected files need.
void make_dirs();
// Tells the user that a folder could not be made; the install goes on.
void make_dir_error(std::string path, int err);

// Gives every active stream slot one turn. 0 while the pass goes on; 1 once every slot ran past
// the end of the list (folders emptied, destination renamed); otherwise got_failed_install.
int grab_files();
// Waits until the pass may have something to do, up to max_ms: not at all while a slot is ready
// to start its next file, else until a connection has traffic or a worker finished unpacking an
// archive (where the system cannot wake the wait for that, at most 1 ms while archives unpack).
void wait_for_pass_work(int max_ms);

// Unpacks from a downloaded archive the file v, checked against its signature and size, to
// dest_path_exp, and deletes the archive. Returns 0 when the file is in place. A fault of this
// computer (the file cannot be written) is shown and fails the install; a fault of the archive
// only sets archive_fault, for the caller to fetch it again from another server.
int extract_and_delete_file(std::string dest_path_zip, std::string dest_path_exp, const file_version_struct& v,
                            bool& archive_fault);

// While the worker pool runs, the pass has it unpack the archives, so that downloads go on
// meanwhile; each stream slot applies its own result on a later turn, in slot order.
// The number of archives being unpacked now:
int extractions_in_flight();
// Waits for the archives still being unpacked and drops their results after logging them: a pass
// that ends or is abandoned leaves nothing writing into the destination.
void wait_for_extractions();
// Called on the unpacking thread with the destination before each archive is unpacked; empty in
// the program, a test holds an extraction with it.
std::function<void(const std::string& dest)>& extraction_start_hook();

// The number of streams the pass aims for at an average rate of k_sec kilobytes per second,
// after the preference stg.stream_count and the kind of install; at least 1.
int stream_target(float k_sec);
