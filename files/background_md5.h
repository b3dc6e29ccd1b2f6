#pragma once
// The MD5 of a long stream of bytes, taken on a thread of its own, so that the thread producing
// the bytes (unpacking a large file) does not wait for the hash.
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "files/md5.h"

class background_md5 {
 public:
  // Bytes are handed over in buffers of chunk_bytes, a few of which are in flight at once.
  explicit background_md5(size_t chunk_bytes);
  ~background_md5();
  background_md5(const background_md5&) = delete;
  background_md5& operator=(const background_md5&) = delete;

  // The buffer to fill next; waits while every buffer is still being hashed.
  unsigned char* next_buffer();
  // Hashes the first n bytes of the buffer next_buffer gave. The caller may go on reading it
  // (to write it out, say) until its next call of next_buffer.
  void hand_over(size_t n);
  // Waits for everything handed over and gives the digest as 32 lowercase hex digits.
  std::string finish();

 private:
  static constexpr int kBuffers = 4;
  void run();

  size_t chunk_bytes_;
  std::unique_ptr<unsigned char[]> memory_;
  size_t sizes_[kBuffers] = {};
  unsigned long long handed_ = 0, hashed_ = 0;
  bool finishing_ = false;
  std::mutex lock_;
  std::condition_variable changed_;
  MD5_CTX ctx_;
  std::thread thread_;
};
