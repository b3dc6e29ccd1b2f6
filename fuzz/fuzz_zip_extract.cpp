// Per-file extraction of an archive as a mirror could serve it. Each input is the archive of
// the catalogued file "settings.txt", downloaded into the temporary folder and unpacked into
// the file's folder, which already holds a file of the user's. Nothing may be written outside
// that folder, nor anything in it but the catalogued file, and the user's file stays as it was.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "core/app_state.h"
#include "files/zip_extract.h"
#include "fuzz/fuzz_support.h"

namespace {

const std::string kCatalogued = "settings.txt";
const std::string kUserFile = "readme.txt";
const std::string kUserText = "changed by the user\n";

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

[[noreturn]] void finding(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = fuzz_support::scratch_folder();
  static const std::string box = root + "box/";  // everything this run may touch
  static const bool set_up = [] {
    app_path.clear();
    std::string mkdir = "mkdir -p '" + box + "tmp' '" + box + "dest/Resources'";
    if (std::system(mkdir.c_str()) != 0) std::abort();
    return true;
  }();
  (void)set_up;

  const std::string archive = box + "tmp/" + kCatalogued + ".zip";
  const std::string folder = box + "dest/Resources/";
  fuzz_support::empty_folder(folder);
  write_file(archive, std::string(reinterpret_cast<const char*>(data), size));
  write_file(folder + kUserFile, kUserText);

  zip_entry_rules want;
  want.name = kCatalogued;
  zip_extract_entry(archive, folder + kCatalogued, want);

  for (const std::string& entry : fuzz_support::tree_of(box)) {
    const std::string path = box + entry;
    if (entry == "tmp" || entry == "tmp/" + kCatalogued + ".zip" || entry == "dest" || entry == "dest/Resources")
      continue;
    if (entry.compare(0, 15, "dest/Resources/") != 0) finding("written outside the file's folder: " + path);
    if (entry != "dest/Resources/" + kCatalogued && entry != "dest/Resources/" + kUserFile)
      finding("written besides the catalogued file: " + path);
    struct stat st {};
    if (entry == "dest/Resources/" + kCatalogued && (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)))
      finding("the catalogued file is not a regular file: " + path);
  }
  if (read_file(folder + kUserFile) != kUserText)
    finding("the user's file beside the catalogued one changed");
  return 0;
}
