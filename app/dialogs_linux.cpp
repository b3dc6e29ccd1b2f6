#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "app/dialogs.h"
#include "app/dialogs_linux.h"
#include "app/window.h"
#include "core/app_state.h"
#include "files/os_path.h"
#include "ui/window_state.h"

extern char** environ;

bool system_message_box(const std::string& title, const std::string& text) {
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title.c_str(), text.c_str(), nullptr) == 0;
}

bool system_open_url(const std::string& url) { return SDL_OpenURL(url.c_str()) == 0; }

namespace {

// One end of a pipe, closed when it goes.
class unique_fd {
 public:
  explicit unique_fd(int fd = -1) : fd_(fd) {}
  ~unique_fd() { reset(); }
  unique_fd(const unique_fd&) = delete;
  unique_fd& operator=(const unique_fd&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

class spawn_actions {
 public:
  spawn_actions() { posix_spawn_file_actions_init(&actions_); }
  ~spawn_actions() { posix_spawn_file_actions_destroy(&actions_); }
  spawn_actions(const spawn_actions&) = delete;
  spawn_actions& operator=(const spawn_actions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

struct child_result {
  bool started = false;
  int exit_status = -1;  // -1 when it did not exit normally or the question was withdrawn
  std::string output;
};

// Runs program (a full path) with args, its standard output captured, its standard input and
// error on /dev/null (the desktop choosers print toolkit warnings there), and waits for it.
child_result run_child(const std::string& program, const std::vector<std::string>& args) {
  auto keep_waiting = [] {
    if (mnw.context[0]) window_pump_events(0);
    return !app_done;
  };
  child_result result;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return result;
  unique_fd read_end(ends[0]), write_end(ends[1]);

  spawn_actions actions;
  posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions.get(), write_end.get(), 1);
  posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv.data(), environ) != 0) return result;
  result.started = true;
  write_end.reset();

  // Wait for the answer while the program's window keeps taking its events; a close of the window
  // withdraws the question.
  char buffer[4096];
  bool withdrawn = false;
  for (;;) {
    pollfd ready{read_end.get(), POLLIN, 0};
    int n = ::poll(&ready, 1, 50);
    if (n < 0 && errno != EINTR) break;
    if (n > 0) {
      ssize_t got = ::read(read_end.get(), buffer, sizeof buffer);
      if (got > 0) {
        result.output.append(buffer, static_cast<size_t>(got));
        continue;
      }
      if (got == 0 || errno != EINTR) break;
    }
    if (!keep_waiting()) {
      ::kill(pid, SIGTERM);
      withdrawn = true;
      break;
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (withdrawn) return result;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}

// Runs a desktop chooser when it is installed; false when it is not there (or could not start),
// so the next one can be tried. *answered tells a choice or a cancel apart.
bool try_chooser(const std::string& name, const std::vector<std::string>& command, std::string& chosen,
                 bool* answered) {
  std::string program = find_on_path(name);
  if (program.empty()) return false;
  child_result child = run_child(program, std::vector<std::string>(command.begin() + 1, command.end()));
  if (!child.started) return false;
  *answered = chooser_folder_from_output(child.exit_status, child.output, &chosen);
  return true;
}

std::string with_trailing_separator(std::string path) {
  if (!path.empty() && path.back() != kPathSep) path += kPathSep;
  return path;
}

}  // namespace

std::vector<std::string> zenity_folder_command(const std::string& prompt, const std::string& start) {
  std::vector<std::string> command = {"zenity", "--file-selection", "--directory", "--title=" + prompt};
  if (!start.empty()) command.push_back("--filename=" + with_trailing_separator(start));
  return command;
}

std::vector<std::string> kdialog_folder_command(const std::string& prompt, const std::string& start) {
  return {"kdialog", "--getexistingdirectory", start.empty() ? std::string(".") : start, "--title", prompt};
}

bool chooser_folder_from_output(int exit_status, const std::string& output, std::string* folder) {
  if (exit_status != 0) return false;
  // The chooser prints the folder on one line.
  std::string path = output.substr(0, output.find('\n'));
  if (!path.empty() && path.back() == '\r') path.pop_back();
  if (path.empty()) return false;
  *folder = with_trailing_separator(path);
  return true;
}

bool desktop_display_present() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

std::string find_on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty() || name.find('/') != std::string::npos) return "";
  std::string folders = path;
  size_t begin = 0;
  while (begin <= folders.size()) {
    size_t end = folders.find(':', begin);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(begin, end - begin);
    if (folder.empty()) folder = ".";
    std::string candidate = folder + "/" + name;
    struct stat info;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    begin = end + 1;
  }
  return "";
}

bool choose_folder(const std::string& prompt, const std::string& action, const std::string& start,
                   std::string& chosen) {
  if (desktop_display_present()) {
    bool answered = false;
    std::string picked;
    if (try_chooser("zenity", zenity_folder_command(prompt, start), picked, &answered) ||
        try_chooser("kdialog", kdialog_folder_command(prompt, start), picked, &answered)) {
      if (answered) chosen = picked;
      return answered;
    }
  }
  return folder_panel(prompt, action, start, chosen);
}
