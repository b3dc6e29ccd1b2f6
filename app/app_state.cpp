#include "app/app_state.h"

#include <cstdint>

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
