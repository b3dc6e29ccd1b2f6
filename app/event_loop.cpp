#include "app/event_loop.h"

#include "app/clock.h"
#include "app/window_state.h"
#include "install/session.h"
#include "install/session_state.h"
#include "net/http_client.h"

std::function<void()> after_frame_hook;

void MACIBM_event_proc() {
  // Without a window the only input is the network: wait up to 16 ms for a connection to
  // have something to do, so downloads do not idle between frames.
  if (!stg.use_max_cpu) http.wait_for_traffic(16);
  xtim.advance();
  if (!mnw.is_modal) APP_update();
  if (after_frame_hook) after_frame_hook();
}
