#pragma once
// The drawn form of the modified-file question (panel 997).
#include <string>

// Asks in panel 997 what to do with the modified file at dest_path_exp and runs frames until a
// button answers; 3 (cancel) when the panel or the program's window is closed instead, and 2
// (keep) when there is no window.
int select_alert_panel(const std::string& dest_path_exp, int is_gone);

// Where the panel puts the button of an answer (1-5): centre, width.
struct select_button_place {
  float x_center, y_center, width;
};
select_button_place select_alert_button(int answer);
