#include "install/install_pass.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <sstream>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/clock.h"
#include "core/log.h"
#include "files/error_text.h"
#include "files/file_utils.h"
#include "files/os_path.h"
#include "files/os_files.h"
#include "files/zip_extract.h"
#include "install/destination.h"
#include "install/destination_lock.h"
#include "install/directory.h"
#include "install/partial_downloads.h"
#include "install/server_list.h"
#include "install/session_state.h"
#include "prefs/panels.h"
#include "net/http_client.h"
#include "net/socket.h"
#include "threads/worker_pool.h"

std::set<std::string> deleted_files;
std::set<std::string> cleaned_folders;
retry_backoff download_retry;

namespace {

// Bytes an archive's download may have beyond its catalogued size.
constexpr long long kArchiveAllowance = 64 * 1024;

// Stream slot i downloads on HTTP slot i + 2; slots 0 and 1 belong to the session.
constexpr int kFirstStreamHttpSlot = 2;

int http_slot(int stream) { return stream + kFirstStreamHttpSlot; }

// The server each stream slot's request went to, since the selection may change while it runs.
int slot_server[kStreams] = {};

// The file each slot has already asked its server for, behind the one it works on; -1: none.
// The slot takes it next.
std::array<int, kStreams> ahead_index = [] {
  std::array<int, kStreams> none;
  none.fill(-1);
  return none;
}();
// Whether the file a slot starts next was asked for ahead, of the server of its last download.
std::array<bool, kStreams> asked_ahead = {};

// Where server keeps the archive of the file version v.
std::string archive_source(int server, const file_version_struct& v) { return server_path[server] + v.path + ".zip"; }

// Each slot has its own temporary archive, so that archives never collide between slots.
std::string slot_archive(int stream) { return temp_path + std::to_string(stream) + ".zip"; }

// Archives up to this size (kilobytes of 1000 bytes) are downloaded into memory and unpacked from
// there: a temporary file for each would cost more than the transfer.
constexpr float kInMemoryArchiveKB = 1000.0f;

// Where stream slot i downloads an archive that is not continued: memory ("") or its own file.
std::string slot_target(int i, const file_version_struct& v) {
  return v.down_size <= kInMemoryArchiveKB ? std::string() : slot_archive(i);
}

// Reports a folder that could not be made; true when it was an error worth stopping for.
bool make_one_folder(const std::string& path) {
  int err = make_folder(path);
  if (!show_make_dir_err(err)) return false;
  make_dir_error(path, err);
  return true;
}

void delete_unwanted_file(const std::string& dest) {
  stg.crnt_file_stat = 0;
  unlock_file(dest);
  int r = delete_file(dest);
  if (stg.log_actions) {
    xer << "now we want to nuke a file: DELETING  file " << dest << ", with result=" << r << ".\n";
    xer.flush();
  }
  note_deleted_folders(dest);
  if (show_del_err(r))
    MACIBM_alert(0, "Could not delete a file that I no longer want to have!", error_str(r), dest, "", alert_fatal);
}

// The slot's share of the file in flight: -1 when the length is not known, 0 before a connection.
float download_fraction(int slot) {
  const down_class* d = http.down[slot];
  if (!d || !d->mSocket) return 0.0f;
  if (d->mIncomingLength < 0) return -0.01f;
  if (d->mIncomingLength == 0) return 0.0f;
  return static_cast<float>(static_cast<double>(d->mReceivedPayload) / d->mIncomingLength);
}

// A folder name for the release that keeps the renamed folder where it is.
bool usable_folder_name(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) { return is_path_sep(c) || c == '\0'; });
}

// Removes the folders the pass emptied, parents before their subfolders (ascending order).
void remove_emptied_folders() {
  for (const std::string& folder : deleted_files) {
    wrk_path = folder;
    if (opensave_getitems(0) != 0) continue;
    int r = delete_file(folder);
    if (stg.log_actions) xer << "cleanup: DELETING  file " << folder << ", with result=" << r << ".\n";
  }
  xer.flush();
}

