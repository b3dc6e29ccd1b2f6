#pragma once
// Helpers shared by every test program.
#include <string>
#include <vector>

#include "core/alert.h"

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder with a trailing separator.
  const std::string& path() const { return path_; }
  // path() + relative, in the system's form (on Windows every "/" of relative becomes "\\").
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// The preference folder of this test program, removed at its end; use_test_config_folder()
// points XDG_CONFIG_HOME (APPDATA on Windows) at it again after a test pointed it elsewhere.
const std::string& test_config_folder();
void use_test_config_folder();

std::string read_file(const std::string& path);
// Writes content, creating the missing parent folders.
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
// Runs a shell command and returns its exit status.
int run_command(const std::string& command);
// Every file below root, as paths relative to it, sorted.
std::vector<std::string> list_tree(const std::string& root);

// One alert that reached the user.
struct recorded_alert {
  int type;
  std::string lines[4];
  std::string reference;
};

// Replaces both alert forms by a recorder while it lives, so that no test waits for a click.
class AlertRecorder {
 public:
  AlertRecorder();
  ~AlertRecorder();
  std::vector<recorded_alert> alerts;
};

// Sends the log to a file of its own while it lives and reads it back.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::string text() const;

 private:
  TempDir dir_;
};

}  // namespace testing_support
