#pragma once
// The progress screen drawn while the directory file is read and the disk examined. The read
// blocks the frame loop, so each call must draw and present a whole frame by itself; whoever
// owns the window (or the unattended mode) installs the hook that does it. Without a hook the
// call draws nothing.
#include <functional>
#include <string>

// What one progress screen shows.
struct dir_progress_screen {
  std::string message1;      // what the read is for
  std::string activity;      // "Currently SCANNING the directory text file." or "... EXAMINING ..."
  float fill = 0.04f;        // filled part of the bar, 0.04..1
  std::string rel_path_exp;  // the file being read or examined
};

std::function<void(const dir_progress_screen&)>& dir_progress_hook();

// The bar's fill for d between d1 and d2: 0.04 + 0.96 (d - d1) / (d2 - d1), kept in 0.04..1;
// 0.52 when d1 = d2.
float dir_progress_fill(float d1, float d, float d2);

// call_type 0: scanning the directory file; 1: examining the hard disk.
void dir_progress_bar(float d1, float d, float d2, int call_type, std::string message1, std::string rel_path_exp);