// Names the destination folder after the release installed into it.
void rename_destination() {
  std::string dest = dest_dir_path;
  while (!dest.empty() && is_path_sep(dest.back())) dest.pop_back();
  size_t cut = after_last_sep(dest);
  if (cut == 0 || cut >= dest.size()) return;
  std::string refusal = usable_folder_name(install_name) ? destination_rename_refusal(dest_dir_path)
                                                          : "that is not a plain folder name";
  if (!refusal.empty()) {
    xer << "I am not renaming " << dest_dir_path << " to '" << install_name << "', because " << refusal << ".\n";
    xer.flush();
    return;
  }
  std::string parent = dest.substr(0, cut);
  std::string name = dest.substr(cut);
  if (rename_file(parent, name, install_name) == 0) {
    dest_dir_path = parent + install_name + kPathSep;
    destination_lock_moved(dest_dir_path);
  }
}

}  // namespace

void note_deleted_folders(const std::string& dest) {
  std::string folder = folder_of(dest);
  while (folder.size() > dest_dir_path.size()) {
    deleted_files.insert(folder);
    folder.pop_back();
    folder.erase(after_last_sep(folder));
  }
}

namespace {
// Set when a write found the disk full: the pass then ends, and drops its partial downloads.
bool disk_was_full = false;
}  // namespace

void progress_reset() {
  // No archive may still be unpacking while the slots' archives go.
  wait_for_extractions();
  disk_was_full = false;
  for (int i = 0; i < kStreams; ++i) {
    // A transfer left running would be finished later for whatever file the slot takes next.
    down_class*& transfer = http.down[http_slot(i)];
    delete transfer;
    transfer = nullptr;
    if (!temp_path.empty()) delete_file(slot_archive(i));
  }

  next.next_index = 0;
  const int first_slots = install_type == 0 ? 2 : 1;
  for (int i = 0; i < kStreams; ++i) {
    next.stream_active[i] = next.stream_waiting[i] = i < first_slots ? 1 : 0;
    next.stream_index[i] = 0;
    ahead_index[i] = -1;
    asked_ahead[i] = false;
  }
  next.star_time = xtim.real_time;
  next.file_down = next.comp_down = next.totl_disk = 0.0f;
  download_retry.succeeded();
  for (file_history_struct& history : sim_info.files)
    if (!history.versions.empty()) history.versions.back().mirror_faults = 0;
}

void make_dir_error(std::string path, int err) {
  MACIBM_alert(0,
               "I am unable to install or update Zephra. An error occurred while creating new folders. Make sure "
               "you are installing to a directory that you have access to!",
               "Error: " + error_str(err), "Install Location: " + dest_dir_path, "Install Path:" + path, alert_error);
}

void make_dirs() {
  // The destination and every ancestor below the root.
  std::string dest = dest_dir_path;
  make_os_path(dest);
  while (!dest.empty() && dest.back() == kPathSep) dest.pop_back();
  bool failed = false;
  size_t first = dest.find(kPathSep);
  for (size_t p = first == std::string::npos ? first : dest.find(kPathSep, first + 1); p != std::string::npos && !failed;
       p = dest.find(kPathSep, p + 1))
    failed = make_one_folder(dest.substr(0, p));
  if (!failed) make_one_folder(dest);

  // Every folder a selected file lies in, parents first.
  std::set<std::string> folders;
  for (const file_history_struct& history : sim_info.files) {
    if (history.versions.empty()) continue;
    const file_version_struct& v = history.versions.back();
    if (v.sig_want == kSigGone || !version_applies(v.os_type, stg.download_os)) continue;
    std::string rel = v.path;
    trim_dest_folder(rel);
    for (size_t cut = after_last_sep(rel); cut > 0; cut = after_last_sep(rel)) {
      rel.erase(cut - 1);
      if (!rel.empty()) folders.insert(rel);
    }
  }
  for (const std::string& folder : folders) {
    std::string path = dest_dir_path + folder;
    make_os_path(path);
    if (make_one_folder(path)) break;
  }

  // The folders the simulator writes into.
  for (const char* own : {"Output", "Output:FMS plans", "Output:logbooks", "Output:movies", "Output:situations",
                          "Resources:preferences"}) {
    std::string path = dest_dir_path + own;
    make_os_path(path);
    make_one_folder(path);
  }
}

namespace {
void log_leftovers_removed(int removed, const std::string& folder) {
  if (removed > 0)
    xer << "I removed " << removed << " unfinished file(s) of an earlier run from " << folder << ".\n";
}
}  // namespace

