#include "install/release_check.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "core/alert.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "files/file_utils.h"
#include "files/md5.h"
#include "files/os_files.h"
#include "files/release_signing.h"
#include "install/destination.h"
#include "install/server_list.h"
#include "install/session_state.h"
#include "net/http_client.h"

namespace {

// A signature refused this many times in a row stands; fewer may be a list replaced between two fetches.
constexpr int kListAttempts = 3;
constexpr const char* kRecordHeader = "ZEPHRA-RELEASE 1 ";

// Any key text at all turns the checks on; a text that does not read as keys leaves no key
// that could pass, so a mistyped setting refuses every release rather than checking none.
bool keys_given() { return release_keys_text()[0] != '\0'; }

const std::vector<std::string>& keys() {
  static const std::vector<std::string> parsed = [] {
    std::vector<std::string> k;
    if (!parse_public_keys(release_keys_text(), k)) k.clear();
    return k;
  }();
  return parsed;
}

// Fetches a short file and then its ".sig" through one slot, one after the other.
struct signed_fetch {
  bool busy = false;
  int step = 0;
  bool missing = false;
  std::string text, signature;

  // 0 busy, 1 done: both fetched, or missing. With max_text 0 only the signature is fetched.
  int poll(int slot, const std::string& host, const std::string& file, long long max_text) {
    if (!busy) *this = {true, max_text > 0 ? 0 : 1, false, "", ""};
    std::string local = temp_path + "release-check.tmp";
    int result = http.net_check(slot, host, step == 0 ? file : file + ".sig", local,
                                step == 0 ? max_text : kMaxSignatureBytes);
    if (result == 0) return 0;
    if (result == 1) {
      std::ifstream in(path_from_utf8(local), std::ios::binary);
      std::ostringstream all;
      all << in.rdbuf();
      (step == 0 ? text : signature) = all.str();
    }
    delete_file(local);
    if (result == 2 || ++step == 2) {
      missing = result == 2 || signature.empty();
      busy = false;
      return 1;
    }
    return 0;
  }

  // Empty when the file is signed by one of the keys, else why not.
  std::string verdict() const {
    if (missing) return "it is not signed";
    switch (check_signature(text, signature, keys())) {
      case signature_verdict::good: return "";
      case signature_verdict::unreadable: return "its signature is damaged";
      default: return "its signature does not match";
    }
  }
};

signed_fetch list_fetch, release_fetch;
int list_refusals = 0;
std::map<int, std::string> refused_servers;  // server number -> why
bool refused = false;
std::string refusal;
release_record checked;  // the release of the directory last accepted

std::string date_text(long long t) {
  std::time_t when = static_cast<std::time_t>(t);
  std::tm tm{};
#ifdef _WIN32
  gmtime_s(&tm, &when);
#else
  gmtime_r(&when, &tm);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &tm);
  return text;
}

// Empty when the release may go into dest now, else why not.
std::string fit_problem(const release_record& r, const std::string& dest) {
  if (r.expires <= static_cast<long long>(std::time(nullptr))) return "the release expired on " + date_text(r.expires);
  long long have = installed_serial(dest);
  if (r.serial < have)
    return "the release (serial " + std::to_string(r.serial) + ") is older than the one already installed in " +
           dest + " (serial " + std::to_string(have) + ")";
  return "";
}

std::string release_problem(const std::string& zip) {
  std::string why = release_fetch.verdict();
  if (!why.empty()) return why;
  release_record r;
  std::string error;
  if (!parse_release_record(release_fetch.text, r, error)) return "its release.txt won't do: " + error;
  if (r.install_name != install_name) return "its release.txt is for " + r.install_name + ", not " + install_name;
  std::string md5;
  if (calc_file_md5(zip, md5) != 0 || md5 != r.directory_md5)
    return "its directory.txt.zip is not the one its release.txt was signed for";
  why = fit_problem(r, dest_dir_path);
  if (why.empty()) checked = r;
  return why;
}

void refuse(const std::string& what, const std::string& detail) {
  refused = true;
  refusal = what;
  xer << "Release check: " << what << " " << detail << std::endl;
  MACIBM_alert(0, what, detail, "I have changed nothing in " + dest_dir_path + ".", "", alert_error);
}

}  // namespace

bool releases_checked() {
  static bool said = false;
  if (!keys_given() && !said) {
    said = true;
    xer << "Releases are not checked: this installer was built without the vendor's public keys." << std::endl;
  }
  return keys_given();
}

int check_server_list(int slot, const std::string& host, const std::string& local) {
  if (!releases_checked()) return 1;
  if (list_fetch.poll(slot, host, "/serverlist.txt", 0) == 0) return 0;
  // The list itself was already fetched into local; only its signature came through the slot.
  std::ifstream in(path_from_utf8(local), std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  list_fetch.text = all.str();
  std::string why = list_fetch.verdict();
  if (why.empty()) {
    list_refusals = 0;
    return 1;
  }
  xer << "Release check: the server list from " << host << ": " << why << "." << std::endl;
  if (++list_refusals >= kListAttempts)
    refuse("I will not use the server list from " + host + ": " + why + ".",
           "It may have been changed on its way to you; only a list signed by the vendor tells me where to get Zephra.");
  return 2;
}

bool server_list_check_pending() { return list_fetch.busy; }

int check_release(int slot, int server, const std::string& zip) {
  if (!releases_checked()) return 1;
  if (release_fetch.poll(slot, server_name[server], server_path[server] + "release.txt", kMaxReleaseRecordBytes) == 0)
    return 0;
  std::string why = release_problem(zip);
  if (why.empty()) return 1;
  std::string where = server_name[server] + server_path[server];
  xer << "Release check: " << where << ": " << why << "." << std::endl;
  refused_servers[server] = why;
  if (static_cast<int>(refused_servers.size()) >= stg.num_servers) {
    std::string detail;
    for (const auto& [n, reason] : refused_servers)
      detail += (detail.empty() ? "" : " ") + server_name[n] + server_path[n] + ": " + reason + ".";
    refuse("I will not install from any of the servers: none offers a release of " + install_name +
               " signed by the vendor that I may install.",
           detail);
  }
  return 2;
}

bool release_check_pending() { return release_fetch.busy; }
bool release_refused() { return refused; }
std::string release_refusal() { return refusal; }

bool release_fits_destination() {
  if (!releases_checked()) return true;
  std::string why = fit_problem(checked, dest_dir_path);
  if (why.empty()) return true;
  xer << "Release check: " << why << "." << std::endl;
  MACIBM_alert(0, "I will not install this release: " + why + ".", "I have changed nothing in " + dest_dir_path + ".",
               "", "", alert_error);
  return false;
}

void remember_release_installed() {
  if (!releases_checked() || checked.serial <= installed_serial(dest_dir_path)) return;
  std::string text = kRecordHeader + dest_dir_path + "\nserial " + std::to_string(checked.serial) + "\n";
  os_replacement_file file;
  int err = file.create(release_record_path(dest_dir_path));
  if (!err) err = file.write(text.data(), text.size());
  if (!err) err = file.commit();
  if (err) xer << "I could not keep the release's serial for " << dest_dir_path << ": error " << err << std::endl;
}

std::string release_record_path(const std::string& dest) { return destination_record_path(dest, "release"); }

long long installed_serial(const std::string& dest) {
  std::ifstream in(path_from_utf8(release_record_path(dest)), std::ios::binary);
  std::string header, word;
  long long serial = 0;
  // The first line names the destination, so another folder's record is never taken.
  if (!std::getline(in, header) || header != kRecordHeader + dest || !(in >> word >> serial) || word != "serial")
    return 0;
  return serial;
}
