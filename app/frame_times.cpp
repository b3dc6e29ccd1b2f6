#include "app/frame_times.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void frame_times::frame_began(double now) {
  began_ = true;
  if (last_ >= 0) ms_.push_back(static_cast<float>((now - last_) * 1000.0));
  last_ = now;
}

std::string frame_times::summary() const {
  if (!began_) return "";
  // A modal panel (the question about a changed file) may take all but a frame or two.
  if (ms_.empty()) return "Frame times while installing: too few frames in a row to time.";
  std::vector<float> sorted = ms_;
  std::sort(sorted.begin(), sorted.end());
  // The nearest-rank percentile: the smallest time that p of the frames do not exceed.
  auto at = [&](double p) {
    size_t rank = static_cast<size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
  };
  double total_ms = 0;
  for (float ms : sorted) total_ms += ms;
  char line[200];
  std::snprintf(line, sizeof line,
                "Frame times while installing: 50th percentile %.1f ms, 95th percentile %.1f ms, over %zu frames in "
                "%.2f s.",
                at(0.50), at(0.95), sorted.size(), total_ms / 1000.0);
  return line;
}

void frame_times::clear() {
  ms_.clear();
  last_ = -1;
  began_ = false;
}