void remove_leftovers_beside(const std::string& file_path) {
  std::string folder = folder_of(file_path);
  if (!cleaned_folders.insert(folder).second) return;
  log_leftovers_removed(os_remove_replacement_leftovers(folder), folder);
}

void leftover_sweeper::sweep_beside(const std::string& file_path) {
  // Files come folder by folder: a file of the folder just seen needs no look-up at all.
  const size_t cut = after_last_sep(file_path);
  if (cut == last_folder_.size() && file_path.compare(0, cut, last_folder_) == 0) return;
  last_folder_.assign(file_path, 0, cut);
  if (!cleaned_folders.insert(last_folder_).second) return;
  sweep& s = sweeps_.emplace_back();
  s.folder = last_folder_;
  auto run = [](void* param) -> void* {
    auto* job = static_cast<sweep*>(param);
    job->removed = os_remove_replacement_leftovers(job->folder);
    return nullptr;
  };
  if (THREAD_is_inited())
    s.call = THREAD_submit(run, &s);
  else
    run(&s);
}

void leftover_sweeper::finish() {
  for (sweep& s : sweeps_) {
    if (s.call) THREAD_wait(s.call, nullptr, nullptr);
    log_leftovers_removed(s.removed, s.folder);
  }
  sweeps_.clear();
}

std::function<void(const std::string& dest)>& extraction_start_hook() {
  static std::function<void(const std::string& dest)> hook;
  return hook;
}

