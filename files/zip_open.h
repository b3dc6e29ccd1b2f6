#pragma once
// minizip on archives named in UTF-8: its own file functions, opened through fopen_utf8.
#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <string>
#include <vector>

unzFile unz_open_utf8(const std::string& path);
// An archive held in memory; bytes must outlive the handle.
unzFile unz_open_memory(const std::vector<char>& bytes);
// append as zipOpen64 takes it (APPEND_STATUS_CREATE for a new archive).
zipFile zip_open_utf8(const std::string& path, int append);
