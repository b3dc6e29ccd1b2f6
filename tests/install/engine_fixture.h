#pragma once
// Shared set-up of the install engine tests: a destination and a temporary folder of their own,
// the engine's globals back at their start values, alerts and the log captured.
#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <string>

#include "core/app_state.h"
#include "core/clock.h"
#include "files/md5.h"
#include "install/destination.h"
#include "install/directory.h"
#include "install/directory_view.h"
#include "install/file_selection.h"
#include "install/install_pass.h"
#include "install/server_list.h"
#include "install/session_state.h"
#include "install/signature_cache.h"
#include "net/http_client.h"
#include "tests/support/test_support.h"

namespace engine_test {

// The MD5 of text as 32 lowercase hex digits.
inline std::string md5_of(const std::string& text) {
  MD5_CTX ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  MD5Final(&ctx);
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned char b : ctx.digest) {
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  return out;
}

// A zip archive at zip_path holding one entry.
inline void write_zip(const std::string& zip_path, const std::string& entry, const std::string& content) {
  zipFile zf = zipOpen64(zip_path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zf, nullptr) << zip_path;
  zip_fileinfo info{};
  ASSERT_EQ(zipOpenNewFileInZip64(zf, entry.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION, 0),
            ZIP_OK);
  ASSERT_EQ(zipWriteInFileInZip(zf, content.data(), static_cast<unsigned>(content.size())), ZIP_OK);
  ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
  ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

// One current version for sim_info, built by hand.
inline file_version_struct version(const std::string& path, const std::string& sig_want,
                                   const std::string& sig_have = kSigNone, int os_type = 0) {
  file_version_struct v;
  v.path = path;
  v.sig_want = sig_want;
  v.sig_have = sig_have;
  v.os_type = os_type;
  v.on_disk = sig_have == sig_want ? 1 : 0;
  v.down_size = 1;
  v.disk_size = 2;
  return v;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The preference folder, where the signature cache goes, is the test's own.
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    sig_cache.clear();
    stg.reset();
    stg.download_os = 3;
    next = next_class{};
    sim_info.files.clear();
    deleted_files.clear();
    this_install_has_exes = 0;
    app_done = 0;
    install_name = "Zephra-8.50";
    dest_dir_path = dir / "Sim/";
    dest_user_chosen = true;  // as if named by the user
    temp_path = dir / "tmp/";
    testing_support::write_file(temp_path + ".keep", "");
    for (int i = 0; i < kMaxServers; ++i) server_name[i] = server_path[i] = server_desc[i] = "";
    select_alert_hook() = nullptr;
    dir_progress_hook() = nullptr;
    xtim.set_real_time(100.0f);
    progress_reset();
  }

  void TearDown() override {
    progress_reset();  // cancels transfers still under way
    select_alert_hook() = nullptr;
    dir_progress_hook() = nullptr;
    app_done = 0;
    testing_support::use_test_config_folder();
  }

  // Writes a directory file with the accepted header and the given records.
  std::string directory_file(const std::string& records, const std::string& header = "I\n840 version\nINSTALLER\n") {
    std::string path = dir / "directory.txt";
    testing_support::write_file(path, header + records);
    return path;
  }

  // Adds a history of one version to sim_info and returns its index.
  size_t add_file(const file_version_struct& v) {
    sim_info.files.push_back({{v}});
    return sim_info.files.size() - 1;
  }

  file_version_struct& current(size_t i) { return sim_info.files[i].versions.back(); }

  testing_support::TempDir dir;
  testing_support::AlertRecorder alerts;
  testing_support::LogCapture log;
};

}  // namespace engine_test
