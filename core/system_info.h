#pragma once
// What the log says about this machine, and the system folders the program starts from.
#include <string>
#include <vector>

std::string system_os_line();          // "Linux <release> (build <version>/<machine>) "
std::string system_cpu_type();         // the machine name
unsigned long long system_physical_memory();
// One "CPU 0: <model name>  Speed (mhz): <MHz>" line per processor that reports both.
std::vector<std::string> system_cpu_lines();

std::string system_program_file();     // full path of the running program
std::string system_home_folder();      // with a trailing separator; empty when unknown
// A private folder for this run's temporary files, made on first use; empty on failure.
std::string system_run_temp_folder();
// Removes the run's temporary folder and its contents, if it was made.
void system_remove_run_temp_folder();
// The folder of the preference file, created when missing, with a trailing separator.
std::string system_config_folder();
// The program's own folder for its state (the log, when the program's folder is not writable),
// created when missing unless make is false, with a trailing separator; empty when there is none. Never a folder that
// other programs share: $XDG_STATE_HOME/zephra/ (else ~/.local/state/zephra/), on Windows
// %LOCALAPPDATA%\Zephra\.
std::string system_state_folder(bool make = true);
// True when a file can be created in folder.
bool system_folder_writable(const std::string& folder);
