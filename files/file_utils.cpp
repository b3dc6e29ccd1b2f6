#include "files/file_utils.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/utf8_paths.h"
#include "files/md5.h"
#include "files/os_path.h"
#include "files/os_files.h"

std::string g_file[kListingSlots];
std::string g_path_rel[kListingSlots];
int g_file_type[kListingSlots];
std::string wrk_path;

thread_local std::string sErrFile;
thread_local int sErrLine = -1;

std::ofstream ouf;

namespace {

// Failure sites, as printed by the zip extractor's diagnostics.
constexpr int kSiteRemoveFolder = 645;
constexpr int kSiteDeleteFile = 648;
constexpr int kSiteMoveFile = 702;
constexpr int kSiteMakeFolder = 730;

// A listing never fills the last slot.
constexpr int kMaxListed = kListingSlots - 1;

struct type_by_ending {
  const char* ending;
  int code;
};
const type_by_ending kTypeByEnding[] = {
    {".ACF", 3}, {".AFL", 4}, {".WPN", 5},  {".WAV", 6},  {".BMP", 2},  {".PNG", 2},
    {".OBJ", 7}, {".FDR", 8}, {".SIT", 9},  {".SMO", 10}, {".TXT", 11}, {".FMS", 12},
    {".TRA", 14}, {".CAR", 15}, {".SPA", 16}, {".REG", 17},
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

void set_err_site(int line) {
  sErrFile = "IO_UTILS";
  sErrLine = line;
}

int dir_exists(std::string path) {
  std::string the_path = app_path + path;
  make_os_path(the_path);
  while (the_path.size() > 1 && the_path.back() == kPathSep) the_path.pop_back();
  return os_is_folder(the_path) ? 1 : 0;
}

int delete_file(std::string path) {
  std::string full = app_path + path;
  make_os_path(full);
  if (full.empty()) return 2;
  if (full.back() == kPathSep) {
    full.pop_back();
    int err = os_remove_folder(full);
    if (err) set_err_site(kSiteRemoveFolder);
    return err;
  }
  int err = os_delete_file(full);
  if (err) set_err_site(kSiteDeleteFile);
  return err;
}

int unlock_file(const std::string& path) {
  std::string p = path;
  make_os_path(p);
  return os_add_owner_write(p);
}

int rename_file(const std::string& dir_name, const std::string& old_name, const std::string& new_name) {
  std::string from = dir_name + old_name;
  std::string to = dir_name + new_name;
  make_os_path(from);
  make_os_path(to);
  int err = os_rename_noreplace(from, to);
  if (err) set_err_site(kSiteMoveFile);
  return err;
}

int make_folder(const std::string& inFolder) {
  std::string p = inFolder;
  make_os_path(p);
  if (!p.empty() && p.back() == kPathSep) p.pop_back();
  int err = os_make_folder(p);
  if (err) set_err_site(kSiteMakeFolder);
  return err;
}

// Deletion failures are logged by the caller, never shown.
int show_del_err(int /*err*/) { return 0; }

// "Already exists" (17 here, 183 on Windows) is no error.
int show_make_dir_err(int err) { return (err == 0 || err == 17 || err == 183) ? 0 : 1; }

int opensave_getitems(int file_type) {
  make_os_path(wrk_path);
  std::string wrk_path_abs = app_path + wrk_path;
  make_os_path(wrk_path_abs);
  if (!wrk_path_abs.empty() && wrk_path_abs.back() != kPathSep)
    MACIBM_alert(0, "Working path does not appear to be a directory!",
                 "This is not consistent with my labelling practices!",
                 "I need to end all paths with the directory indicator!", wrk_path_abs, alert_fatal);

  os_folder_reader reader;
  if (!reader.open(wrk_path_abs)) return 0;

  int n = 0;
  std::string name;
  bool is_folder = false;
  while (n < kMaxListed && reader.next(name, is_folder)) {
    g_file[n] = name;
    g_path_rel[n] = wrk_path + name;
    g_file_type[n] = is_folder ? 1 : 0;
    if (is_folder) g_path_rel[n] += kPathSep;
    if (opensave_takeit(n, file_type))
      ++n;
    else
      g_file[n].clear();
  }

  // Ascending by name, byte by byte.
  std::vector<int> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [](int a, int b) { return g_file[a] < g_file[b]; });
  std::vector<std::string> names(order.size()), paths(order.size());
  std::vector<int> types(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    names[i] = std::move(g_file[order[i]]);
    paths[i] = std::move(g_path_rel[order[i]]);
    types[i] = g_file_type[order[i]];
  }
  for (size_t i = 0; i < order.size(); ++i) {
    g_file[i] = std::move(names[i]);
    g_path_rel[i] = std::move(paths[i]);
    g_file_type[i] = types[i];
  }
  return n;
}

int opensave_takeit(int n_ret, int file_type) {
  if (n_ret < 0 || n_ret >= kListingSlots) return 0;
  const std::string& name = g_file[n_ret];
  if (name.size() >= 4) {
    std::string ending = name.substr(name.size() - 4);
    for (char& c : ending) c = upper(c);
    for (const type_by_ending& t : kTypeByEnding)
      if (ending == t.ending) {
        g_file_type[n_ret] = t.code;
        break;
      }
  }
  if (name.empty() || name[0] == '.') return 0;  // ".", ".." and hidden files
  return (g_file_type[n_ret] == 1 || file_type == 0 || g_file_type[n_ret] == file_type) ? 1 : 0;
}

int ouf_open(std::string rel_path, int bin_code, int version, std::string copyright) {
  if (bin_code != 10000 && bin_code != 10001)
    MACIBM_alert(0, "Bad ouf_open type!", rel_path, "", "", alert_fatal);

  std::string abs_path = app_path + rel_path;
  // The extension is written in lower case.
  if (abs_path.size() > 3)
    for (size_t i = abs_path.size() - 3; i < abs_path.size(); ++i)
      if (abs_path[i] >= 'A' && abs_path[i] <= 'Z') abs_path[i] = static_cast<char>(abs_path[i] - 'A' + 'a');
  make_os_path(abs_path);

  ouf.clear();
  ouf.close();
  ouf.clear();

  if (bin_code == 10000) {
    ouf.open(path_from_utf8(abs_path), std::ios::out | std::ios::binary | std::ios::trunc);
    unsigned char header[5] = {'i', static_cast<unsigned char>(version), static_cast<unsigned char>(version >> 8),
                               static_cast<unsigned char>(version >> 16), static_cast<unsigned char>(version >> 24)};
    ouf.write(reinterpret_cast<const char*>(header), sizeof header);
  } else {
    ouf.open(path_from_utf8(abs_path), std::ios::out | std::ios::trunc);
    ouf.setf(std::ios::fixed, std::ios::floatfield);
    ouf << "I\n" << version << " version";
    if (copyright != "no-copyright-string") ouf << copyright;
    ouf << "\n";
  }

  if (ouf.fail()) {
    MACIBM_alert(0,
                 "I could not save the file! Could the directory that the file sits in be missing? Or flagged as "
                 "READ-ONLY by the operating system? (Windows machines typically do this).",
                 abs_path, "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!",
                 "Try putting this stg.in the background and then flag the file as NOT read-only, or creating the "
                 "folder listed in the path above.",
                 alert_error);
    return 0;
  }
  return 1;
}

int calc_file_md5(const std::string& inFileName, std::string& outSig) {
  std::string path = inFileName;
  make_os_path(path);
  // Read, not mapped: a file truncated by another program meanwhile cannot fault the process,
  // and no unmapping costs every processor a TLB flush.
  constexpr size_t kChunk = 256 * 1024;
  thread_local std::vector<unsigned char> buffer(kChunk);
  MD5_CTX ctx;
  MD5Init(&ctx);
  int err = os_read_file_sequential(path, buffer.data(), buffer.size(),
                                    [&ctx](const unsigned char* data, size_t len) { MD5UpdateWide(&ctx, data, len); });
  // A readable empty file has the MD5 of no bytes; only missing or unreadable files fail.
  if (err) return 20006;
  outSig = MD5HexDigest(&ctx);
  return 0;
}
