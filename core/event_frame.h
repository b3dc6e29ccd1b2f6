#pragma once
// One frame of the program's event loop, asked for by the modal panels that run until they close.
// The panels live below the shell, so the shell registers its frame routine here at start-up.
#include <functional>

// The shell's frame routine; empty in programs without a shell (tools, unit tests).
extern std::function<void()> event_frame_hook;

// Runs one frame through the registered routine. With none registered nobody can answer a panel,
// so the frame ends the loop instead: app_done is raised and the clock advanced.
void run_event_frame();
