#include "tests/support/real_peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace testing_support {

namespace {

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  return a;
}

// A few attempts, each on a fresh port, because the port picked may be taken in between.
constexpr int kStartAttempts = 5;
constexpr double kStartSeconds = 10.0;

}  // namespace

int free_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in a = loopback(0);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

bool wait_until_accepting(int port, double seconds, pid_t pid) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a = loopback(port);
    bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    if (up) return true;
    if (pid > 0) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) return false;  // it ended: reaped here
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool ChildProcess::start(const char* const argv[], const std::string& log_path) {
  stop();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  pid_ = pid;
  return true;
}

bool ChildProcess::alive() {
  if (pid_ <= 0) return false;
  int status = 0;
  pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  pid_ = 0;  // ended (and reaped now) or not ours any more
  return false;
}

void ChildProcess::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 250; ++i) {
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD)) {
      pid_ = 0;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, &status, 0);
  pid_ = 0;
}

// ---------------------------------------------------------------------------------------------

NginxServer::NginxServer(const std::string& root) {
  const std::string d = dir_.path();
  for (int attempt = 0; attempt < kStartAttempts && !ok_; ++attempt) {
    port_ = free_port();
    if (port_ == 0) break;
    // One process (no master), in the foreground, with every path of its own under d.
    write_file(d + "nginx.conf",
               "daemon off;\n"
               "master_process off;\n"
               "worker_processes 1;\n"
               "pid " + d + "nginx.pid;\n"
               "error_log " + d + "error.log;\n"
               "events { worker_connections 256; }\n"
               "http {\n"
               // Each line: the connection's serial number, its request count, "p" for a request that
               // came pipelined behind another (else "."), the request, the status.
               "  log_format conn '$connection $connection_requests $pipe \"$request\" $status';\n"
               "  access_log " + d + "access.log conn;\n"
               "  client_body_temp_path " + d + "client_body;\n"
               "  proxy_temp_path " + d + "proxy;\n"
               "  fastcgi_temp_path " + d + "fastcgi;\n"
               "  uwsgi_temp_path " + d + "uwsgi;\n"
               "  scgi_temp_path " + d + "scgi;\n"
               "  sendfile on;\n"
               "  default_type application/octet-stream;\n"
               "  server {\n"
               "    listen 127.0.0.1:" + std::to_string(port_) + ";\n"
               "    root " + root + ";\n"
               "  }\n"
               "}\n");
    std::string conf = d + "nginx.conf", err = d + "error.log";
    const char* argv[] = {"nginx", "-p", d.c_str(), "-e", err.c_str(), "-c", conf.c_str(), nullptr};
    if (!child_.start(argv, d + "output.log")) break;
    ok_ = wait_until_accepting(port_, kStartSeconds, child_.pid()) && child_.alive();
    if (!ok_) child_.stop();
  }
}

std::string NginxServer::access_log() const { return read_file(dir_ / "access.log"); }

std::string NginxServer::why() const {
  return read_file(dir_ / "output.log") + read_file(dir_ / "error.log");
}

TinyProxy::TinyProxy() {
  const std::string d = dir_.path();
  for (int attempt = 0; attempt < kStartAttempts && !ok_; ++attempt) {
    port_ = free_port();
    if (port_ == 0) break;
    // Run as root it only warns about the missing User line and goes on as root.
    write_file(d + "tinyproxy.conf",
               "Port " + std::to_string(port_) + "\n"
               "Listen 127.0.0.1\n"
               "Allow 127.0.0.1\n"
               "Timeout 60\n"
               "MaxClients 32\n"
               "LogLevel Info\n"
               "PidFile \"" + d + "tinyproxy.pid\"\n"
               "DisableViaHeader Yes\n");
    std::string conf = d + "tinyproxy.conf";
    const char* argv[] = {"tinyproxy", "-d", "-c", conf.c_str(), nullptr};
    if (!child_.start(argv, d + "output.log")) break;
    ok_ = wait_until_accepting(port_, kStartSeconds, child_.pid()) && child_.alive();
    if (!ok_) child_.stop();
  }
}

std::string TinyProxy::why() const { return read_file(dir_ / "output.log"); }
std::string TinyProxy::log() const { return read_file(dir_ / "output.log"); }

}  // namespace testing_support
