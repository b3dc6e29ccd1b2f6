#pragma once
// The benchmark programs' own peak resident memory, as the kernel keeps it.
#include <cstdlib>
#include <fstream>
#include <string>

// VmHWM of this process in kB, or -1 where the system does not tell it.
inline long peak_resident_kb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}
