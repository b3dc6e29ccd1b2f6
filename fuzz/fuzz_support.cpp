#include "fuzz/fuzz_support.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "core/alert.h"

namespace fuzz_support {

const std::string& scratch_folder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zephra-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    std::atexit([] {
      empty_folder(scratch_folder());
      rmdir(scratch_folder().c_str());
    });
    return pattern + "/";
  }();
  return folder;
}

namespace {
std::vector<std::string>* walk_list = nullptr;
size_t walk_root_size = 0;

int remove_entry(const char* path, const struct stat*, int, struct FTW* ftw) {
  if (ftw->level > 0) std::remove(path);
  return 0;
}

int list_entry(const char* path, const struct stat*, int, struct FTW* ftw) {
  if (ftw->level > 0) walk_list->push_back(std::string(path).substr(walk_root_size));
  return 0;
}
}  // namespace

void empty_folder(const std::string& folder) { nftw(folder.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS); }

std::vector<std::string> tree_of(const std::string& folder) {
  std::vector<std::string> list;
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  walk_list = &list;
  walk_root_size = root.size() + 1;
  nftw(root.c_str(), list_entry, 16, FTW_PHYS);
  walk_list = nullptr;
  return list;
}

void quiet_alerts() {
  alert_hooks().show = [](const alert_view&) {};
  alert_hooks().finish_up = [] { throw fatal_alert{}; };
  go_to_URL_hook = [](const std::string&) {};
}

bool runs_to_the_end(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const fatal_alert&) {
    in_alert = 0;
    return false;
  }
}

}  // namespace fuzz_support
