#include "tests/tools/publish_support.h"

#include <minizip/unzip.h>

#include <filesystem>

namespace publish_testing {

namespace {

std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

int run_publish(const std::vector<std::string>& args, std::string* out, std::string* err) {
  testing_support::TempDir logs;
  std::string command = shell_quote(ZEPHRA_BINARY_DIR "/tools/zephra-publish");
  for (const std::string& a : args) command += " " + shell_quote(a);
  command += " >" + shell_quote(logs / "out") + " 2>" + shell_quote(logs / "err");
  int status = testing_support::run_command(command);
  if (out) *out = testing_support::read_file(logs / "out");
  if (err) *err = testing_support::read_file(logs / "err");
  return status;
}

bool read_zip(const std::string& path, std::vector<zip_entry>& entries) {
  entries.clear();
  unzFile zf = unzOpen64(path.c_str());
  if (!zf) return false;
  bool ok = true;
  for (int r = unzGoToFirstFile(zf); ok && r == UNZ_OK; r = unzGoToNextFile(zf)) {
    unz_file_info64 info;
    char name[512];
    if (unzGetCurrentFileInfo64(zf, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
        unzOpenCurrentFile(zf) != UNZ_OK) {
      ok = false;
      break;
    }
    zip_entry e{name, std::string(info.uncompressed_size, '\0'), info.external_fa};
    int got = e.data.empty() ? 0 : unzReadCurrentFile(zf, e.data.data(), static_cast<unsigned>(e.data.size()));
    if (unzCloseCurrentFile(zf) != UNZ_OK || got != static_cast<int>(e.data.size())) ok = false;
    entries.push_back(e);
  }
  unzClose(zf);
  return ok;
}

int64_t kb_of(const std::string& path) {
  return static_cast<int64_t>((std::filesystem::file_size(path) + 999) / 1000);
}

}  // namespace publish_testing
