#pragma once
// End-to-end runs of the real installer: a small release is written, published with
// zephra-publish, served by nginx on 127.0.0.1, and installed by zephra-installer running as a
// child process. The installer is copied into the test's own folder so that its Log.txt is the
// test's own, and its home, configuration and temporary folders lie there too. A fixture that
// sets `windows` runs the Windows build (build-win/) under Wine instead.
#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/real_peers.h"
#include "tests/support/test_support.h"

namespace e2e {

using namespace testing_support;
namespace fs = std::filesystem;

// What one run of the installer left behind.
struct install_run {
  int status = -1;
  std::string out, err, log;
};

inline std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// A release as relative path -> content below the top folder "Zephra".
using release_files = std::map<std::string, std::string>;

// The first release: plain files, an empty one, a Windows program the Linux installer skips.
inline release_files first_release() {
  return {
      {"Airfoils/NACA0012.afl", "NACA 0012 lift drag moment\n"},
      {"Airfoils/Clark Y.afl", std::string(3000, 'c') + "\n"},
      {"Instructions/Read Me.txt", "Read me first.\n"},
      {"Output/empty.txt", ""},
      {"Resources/settings.txt", "setting one\n"},
      {"Resources/old/gone.txt", "this goes away\n"},
      {"Resources/plugins/windows-tool.exe", "MZ program for Windows\n"},
  };
}

// A program for Linux: its name starts with "linux-"; published, and installed, executable.
inline bool is_linux_program(const std::string& rel) {
  return rel.rfind("linux-", 0) == 0 || rel.find("/linux-") != std::string::npos;
}

// One entry of an archive the tests write themselves, as a mirror might serve it.
struct zip_item {
  std::string name, content;
  unsigned mode = 0100644;  // a Unix mode; the archive says it was made on Unix
};

inline void write_archive(const std::string& path, const std::vector<zip_item>& items) {
  std::error_code ec;
  fs::remove(path, ec);
  zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zf, nullptr) << path;
  for (const zip_item& item : items) {
    zip_fileinfo info{};
    info.external_fa = static_cast<uLong>(item.mode) << 16;
    ASSERT_EQ(zipOpenNewFileInZip4_64(zf, item.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9, 0,
                                      -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, (3u << 8) | 20u, 0, 0),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zf, item.content.data(), static_cast<unsigned>(item.content.size())), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
  }
  ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

// The folders the installer makes for the simulator's own output.
inline const std::vector<std::string>& own_folders() {
  static const std::vector<std::string> folders{"Output/", "Output/FMS plans/", "Output/logbooks/",
                                                "Output/movies/", "Output/situations/", "Resources/",
                                                "Resources/preferences/"};
  return folders;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(site);
    fs::create_directories(home + "config");
    fs::create_directories(tmp / "tmp");
    fs::create_directories(tmp / "prog");
    if (windows) {
      installer += ".exe";
      // Its Wine prefix is made once by ./test --windows, before programs run side by side in it.
      if (!file_exists(installer_build()) || !file_exists(std::string(ZEPHRA_SOURCE_DIR) + "/build-win/wineprefix/system.reg"))
        GTEST_SKIP() << "no Windows build and Wine prefix: ./test --windows makes them";
    }
    std::error_code ec;
    fs::copy_file(installer_build(), installer, fs::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << "the installer is not built: " << ec.message();
    nginx = std::make_unique<NginxServer>(site);
    ASSERT_TRUE(nginx->ok()) << nginx->why();
  }

  // The installer under test, as the build made it.
  virtual std::string installer_build() const {
    return windows ? std::string(ZEPHRA_SOURCE_DIR) + "/build-win/app/zephra-installer.exe"
                   : std::string(ZEPHRA_BINARY_DIR) + "/app/zephra-installer";
  }

  // A path as the installer takes and prints it: under Wine, on the drive Z: that maps "/".
  std::string os_form(const std::string& path) const {
    if (!windows) return path;
    std::string out = "Z:" + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
  }

  // Writes files as the master folder tmp/<tag>/Zephra and returns that folder.
  std::string make_master(const std::string& tag, const release_files& files) {
    std::string master = tmp / (tag + "/Zephra");
    for (const auto& [rel, content] : files) {
      write_file(master + "/" + rel, content);
      if (is_linux_program(rel)) fs::permissions(master + "/" + rel, fs::perms(0755));
    }
    return master;
  }

  // Publishes master as name into the served site, listing the given servers (path and
  // description each; the first is the real one at "/"). The exit status.
  int publish(const std::string& master, const std::string& name, std::vector<std::string> extra = {},
              std::vector<std::string> paths = {"/"}) {
    std::string cmd = shell_quote(std::string(ZEPHRA_BINARY_DIR) + "/tools/zephra-publish") + " --master " +
                      shell_quote(master) + " --name " + shell_quote(name) + " --out " + shell_quote(site);
    for (const std::string& e : extra) cmd += " " + shell_quote(e);
    const std::string server = mirror.empty() ? nginx->address() : mirror;
    for (const std::string& p : paths) cmd += " --server " + server + " " + shell_quote(p) + " 'A mirror'";
    cmd += " >" + shell_quote(tmp / "publish.out") + " 2>&1";
    int status = run_command(cmd);
    if (status != 0) ADD_FAILURE() << read_file(tmp / "publish.out");
    return status;
  }

  // Runs the installer into dest with the extra options, unattended unless told otherwise.
  install_run install(const std::string& dest, const std::vector<std::string>& extra = {"--accept_eula"},
                      bool unattended = true) {
    std::string log_path = tmp / "prog/Log.txt";
    std::error_code ec;
    fs::remove(log_path, ec);
    install_run run;
    run.status = run_command(command(dest, extra, unattended, "timeout -k 5 120"));
    run.out = read_file(tmp / "run.out");
    run.err = read_file(tmp / "run.err");
    run.log = file_exists(log_path) ? read_file(log_path) : std::string();
    return run;
  }

  // The shell command of one run of the installer into dest, started through limit (a timeout
  // command), with its output in run.out and run.err (or those of another name than run).
  std::string command(const std::string& dest, const std::vector<std::string>& extra, bool unattended,
                      const std::string& limit, const std::string& output = "run") {
    // A proxy of the machine's environment must not reach the installer unless a test sets one.
    std::string cmd = "cd " + shell_quote(tmp / "tmp") + " && env -u http_proxy -u HTTP_PROXY -u no_proxy -u NO_PROXY " +
                      extra_env + " XDG_CONFIG_HOME=" + shell_quote(home + "config") + " HOME=" + shell_quote(home) +
                      " TMPDIR=" + shell_quote(tmp / "tmp") + " ";
    // Wine: the test build's own prefix, quiet, without the browser and .NET add-ons.
    if (windows)
      cmd += "APPDATA=" + shell_quote(os_form(home + "config")) + " TEMP=" + shell_quote(os_form(tmp / "tmp")) +
             " TMP=" + shell_quote(os_form(tmp / "tmp")) + " WINEPREFIX=" +
             shell_quote(std::string(ZEPHRA_SOURCE_DIR) + "/build-win/wineprefix") +
             " WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ";
    cmd += limit + " " + (windows ? "/usr/lib/wine/wine64 " : "") + shell_quote(installer) +
           (unattended ? " --unattended" : "") + " --vendor_host=" + nginx->address();
    for (const std::string& e : extra) cmd += " " + shell_quote(e);
    return cmd + " " + shell_quote(os_form(dest)) + " >" + shell_quote(tmp / (output + ".out")) + " 2>" +
           shell_quote(tmp / (output + ".err"));
  }

  // Whether rel, a file of the release, is for the system the installer runs on.
  bool for_this_system(const std::string& rel) const {
    return windows ? !is_linux_program(rel) : !rel.ends_with(".exe");
  }

  // Where the installer keeps its preferences: the test's own config folder, or under Wine the
  // roaming application data of the test prefix.
  std::string preference_file() const {
    if (!windows) return home + "config/Zephra Installer.prf";
    const passwd* user = getpwuid(getuid());
    return std::string(ZEPHRA_SOURCE_DIR) + "/build-win/wineprefix/drive_c/users/" + (user ? user->pw_name : "root") +
           "/AppData/Roaming/Zephra Installer.prf";
  }

  // The tree an installation of files should have: the files for this system, their
  // folders and the simulator's own folders.
  std::vector<std::string> expected_tree(const release_files& files) const {
    std::vector<std::string> tree = own_folders();
    for (const auto& [rel, content] : files) {
      if (!for_this_system(rel)) continue;
      tree.push_back(rel);
      for (size_t cut = rel.find('/'); cut != std::string::npos; cut = rel.find('/', cut + 1))
        tree.push_back(rel.substr(0, cut + 1));
    }
    std::sort(tree.begin(), tree.end());
    tree.erase(std::unique(tree.begin(), tree.end()), tree.end());
    return tree;
  }

  // Checks that folder holds exactly the installation of files, byte for byte; on Linux the
  // programs for Linux executable as far as the umask allows, nothing else executable.
  void expect_installed(const std::string& folder, const release_files& files) const {
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    EXPECT_EQ(list_tree(folder), expected_tree(files));
    const mode_t mask = umask(022);
    umask(mask);
    for (const auto& [rel, content] : files) {
      if (!for_this_system(rel)) continue;
      EXPECT_EQ(read_file(folder + "/" + rel), content) << rel;
      if (!windows) {
        struct stat st {};
        ASSERT_EQ(stat((folder + "/" + rel).c_str(), &st), 0) << rel;
        EXPECT_EQ(st.st_mode & 07777, (is_linux_program(rel) ? 0777u : 0666u) & ~mask) << rel;
      }
    }
  }

  static std::string describe(const install_run& run) {
    return "exit " + std::to_string(run.status) + "\n--- stdout\n" + run.out + "--- stderr\n" + run.err +
           "--- Log.txt (end)\n" + (run.log.size() > 4000 ? run.log.substr(run.log.size() - 4000) : run.log);
  }

  TempDir tmp;
  std::string site = tmp / "site";
  std::string home = tmp / "home/";
  std::string installer = tmp / "prog/zephra-installer";
  // Set by a fixture's constructor: the Windows build under Wine.
  bool windows = false;
  std::unique_ptr<NginxServer> nginx;
  // Variables set for the installer's runs, as "NAME=value ..." (quoted where needed).
  std::string extra_env;
  // HOST:PORT that publish() lists for the mirrors; empty: nginx itself.
  std::string mirror;
};

inline constexpr const char* kComplete = "INSTALLATION COMPLETE!";
inline constexpr const char* kLatest = "Your copy of Zephra is already the latest version.";

}  // namespace e2e
