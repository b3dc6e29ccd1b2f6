#include "install/directory_view.h"

#include <algorithm>
#include <utility>

std::function<void(const dir_progress_screen&)>& dir_progress_hook() {
  static std::function<void(const dir_progress_screen&)> hook;
  return hook;
}

float dir_progress_fill(float d1, float d, float d2) {
  if (d1 == d2) return 0.52f;
  float fill = 0.04f + 0.96f * (d - d1) / (d2 - d1);
  return std::clamp(fill, 0.04f, 1.0f);
}

void dir_progress_bar(float d1, float d, float d2, int call_type, std::string message1, std::string rel_path_exp) {
  auto& hook = dir_progress_hook();
  if (!hook) return;
  dir_progress_screen screen;
  screen.message1 = std::move(message1);
  screen.activity = call_type == 0 ? "Currently SCANNING the directory text file." : "Currently EXAMINING the hard disk.";
  screen.fill = dir_progress_fill(d1, d, d2);
  screen.rel_path_exp = std::move(rel_path_exp);
  hook(screen);
}
