#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#ifdef _WIN32
#include <process.h>
#endif

#include <gtest/gtest.h>

#include "app/shell_seams.h"
#include "core/log.h"

namespace fs = std::filesystem;

namespace {
// The variable that names the folder of the preference file.
#ifdef _WIN32
constexpr const char* kConfigFolderVariable = "APPDATA";
#else
constexpr const char* kConfigFolderVariable = "XDG_CONFIG_HOME";
#endif

// A death test's child, which its test program starts anew, ends inside its test, past the
// destructors that would remove its folders: it works in its parent's preference folder, named by
// the environment it inherits, and makes its folders inside it, for the parent to remove.
const char* death_test_parent_folder() {
  if (GTEST_FLAG_GET(internal_run_death_test).empty()) return nullptr;
  const char* parent = std::getenv(kConfigFolderVariable);
  std::error_code ec;
  return parent && *parent && fs::is_directory(parent, ec) ? parent : nullptr;
}

// A new folder of a unique name under the system's temporary folder, with a trailing "/".
std::string make_unique_temp_folder(const char* prefix) {
  const char* parent = death_test_parent_folder();
  const fs::path root = parent ? fs::path(parent) : fs::temp_directory_path();
#ifdef _WIN32
  // No mkdtemp: a numbered name that did not exist yet, made by create_directory.
  static unsigned serial = 0;
  for (;;) {
    fs::path candidate = root /
                         (std::string(prefix) + std::to_string(_getpid()) + "-" + std::to_string(serial++));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) return candidate.string() + "\\";
    if (ec) throw std::runtime_error("could not make a temporary folder");
  }
#else
  std::string pattern = (root / (std::string(prefix) + "XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern + "/";
#endif
}

// Every test program stands in for the whole program: the shell's seams are filled as after
// start-up, and its preference folder is one of its own, never the user's.
class ShellSeams : public ::testing::Environment {
 public:
  void SetUp() override {
    install_shell_seams();
    testing_support::use_test_config_folder();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(testing_support::test_config_folder(), ec);
  }
};
::testing::Environment* const shell_seams = ::testing::AddGlobalTestEnvironment(new ShellSeams);
}  // namespace

namespace testing_support {

const std::string& test_config_folder() {
  static const std::string folder = [] {
    const char* parent = death_test_parent_folder();
    return parent ? std::string(parent) : make_unique_temp_folder("zephra-config-");
  }();
  return folder;
}

void use_test_config_folder() {
#ifdef _WIN32
  _putenv_s(kConfigFolderVariable, test_config_folder().c_str());
#else
  setenv(kConfigFolderVariable, test_config_folder().c_str(), 1);
#endif
}

TempDir::TempDir() : path_(make_unique_temp_folder("zephra-test-")) {}

std::string TempDir::operator/(const std::string& relative) const {
  std::string path = path_ + relative;
#ifdef _WIN32
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests make files read-only; give write permission back so that everything can go.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); ++it)
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void write_file(const std::string& path, const std::string& content) {
  fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool file_exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }

int run_command(const std::string& command) {
  int status = std::system(command.c_str());
#ifdef _WIN32
  return status;
#else
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::vector<std::string> list_tree(const std::string& root) {
  std::vector<std::string> out;
  for (auto& entry : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(entry.path(), root).string();
    if (entry.is_directory()) rel += "/";
    out.push_back(rel);
  }
  std::sort(out.begin(), out.end());
  return out;
}

AlertRecorder::AlertRecorder() {
  alert_hooks().show = [this](const alert_view& v) {
    alerts.push_back({v.type, {v.lines[0], v.lines[1], v.lines[2], v.lines[3]}, v.reference});
  };
}

AlertRecorder::~AlertRecorder() { alert_hooks().show = nullptr; }

LogCapture::LogCapture() { log_open(dir_ / "Log.txt"); }
LogCapture::~LogCapture() { log_close(); }

std::string LogCapture::text() const {
  xer.flush();
  std::string text = read_file(dir_ / "Log.txt");
  // The log is a text file: on Windows its lines end in "\r\n".
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

}  // namespace testing_support
