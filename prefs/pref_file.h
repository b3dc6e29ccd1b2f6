#pragma once
// The preference file "Zephra Installer.prf": tagged lines, read once at start, written once at exit.
#include <climits>
#include <map>
#include <string>

// The installer's own file, and the simulator's resolution file whose tags are kept too.
constexpr int kPrefInstaller = 11;
constexpr int kPrefResolution = 10;
constexpr int kPrefRead = 0;
constexpr int kPrefWrite = 1;
constexpr const char* kPrefFileName = "Zephra Installer.prf";
// A preference file larger than this, or one that is not text, is set aside with this ending and
// the defaults are used.
constexpr long long kMaxPrefFileBytes = 1 << 20;
constexpr const char* kPrefSetAsideEnding = ".bad";

class pref_class {
 public:
  void IO_set(int prf_typ, int opr_typ);
  // Where the file of kind prf_typ lives.
  static std::string file_path(int prf_typ);
};
extern pref_class pref;

// One direction of preference traffic: reading answers look-ups from the loaded tags,
// writing turns the same calls into one line per tag.
class xmap_class;

class scan_class {
 public:
  scan_class(const std::string& path, int in_opr);
  ~scan_class();
  scan_class(const scan_class&) = delete;
  scan_class& operator=(const scan_class&) = delete;

  int fetch_or_get(const std::string& input, std::string& output, const std::string& tag);
  // Reading takes a number only when it is one, from lowest to highest; anything else leaves
  // *value as it was (the default) with one line in the log.
  int int_io(int* value, const std::string& tag, int lowest = INT_MIN, int highest = INT_MAX);
  int flt_io(float* value, const std::string& tag, float lowest, float highest);
  // A string tag: written only when non-empty, read only when present.
  void str_io(std::string* value, const std::string& tag);
  void close();

  int opr_typ;
  std::map<std::string, std::string> prefs_map;
  // Writing: where the file goes and the text gathered for it, saved as a whole by close().
  std::string write_path, write_text;

 private:
  void read_tags(xmap_class& file, const std::string& path);
};
