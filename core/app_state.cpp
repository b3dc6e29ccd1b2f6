#include "core/app_state.h"

#include <cstdint>

#include "core/system_info.h"

int app_done = 0;
int ogl_inited = 0;
std::string app_path;
#ifdef _WIN32
int g_case_sensitive = 0;
#else
int g_case_sensitive = 1;
#endif
const int install_type = 0;
const int build = 0;
int counter_now = 0;

namespace {
alignas(16) unsigned char scratch_block[kScratchBytes + 15];
}
unsigned char* scratch_array = scratch_block;

int intlim(int value, int lo, int hi) {
  if (value < lo) return lo;
  if (value > hi) return hi;
  return value;
}

void MACIBM_app_path(std::string* path, int* case_sensitive) {
  std::string program = system_program_file();
  path->clear();
  // Cut after the last separator, searching from the second-to-last character down to index 1.
  for (int i = static_cast<int>(program.size()) - 2; i >= 1; --i) {
    char c = program[i];
    if (c == '\\' || c == ':' || c == '/') {
      *path = program.substr(0, i + 1);
      break;
    }
  }
  if (case_sensitive) *case_sensitive = g_case_sensitive;
}
