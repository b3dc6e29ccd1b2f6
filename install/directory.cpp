#include "install/directory.h"

#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "files/error_text.h"
#include "files/file_utils.h"
#include "files/os_files.h"
#include "files/os_path.h"
#include "files/xmap.h"
#include "files/zip_extract.h"
#include "install/destination.h"
#include "install/directory_view.h"
#include "install/install_pass.h"
#include "install/partial_downloads.h"
#include "install/release_check.h"
#include "install/server_list.h"
#include "install/session_state.h"
#include "install/signature_cache.h"
#include "threads/worker_pool.h"

sim_info_struct sim_info;
int this_install_has_exes = 0;

namespace {

const int kDirectoryVersions[] = {810, 840, 0};

// FILE records read in this run; the read progress is drawn every kRecordsPerDraw of them.
long records_read = 0;
constexpr long kRecordsPerDraw = 500;
// About this many progress screens while the disk is examined.
constexpr size_t kExamineDraws = 200;

// One FILE record: five integers, the signature word, and the rest of the line as the path.
file_version_struct read_file_record(xmap_class& map, std::string& relative) {
  file_version_struct v;
  v.use_type = intlim(map.TXT_int_scan(), 0, 1);
  v.os_type = intlim(map.TXT_int_scan(), 0, 6);
  v.version_num = map.TXT_int_scan();
  v.down_size = static_cast<float>(map.TXT_int_scan());
  v.disk_size = static_cast<float>(map.TXT_int_scan());
  map.TXT_str_scan_space(&v.sig_want);
  map.TXT_str_scan_eoln(&relative);
  return v;
}

// One file to hash on a worker: its path, and the signature and stamp found.
struct hash_job {
  std::string dest;
  std::string sig = kSigNone;
  os_file_stamp stamp;
  bool stamped = false;
};

void* hash_on_worker(void* param) {
  auto* job = static_cast<hash_job*>(param);
  // The stamp was taken before: a file changed while it is read then never matches its record.
  calc_file_md5(job->dest, job->sig);  // replaces it only when the file can be read
  return nullptr;
}

// Files whose stamps one worker takes, one after another in their folders.
struct stamp_run {
  hash_job* jobs = nullptr;
  size_t count = 0;
  THREAD_call* call = nullptr;  // on a worker until waited for
};
constexpr size_t kStampRun = 256;

void* stamp_on_worker(void* param) {
  auto* run = static_cast<stamp_run*>(param);
  os_file_stamper stamper;
  for (size_t i = 0; i < run->count; ++i) run->jobs[i].stamped = stamper.stamp(run->jobs[i].dest, run->jobs[i].stamp);
  return nullptr;
}

// True when md5 is the signature of one of the file's catalogued versions: only then is a
// remembered signature taken, so a file the user changed is always read afresh.
bool known_signature(const file_history_struct& history, const std::string& md5) {
  for (const file_version_struct& v : history.versions)
    if (v.sig_want == md5) return true;
  return false;
}

// Compares every current version with the file in the destination and sums what is missing.
// Files whose stamp matches the signature cache take their remembered signature; the others are
// hashed several at a time on the worker pool, and the results are used in the catalogue's order.
void examine_disk(const std::string& message) {
  const size_t n = sim_info.files.size();
  size_t k = n / kExamineDraws;
  if (k < 2) k = 1;
  if (verify_every_file)
    sig_cache.clear();
  else
    sig_cache.load(dest_dir_path, n);

  std::vector<hash_job> jobs(n);
  std::vector<THREAD_call*> calls(n, nullptr);
  const bool pooled = THREAD_is_inited() != 0;
  const size_t window = pooled ? 2 * static_cast<size_t>(UTL_count_processors()) : 1;
  size_t from_cache = 0, missing = 0, submitted = 0;
  leftover_sweeper sweeper;

  // The stamps are taken run by run on the workers, a run or two ahead of the files used: a look
  // at a file costs more than the look-up in the cache it allows.
  std::vector<stamp_run> runs((n + kStampRun - 1) / kStampRun);
  size_t runs_started = 0;
  auto stamp_ahead = [&](size_t file) {
    for (const size_t want = std::min(runs.size(), file / kStampRun + 2); runs_started < want; ++runs_started) {
      const size_t from = runs_started * kStampRun, to = std::min(n, from + kStampRun);
      for (size_t j = from; j < to; ++j) {
        jobs[j].dest = dest_path_of(sim_info.files[j].versions.back().path);
        sweeper.sweep_beside(jobs[j].dest);
      }
      stamp_run& run = runs[runs_started];
      run.jobs = &jobs[from];
      run.count = to - from;
      if (pooled)
        run.call = THREAD_submit(stamp_on_worker, &run);
      else
        stamp_on_worker(&run);
    }
    if (THREAD_call*& call = runs[file / kStampRun].call) {
      THREAD_wait(call, nullptr, nullptr);
      call = nullptr;
    }
  };

  // Hands out work up to `window` files ahead of the one used next; cached files need none.
  auto submit_up_to = [&](size_t limit) {
    for (; submitted < n && submitted < limit; ++submitted) {
      file_history_struct& history = sim_info.files[submitted];
      hash_job& job = jobs[submitted];
      stamp_ahead(submitted);
      // A file that is not there has nothing to read: a fresh install hashes nothing.
      if (!job.stamped) {
        ++missing;
        continue;
      }
      if (!verify_every_file) {
        std::string md5 = sig_cache.lookup(history.versions.back().path, job.stamp);
        if (!md5.empty() && known_signature(history, md5)) {
          job.sig = md5;
          ++from_cache;
          continue;
        }
      }
      if (pooled)
        calls[submitted] = THREAD_submit(hash_on_worker, &job);
      else
        hash_on_worker(&job);
    }
  };

  for (size_t i = 0; i < n; ++i) {
    submit_up_to(i + window);
    file_version_struct& v = sim_info.files[i].versions.back();
    if (i % k == 0) dir_progress_bar(0, static_cast<float>(i), static_cast<float>(n), 1, message, jobs[i].dest);
    if (calls[i]) THREAD_wait(calls[i], nullptr, nullptr);

    v.sig_have = jobs[i].sig;
    v.on_disk = v.sig_have == v.sig_want ? 1 : 0;
    if (jobs[i].stamped && v.sig_have != kSigNone)
      sig_cache.remember(v.path, jobs[i].stamp, v.sig_have);
    else
      sig_cache.forget(v.path);

    if (v.sig_want != kSigGone && !v.on_disk && version_applies(v.os_type, stg.download_os)) {
      stg.down_req += v.down_size;
      stg.disk_req += v.disk_size;
      if (v.os_type >= 1 && v.os_type <= 5) this_install_has_exes = 1;
    }
  }
  sweeper.finish();
  // Every listed file was remembered or forgotten above; the rest are files the release no longer
  // lists, forgotten so that the cache never outgrows the release.
  sig_cache.forget_unseen();
  xer << "Signatures: " << from_cache << " from the cache, " << n - from_cache - missing << " read from the disk, "
      << missing << " not there.\n";
  if (int err = sig_cache.save(dest_dir_path))
    xer << "I could not save the signature cache: " << error_str(err) << "\n";
}

}  // namespace

