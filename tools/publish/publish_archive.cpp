#include "tools/publish/publish_archive.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include "files/md5.h"
#include "files/zip_open.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 1 << 20;
constexpr unsigned long kMadeByUnix = (3u << 8) | 20u;  // host system Unix, zip version 2.0

struct file_closer {
  void operator()(FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

// An archive being written; closed (and so finished) by close(), abandoned by the destructor.
class zip_writer {
 public:
  ~zip_writer() {
    if (zf_) {
      if (entry_open_) zipCloseFileInZip(zf_);
      zipClose(zf_, nullptr);
    }
  }
  bool create(const std::string& path) {
    // The archive must be new: a file of this name would mean two files of the release collide.
    FILE* probe = std::fopen(path.c_str(), "wbx");
    if (!probe) return false;
    std::fclose(probe);
    zf_ = zip_open_utf8(path, APPEND_STATUS_CREATE);
    return zf_ != nullptr;
  }
  int open_entry(const std::string& name, const zip_fileinfo& info, uint64_t size) {
    int zip64 = size >= 0xffffffffull ? 1 : 0;
    int err = zipOpenNewFileInZip4_64(zf_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                      Z_BEST_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                      nullptr, 0, kMadeByUnix, 0, zip64);
    entry_open_ = err == ZIP_OK;
    return err;
  }
  int write(const void* data, size_t len) { return zipWriteInFileInZip(zf_, data, static_cast<unsigned>(len)); }
  int close_entry() {
    entry_open_ = false;
    return zipCloseFileInZip(zf_);
  }
  int close() {
    int err = zipClose(zf_, nullptr);
    zf_ = nullptr;
    return err;
  }

 private:
  zipFile zf_ = nullptr;
  bool entry_open_ = false;
};

// A zip date from a time, in local time as zip readers show it; zip dates begin in 1980.
tm_zip zip_date(std::time_t t) {
  std::tm local{};
  if (const std::tm* found = std::localtime(&t)) local = *found;  // the program has one thread
  if (local.tm_year < 80) {
    local = std::tm{};
    local.tm_mday = 1;
    local.tm_year = 80;
  }
  // Field by field: the fields of std::tm, and their types in tm_zip, differ between systems.
  tm_zip date{};
  date.tm_sec = local.tm_sec;
  date.tm_min = local.tm_min;
  date.tm_hour = local.tm_hour;
  date.tm_mday = local.tm_mday;
  date.tm_mon = local.tm_mon;
  date.tm_year = local.tm_year + 1900;
  return date;
}

// The entry's record: the file's modification time and a regular file's Unix mode.
zip_fileinfo entry_info(std::time_t modified, bool executable) {
  zip_fileinfo info{};
  info.tmz_date = zip_date(modified);
  unsigned long mode = 0100000ul | (executable ? 0755ul : 0644ul);
  info.external_fa = mode << 16;
  return info;
}

std::time_t modified_time(const std::string& path) {
  std::error_code ec;
  auto written = fs::last_write_time(path, ec);
  if (ec) return std::time(nullptr);
  return std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
}

std::string zip_failure(const std::string& zip_path, int err) {
  return "I could not write the archive " + zip_path + " (zip error " + std::to_string(err) + ").";
}

}  // namespace

bool write_file_archive(const std::string& source, const std::string& zip_path, const std::string& entry_name,
                        archived_file& result, std::string& error) {
  file_ptr in(std::fopen(source.c_str(), "rb"));
  if (!in) {
    error = "I can't read " + source + ": " + std::strerror(errno) + ".";
    return false;
  }
  std::error_code ec;
  uint64_t expected = fs::file_size(source, ec);
  if (ec) expected = 0;
  fs::perms perms = fs::status(source, ec).permissions();
  bool executable = !ec && (perms & fs::perms::owner_exec) != fs::perms::none;

  zip_writer zip;
  if (!zip.create(zip_path)) {
    error = "I could not create the archive " + zip_path + ": " + std::strerror(errno) + ".";
    return false;
  }
  int err = zip.open_entry(entry_name, entry_info(modified_time(source), executable), expected);
  if (err != ZIP_OK) {
    error = zip_failure(zip_path, err);
    return false;
  }
  MD5_CTX ctx;
  MD5Init(&ctx);
  std::vector<unsigned char> buffer(kChunk);
  uint64_t total = 0;
  for (;;) {
    size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
    if (got > 0) {
      MD5UpdateWide(&ctx, buffer.data(), got);
      total += got;
      if ((err = zip.write(buffer.data(), got)) != ZIP_OK) {
        error = zip_failure(zip_path, err);
        return false;
      }
    }
    if (got < buffer.size()) break;
  }
  if (std::ferror(in.get())) {
    error = "I could not read all of " + source + ".";
    return false;
  }
  if (total >= 0xffffffffull && expected < 0xffffffffull) {
    // The entry was opened without the large-file fields because the file was smaller then.
    error = source + " grew while I was reading it; publish from a master folder nobody is changing.";
    return false;
  }
  if ((err = zip.close_entry()) != ZIP_OK || (err = zip.close()) != ZIP_OK) {
    error = zip_failure(zip_path, err);
    return false;
  }
  result.md5 = MD5HexDigest(&ctx);
  result.file_bytes = total;
  result.zip_bytes = fs::file_size(zip_path, ec);
  if (ec) {
    error = "I can't find the archive " + zip_path + " I just wrote.";
    return false;
  }
  return true;
}

bool write_text_archive(const std::string& zip_path, const std::string& entry_name, const std::string& data,
                        std::string& error) {
  zip_writer zip;
  if (!zip.create(zip_path)) {
    error = "I could not create the archive " + zip_path + ": " + std::strerror(errno) + ".";
    return false;
  }
  zip_fileinfo info = entry_info(std::time(nullptr), false);
  int err = zip.open_entry(entry_name, info, data.size());
  if (err == ZIP_OK && !data.empty()) err = zip.write(data.data(), data.size());
  if (err == ZIP_OK) err = zip.close_entry();
  if (err == ZIP_OK) err = zip.close();
  if (err != ZIP_OK) {
    error = zip_failure(zip_path, err);
    return false;
  }
  return true;
}
