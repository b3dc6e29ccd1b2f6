#pragma once
// The log file Log.txt: rewritten at every start, one item per line.
#include <fstream>
#include <string>

extern std::ofstream xer;

// Opens (truncating) the log at path; a failure leaves xer failed and later lines are lost.
void log_open(const std::string& path);
// Writes the header and the system-information lines, then flushes.
void log_write_header();
void log_close();
