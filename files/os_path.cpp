#include "files/os_path.h"

#include "core/alert.h"

void make_os_path(std::string& path) {
  // A longer path means a fault in the program, not in the user's data.
  if (path.size() > static_cast<size_t>(kMaxOsPath))
    MACIBM_alert(0, "String too long!", path, "", "", alert_fatal);
  for (size_t i = 0; i < path.size(); ++i) {
#ifdef _WIN32
    if (i == 1) continue;  // the colon after a drive letter
#endif
    if (is_path_sep(path[i])) path[i] = kPathSep;
  }
}
