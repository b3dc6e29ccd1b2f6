#include "app/shell_seams.h"

#include "app/alert_panel.h"
#include "app/dialogs.h"
#include "app/event_loop.h"
#include "app/startup.h"
#include "core/alert.h"
#include "core/event_frame.h"
#include "install/session.h"
#include "ui/sub_windows.h"

void install_shell_seams() {
  event_frame_hook = MACIBM_event_proc;
  alert_seam& alerts = alert_hooks();
  alerts.panel = [](const alert_view& view) {
    if (!alert_panel_available()) return false;
    alert_panel_run(view);
    return true;
  };
  alerts.message_box = [](const std::string& title, const std::string& text) { system_message_box(title, text); };
  alerts.finish_up = [] { MACIBM_finishup(0); };
  menu_command_hook = APP_handlemenu;
  go_to_URL_hook = [](const std::string& url) { system_open_url(url); };
}
