#pragma once
// The desktop choosers of the Linux folder chooser (dialogs_linux.cpp), run as child programs.
#include <string>
#include <vector>

// The command lines of the desktop choosers, starting at folder start.
std::vector<std::string> zenity_folder_command(const std::string& prompt, const std::string& start);
std::vector<std::string> kdialog_folder_command(const std::string& prompt, const std::string& start);
// What a chooser's exit status and standard output mean: true with the folder (given a trailing
// separator) when it exited 0 with a path; false for a cancel or nothing chosen.
bool chooser_folder_from_output(int exit_status, const std::string& output, std::string* folder);
// True when a desktop display is there for a chooser to appear on.
bool desktop_display_present();
// The full path of an executable named name on PATH, empty when there is none.
std::string find_on_path(const std::string& name);
