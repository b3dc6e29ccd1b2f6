// zephra-publish: turns a release's master folder into what the download servers carry.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/alert.h"
#include "core/own_files.h"
#include "files/file_utils.h"
#include "files/os_path.h"
#include "files/release_signing.h"
#include "tools/publish/publish_archive.h"
#include "tools/publish/publish_args.h"
#include "tools/publish/publish_directory.h"
#include "tools/publish/publish_names.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr size_t kMaxProblemsShown = 20;

// New files are made with O_EXCL, since the Windows C library ignores fopen's "x"; there they must
// also be opened as binary and given a mode the library accepts.
#ifdef _WIN32
constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_BINARY;
constexpr int kNewFileMode = _S_IREAD | _S_IWRITE;
#else
constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL;
constexpr int kNewFileMode = 0666;
#endif

// Paths that leave the destination less than this many characters are published with a warning.
constexpr long kMinDestinationRoom = 200;

void say_error(const std::string& text) { std::cerr << "zephra-publish: " << text << "\n"; }
void say_note(const std::string& text) { std::cerr << "zephra-publish: note: " << text << "\n"; }

// A folder inside the output folder that receives the release while it is being written, so
// that a mirror never sees half of one; removed again unless the release was moved into place.
class staging_folder {
 public:
  ~staging_folder() {
    if (!path_.empty()) remove_own_tree(path_.string());
  }
  bool create(const fs::path& out, std::string& error) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path candidate = out / (".zephra-publish-" + std::to_string(random() % 100000000u));
      std::error_code ec;
      if (fs::create_directory(candidate, ec)) {
        path_ = candidate;
        return true;
      }
      if (ec) {
        error = "I could not make a folder in " + out.string() + ": " + ec.message() + ".";
        return false;
      }
    }
    error = "I could not find a free name for a working folder in " + out.string() + ".";
    return false;
  }
  // Moves the finished release to its place; afterwards nothing is removed.
  bool move_to(const fs::path& target, std::string& error) {
    std::error_code ec;
    fs::rename(path_, target, ec);
    if (ec) {
      error = "I could not move the release into " + target.string() + ": " + ec.message() + ".";
      return false;
    }
    path_.clear();
    return true;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Writes a new file (it must not exist yet) with text; false with a message in error.
bool write_new_file(const fs::path& path, const std::string& text, std::string& error) {
  int fd = ::open(path.string().c_str(), kNewFileFlags, kNewFileMode);
  FILE* f = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (!f) {
    error = "I could not create " + path.string() + ": " + std::strerror(errno) + ".";
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) error = "I could not write " + path.string() + ".";
  return ok;
}

// The whole content of a file; false when it cannot be read.
bool read_whole(const fs::path& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return static_cast<bool>(in);
}

// --new-key NAME: NAME.secret readable by its owner alone, NAME.public for the installer's build.
int make_key(const std::string& name) {
  std::string public_text, secret_text;
  if (!make_signing_keys(public_text, secret_text)) {
    say_error("The signing library would not start.");
    return kExitFailed;
  }
  std::string secret_path = name + ".secret", public_path = name + ".public", error;
  if (fs::exists(fs::symlink_status(public_path))) {
    say_error(public_path + " already exists; I won't replace a key.");
    return kExitFailed;
  }
  int fd = ::open(secret_path.c_str(), kNewFileFlags, kNewFileMode & 0600);
  if (fd < 0) {
    say_error(errno == EEXIST ? secret_path + " already exists; I won't replace a key."
                              : "I could not create " + secret_path + ": " + std::strerror(errno) + ".");
    return kExitFailed;
  }
  std::string line = secret_text + "\n";
  bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ok = ::close(fd) == 0 && ok;
  if (!ok) {
    fs::remove(secret_path);
    say_error("I could not write " + secret_path + ".");
    return kExitFailed;
  }
  if (!write_new_file(public_path, public_text + "\n", error)) {
    fs::remove(secret_path);
    say_error(error);
    return kExitFailed;
  }
  std::cout << "Made the key pair " << secret_path << " (keep it secret, off the mirrors) and " << public_path
            << ".\nPublic key: " << public_text << "\n";
  return 0;
}

// Writes the detached signature of the file at path beside it, as path + ".sig".
bool write_signature(const fs::path& path, const std::string& secret, std::string& error) {
  std::string bytes;
  if (!read_whole(path, bytes)) {
    error = "I could not read back " + path.string() + " to sign it.";
    return false;
  }
  return write_new_file(path.string() + ".sig", sign_text(secret, bytes), error);
}

// The folder an argument names, absolute, without a trailing separator.
fs::path folder_argument(const std::string& text) {
  std::error_code ec;
  fs::path p = fs::absolute(text, ec).lexically_normal();
  if (!p.has_filename() && p.has_parent_path() && p != p.root_path()) p = p.parent_path();
  return p;
}

bool is_inside(const fs::path& inner, const fs::path& outer) {
  auto o = outer.begin(), i = inner.begin();
  for (; o != outer.end(); ++o, ++i)
    if (i == inner.end() || *i != *o) return false;
  return true;
}

struct master_file {
  std::string release_path;  // below the top folder, "/"-separated
  fs::path source;
};

// Every file of the master folder, or the names the installer could not carry.
bool scan_master(const fs::path& master, const std::string& top, std::vector<master_file>& files,
                 std::vector<std::string>& problems) {
  std::error_code ec;
  fs::recursive_directory_iterator it(master, fs::directory_options::none, ec), end;
  if (ec) {
    problems.push_back("I can't read the master folder " + master.string() + ": " + ec.message() + ".");
    return false;
  }
  for (; it != end; it.increment(ec)) {
    fs::path source = it->path();
    std::string relative = source.lexically_relative(master).generic_string();
    std::string name = source.filename().string();
    fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    std::string problem;
    if (fs::is_symlink(status)) {
      problem = "it is a symbolic link; I publish only plain files and folders";
    } else if (fs::is_directory(status)) {
      problem = path_component_problem(name);
    } else if (fs::is_regular_file(status)) {
      problem = file_name_problem(name);
      if (problem.empty() && top.size() + 1 + relative.size() > static_cast<size_t>(kMaxOsPath))
        problem = "its path is longer than the installer's " + std::to_string(kMaxOsPath) + " characters";
      if (problem.empty()) files.push_back({relative, source});
    } else {
      problem = "it is neither a plain file nor a folder";
    }
    if (!problem.empty()) {
      problems.push_back("I can't publish " + top + "/" + relative + ": " + problem + ".");
      if (fs::is_directory(status)) it.disable_recursion_pending();
    }
  }
  if (ec) {
    problems.push_back("I could not read all of the master folder " + master.string() + ": " + ec.message() + ".");
    return false;
  }
  return problems.empty();
}

// The text of serverlist.txt.
std::string server_list_text(const publish_options& options) {
  std::string text = "I\n820 version\nSERVERS\nBETA " + options.name + "\n";
  for (const server_entry& s : options.servers) text += "SERVER " + s.host + "\n" + s.path + "\n" + s.description + "\n";
  return text + "ENDOFLIST\n";
}

int publish(const publish_options& options) {
  std::string error;
  std::error_code ec;

  fs::path master = folder_argument(options.master);
  if (!fs::is_directory(master, ec)) {
    say_error("The master folder " + options.master + " does not exist, or it is not a folder.");
    return kExitFailed;
  }
  std::string top = master.filename().string();
  std::string problem = path_component_problem(top);
  if (!problem.empty()) {
    say_error("The master folder's name '" + top + "' is the top folder of every path, and it won't do: " + problem + ".");
    return kExitFailed;
  }

  fs::path out = folder_argument(options.out);
  std::error_code master_ec, out_ec;
  fs::path master_real = fs::canonical(master, master_ec);
  fs::path out_real = fs::weakly_canonical(out, out_ec);
  if (master_ec || out_ec || is_inside(out_real, master_real)) {
    say_error(master_ec || out_ec ? "I can't tell where the output folder lies from the master folder."
                                  : "The output folder lies inside the master folder; it would end up in the next release.");
    return kExitFailed;
  }
  fs::path release_dir = out / options.name;
  fs::file_status release_status = fs::symlink_status(release_dir, ec);
  if (fs::exists(release_status) &&
      (!fs::is_directory(release_status) || !fs::is_empty(release_dir, ec) || ec)) {
    say_error("The output folder already holds " + release_dir.string() +
              ". I won't mix two publications of a release: remove it, or pick another output folder.");
    return kExitFailed;
  }

  std::string secret;
  if (!options.sign_key.empty() && (!read_whole(options.sign_key, secret) || sign_text(secret, "").empty())) {
    say_error("The signing key " + options.sign_key + " can't be read, or it is not a secret key made with --new-key.");
    return kExitFailed;
  }

  std::vector<pub_history> previous;
  if (!options.previous.empty()) {
    std::vector<std::string> notes;
    if (!read_previous_directory(options.previous, previous, notes, error)) {
      say_error(error);
      return kExitFailed;
    }
    std::set<std::string> other_tops;
    for (const pub_history& h : previous) {
      size_t slash = h.path.find('/');
      std::string their_top = slash == std::string::npos ? std::string() : h.path.substr(0, slash);
      if (their_top != top) other_tops.insert(their_top);
    }
    for (const std::string& other : other_tops)
      notes.push_back("The previous directory has files in the top folder '" + other + "'; I keep their histories under '" +
                      top + "', which the installer maps to the same place.");
    for (const std::string& note : notes) say_note(note);
  }

  std::vector<master_file> files;
  std::vector<std::string> problems;
  if (!scan_master(master, top, files, problems)) {
    for (size_t i = 0; i < problems.size() && i < kMaxProblemsShown; ++i) say_error(problems[i]);
    if (problems.size() > kMaxProblemsShown)
      say_error("... and " + std::to_string(problems.size() - kMaxProblemsShown) + " more.");
    say_error("Nothing was published.");
    return kExitFailed;
  }
  if (files.empty()) {
    say_error("The master folder " + master.string() + " holds no files; I won't publish an empty release.");
    return kExitFailed;
  }
  // The installer's limit counts the destination folder too: warn about the path that leaves it
  // least room, since installations into a longer destination will be refused.
  const auto longest = std::max_element(files.begin(), files.end(), [](const master_file& a, const master_file& b) {
    return a.release_path.size() < b.release_path.size();
  });
  if (const long room = static_cast<long>(kMaxOsPath) - static_cast<long>(longest->release_path.size());
      room < kMinDestinationRoom)
    std::cerr << "zephra-publish: warning: " << top << "/" << longest->release_path << " leaves only " << room
              << " characters for the destination folder it is installed into; installers refuse a longer one.\n";
  std::sort(files.begin(), files.end(),
            [](const master_file& a, const master_file& b) { return a.release_path < b.release_path; });

  // Every archive sits at the file's path plus ".zip" beside directory.txt; none may need a
  // folder where another one is a file (a file "a" beside a folder "a.zip", say).
  std::set<std::string> outputs{"directory.txt", "directory.txt.zip"};
  for (const master_file& f : files) outputs.insert(top + "/" + f.release_path + ".zip");
  for (const std::string& path : outputs) {
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
      if (outputs.count(path.substr(0, slash))) {
        say_error("The archive " + path.substr(0, slash) + " would have to be a folder as well, for " + path +
                  ". Rename one of the two in the master folder.");
        return kExitFailed;
      }
    }
  }

  fs::create_directories(out, ec);
  if (!fs::is_directory(out, ec)) {
    say_error("I can't make the output folder " + options.out + ".");
    return kExitFailed;
  }
  staging_folder staging;
  if (!staging.create(out, error)) {
    say_error(error);
    return kExitFailed;
  }
  std::cout << "Packing " << files.size() << " files of " << options.name << "...\n" << std::flush;
  std::vector<current_file> current;
  current.reserve(files.size());
  uint64_t total_zip_bytes = 0;
  for (const master_file& f : files) {
    std::string path = top + "/" + f.release_path;
    fs::path zip_path = staging.path() / (path + ".zip");
    fs::create_directories(zip_path.parent_path(), ec);
    if (ec) {
      say_error("I could not make the folder " + zip_path.parent_path().string() + ": " + ec.message() + ".");
      return kExitFailed;
    }
    archived_file archived;
    if (!write_file_archive(f.source.string(), zip_path.string(), f.source.filename().string(), archived, error)) {
      say_error(error);
      return kExitFailed;
    }
    total_zip_bytes += archived.zip_bytes;
    current.push_back({path, os_code_for(options.os_rules, f.release_path), archived.md5, whole_kb(archived.zip_bytes),
                       whole_kb(archived.file_bytes)});
  }

  merge_counts counts;
  std::vector<pub_history> histories = merge_release(previous, current, top, options.number, counts);
  std::string directory = directory_text(histories);
  if (!write_new_file(staging.path() / "directory.txt", directory, error) ||
      !write_text_archive((staging.path() / "directory.txt.zip").string(), "directory.txt", directory, error)) {
    say_error(error);
    return kExitFailed;
  }
  release_record record;
  if (!secret.empty()) {
    // The signed record ties the directory archive to its release, its serial and its expiry.
    record.serial = options.serial >= 0 ? options.serial : static_cast<long long>(std::time(nullptr));
    record.expires = static_cast<long long>(std::time(nullptr)) + options.expires_days * 86400LL;
    record.install_name = options.name;
    fs::path zip = staging.path() / "directory.txt.zip";
    if (calc_file_md5(zip.string(), record.directory_md5) != 0 ||
        !write_signature(zip, secret, error) ||
        !write_new_file(staging.path() / "release.txt", release_record_text(record), error) ||
        !write_signature(staging.path() / "release.txt", secret, error)) {
      say_error(error.empty() ? "I could not read back the directory archive to sign it." : error);
      return kExitFailed;
    }
  }

  // The server list goes into place last, so that it never names a release that is not there.
  fs::path list_temp = staging.path() / "serverlist.txt";
  if (!write_new_file(list_temp, server_list_text(options), error) ||
      (!secret.empty() && !write_signature(list_temp, secret, error))) {
    say_error(error);
    return kExitFailed;
  }
  fs::path list_path = out / "serverlist.txt";
  fs::path list_ready = out / (staging.path().filename().string() + "-serverlist.txt");
  fs::rename(list_temp, list_ready, ec);
  if (ec) {
    say_error("I could not write " + list_path.string() + ": " + ec.message() + ".");
    return kExitFailed;
  }
  if (!staging.move_to(release_dir, error)) {
    fs::remove(list_ready, ec);
    say_error(error);
    return kExitFailed;
  }
  // The list's signature goes first: an installer that meets a new signature beside the old list
  // refuses it and asks again.
  // An unsigned list drops the signature of the list before it.
  if (!secret.empty())
    fs::rename(release_dir / "serverlist.txt.sig", out / "serverlist.txt.sig", ec);
  else
    fs::remove(out / "serverlist.txt.sig", ec);
  if (!ec) fs::rename(list_ready, list_path, ec);
  if (ec) {
    fs::remove(list_ready, ec);
    say_error("The release is in place in " + release_dir.string() + ", but I could not write " + list_path.string() +
              ": " + ec.message() + ".");
    return kExitFailed;
  }

  std::cout << "Published " << options.name << " into " << release_dir.string() << ": " << files.size()
            << " files (" << counts.added << " new, " << counts.changed << " changed, " << counts.unchanged
            << " unchanged), " << counts.removed << " removed, " << whole_kb(total_zip_bytes)
            << " kB of archives.\n"
            << "Server list: " << list_path.string() << " with " << options.servers.size() << " server"
            << (options.servers.size() == 1 ? "" : "s") << ".\n";
  if (!secret.empty())
    std::cout << "Signed: serial " << record.serial << ", expires " << record.expires << " (Unix time)"
              << (options.expires_days <= 0 ? ", already expired" : "") << ".\n";
  if (options.servers.empty())
    say_note("The server list names no server; installers find nothing to download until it does.");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Alerts from the shared file layer go to the terminal; nobody is there to click a box.
  alert_hooks().show = [](const alert_view& view) {
    for (const std::string& line : view.lines)
      if (!line.empty()) say_error(line);
  };
  publish_options options;
  std::string error;
  if (!parse_publish_args(argc, argv, options, error)) {
    say_error(error);
    std::cerr << "Try 'zephra-publish --help'.\n";
    return kExitUsage;
  }
  if (options.help) {
    std::cout << publish_usage();
    return 0;
  }
  if (!options.new_key.empty()) return make_key(options.new_key);
  return publish(options);
}