namespace {

// One archive to unpack and what unpacking it gave. It is prepared and applied on the main
// thread; run on a worker, it touches nothing but its own fields and the two files.
struct extraction_job {
  std::string zip, dest;  // zip names the archive in memory, when that is where it is
  bool in_memory = false;
  std::vector<char> bytes;
  zip_entry_rules want;
  bool delete_zip = false;
  int err = 0;
  bool archive_fault = false;
  int delete_result = 0;
  std::string log;  // the diagnostics, written to the log file when the result is applied
};

extraction_job prepare_extraction(std::string dest_path_zip, std::string dest_path_exp, const file_version_struct& v) {
  make_os_path(dest_path_exp);
  unlock_file(dest_path_exp);
  remove_leftovers_beside(dest_path_exp);
  extraction_job job;
  job.zip = std::move(dest_path_zip);
  job.dest = std::move(dest_path_exp);
  job.want.name = job.dest.substr(after_last_sep(job.dest));
  // Sizes are whole kilobytes of 1000 bytes; the slack covers a catalogue that rounds down or
  // counts 1024.
  job.want.max_bytes = (static_cast<uint64_t>(std::max(v.disk_size, 0.0f)) + 2) * 1024;
  job.want.md5 = v.sig_want;
  job.delete_zip = install_type == 0;
  return job;
}

void run_extraction(extraction_job& job) {
  if (extraction_start_hook()) extraction_start_hook()(job.dest);
  std::ostringstream log;
  job.err = job.in_memory ? zip_extract_entry(job.bytes, job.zip, job.dest, job.want, &job.archive_fault, &log)
                          : zip_extract_entry(job.zip, job.dest, job.want, &job.archive_fault, &log);
  std::vector<char>().swap(job.bytes);
  if (job.delete_zip) job.delete_result = delete_file(job.zip);
  job.log = log.str();
}

bool is_full_disk(int err) {
#ifdef EDQUOT
  if (err == EDQUOT) return true;
#endif
  return err == ENOSPC;
}

// Tells the user which folder's disk is full and about how much more space the rest of the
// installation needs there (what is still to be installed, and the archive that is on its way).
void report_full_disk(const std::string& folder, float archive_kb) {
  stg.got_failed_install = 1;
  if (disk_was_full) return;  // one message, however many writes fail after the first
  disk_was_full = true;
  const int64_t free_bytes = std::max<int64_t>(os_free_bytes(folder), 0);
  const float free_kb = static_cast<float>(free_bytes) / 1000.0f;
  const float still_kb = std::max(stg.disk_req - next.totl_disk, 0.0f) + std::max(archive_kb, 0.0f);
  // The partial downloads dropped below give their space back; past that, at least a megabyte.
  const float held_kb = static_cast<float>(partial_bytes_held()) / 1000.0f;
  const float more_kb = std::max(still_kb - free_kb - held_kb, 1000.0f);
  std::string free_text, more_text;
  set_size_str(free_kb, &free_text);
  set_size_str(more_kb, &more_text);
  xer << "The disk that holds " << folder << " is full: " << free_text << " free, about " << more_text
      << " more needed.\n";
  MACIBM_alert(0, "The disk that holds " + folder + " is full.",
               "It has " + free_text + " free, and the rest of this installation needs about " + more_text +
                   " more there.",
               "Free that much space and run me again: what is already installed stays.", "", alert_error);
}

// Logs the job and tells the user of a fault of this computer, which fails the install.
int apply_extraction(const extraction_job& job) {
  xer << job.log;
  if (job.err != 0 && job.archive_fault) {
    xer << "The archive of " << job.dest << " from the server was damaged or wrong: " << error_str(job.err) << ".\n";
  } else if (is_full_disk(job.err)) {
    report_full_disk(folder_of(job.dest), 0);
  } else if (job.err != 0) {
    stg.got_failed_install = 1;
    MACIBM_alert(0, "The installer cannot extract a file.", "Error:" + error_str(job.err), "Compressed File:" + job.zip,
                 "Destination:" + job.dest, alert_error);
  }
  if (stg.log_actions) xer << "EXPANDING file " << job.dest << ", with result=" << job.err << ".\n";
  if (job.delete_zip && stg.log_actions)
    xer << "DELETING  file " << job.zip << ", with result=" << job.delete_result << ".\n";
  xer.flush();
  return job.err;
}

// An archive a worker unpacks, until the pass applies the result. An archive on disk stays with
// its stream slot, whose file it is, until then; one in memory goes to the queue of unpacking
// archives, and the slot goes on to its next file meanwhile.
struct slot_extraction {
  THREAD_call* call = nullptr;
  extraction_job job;
  int file = -1;    // its index in sim_info.files
  int server = 0;   // the server the archive came from
};
slot_extraction extracting[kStreams];
// In the order their downloads ended, which is the order their results are applied in.
std::deque<slot_extraction> unpacking;
// The most archives waiting in memory to be unpacked; a slot starts no new file beyond that.
constexpr size_t kMaxUnpacking = 2 * kStreams;
// Files whose archive turned out damaged or wrong, taken again before the next new file.
std::deque<int> refetch;

void* extraction_on_worker(void* job) {
  run_extraction(*static_cast<extraction_job*>(job));
  VornSocket_wake_waiter();  // the pass, waiting on the network, looks at once
  return nullptr;
}

// Has a worker unpack the archive x holds; without the pool, unpacks it at once.
void submit_extraction(slot_extraction& x) {
  if (THREAD_is_inited())
    x.call = THREAD_submit(extraction_on_worker, &x.job);
  else
    run_extraction(x.job);
}

// Hands the archive of file f, which stream slot i downloaded from server, to a worker. An empty
// dest_path_zip is the archive the slot's download left in memory, which src names: it joins the
// queue of unpacking archives. Returns the slot's own record, or null for the queue.
slot_extraction* start_extraction(int i, int f, int server, std::string dest_path_zip, std::string dest_path_exp,
                                  const file_version_struct& v, const std::string& src) {
  const bool in_memory = dest_path_zip.empty();
  slot_extraction& x = in_memory ? unpacking.emplace_back() : extracting[i];
  x.file = f;
  x.server = server;
  x.job = prepare_extraction(in_memory ? src : std::move(dest_path_zip), std::move(dest_path_exp), v);
  if (in_memory) {
    x.job.in_memory = true;
    x.job.delete_zip = false;
    x.job.bytes = std::move(http.body[http_slot(i)]);
  }
  submit_extraction(x);
  return in_memory ? nullptr : &x;
}

// Applies the finished extraction x; returns its error and sets archive_fault. An alert raised on
// the worker is raised here as it was raised there, and the file is not placed.
int collect_extraction(slot_extraction& x, bool& archive_fault) {
  exce_class thrown;
  int has_exception = 0;
  if (x.call) THREAD_wait(x.call, &thrown, &has_exception);
  x.call = nullptr;
  archive_fault = false;
  if (has_exception) {
    stg.got_failed_install = 1;
    __MACIBM_alert(0, thrown.c1_, thrown.c2_, thrown.c3_, thrown.c4_, thrown.type_, thrown.file_, thrown.line_);
    return -1;
  }
  archive_fault = x.job.archive_fault;
  return apply_extraction(x.job);
}

// What became of one file's archive, unpacked (e, archive_fault) or not downloaded at all
// (!unpacked): the file is placed, the pass fails, or it is fetched again from another server.
// Returns true when the file is done with; false when it is to be fetched again.
bool settle_file(int f, int server, int slot, bool unpacked, int e, bool archive_fault,
                 const std::string& written_to = std::string()) {
  file_version_struct& v = sim_info.files[f].versions.back();
  const std::string dest = dest_path_of(v.path);
  const std::string src = archive_source(server, v);
  if (unpacked && !archive_fault) {
    // Placed, or a fault of this computer that ends the pass.
    stg.got_404 = 0;
    download_retry.succeeded();
    if (e == 0) {
      v.on_disk = 1;
      next.comp_down += v.down_size;
      next.totl_disk += v.disk_size;
    }
    return true;
  }
  if (unpacked && ++v.mirror_faults >= kMaxMirrorFaults) {
    // A damaged or wrong archive is the server's fault, as a failed download is.
    stg.got_failed_install = 1;
    MACIBM_alert(0,
                 "I could not get a good copy of " + v.path + ": " + std::to_string(kMaxMirrorFaults) +
                     " archives of it from the servers were damaged or held the wrong file.",
                 "Error:" + error_str(e), "Compressed File:" + src, "Destination:" + dest, alert_error);
    return true;
  }
  // A download this computer could not write (a full disk) is no fault of the server: fetching it
  // elsewhere would fail the same way.
  if (int local_err = unpacked ? 0 : http.local_error[slot]) {
    const std::string folder = folder_of(written_to);
    if (is_full_disk(local_err)) {
      report_full_disk(folder, v.down_size);
    } else {
      stg.got_failed_install = 1;
      MACIBM_alert(0, "I could not save a download in " + folder + ": " + error_str(local_err),
                   "Compressed File:" + src, "", "", alert_error);
    }
    return true;
  }
  stg.got_404 = 1;
  stg.sel_server = another_server(server, stg.num_servers);
  download_retry.failed(xtim.real_time);
  return false;
}

// Applies the finished extraction x to its file; true when the file is done with, false when it
// is to be fetched again.
bool settle_extraction(slot_extraction& x) {
  bool archive_fault = false;
  const int e = collect_extraction(x, archive_fault);
  return settle_file(x.file, x.server, -1, true, e, archive_fault);
}

// Applies, in order, the results of the archives unpacked from memory that are there.
void collect_unpacked() {
  while (!unpacking.empty() && !stg.got_failed_install) {
    slot_extraction& x = unpacking.front();
    if (x.call && !THREAD_poll(x.call)) break;
    // No slot holds the file now: it joins the files the next free slots fetch again.
    if (!settle_extraction(x)) refetch.push_back(x.file);
    unpacking.pop_front();
  }
}

// A waiting slot has a file to take: a file to fetch again, or a new one while the queue of
// archives to unpack has room (past the end of the list it only stands by).
bool slot_can_take_a_file() {
  if (!refetch.empty()) return true;
  return next.next_index < static_cast<int>(sim_info.files.size()) && unpacking.size() < kMaxUnpacking;
}

// The number of stream slots at work.
int active_slots() {
  int active = 0;
  for (int k = 0; k < kStreams; ++k) active += next.stream_active[k] ? 1 : 0;
  return active;
}

// The file slot i could ask server for behind the download it starts: the one it would take next,
// when that is an archive small enough for memory, the server is still the one selected (a file
// to fetch again never goes back to a server that failed it) and the slot is not about to retire;
// -1: none.
int ahead_candidate(int i, int server) {
  if (ahead_index[i] >= 0 || !slot_can_take_a_file()) return -1;
  if (server != intlim(stg.sel_server, 0, kMaxServers - 1)) return -1;
  if (stream_target(next.ret_k_sec_down()) < active_slots()) return -1;
  const int f = refetch.empty() ? next.next_index : refetch.front();
  const file_version_struct& v = sim_info.files[f].versions.back();
  if (v.want_to_nuke_it || !v.want_to_grab_it || path_has_no_file(v.path) || !slot_target(i, v).empty()) return -1;
  return f;
}

// Slot i takes the file f that ahead_candidate named as the one it has asked for.
void claim_ahead(int i, int f) {
  if (!refetch.empty() && refetch.front() == f)
    refetch.pop_front();
  else
    next.next_index = std::clamp(next.next_index + 1, 0, static_cast<int>(sim_info.files.size()));
  ahead_index[i] = f;
  asked_ahead[i] = true;
}

// The server slot i takes its file from: while its connection still carries the answer to the
// file it asked for ahead, the server of its last download; otherwise the one selected now.
int server_for(int i) {
  const kept_connection& kept = http.kept[http_slot(i)];
  if (asked_ahead[i] && !http.down[http_slot(i)] && kept.socket && !kept.ahead.empty()) return slot_server[i];
  return intlim(stg.sel_server, 0, kMaxServers - 1);
}

}  // namespace

