#pragma once
// The zip archives of a release: one per file, holding that file alone under its bare name, so
// that the installer unpacks it straight into the file's folder.
#include <cstdint>
#include <string>

struct archived_file {
  std::string md5;          // 32 lowercase hex digits
  uint64_t file_bytes = 0;  // bytes read from the file
  uint64_t zip_bytes = 0;   // bytes of the archive written
};

// Writes zip_path (which must not exist yet) holding the file source as the one entry
// entry_name, computing the file's MD5 on the same read. False with a message in error.
bool write_file_archive(const std::string& source, const std::string& zip_path, const std::string& entry_name,
                        archived_file& result, std::string& error);

// Writes zip_path holding data as the one entry entry_name.
bool write_text_archive(const std::string& zip_path, const std::string& entry_name, const std::string& data,
                        std::string& error);
