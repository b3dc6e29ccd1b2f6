#include "app/event_loop.h"

#include <chrono>
#include <thread>

#include "app/clock.h"
#include "app/window_state.h"
#include "install/session.h"
#include "install/session_state.h"

std::function<void()> after_frame_hook;

void MACIBM_event_proc() {
  // Without a window there are no messages to wait for: the wait is a plain pause.
  if (!stg.use_max_cpu) std::this_thread::sleep_for(std::chrono::milliseconds(16));
  xtim.advance();
  if (!mnw.is_modal) APP_update();
  if (after_frame_hook) after_frame_hook();
}
