#include "prefs/pref_file.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <cstdlib>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "files/error_text.h"
#include "files/file_utils.h"
#include "files/os_path.h"
#include "files/os_files.h"
#include "files/xmap.h"
#include "install/destination.h"
#include "install/session_state.h"
#include "net/http_client.h"
#include "ui/window_state.h"

pref_class pref;

namespace {
constexpr int kPrefVersion = 8500;
// "Zephra/", put after a destination that is not an installation yet.
constexpr size_t kNewFolderNameLength = 7;

// Why the preference file's bytes cannot be preferences, or empty when they can: tags and values
// are text, one to a line.
std::string unfit_preferences(const char* begin, const char* end) {
  for (const char* p = begin; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7f) return "not text";
  }
  return std::string();
}

// Moves an unreadable preference file out of the way, so that it is neither read again nor
// overwritten, and says so once.
void set_aside(const std::string& path, const std::string& why) {
  const std::string bad = path + kPrefSetAsideEnding;
  std::error_code ec;
  std::filesystem::rename(path_from_utf8(path), path_from_utf8(bad), ec);
  xer << "The preference file " << path << " is " << why << (ec ? "; I could not set it aside: " + ec.message() : "")
      << ".\n";
  MACIBM_alert(0, "I could not use my preference file " + path + ": it is " + why + ".",
               ec ? "I use the default preferences this time." : "I have set it aside as " + bad + ".",
               ec ? "" : "I use the default preferences.", "", alert_error);
}

// A stored value as the log shows it: short, and only printable.
std::string shown(const std::string& text) {
  std::string out;
  for (char c : text.substr(0, 40)) out += (static_cast<unsigned char>(c) < 0x20 ? '?' : c);
  return text.size() > 40 ? out + "..." : out;
}
}  // namespace

scan_class::scan_class(const std::string& path, int in_opr) : opr_typ(in_opr) {
  if (opr_typ == kPrefWrite) {
    write_path = path;
    write_text = "I\n" + std::to_string(kPrefVersion) + " version\n";
    return;
  }
  prefs_map.clear();
  std::string unfit;
  std::string os_path = app_path + path;
  make_os_path(os_path);
  os_file_stamp stamp;
  if (os_stamp_file(os_path, stamp) && stamp.size > static_cast<uint64_t>(kMaxPrefFileBytes)) {
    unfit = "larger than " + std::to_string(kMaxPrefFileBytes / 1024) + " kB";
  } else {
    xmap_class file(path);
    if (file.mBegin) unfit = unfit_preferences(file.mBegin, file.mEnd);
    const int versions[] = {kPrefVersion, 0};
    if (unfit.empty() && file.check_file(10001, versions, nullptr, nullptr)) read_tags(file, path);
  }
  if (!unfit.empty()) set_aside(os_path, unfit);
}

void scan_class::read_tags(xmap_class& file, const std::string& path) {
  size_t repeated = 0;
  std::string first_repeated;
  while (file.mCrt < file.mEnd) {
    std::string tag, value;
    file.TXT_str_scan_space(&tag);
    if (tag.empty()) {
      // A line that starts with something the word scan cannot take; skip it whole.
      file.TXT_str_scan_eoln(nullptr);
      continue;
    }
    file.TXT_str_scan_eoln(&value);
    if (prefs_map.count(tag) && repeated++ == 0) first_repeated = tag;
    prefs_map[tag] = value;
  }
  // However many lines repeat, the log says it once.
  if (repeated)
    xer << "The preference file " << path << " gives " << repeated << " tags again (the first: " << shown(first_repeated)
        << "); I use the last value of each.\n";
}

scan_class::~scan_class() { close(); }

void scan_class::close() {
  if (opr_typ != kPrefWrite || write_path.empty()) return;
  std::string path = app_path + write_path;
  write_path.clear();
  make_os_path(path);
  // Written beside the old file and renamed over it only when complete and on disk, so a full
  // disk or a crash leaves the old preferences whole.
  os_replacement_file file;
  int err = file.create(path);
  if (!err) err = file.write(write_text.data(), write_text.size());
  if (!err) err = file.sync();
  if (!err) err = file.commit();
  if (err)
    MACIBM_alert(0, "I could not save the file! " + error_str(err), path,
                 "The preferences saved before are kept as they were.", "", alert_error);
}

int scan_class::fetch_or_get(const std::string& input, std::string& output, const std::string& tag) {
  if (opr_typ == kPrefWrite) {
    write_text += tag + " " + input + "\n";
    return 0;
  }
  if (opr_typ == kPrefRead) {
    auto it = prefs_map.find(tag);
    if (it == prefs_map.end()) return 0;
    output = it->second;
    return 1;
  }
  return 1;
}

