#include "files/background_md5.h"

background_md5::background_md5(size_t chunk_bytes)
    : chunk_bytes_(chunk_bytes), memory_(new unsigned char[chunk_bytes * kBuffers]) {
  MD5Init(&ctx_);
  thread_ = std::thread([this] { run(); });
}

background_md5::~background_md5() {
  if (thread_.joinable()) finish();
}

unsigned char* background_md5::next_buffer() {
  std::unique_lock<std::mutex> hold(lock_);
  // The caller is done with the buffer it handed over last; the one it gets must not be queued.
  changed_.wait(hold, [this] { return handed_ - hashed_ < kBuffers; });
  return memory_.get() + (handed_ % kBuffers) * chunk_bytes_;
}

void background_md5::hand_over(size_t n) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    sizes_[handed_ % kBuffers] = n;
    ++handed_;
  }
  changed_.notify_all();
}

void background_md5::run() {
  for (;;) {
    unsigned long long slot;
    {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [this] { return hashed_ < handed_ || finishing_; });
      if (hashed_ == handed_) return;
      slot = hashed_ % kBuffers;
    }
    MD5UpdateWide(&ctx_, memory_.get() + slot * chunk_bytes_, sizes_[slot]);
    {
      std::lock_guard<std::mutex> hold(lock_);
      ++hashed_;
    }
    changed_.notify_all();
  }
}

std::string background_md5::finish() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    finishing_ = true;
  }
  changed_.notify_all();
  thread_.join();
  return MD5HexDigest(&ctx_);
}
