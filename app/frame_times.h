#pragma once
// The window's frame times while an installation runs, told in the log when it ends.
#include <string>
#include <vector>

class frame_times {
 public:
  // Counts one frame that began at now (seconds); the first frame only sets the start.
  void frame_began(double now);
  // A frame not counted (a modal panel, say): the next counted frame starts afresh.
  void pause() { last_ = -1; }
  // "Frame times while installing: …" with the 50th and 95th percentiles; "" when no installing
  // frame began. An installation too short to time two frames in a row still says so.
  std::string summary() const;
  void clear();

 private:
  std::vector<float> ms_;
  double last_ = -1;
  bool began_ = false;
};
