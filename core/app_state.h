#pragma once
// Process-wide state shared by every layer of the program.
#include <string>

extern int app_done;          // set to 1 by anyone to end the frame loop
extern int ogl_inited;        // 1 once the OpenGL window is up; alerts use the message box before
extern std::string app_path;  // prefix put before every path handed to the file layer; empty
extern int g_case_sensitive;  // file names are case-sensitive on this system
extern const int install_type;  // 0: network install, log beside the program
extern const int build;         // build-time switch, fixed 0
extern int counter_now;       // automatic step counter of the start-up splash
extern unsigned char* scratch_array;  // 4 MiB scratch buffer aligned to 16 bytes

constexpr int kScratchBytes = 4 * 1024 * 1024;

// Version label and build number written into the log header and the splash.
constexpr const char* kVersionLabel = "Zephra 8.50 Beta 8";
constexpr int kBuildNumber = 85008;

// The folder that holds the program, with its trailing separator; sets *case_sensitive.
void MACIBM_app_path(std::string* path, int* case_sensitive);

// The value clamped to [lo, hi].
int intlim(int value, int lo, int hi);
