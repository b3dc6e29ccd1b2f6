#pragma once
// The program's clock: seconds since the first frame, and periodic flags.

class xtim_class {
 public:
  xtim_class();
  int first_miss_cycle = 0;
  float prd_FM = 0.02f, prd_UI = 0.02f;
  float rt_rat_FM = 1.0f, rt_rat_UI = 1.0f;
  float real_time = 0.0f;
  int puff01 = 0, puff02 = 0, puff05 = 0, puff1 = 0, puff2 = 0, puff5 = 0, puff10 = 0, puff20 = 0,
      puff40 = 0, puff100 = 0;
  // Simulator leftovers kept for the resolution file and the shape of the record.
  int real_year = 0, real_month = 0, real_day = 0;
  float totl_time = 0, miss_time = 0, zulu_time = 0, locl_time = 0, timr_time = 0, hobs_time = 0;
  float prd_max = 0;
  int use_sys_time = 0, hours_offset = 0, locl_date_jan1 = 0, timer_running = 0;

  // Advances real_time from the steady clock and raises each puff flag whose period elapsed.
  void advance();
  // Sets real_time by hand (tests) and raises the flags as advance() would.
  void set_real_time(float seconds);
  void profile_chart(const char*, int) {}

 private:
  double last_puff_[10] = {};
  bool started_ = false;
  double start_seconds_ = 0;
};
extern xtim_class xtim;
