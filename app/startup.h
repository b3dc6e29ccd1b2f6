#pragma once
// Process entry, start-up and finish-up.
#include <string>

// Whether start-up makes the window; decided from the command line and the display before it.
extern bool window_wanted;
// Start-up; argv[0] is the raw command line.
void MACIBM_init(int argc, const char* const* argv);
// Finish-up in reverse order; save writes the preference file and stops the worker threads.
void MACIBM_finishup(int save);
// The folder Log.txt goes to: beside the program, else the program's own state folder when that
// is not writable (never a folder that other programs share); made when missing unless make is false.
std::string log_folder(bool make = true);
// The whole program: start-up, the frame loop, finish-up. Returns the exit status.
int installer_main(int argc, const char* const* argv);
