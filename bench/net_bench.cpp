// Downloads files from one server by polling net_check in a tight loop, one slot per file,
// and prints the throughput and the peak resident memory.
//   net_bench HOST:PORT DEST FILE...   (DEST: a folder, or /dev/null to discard the bytes)
//   net_bench --free-port              (prints a TCP port free on 127.0.0.1, for the script)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/peak_memory.h"
#include "core/log.h"
#include "net/http_client.h"

namespace {

int print_free_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    return 1;
  std::printf("%d\n", ntohs(a.sin_port));
  ::close(fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--free-port") == 0) return print_free_port();
  if (argc < 4 || argc - 3 > kHttpSlots) {
    std::fprintf(stderr, "usage: %s HOST:PORT DEST FILE... (1 to %d files)\n", argv[0], kHttpSlots);
    return 2;
  }
  std::string server = argv[1];
  std::string dest = argv[2];
  bool discard = dest == "/dev/null";
  log_open(discard ? "/dev/stderr" : dest + "/Log.txt");

  struct Job {
    int slot;
    std::string file, out;
    int result = 0;
    long long length = 0;
  };
  std::vector<Job> jobs;
  for (int i = 3; i < argc; ++i) {
    std::string file = argv[i];
    std::string name = file.substr(file.find_last_of('/') + 1);
    jobs.push_back({i - 3, file, discard ? dest : dest + "/" + name});
  }

  auto start = std::chrono::steady_clock::now();
  for (bool busy = true; busy;) {
    busy = false;
    for (Job& j : jobs) {
      if (j.result != 0) continue;
      j.result = http.net_check(j.slot, server, j.file, j.out);
      if (j.result == 0) {
        busy = true;
        if (http.down[j.slot] && http.down[j.slot]->mIncomingLength > 0) j.length = http.down[j.slot]->mIncomingLength;
      }
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  long long bytes = 0;
  int failed = 0;
  for (const Job& j : jobs) {
    if (j.result == 1)
      bytes += j.length;
    else
      ++failed;
  }
  std::printf("slots=%zu bytes=%lld seconds=%.3f MBps=%.1f vmhwm_kb=%ld failed=%d\n", jobs.size(), bytes, seconds,
              bytes / seconds / 1e6, peak_resident_kb(), failed);
  log_close();
  return failed ? 1 : 0;
}
