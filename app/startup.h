#pragma once
// Process entry, start-up and finish-up.
#include <string>

// Whether start-up makes the window; decided from the command line and the display before it.
extern bool window_wanted;
// Start-up; argv[0] is the raw command line.
void MACIBM_init(int argc, const char* const* argv);
// Finish-up in reverse order; save writes the preference file and stops the worker threads.
void MACIBM_finishup(int save);
// Where Log.txt goes: beside the program, else the preference folder when that is not writable.
std::string log_file_path();
// The whole program: start-up, the frame loop, finish-up. Returns the exit status.
int installer_main(int argc, const char* const* argv);
