#include "core/log.h"

#include <ext/stdio_filebuf.h>

#include <cerrno>
#include <fstream>
#include <memory>

#include "core/app_state.h"
#include "core/own_files.h"
#include "core/system_info.h"
#include "core/utf8_paths.h"

std::ostream xer(nullptr);

namespace {
// Runs past this many at once in one folder write no log.
constexpr int kMaxLogsAtOnce = 9;
// The previous log kept is cut at this size; a log of ours never comes near it.
constexpr size_t kMaxKeptLog = 16u << 20;

own_locked_file log_file;
std::unique_ptr<__gnu_cxx::stdio_filebuf<char>> log_buffer;
bool link_replaced = false;
// A file named by the caller (tests, benchmarks), opened as it is.
std::filebuf plain_file;

void attach_stream() {
  xer.rdbuf(nullptr);
  log_buffer.reset();
  int fd = log_file.duplicate_fd();
  if (fd < 0) return;
  log_buffer = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(fd, std::ios::out, 8192);
  xer.rdbuf(log_buffer.get());
  xer.clear();
}

std::string log_name(int n, bool old) {
  std::string stem = n == 1 ? "Log" : "Log " + std::to_string(n);
  return stem + (old ? ".old.txt" : ".txt");
}
}  // namespace

std::string log_open_in(const std::string& folder) {
  log_close();
  for (int n = 1; n <= kMaxLogsAtOnce; ++n) {
    bool link_removed = false;
    int err = log_file.open_and_lock(folder + log_name(n, false), link_removed);
    // Held by another run still going, whose log this one must not touch.
    if (err == EWOULDBLOCK) continue;
    if (err) return std::string();
    link_replaced = link_removed;
    const std::string previous = log_file.take_content(kMaxKeptLog);
    if (!previous.empty()) {
      own_locked_file old;
      bool old_link_removed = false;
      if (old.open_and_lock(folder + log_name(n, true), old_link_removed) == 0) old.replace_content(previous);
      link_replaced = link_replaced || old_link_removed;
    }
    attach_stream();
    return log_file.path();
  }
  return std::string();
}

void log_open(const std::string& path) {
  log_close();
  if (plain_file.open(path_from_utf8(path), std::ios::out | std::ios::trunc)) xer.rdbuf(&plain_file);
  xer.clear();
}

void log_close() {
  xer.flush();
  xer.rdbuf(nullptr);
  log_buffer.reset();
  log_file.close();
  if (plain_file.is_open()) plain_file.close();
  link_replaced = false;
}

void log_write_header() {
  xer << "log.txt for " << kVersionLabel << " - Installer/Updater build " << kBuildNumber << " compiled on "
      << __DATE__ << " " << __TIME__ << "\n";
  xer << "This log file is generated automatically by Quellwright applications\n"
      << "and contains diagnostics about your graphics hardware, installatoin, and\n"
      << "any error conditions.  If you need to contact tech support or file a bug,\n"
      << "please send us this file.  NOTE: this file is rewritten every time you\n"
      << "start ANY of our applications.\n"
      << "\n";
  xer << system_os_line() << "\n";
  xer << "CPU type: " << system_cpu_type() << "\n";
  unsigned long long memory = system_physical_memory();
  if (memory >= 0xFFFFFFFFull)
    xer << "Physical Memory: more than 4 GB.\n";
  else
    xer << "Physical Memory: " << memory << "\n";
  for (const std::string& line : system_cpu_lines()) xer << line << "\n";
  xer << "Lumara folder= " << app_path << " case sensitive=" << g_case_sensitive << "\n";
  if (link_replaced) xer << "A link stood where my log goes; I removed the link, not what it pointed to.\n";
  xer.flush();
}
