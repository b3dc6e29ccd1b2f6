#pragma once
// The drawn progress screen of the directory read.
#include "install/directory_view.h"

// Draws one whole progress frame and presents it at once: the read blocks the frame loop.
void dir_progress_panel(const dir_progress_screen& screen);
