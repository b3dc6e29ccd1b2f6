#include "files/zip_open.h"

#include "core/utf8_paths.h"

namespace {

// minizip's stdio functions, with the one that opens replaced.
voidpf ZCALLBACK open_utf8(voidpf, const void* filename, int mode) {
  if (!filename) return nullptr;
  const char* how = nullptr;
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ)
    how = "rb";
  else if (mode & ZLIB_FILEFUNC_MODE_EXISTING)
    how = "r+b";
  else if (mode & ZLIB_FILEFUNC_MODE_CREATE)
    how = "wb";
  return how ? fopen_utf8(static_cast<const char*>(filename), how) : nullptr;
}

zlib_filefunc64_def utf8_file_functions() {
  zlib_filefunc64_def functions;
  fill_fopen64_filefunc(&functions);
  functions.zopen64_file = open_utf8;
  return functions;
}

}  // namespace

unzFile unz_open_utf8(const std::string& path) {
  zlib_filefunc64_def functions = utf8_file_functions();
  return unzOpen2_64(path.c_str(), &functions);
}

zipFile zip_open_utf8(const std::string& path, int append) {
  zlib_filefunc64_def functions = utf8_file_functions();
  return zipOpen2_64(path.c_str(), append, nullptr, &functions);
}
