#include "files/replacement_names.h"

#include <atomic>
#include <chrono>
#include <cstddef>

namespace {
constexpr char kPartPrefix[] = ".zephra-part-";
constexpr size_t kPartSuffixLength = 10;
constexpr char kPartChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
}  // namespace

std::string replacement_file_name(unsigned long long process_id) {
  static std::atomic<unsigned> counter{0};
  unsigned long long v = process_id * 2654435761ull ^
                         static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         (static_cast<unsigned long long>(counter.fetch_add(1)) << 40);
  std::string s = kPartPrefix;
  for (size_t i = 0; i < kPartSuffixLength; ++i) {
    s += kPartChars[v % 36];
    v /= 36;
    v ^= v << 13;
    v += 0x9E3779B97F4A7C15ull;
  }
  return s;
}

bool is_replacement_file_name(const std::string& name) {
  const size_t prefix = sizeof kPartPrefix - 1;
  if (name.size() != prefix + kPartSuffixLength || name.compare(0, prefix, kPartPrefix) != 0) return false;
  for (size_t i = prefix; i < name.size(); ++i)
    if (!((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= '0' && name[i] <= '9'))) return false;
  return true;
}
