#pragma once
// Helpers of the network tests: a scripted one-connection server in a thread of its own,
// and loops that poll a download slot the way the frame loop does.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/http_client.h"
#include "tests/support/test_support.h"

namespace net_testing {

// Reads one request from fd up to its blank line (blocking); empty when the peer closed first.
std::string read_request(int fd);
// Writes all of data to fd (blocking).
bool send_all(int fd, const std::string& data);
// Closes fd so that the peer sees a reset instead of an orderly end.
void reset_close(int fd);

// Accepts one connection on 127.0.0.1 (or the given number, one after the other), reads the
// request up to its blank line and runs the script with the socket and the request. The socket
// is closed when the script returns (unless the script closed it and set fd to -1).
class ScriptedServer {
 public:
  using Script = std::function<void(int& fd, const std::string& request)>;
  explicit ScriptedServer(Script script, int connections = 1);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  // The request as received (empty until it has arrived).
  std::string request();

  // True once the script has returned and the connection is closed.
  bool finished() const { return finished_; }

  // For scripts: waits until the test calls release() or the server is being torn down.
  void wait_release();
  void release();

 private:
  void run();
  void serve_one();

  int listen_fd_ = -1;
  int port_ = 0;
  int connections_ = 1;
  Script script_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool released_ = false;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  std::string request_;
  std::thread thread_;
};

// Calls net_check on slot o until it answers 1 or 2 and returns that answer; -1 (and the slot
// freed) when nothing final came within the safety limit of real time. max_body and resume as for
// net_check.
int poll_slot(int o, const std::string& server, const std::string& file, const std::string& dest,
              long long max_body = -1, double seconds = 120, const range_start* resume = nullptr);
// Calls net_check while it answers 0 until done(http.down[o]) holds: true. False when the
// download ended first (result holds its answer) or the safety limit passed.
bool poll_until(int o, const std::string& server, const std::string& file, const std::string& dest,
                const std::function<bool(down_class&)>& done, int* result = nullptr, double seconds = 60);

// Frees every slot and clears the proxy settings, so that no test sees another's leftovers.
void reset_http();

}  // namespace net_testing
