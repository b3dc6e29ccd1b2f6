#include "app/startup.h"

#ifdef _WIN32
#include <string>
#include <vector>

#include "app/console_win32.h"

// A window program: it prints to the console it was started from, and reads its arguments as
// UTF-16 so that any folder name arrives whole.
int main() {
  attach_parent_console();
  std::vector<std::string> args = utf8_arguments();
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  if (argv.empty()) argv.push_back("zephra-installer");
  return installer_main(static_cast<int>(argv.size()), argv.data());
}
#else
int main(int argc, char** argv) { return installer_main(argc, argv); }
#endif
