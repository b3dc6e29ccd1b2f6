// Times one file operation of the installer and reports the peak memory of the process:
//   zephra-bench-files md5 FILE
//   zephra-bench-files unzip ARCHIVE FOLDER/
// Output: one line "seconds=S peak_kib=K result=R".
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/peak_memory.h"
#include "files/file_utils.h"
#include "files/zip_extract.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: zephra-bench-files md5 FILE | unzip ARCHIVE FOLDER/\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  std::string mode = argv[1];
  std::string result;
  int rc = 0;
  auto start = std::chrono::steady_clock::now();
  if (mode == "md5" && argc == 3) {
    rc = calc_file_md5(argv[2], result);
  } else if (mode == "unzip" && argc == 4) {
    rc = zip_to_file(argv[2], argv[3], nullptr, 0);
    result = std::to_string(rc);
  } else {
    return usage();
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("seconds=%.3f peak_kib=%ld result=%s\n", seconds, peak_resident_kb(), result.c_str());
  return rc == 0 ? 0 : 1;
}
