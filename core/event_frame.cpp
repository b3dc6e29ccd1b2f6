#include "core/event_frame.h"

#include "core/app_state.h"
#include "core/clock.h"

std::function<void()> event_frame_hook;

void run_event_frame() {
  if (event_frame_hook) {
    event_frame_hook();
    return;
  }
  xtim.advance();
  app_done = 1;
}