void record_installed_signatures() {
  os_file_stamper stamper;
  for (const file_history_struct& history : sim_info.files) {
    const file_version_struct& v = history.versions.back();
    os_file_stamp stamp;
    if (v.on_disk && v.sig_want != kSigGone && stamper.stamp(dest_path_of(v.path), stamp))
      sig_cache.remember(v.path, stamp, v.sig_want);
    else if (!v.on_disk)
      sig_cache.forget(v.path);
  }
  if (int err = sig_cache.save(dest_dir_path))
    xer << "I could not save the signature cache: " << error_str(err) << "\n";
  // The folder may have been renamed after the release: its serial goes with the new name too.
  remember_release_installed();
}

int version_applies(int os_type, int download_os) {
  if (os_type == download_os || os_type == 0) return 1;
  return os_type == 6 && download_os >= 3 && download_os <= 5 ? 1 : 0;
}

bool release_paths_fit_destination() {
  const file_version_struct* longest = nullptr;
  size_t longest_size = 0;
  for (const file_history_struct& history : sim_info.files) {
    const file_version_struct& v = history.versions.back();
    // A file for another system is never written; one the release removes is still deleted.
    if (v.sig_want != kSigGone && !version_applies(v.os_type, stg.download_os)) continue;
    const size_t size = dest_path_of(v.path).size();
    if (size > longest_size) {
      longest = &v;
      longest_size = size;
    }
  }
  if (longest_size <= static_cast<size_t>(kMaxOsPath)) return true;
  std::string rel = longest->path;
  trim_dest_folder(rel);
  const long room = static_cast<long>(kMaxOsPath) - static_cast<long>(rel.size());
  xer << "The path " << rel << " of the release is " << longest_size << " characters long in " << dest_dir_path
      << ", more than the " << kMaxOsPath << " I can handle.\n";
  MACIBM_alert(0,
               "I will not install this release into " + dest_dir_path + ": its longest path would be " +
                   std::to_string(longest_size) + " characters long there, and I can handle " +
                   std::to_string(kMaxOsPath) + ".",
               "The longest path is " + rel + ".",
               room > 0 ? "Choose a destination whose path is at most " + std::to_string(room) +
                              " characters long (this one has " + std::to_string(dest_dir_path.size()) + ")."
                        : "No destination is short enough for it.",
               "I have changed nothing.", alert_error);
  return false;
}

