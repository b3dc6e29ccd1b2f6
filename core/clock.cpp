#include "core/clock.h"

#include <chrono>

xtim_class xtim;

xtim_class::xtim_class() {
  locl_date_jan1 = 90;
  locl_time = 28800.0f;
  zulu_time = 57600.0f;
  prd_max = 0.05f;
  rt_rat_FM = 1.0f;
  rt_rat_UI = 1.0f;
}

namespace {
double steady_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
constexpr double kPuffPeriods[10] = {10, 5, 2, 1, 0.5, 0.2, 0.1, 0.05, 0.025, 0.01};
}  // namespace

void xtim_class::advance() {
  double now = steady_seconds();
  if (!started_) {
    started_ = true;
    start_seconds_ = now;
  }
  set_real_time(static_cast<float>(now - start_seconds_));
}

void xtim_class::set_real_time(float seconds) {
  real_time = seconds;
  int* flags[10] = {&puff01, &puff02, &puff05, &puff1, &puff2, &puff5, &puff10, &puff20, &puff40, &puff100};
  for (int i = 0; i < 10; ++i) {
    *flags[i] = 0;
    if (real_time - last_puff_[i] >= kPuffPeriods[i]) {
      *flags[i] = 1;
      last_puff_[i] = real_time;
    }
  }
}
