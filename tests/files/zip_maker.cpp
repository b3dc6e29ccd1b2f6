#include "tests/files/zip_maker.h"

#include <minizip/zip.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace zip_maker {

namespace {

bool open_entry(zipFile zf, const std::string& name, bool deflate, uint32_t unix_mode) {
  zip_fileinfo info{};
  info.external_fa = static_cast<uLong>(unix_mode) << 16;
  return zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                               deflate ? Z_DEFLATED : 0, deflate ? Z_BEST_SPEED : 0, 0) == ZIP_OK;
}

}  // namespace

bool make_zip(const std::string& path, const std::vector<entry>& entries) {
  zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zf) return false;
  bool ok = true;
  for (const entry& e : entries) {
    ok = ok && open_entry(zf, e.name, e.deflate, e.unix_mode);
    if (ok && !e.content.empty())
      ok = zipWriteInFileInZip(zf, e.content.data(), static_cast<unsigned>(e.content.size())) == ZIP_OK;
    ok = ok && zipCloseFileInZip(zf) == ZIP_OK;
  }
  return zipClose(zf, nullptr) == ZIP_OK && ok;
}

bool make_big_zip(const std::string& path, const std::string& name, uint64_t size,
                  const std::function<void(uint64_t, unsigned char*, size_t)>& fill) {
  zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zf) return false;
  zip_fileinfo info{};
  bool ok = zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_BEST_SPEED, size >= 0xFFFFFFFFull) == ZIP_OK;
  std::vector<unsigned char> piece(1 << 20);
  for (uint64_t done = 0; ok && done < size;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(piece.size(), size - done));
    fill(done, piece.data(), n);
    ok = zipWriteInFileInZip(zf, piece.data(), static_cast<unsigned>(n)) == ZIP_OK;
    done += n;
  }
  ok = ok && zipCloseFileInZip(zf) == ZIP_OK;
  return zipClose(zf, nullptr) == ZIP_OK && ok;
}

int64_t find_in_file(const std::string& path, const std::string& needle) {
  std::ifstream in(path, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t at = data.find(needle);
  return at == std::string::npos ? -1 : static_cast<int64_t>(at);
}

void flip_byte(const std::string& path, int64_t offset) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(offset);
  char c = 0;
  f.get(c);
  f.seekp(offset);
  f.put(static_cast<char>(c ^ 0xFF));
}

long peak_rss_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      std::istringstream fields(line.substr(6));
      long kib = -1;
      fields >> kib;
      return kib;
    }
  }
  return -1;
}

}  // namespace zip_maker