std::string dest_path_of(const std::string& path) {
  std::string rel = path;
  trim_dest_folder(rel);
  return dest_dir_path + rel;
}

int path_leaves_destination(const std::string& path) {
  if (path.empty() || is_path_sep(path[0])) return 1;
  if (path.size() >= 2 && path[1] == ':') return 1;  // a drive letter, where the system keeps one
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !is_path_sep(path[end])) ++end;
    if (path.compare(start, end - start, "..") == 0) return 1;
    start = end + 1;
  }
  return 0;
}

bool looks_like_directory_file(const std::string& disk_path) {
  std::string path = disk_path;
  make_os_path(path);
  xmap_class map(path);
  if (!map.mBegin || map.mBegin == map.mEnd) return false;
  char mark = *map.mBegin;
  if (mark != 'A' && mark != 'I') return false;
  map.TXT_str_scan_eoln(nullptr);
  map.TXT_int_scan();
  map.TXT_str_scan_eoln(nullptr);
  return map.TXT_str_scan_match("INSTALLER", 1) != 0;
}

int read_directory(const std::string& disk_path, std::string message) {
  deleted_files.clear();
  cleaned_folders.clear();
  stg.down_req = 0;
  stg.disk_req = 0;
  stg.partial_bytes = partial_bytes_held();

  std::string path = disk_path;
  make_os_path(path);
  sim_info.files.clear();
  std::string folder;         // the current DIR
  std::string previous_path;  // the path of the previous FILE record

  xmap_class map(path);
  if (!map.mBegin) {
    MACIBM_alert(0, "I tried to read a directory file that does not exist!", "The file is:", path, "", alert_fatal);
    return 2;
  }
  if (!map.check_file(10001, kDirectoryVersions, "INSTALLER", nullptr)) {
    if (is_net) new_format(path);
    return 2;
  }

  const float file_bytes = static_cast<float>(map.mEnd - map.mBegin);
  while (map.mCrt < map.mEnd) {
    if (map.TXT_str_scan_match("DIR", 0)) {
      map.TXT_str_scan_eoln(&folder);
      continue;
    }
    if (!map.TXT_str_scan_match("FILE", 0)) {
      map.TXT_str_scan_eoln(nullptr);  // any other line is skipped whole
      continue;
    }

    std::string relative;
    file_version_struct v = read_file_record(map, relative);
    v.path = folder + relative;
    make_os_path(v.path);

    // Such a path could make the pass write or delete outside the destination.
    if (path_leaves_destination(v.path)) {
      xer << "I am skipping the file '" << v.path
          << "' of the directory file, because its path leads outside the folder I install to.\n";
      xer.flush();
      continue;
    }
#ifdef _WIN32
    // A device name such as CON or a name ending in a dot would be written somewhere unexpected.
    if (zip_name_unfit_for_windows(v.path)) {
      xer << "I am skipping the file '" << v.path << "' of the directory file, because Windows cannot hold its name.\n";
      continue;
    }
#endif

    if (sim_info.files.empty() || v.path != previous_path) sim_info.files.emplace_back();
    previous_path = v.path;

    if (path_has_no_file(v.path))
      MACIBM_alert(0, "I am reading the directory text file and found a path that has no file!",
                   "This is impossible to download or delete!", "It is:", v.path, alert_fatal);

    sim_info.files.back().versions.push_back(std::move(v));

    if (records_read % kRecordsPerDraw == 0)
      dir_progress_bar(0, static_cast<float>(map.mCrt - map.mBegin), file_bytes, 0, message, relative);
    ++records_read;
  }

  examine_disk(message);
  return 3;
}
