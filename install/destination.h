#pragma once
// The destination folder and the system folders the program starts from.
#include <functional>
#include <string>

enum os_folder_kind {
  os_dir_program = 0,
  os_dir_default_drive = 1,
  os_dir_default_dest = 2,
  os_dir_temp = 3,
  os_dir_prefs = 4,
};

// Fills out_path with a system folder (with a trailing separator); unchanged when there is none.
void get_OS_abs_path(int dir_type, std::string& out_path);
// Normalises dest_dir_path and decides whether it already holds an installation.
void check_dest_path();
// Asks the user for a folder, then examines it; 1 when a folder was chosen, 0 when cancelled.
int pick_dest_path();
// Shows the folder chooser: prompt, title and the folder it starts at; fills chosen (with a
// trailing separator) and returns true when the user picked one. Unset, nobody is asked.
extern std::function<bool(const std::string& prompt, const std::string& title, const std::string& start,
                          std::string& chosen)>
    folder_chooser;
// True when the user named the destination (chooser, command line, or a choice stored earlier),
// false when the program picked it by itself.
extern bool dest_user_chosen;
// Why the destination folder dest may not be renamed after the release, or empty when it may:
// never the root, the home folder, a folder that holds the preference folder or this program, or
// a folder the program picked by itself.
std::string destination_rename_refusal(const std::string& dest);
// A file in the preference folder that holds what the installer keeps about destination dest
// (kind "signatures", "release"): named for the folder, so each destination has its own.
std::string destination_record_path(const std::string& dest, const std::string& kind);
// What the name of every such file of that kind starts with.
std::string destination_record_stem(const std::string& kind);
// Removes the first path component, up to and including the first separator.
void trim_dest_folder(std::string& path);
// 1 when path ends in a separator.
int path_has_no_file(std::string path);
