#include "install/partial_downloads.h"

#include <cstdio>

#include "core/log.h"
#include "core/own_files.h"
#include "core/utf8_paths.h"
#include "files/error_text.h"
#include "files/file_utils.h"
#include "files/os_path.h"
#include "files/os_files.h"
#include "install/session_state.h"

namespace {

constexpr char kPartialFolder[] = ".zephra-partial";
constexpr char kValidatorEnding[] = ".validator";
// A validator longer than this is no ETag or date; the side file is not trusted then.
constexpr size_t kMaxValidator = 1024;

// Per stream: the partial its latest request writes (empty: none).
std::string writing[kStreams];

std::string os_form(std::string path) {
  make_os_path(path);
  return path;
}

// The name comes from the directory file: only a signature of hex digits makes one.
bool usable_signature(const std::string& sig) {
  return sig.size() == 32 && sig.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

std::string read_validator(const std::string& path) {
  std::FILE* f = fopen_utf8(path, "rb");
  if (!f) return std::string();
  char buffer[kMaxValidator + 1];
  size_t got = std::fread(buffer, 1, sizeof buffer, f);
  std::fclose(f);
  if (got == 0 || got > kMaxValidator) return std::string();
  std::string text(buffer, got);
  // One line; anything that could break the request line is refused.
  if (text.back() != '\n') return std::string();
  text.pop_back();
  if (text.empty() || text.find_first_of("\r\n") != std::string::npos) return std::string();
  return text;
}

}  // namespace

std::string partial_folder() { return os_form(dest_dir_path + kPartialFolder + kPathSep); }

std::string partial_archive(const file_version_struct& v) {
  return partial_folder() + v.sig_want + "-" + std::to_string(v.version_num) + ".zip";
}

std::string partial_validator_file(const file_version_struct& v) { return partial_archive(v) + kValidatorEnding; }

std::string download_target(int stream, const file_version_struct& v, const std::string& own, bool starting,
                            range_start& resume) {
  resume = range_start{};
  if (stream < 0 || stream >= kStreams) return own;
  if (!starting) return writing[stream].empty() ? own : writing[stream];
  writing[stream].clear();
  if (v.down_size <= kResumableArchiveKB || !usable_signature(v.sig_want)) return own;
  const std::string partial = partial_archive(v);
  for (int other = 0; other < kStreams; ++other)
    if (other != stream && writing[other] == partial) return own;

  bool link_removed = false;
  make_own_folder(partial_folder(), link_removed);
  if (link_removed)
    xer << "A link stood where my partial downloads go (" << partial_folder()
        << "); I removed the link, not what it pointed to.\n";
  const std::string side = partial_validator_file(v);
  // Only files of ours are continued: a link in their place is removed, never written through.
  if (own_is_link(partial) || own_is_link(side)) {
    xer << "A link stood where my partial download of " << v.path << " goes; I removed the link.\n";
    remove_own_tree(partial);
    remove_own_tree(side);
  }
  os_file_stamp stamp;
  const long long have = os_stamp_file(partial, stamp) ? static_cast<long long>(stamp.size) : -1;
  const std::string validator = have > 0 ? read_validator(side) : std::string();
  if (have > 0 && !validator.empty()) {
    resume.from = have;
    resume.if_range = validator;
    xer << "I continue the download of " << v.path << " after the " << have << " bytes an earlier try left.\n";
  } else {
    std::remove(partial.c_str());
    std::remove(side.c_str());
    resume.from = 0;
  }
  resume.validator_file = side;
  writing[stream] = partial;
  return partial;
}

void remove_partial_folder() {
  for (std::string& w : writing) w.clear();
  const std::string folder = partial_folder();
  if (int err = remove_own_tree(folder))
    xer << "I could not remove the partial downloads in " << folder << ": " << error_str(err) << "\n";
}

long long partial_bytes_held() {
  long long held = 0;
  const std::string folder = partial_folder();
  if (own_is_link(folder)) return 0;
  os_folder_reader reader;
  if (!reader.open(folder)) return 0;
  std::string name;
  bool is_folder = false;
  os_file_stamp stamp;
  while (reader.next(name, is_folder))
    if (!is_folder && !own_is_link(folder + name) && os_stamp_file(folder + name, stamp))
      held += static_cast<long long>(stamp.size);
  return held;
}
