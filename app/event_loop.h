#pragma once
// One frame of the program: input, clock, the install session, presentation.
#include <functional>

void MACIBM_event_proc();
// Runs after every frame's session step; the unattended mode acts here where a person would click.
extern std::function<void()> after_frame_hook;
