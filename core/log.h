#pragma once
// The log file Log.txt: rewritten at every start, one item per line. The previous run's log is
// kept as Log.old.txt; a run that finds Log.txt held by another run still going writes "Log 2.txt"
// (and so on) instead, so that no run's log overwrites another's.
#include <ostream>
#include <string>

extern std::ostream xer;

// Opens the log in folder (with its trailing separator) as above; the path of the file taken, or
// empty when none could be, and later lines are then lost.
std::string log_open_in(const std::string& folder);
// Opens (emptying) exactly the file at path, for tests and benchmarks.
void log_open(const std::string& path);
// Writes the header and the system-information lines, then flushes.
void log_write_header();
void log_close();