int extract_and_delete_file(std::string dest_path_zip, std::string dest_path_exp, const file_version_struct& v,
                            bool& archive_fault) {
  extraction_job job = prepare_extraction(std::move(dest_path_zip), std::move(dest_path_exp), v);
  run_extraction(job);
  archive_fault = job.archive_fault;
  return apply_extraction(job);
}

int extractions_in_flight() {
  int n = static_cast<int>(unpacking.size());
  for (const slot_extraction& x : extracting) n += x.call ? 1 : 0;
  return n;
}

void wait_for_extractions() {
  auto drop = [](slot_extraction& x) {
    if (!x.call) return;
    THREAD_wait(x.call, nullptr, nullptr);
    x.call = nullptr;
    xer << x.job.log;
  };
  for (slot_extraction& x : extracting) drop(x);
  for (slot_extraction& x : unpacking) drop(x);
  unpacking.clear();
  refetch.clear();
  xer.flush();
}

int stream_target(float k_sec) {
  int target = 2;
  if (k_sec > 50) target = 4;
  if (k_sec > 100) target = 6;
  if (k_sec > 150) target = 8;
  if (k_sec > 200) target = 9;
  if (stg.stream_count != 0) target = stg.stream_count;
  if (install_type == 1) target = 1;
  // With no slot left the pass would look finished without having installed anything.
  return std::max(target, 1);
}

