#pragma once
// Builds zip archives for the tests with minizip's writing side.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zip_maker {

struct entry {
  std::string name;
  std::string content;
  bool deflate = true;
  uint32_t unix_mode = 0;  // stored in the upper half of the external attributes when nonzero
};

// Writes the entries in order; false when minizip reports a failure.
bool make_zip(const std::string& path, const std::vector<entry>& entries);

// One entry of size bytes, produced piece by piece by fill(offset, buffer, length), so that a big
// entry never sits in memory whole.
bool make_big_zip(const std::string& path, const std::string& name, uint64_t size,
                  const std::function<void(uint64_t, unsigned char*, size_t)>& fill);

// Offset of the first occurrence of needle in the file, or -1.
int64_t find_in_file(const std::string& path, const std::string& needle);
// Flips the bits of one byte of the file in place.
void flip_byte(const std::string& path, int64_t offset);

// Peak resident memory of this process, in KiB (VmHWM), or -1.
long peak_rss_kib();

}  // namespace zip_maker
