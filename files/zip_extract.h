#pragma once
// Unpacks downloaded zip archives: a whole archive into a folder, or the one file an archive is for.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// True when Windows cannot hold an entry of this stored name: a component that is a reserved device
// name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any case, with or without an extension) or ends
// in a dot or a space, or a character Windows refuses (<>"|?* and control characters). Every
// separator an internal path accepts (/, \ and :) separates components. Unpacking refuses such
// entries on Windows only; the check itself is the same everywhere.
bool zip_name_unfit_for_windows(const std::string& name);

// Returns 0, or an error code for error_str. out_file receives the first entry's stored name;
// force_name writes the first entry under the name out_file holds.
int zip_to_file(std::string zip_file, std::string out_directory, std::string* out_file, int force_name);

// What a per-file archive must yield: one regular-file entry of exactly this name, inflating to
// at most max_bytes and, when md5 is not empty, with that MD5 (32 lowercase hex digits).
struct zip_entry_rules {
  std::string name;
  uint64_t max_bytes = UINT64_MAX;
  std::string md5;
};

// Unpacks from zip_file only the entry the rules name, to target (a full path), through a hidden
// temporary file beside it that replaces target only once the entry is whole and as the rules say.
// Other entries (other names, sub-paths, folders, links) are never written. The file gets 0666 with
// the entry's Unix execute bits, less the umask. Returns 0 or an error code for error_str;
// archive_fault, when given, is set when the archive is at fault (missing, damaged, without the
// entry, too big, wrong content) rather than this computer. The diagnostics go to log, or to the
// log file when it is null; a worker thread gives a stream of its own, since the log file is not
// safe to write from two threads.
int zip_extract_entry(const std::string& zip_file, const std::string& target, const zip_entry_rules& want,
                      bool* archive_fault = nullptr, std::ostream* log = nullptr);
// The same for an archive held in memory, which messages call zip_name.
int zip_extract_entry(const std::vector<char>& zip_bytes, const std::string& zip_name, const std::string& target,
                      const zip_entry_rules& want, bool* archive_fault = nullptr, std::ostream* log = nullptr);