int scan_class::int_io(int* value, const std::string& tag, int lowest, int highest) {
  std::string text;
  if (opr_typ == kPrefWrite) text = std::to_string(*value);
  int result = fetch_or_get(text, text, tag);
  if (opr_typ == kPrefRead && result == 1) {
    long long number = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, number);
    while (stop < end && (*stop == ' ' || *stop == '\t' || *stop == '\r')) ++stop;
    if (ec != std::errc() || stop != end || number < lowest || number > highest) {
      xer << "The preference " << tag << " is '" << shown(text) << "', not a whole number from " << lowest << " to "
          << highest << "; I use " << *value << ".\n";
      return 0;
    }
    *value = static_cast<int>(number);
  }
  return result;
}

int scan_class::flt_io(float* value, const std::string& tag, float lowest, float highest) {
  std::string text;
  if (opr_typ == kPrefWrite) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(*value));
    text = buffer;
  }
  int result = fetch_or_get(text, text, tag);
  if (opr_typ == kPrefRead && result == 1) {
    char* stop = nullptr;
    const float number = std::strtof(text.c_str(), &stop);
    // NaN fails both comparisons, and so is refused with every other non-number.
    if (stop == text.c_str() || !(number >= lowest && number <= highest)) {
      xer << "The preference " << tag << " is '" << shown(text) << "', not a number from " << lowest << " to "
          << highest << "; I use " << *value << ".\n";
      return 0;
    }
    *value = number;
  }
  return result;
}

void scan_class::str_io(std::string* value, const std::string& tag) {
  if (opr_typ == kPrefWrite) {
    if (!value->empty()) fetch_or_get(*value, *value, tag);
  } else {
    fetch_or_get(*value, *value, tag);
  }
}

std::string pref_class::file_path(int prf_typ) {
  if (prf_typ == kPrefResolution) return "Resources:preferences:Res Lumara.prf";
  std::string folder;
  get_OS_abs_path(os_dir_prefs, folder);
  return folder + kPrefFileName;
}

void pref_class::IO_set(int prf_typ, int opr_typ) {
  scan_class scan(file_path(prf_typ), opr_typ);
  if (prf_typ == kPrefResolution) {
    scan.int_io(&mnw.x_res_req, "_x_res_req", 0, 100000);
    scan.int_io(&mnw.y_res_req, "_y_res_req", 0, 100000);
    scan.int_io(&mnw.col_res_req, "_col_res_req", 0, 64);
    scan.int_io(&mnw.set_res, "_set_res", 0, 1);
    scan.int_io(&mnw.lang, "_lang", -1, 63);
    scan.int_io(&mnw.alias_req, "_alias_req", 0, 64);
    scan.int_io(&mnw.keylist_up, "_keylist_up", 0, 1);
    scan.int_io(&mnw.sec_mon_inuse, "_sec_mon_inuse", 0, 1);
    scan.int_io(&mnw.prefs_found, "_prefs_found", 0, 1);
    scan.flt_io(&xtim.prd_FM, "_prd_FM", 0.001f, 1.0f);
    scan.flt_io(&xtim.prd_UI, "_prd_UI", 0.001f, 1.0f);
    if (mnw.x_res_req < 1024 || mnw.x_res_req >= 10000) mnw.x_res_req = 1024;
    if (mnw.y_res_req < 768 || mnw.y_res_req >= 10000) mnw.y_res_req = 768;
    if (mnw.lang == 6) mnw.lang = 0;
  } else {
    // 0 every system, 1 to 5 one of the list, 6 any Linux.
    scan.int_io(&stg.download_os, "_download_os", 0, 6);
    scan.int_io(&stg.use_max_cpu, "_use_max_cpu", 0, 1);
    scan.int_io(&stg.rename_folder, "_rename_folder", 0, 1);
    scan.int_io(&stg.stream_count, "_stream_count", 0, kStreams);
    scan.int_io(&stg.log_actions, "_log_actions", 0, 1);
    scan.int_io(&stg.always_ask_dir, "_always_ask_dir", 0, 1);
    std::string default_dest = dest_dir_path;
    scan.str_io(&dest_dir_path, "_dest_dir_path");
    int user_chosen = dest_user_chosen ? 1 : 0;
    scan.int_io(&user_chosen, "_dest_user_chosen", 0, 1);
    // A stored folder too long for the path buffer (with the new folder's name after it) would end
    // every start in an alert; it counts as not stored.
    if (opr_typ == kPrefRead && dest_dir_path.size() + kNewFolderNameLength > static_cast<size_t>(kMaxOsPath)) {
      xer << "The stored destination is too long for a path (" << dest_dir_path.size()
          << " characters), so I do not use it.\n";
      dest_dir_path = default_dest;
      user_chosen = 0;
    }
    dest_user_chosen = user_chosen != 0;
    scan.str_io(&http.ProxyHost, "_proxy_host");
    scan.str_io(&http.ProxyPort_str, "_proxy_port");
    scan.int_io(&http.ProxyPort_int, "_proxy_port_int", 0, 65535);
  }
  if (opr_typ == kPrefWrite) scan.close();
}
