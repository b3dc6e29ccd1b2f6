#pragma once
// The alert drawn inside the program's window (panel 995), with its own loop of frames.
#include "core/alert.h"

// True when the drawn panel can be shown: a GL context exists.
bool alert_panel_available();
// Shows the alert in panel 995 and runs frames until its button (or Return) answers it. Type 0 is
// the language chooser. An error returns to sub-window close_to; a fatal alert leaves the panel open
// for the finish-up. A close of the program's window also ends the loop.
void alert_panel_run(const alert_view& view);

// Where the alert panel puts its button: centred across the panel, 18 units up.
struct alert_button_place {
  float x_center, y_center, width;
};
alert_button_place alert_panel_button();
