#include "install/retry_backoff.h"

#include <algorithm>

retry_backoff::retry_backoff(float first_pause, float longest_pause)
    : first_pause_(first_pause), longest_pause_(std::max(longest_pause, first_pause)) {}

bool retry_backoff::ready(float now) const {
  // A clock set back (a test, a restarted timer) must not hold requests back for good.
  return pause_ <= 0.0f || now >= failed_at_ + pause_ || now < failed_at_;
}

void retry_backoff::failed(float now) {
  if (pause_ > 0.0f && !ready(now)) return;
  pause_ = pause_ <= 0.0f ? first_pause_ : std::min(pause_ * 2.0f, longest_pause_);
  failed_at_ = now;
}

void retry_backoff::succeeded() {
  pause_ = 0.0f;
  failed_at_ = 0.0f;
}

float retry_backoff::wait_left(float now) const {
  return ready(now) ? 0.0f : failed_at_ + pause_ - now;
}
