#include "tests/net/net_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace net_testing {

namespace {
double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

bool send_all(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void reset_close(int fd) {
  linger l{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(fd);
}

std::string read_request(int fd) {
  std::string got;
  char c = 0;
  while (!got.ends_with("\r\n\r\n") && ::recv(fd, &c, 1, 0) == 1) got += c;
  return got.ends_with("\r\n\r\n") ? got : std::string();
}

ScriptedServer::ScriptedServer(Script script, int connections)
    : connections_(connections), script_(std::move(script)) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listen_fd_, 4) != 0 || ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error("the scripted server could not listen");
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  release();
  thread_.join();
  ::close(listen_fd_);
}

std::string ScriptedServer::request() {
  std::lock_guard<std::mutex> lock(mutex_);
  return request_;
}

void ScriptedServer::wait_release() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return released_ || stopping_; });
  released_ = false;
}

void ScriptedServer::release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
  }
  cv_.notify_all();
}

void ScriptedServer::run() {
  for (int i = 0; i < connections_ && !stopping_; ++i) serve_one();
  finished_ = true;
}

void ScriptedServer::serve_one() {
  int fd = -1;
  while (!stopping_ && fd < 0) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 20) > 0) fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }
  if (fd < 0) return;
  std::string got;
  char buf[4096];
  while (!stopping_ && got.find("\r\n\r\n") == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    request_ = got;
  }
  if (!stopping_) script_(fd, got);
  if (fd >= 0) ::close(fd);
}

int poll_slot(int o, const std::string& server, const std::string& file, const std::string& dest,
              long long max_body, double seconds, const range_start* resume) {
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    int r = http.net_check(o, server, file, dest, max_body, resume);
    if (r != 0) return r;
    if (seconds_since(start) > seconds) {
      delete http.down[o];
      http.down[o] = nullptr;
      return -1;
    }
    std::this_thread::yield();
  }
}

bool poll_until(int o, const std::string& server, const std::string& file, const std::string& dest,
                const std::function<bool(down_class&)>& done, int* result, double seconds) {
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    int r = http.net_check(o, server, file, dest);
    if (result) *result = r;
    if (r != 0) return false;
    if (http.down[o] && done(*http.down[o])) return true;
    if (seconds_since(start) > seconds) return false;
    std::this_thread::yield();
  }
}

void reset_http() {
  for (down_class*& slot : http.down) {
    delete slot;
    slot = nullptr;
  }
  http.ProxyHost.clear();
  http.ProxyPort_str.clear();
  http.ProxyPort_int = 0;
  http.EnvProxyHost.clear();
  http.EnvProxyPort = 0;
  http.EnvProxyVariable.clear();
  http.NoProxy.clear();
  http.close_kept();
}

}  // namespace net_testing
