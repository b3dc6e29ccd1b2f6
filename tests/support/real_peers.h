#pragma once
// Real servers for tests: nginx serving a folder and tinyproxy as an HTTP proxy. Each picks a
// free port on 127.0.0.1, writes its configuration under a temporary folder of its own,
// starts in the foreground as a child process and is stopped by its process id when the
// object goes away.
#include <sys/types.h>

#include <string>

#include "tests/support/test_support.h"

namespace testing_support {

// A TCP port on 127.0.0.1 that was free a moment ago (the kernel's pick for port 0).
int free_port();
// True once 127.0.0.1:port accepts a connection, within seconds. Gives up early when pid
// (if nonzero) has exited.
bool wait_until_accepting(int port, double seconds, pid_t pid = 0);

// A child process with its standard output and error in log_path, stopped by its id.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (searched in PATH); false when it could not be started.
  bool start(const char* const argv[], const std::string& log_path);
  // SIGTERM, then SIGKILL if it has not ended within a few seconds; reaps it.
  void stop();
  // True while the process has not ended.
  bool alive();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = 0;
};

// nginx serving the files of root (a folder) at 127.0.0.1:port().
class NginxServer {
 public:
  explicit NginxServer(const std::string& root);
  ~NginxServer() = default;
  // False when nginx is missing or did not start; why() tells more.
  bool ok() const { return ok_; }
  int port() const { return port_; }
  // "127.0.0.1:PORT", the form a server name with a port takes.
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  pid_t pid() const { return child_.pid(); }
  std::string why() const;
  // The requests served so far, one a line: connection serial number, requests on that
  // connection so far, the request line in quotes, the status.
  std::string access_log() const;

 private:
  TempDir dir_;
  ChildProcess child_;
  int port_ = 0;
  bool ok_ = false;
};

// tinyproxy accepting clients from 127.0.0.1 at 127.0.0.1:port().
class TinyProxy {
 public:
  TinyProxy();
  ~TinyProxy() = default;
  bool ok() const { return ok_; }
  int port() const { return port_; }
  pid_t pid() const { return child_.pid(); }
  std::string why() const;
  // What tinyproxy logged so far (requests it forwarded, for example).
  std::string log() const;

 private:
  TempDir dir_;
  ChildProcess child_;
  int port_ = 0;
  bool ok_ = false;
};

}  // namespace testing_support
