#include "core/log.h"

#include "core/app_state.h"
#include "core/system_info.h"
#include "core/utf8_paths.h"

std::ofstream xer;

void log_open(const std::string& path) {
  if (xer.is_open()) xer.close();
  xer.clear();
  xer.open(path_from_utf8(path), std::ios::out | std::ios::trunc);
}

void log_close() {
  if (xer.is_open()) xer.close();
  xer.clear();
}

void log_write_header() {
  xer << "log.txt for " << kVersionLabel << " - Installer/Updater build " << kBuildNumber << " compiled on "
      << __DATE__ << " " << __TIME__ << "\n";
  xer << "This log file is generated automatically by Quellwright applications\n"
      << "and contains diagnostics about your graphics hardware, installatoin, and\n"
      << "any error conditions.  If you need to contact tech support or file a bug,\n"
      << "please send us this file.  NOTE: this file is rewritten every time you\n"
      << "start ANY of our applications.\n"
      << "\n";
  xer << system_os_line() << "\n";
  xer << "CPU type: " << system_cpu_type() << "\n";
  unsigned long long memory = system_physical_memory();
  if (memory >= 0xFFFFFFFFull)
    xer << "Physical Memory: more than 4 GB.\n";
  else
    xer << "Physical Memory: " << memory << "\n";
  for (const std::string& line : system_cpu_lines()) xer << line << "\n";
  xer << "Lumara folder= " << app_path << " case sensitive=" << g_case_sensitive << "\n";
  xer.flush();
}
