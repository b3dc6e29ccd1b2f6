#include <gtest/gtest.h>

#include "files/os_path.h"
#include "install/destination.h"
#include "install/session_state.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {
void make_installation(const std::string& folder) {
  for (const char* top : {"Airfoils", "Instructions", "Output", "Resources"})
    write_file(folder + top + "/.keep", "");
}
}  // namespace

TEST(Destination, AnInstallationIsKeptAsItIs) {
  TempDir dir;
  make_installation(dir / "Sim/");
  dest_dir_path = dir / "Sim/";
  check_dest_path();
  EXPECT_EQ(dest_dir_path, dir / "Sim/");
  EXPECT_EQ(stg.dest_is_SIM, 1);
}

TEST(Destination, AnotherFolderGetsANewInstallationFolder) {
  TempDir dir;
  write_file(dir / "Games/Other/x", "");
  dest_dir_path = dir / "Games/";
  check_dest_path();
  EXPECT_EQ(dest_dir_path, dir / "Games/Zephra/");
  EXPECT_EQ(stg.dest_is_SIM, 0);
}

TEST(Destination, AFolderNamedWithoutItsSeparatorIsStillAFolder) {
  TempDir dir;
  make_installation(dir / "Sim/");
  dest_dir_path = dir / "Sim";
  check_dest_path();
  EXPECT_EQ(dest_dir_path, dir / "Sim/");
  EXPECT_EQ(stg.dest_is_SIM, 1);
}

TEST(Destination, AMissingFolderInsideAnInstallationPicksTheInstallation) {
  TempDir dir;
  make_installation(dir / "Sim/");
  dest_dir_path = dir / "Sim/Nothing here/";
  check_dest_path();
  EXPECT_EQ(dest_dir_path, dir / "Sim/");
  EXPECT_EQ(stg.dest_is_SIM, 1);
}

TEST(Destination, PathHelpers) {
  // Converted paths carry the system's separator.
  const std::string sep(1, kPathSep);
  std::string path = "Zephra 8.50" + sep + "Resources" + sep + "x.txt";
  trim_dest_folder(path);
  EXPECT_EQ(path, "Resources" + sep + "x.txt");
  path = "nofolder";
  trim_dest_folder(path);
  EXPECT_EQ(path, "nofolder");
  EXPECT_EQ(path_has_no_file("a/b/"), 1);
  EXPECT_EQ(path_has_no_file("a:b:"), 1);
  EXPECT_EQ(path_has_no_file("a/b.txt"), 0);
  EXPECT_EQ(path_has_no_file(""), 0);
}
