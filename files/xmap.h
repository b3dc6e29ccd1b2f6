#pragma once
// A read-only memory-mapped file with a cursor and the text scans of the system's text files.
#include <string>

class xmap_class {
 public:
  explicit xmap_class(const std::string& rel_path = std::string());
  ~xmap_class();
  xmap_class(const xmap_class&) = delete;
  xmap_class& operator=(const xmap_class&) = delete;

  // Maps rel_path in place of the current file; returns mBegin (null on failure).
  const char* retry(const std::string& rel_path);
  // The matched version of the three-line header, or 0 when it does not fit.
  int check_file(int bin_code, const int* req_version_arr, const char* req_file_str, std::string* copyright);
  void TXT_str_scan_eoln(std::string* input);
  void TXT_str_scan_space(std::string* input);
  int TXT_str_scan_match(const char* input, int eol_ok);
  int TXT_int_scan();

  int rev_inf_bin = 0;
  std::string crt_path;
  int io_opr = 0;
  const char* mBegin = nullptr;
  const char* mCrt = nullptr;
  const char* mEnd = nullptr;
  int mFile = -1;              // system file handle
  size_t mFileMapping = 0;     // bytes mapped
  // The file was opened and holds no bytes: the scanner is empty, but the file is readable.
  int mZeroLength = 0;

 private:
  void release();
};
