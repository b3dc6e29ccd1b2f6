// Every program folder includes headers of its own layer and the layers below it, never above.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

// Layer of each program folder, bottom (0) to top.
const std::map<std::string, int> kLayers = {
    {"core", 0}, {"threads", 1}, {"files", 1}, {"net", 1}, {"ui", 2}, {"prefs", 3}, {"install", 3}, {"app", 4},
};

TEST(Layers, NoFolderIncludesAHeaderOfALayerAboveIt) {
  const fs::path root = ZEPHRA_SOURCE_DIR;
  const std::regex include_line(R"(^\s*#\s*include\s*"([a-z_]+)/)");
  int files_read = 0;
  for (const auto& [folder, layer] : kLayers) {
    ASSERT_TRUE(fs::is_directory(root / folder)) << folder;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp" && ext != ".S") continue;
      ++files_read;
      std::ifstream in(entry.path());
      std::string line;
      for (int number = 1; std::getline(in, line); ++number) {
        std::smatch m;
        if (!std::regex_search(line, m, include_line)) continue;
        auto target = kLayers.find(m[1].str());
        if (target == kLayers.end()) continue;
        EXPECT_LE(target->second, layer) << fs::relative(entry.path(), root).string() << ":" << number
                                         << " includes a header of " << target->first << "/, a layer above "
                                         << folder << "/: " << line;
      }
    }
  }
  EXPECT_GT(files_read, 50);
}

}  // namespace
