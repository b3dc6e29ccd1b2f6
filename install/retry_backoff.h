#pragma once
// A pause before repeating a failed network request: 1 s after the first failure, doubling with
// each further failure up to 30 s, and gone again after a success. Times are seconds on the
// frame clock (xtim.real_time).

class retry_backoff {
 public:
  explicit retry_backoff(float first_pause = 1.0f, float longest_pause = 30.0f);

  // True when a new attempt may start at now.
  bool ready(float now) const;
  // A request failed at now. A failure while a pause is still running belongs to the same
  // outage (another request that was already under way) and does not lengthen the pause.
  void failed(float now);
  // A request succeeded: the next failure starts again with the first pause.
  void succeeded();

  // The pause in force since the latest failure; 0 when none.
  float pause() const { return pause_; }
  // Seconds left before the next attempt may start; 0 when ready.
  float wait_left(float now) const;

 private:
  float first_pause_;
  float longest_pause_;
  float pause_ = 0.0f;
  float failed_at_ = 0.0f;
};
