#include "prefs/panels.h"

#include <cmath>

#include "app/app_state.h"

int agreed = 0;
std::function<int()> agreement_hook;

void handle_prefs() {
  // The panel is drawn by the window; without one there is nothing to edit.
}

int handle_EULA() {
  if (agreed) return 1;
  if (agreement_hook) agreed = agreement_hook() ? 1 : 0;
  return agreed;
}

int interface_rect(float, float, float, float, float, float, int, int) {
  // Image buttons need the window's background texture and mouse; without them nothing is clicked.
  return 0;
}

void interface_icon(float x1, float y1, int c) {
  interface_rect(x1, y1, static_cast<float>((c % 8) * 64), static_cast<float>((c / 8) * 64 + 66), 64, 64, 0, 0);
}

void set_size_str(float k, std::string* size_str) {
  double m = k * 0.001;
  const char* unit = " Meg";
  if (m >= 1000) {
    m *= 0.001;
    unit = " Gig";
  }
  long long whole = static_cast<long long>(std::trunc(m));
  long long tenth = static_cast<long long>(std::trunc(10 * (m - static_cast<double>(whole))));
  *size_str = (m < 0 ? "-" : "") + std::to_string(std::llabs(whole)) + "." + std::to_string(std::llabs(tenth)) + unit;
}