void wait_for_pass_work(int max_ms) {
  if (stg.step == 1)
    for (int i = 0; i < kStreams; ++i)
      if (next.stream_active[i] && next.stream_waiting[i] && (ahead_index[i] >= 0 || slot_can_take_a_file())) return;
  // Where a finished extraction cannot end the wait, the pass looks again after at most 1 ms.
  const bool look_soon = extractions_in_flight() && !VornSocket_can_wake_waiter();
  http.wait_for_traffic(look_soon ? std::min(max_ms, 1) : max_ms);
}

int grab_files() {
  next.file_down = 0.0f;
  const int n = static_cast<int>(sim_info.files.size());
  collect_unpacked();
  for (const slot_extraction& x : unpacking) next.file_down += sim_info.files[x.file].versions.back().down_size;

  for (int i = 0; i < kStreams; ++i) {
    // A pass that failed gives no more turns: nothing more is placed.
    if (stg.got_failed_install) break;
    if (!next.stream_active[i]) continue;
    if (next.stream_waiting[i]) {
      if (ahead_index[i] >= 0) {
        next.stream_index[i] = ahead_index[i];
        ahead_index[i] = -1;
      } else if (!refetch.empty()) {
        next.stream_index[i] = refetch.front();
        refetch.pop_front();
      } else if (next.next_index < n && unpacking.size() >= kMaxUnpacking) {
        continue;  // the archives already here are unpacked first
      } else {
        next.stream_index[i] = next.next_index;
        next.next_index = std::clamp(next.next_index + 1, 0, n);
      }
    }
    const int f = next.stream_index[i];
    int file_done = 0;

    if (f >= 0 && f < n) {
      file_version_struct& v = sim_info.files[f].versions.back();
      const int server = server_for(i);
      const std::string dest = dest_path_of(v.path);
      const std::string src = archive_source(server, v);
      next.stream_waiting[i] = 0;
      crnt_file_name = src.substr(after_last_sep(src));
      crnt_file_path = src;

      if (path_has_no_file(v.path))
        MACIBM_alert(0, "I am working through the list and found a path that has no file!",
                     "This is impossible to download or delete!", "It is:", v.path, alert_fatal);

      if (v.want_to_nuke_it) {
        delete_unwanted_file(dest);
        file_done = 1;
      } else if (v.want_to_grab_it) {
        stg.crnt_file_stat = 1;
        const int slot = http_slot(i);
        // Until it is done with, the slot keeps the file: on a later turn it waits for its archive
        // to be unpacked, or tries the file again (the files after it stay with the slots that
        // have them, so none is fetched twice).
        if (extracting[i].call) {
          // The archive is being unpacked on a worker; its result is applied once it is there.
          if (THREAD_poll(extracting[i].call))
            file_done = settle_extraction(extracting[i]);
          else
            next.file_down += v.down_size;
        } else if (http.down[slot] || download_retry.ready(xtim.real_time)) {
          // After a failure a new request waits out its pause; one under way is always polled.
          // An archive may exceed its catalogued size only by a little; more is a faulty mirror.
          const long long bound = static_cast<long long>(std::max(v.down_size, 0.0f)) * 1024 + kArchiveAllowance;
          const bool starting = !http.down[slot];
          if (starting) {
            slot_server[i] = server;
            asked_ahead[i] = false;
          }
          range_start resume;
          const std::string local = download_target(i, v, slot_target(i, v), starting, resume);
          // The file the slot takes next is asked for behind this one, so that it comes without a
          // round trip of its own.
          const int ahead = starting ? ahead_candidate(i, server) : -1;
          const std::string ahead_src = ahead >= 0 ? archive_source(server, sim_info.files[ahead].versions.back()) : "";
          const int got = http.net_check(slot, server_name[server], src, local, bound, &resume, ahead_src);
          if (ahead >= 0 && http.sent_ahead[slot]) claim_ahead(i, ahead);
          switch (got) {
            case 0:
              stg.crnt_file_rat = download_fraction(slot);
              next.file_down += stg.crnt_file_rat * v.down_size;
              break;
            case 1:
              if (slot_extraction* own = start_extraction(i, f, slot_server[i], local, dest, v, src); !own) {
                // Unpacked from memory while the slot goes on to its next file.
                next.file_down += v.down_size;
                file_done = 1;
              } else if (own->call) {
                next.file_down += v.down_size;
              } else {
                file_done = settle_extraction(*own);
              }
              break;
            default:
              file_done = settle_file(f, slot_server[i], slot, false, 0, false, local);
              break;
          }
        }
      } else {
        stg.crnt_file_stat = v.on_disk ? 2 : 3;
        file_done = 1;
      }
    }

    if (file_done) {
      const int target = stream_target(next.ret_k_sec_down());
      const int active = active_slots();
      if (active < target) {
        for (int k = 0; k < kStreams; ++k) {
          if (next.stream_active[k]) continue;
          next.stream_active[k] = next.stream_waiting[k] = 1;
          break;
        }
      }
      // A slot that has asked for its next file already takes it before it may retire.
      if (target < active && ahead_index[i] < 0)
        next.stream_active[i] = 0;
      else
        next.stream_waiting[i] = 1;
    }
  }

  // A failed extraction ends the pass as failed, also when it was the last file; archives other
  // slots are unpacking are finished first.
  collect_unpacked();
  if (stg.got_failed_install) {
    wait_for_extractions();
    // A full disk: the space the partial downloads hold is given back, so that a run after space
    // was freed finds what it needs and is not refused for what this one left.
    if (disk_was_full) {
      remove_partial_folder();
      xer << "I removed my partial downloads, since the disk is full.\n";
    }
    return stg.got_failed_install;
  }
  if (!unpacking.empty() || !refetch.empty()) return 0;
  for (int i = 0; i < kStreams; ++i)
    if (next.stream_active[i] && next.stream_index[i] < n) return 0;

  next.dir_done = 1;
  remove_emptied_folders();
  remove_partial_folder();
  // What is reported complete must survive a power cut: one flush of the destination's file
  // system costs far less than a flush per file.
  std::string dest = dest_dir_path;
  make_os_path(dest);
  if (int err = os_sync_file_system(dest)) {
    MACIBM_alert(0, "I could not make sure that the installed files are safely on the disk!", error_str(err),
                 "Install Location: " + dest_dir_path, "", alert_error);
    stg.got_failed_install = 1;
    return stg.got_failed_install;
  }
  if (this_install_has_exes && stg.rename_folder) rename_destination();
  record_installed_signatures();
  return 1;
}
