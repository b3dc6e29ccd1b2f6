#pragma once
// Runs zephra-publish on folders made by the tests and reads back what it wrote.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace publish_testing {

// Exit status of zephra-publish with args; its standard output and error land in out and err.
int run_publish(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr);

// One entry of a zip archive.
struct zip_entry {
  std::string name;
  std::string data;
  unsigned long external_fa = 0;
};
// Every entry of the archive at path, read with minizip; false when it cannot be read whole.
bool read_zip(const std::string& path, std::vector<zip_entry>& entries);

// Kilobytes of 1000 bytes, rounded up, of the file at path.
int64_t kb_of(const std::string& path);

}  // namespace publish_testing
