#include "files/xmap.h"

#include <cstdint>
#include <cstring>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "files/os_path.h"
#include "files/os_files.h"

namespace {

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool is_eol(char c) { return c == '\0' || c == '\r' || c == '\n'; }

}  // namespace

xmap_class::xmap_class(const std::string& rel_path) {
  if (!rel_path.empty()) retry(rel_path);
}

xmap_class::~xmap_class() { release(); }

void xmap_class::release() {
  os_mapping m{mBegin, mFileMapping, mFile};
  os_unmap_file(m);
  mBegin = mCrt = mEnd = nullptr;
  mFile = -1;
  mFileMapping = 0;
  mZeroLength = 0;
}

const char* xmap_class::retry(const std::string& rel_path) {
  std::string abs_path = app_path + rel_path;
  make_os_path(abs_path);
  release();

  os_mapping m;
  int os_err = 0;
  switch (os_map_file(abs_path, m, os_err)) {
    case os_map_status::mapped:
      mBegin = mCrt = m.data;
      mEnd = m.data + m.size;
      mFile = m.fd;
      mFileMapping = m.size;
      break;
    case os_map_status::zero_length:
      mZeroLength = 1;
      break;
    case os_map_status::not_opened:
      break;
    case os_map_status::view_failed:
      MACIBM_alert(0, "Xmapped file ran out of memory", "", "", "", alert_error);
      xer << "Mem file error.  Err=" << os_err << ", file=" << abs_path << "\n";
      xer.flush();
      break;
  }
  return mBegin;
}

int xmap_class::check_file(int bin_code, const int* req_version_arr, const char* req_file_str,
                           std::string* copyright) {
  if (bin_code != 10000 && bin_code != 10001)
    MACIBM_alert(0, "Bad check_file type!", crt_path, "", "", alert_fatal);
  if (!mBegin || mBegin == mEnd) return 0;
  mCrt = mBegin;

  int version = 0;
  if (bin_code == 10000) {
    char mark = *mCrt;
    if (mark != 'a' && mark != 'i') return 0;
    rev_inf_bin = mark == 'a' ? 1 : 0;
    if (mEnd - mBegin < 5) return 0;  // no complete version field
    uint32_t raw;
    std::memcpy(&raw, mCrt + 1, 4);
    if (rev_inf_bin) raw = __builtin_bswap32(raw);
    version = static_cast<int>(raw);
    mCrt += 5;
  } else {
    char mark = *mCrt;
    TXT_str_scan_eoln(nullptr);
    if (mark != 'A' && mark != 'I') return 0;
    version = TXT_int_scan();
    TXT_str_scan_eoln(copyright);
  }

  const int* match = nullptr;
  for (const int* v = req_version_arr; v && *v; ++v) {
    if (*v == version) {
      match = v;
      break;
    }
  }
  if (!match) return 0;

  if (req_file_str) {
    if (!TXT_str_scan_match(req_file_str, 1)) return 0;
    TXT_str_scan_eoln(nullptr);
  }
  return *match;
}

void xmap_class::TXT_str_scan_eoln(std::string* input) {
  while (mCrt < mEnd && is_blank(*mCrt)) ++mCrt;
  const char* start = mCrt;
  while (mCrt < mEnd && !is_eol(*mCrt)) ++mCrt;
  if (input) {
    if (start)
      input->assign(start, static_cast<size_t>(mCrt - start));
    else
      input->clear();
  }
  while (mCrt < mEnd && (is_eol(*mCrt) || is_blank(*mCrt))) ++mCrt;
}

void xmap_class::TXT_str_scan_space(std::string* input) {
  while (mCrt < mEnd && is_blank(*mCrt)) ++mCrt;
  const char* start = mCrt;
  while (mCrt < mEnd && !is_blank(*mCrt) && !is_eol(*mCrt)) ++mCrt;
  if (input) {
    if (start)
      input->assign(start, static_cast<size_t>(mCrt - start));
    else
      input->clear();
  }
}

int xmap_class::TXT_str_scan_match(const char* input, int eol_ok) {
  while (mCrt < mEnd && is_blank(*mCrt)) ++mCrt;
  const char* mark = mCrt;
  const char* p = mCrt;
  const char* k = input ? input : "";
  while (*k && p < mEnd && *p == *k) {
    ++p;
    ++k;
  }
  if (!*k) {
    bool at_end = p >= mEnd;
    if ((!at_end && is_blank(*p)) || (eol_ok && (at_end || is_eol(*p)))) {
      mCrt = p;
      return 1;
    }
  }
  mCrt = mark;
  return 0;
}

int xmap_class::TXT_int_scan() {
  while (mCrt < mEnd && is_blank(*mCrt)) ++mCrt;
  bool negative = false;
  if (mCrt < mEnd && *mCrt == '-') {
    negative = true;
    ++mCrt;
  }
  if (mCrt < mEnd && *mCrt == '+') {
    negative = false;
    ++mCrt;
  }
  // Unsigned, so that a long run of digits wraps instead of overflowing.
  uint32_t value = 0;
  while (mCrt < mEnd && !is_blank(*mCrt) && !is_eol(*mCrt)) {
    value = value * 10u + static_cast<uint32_t>(static_cast<unsigned char>(*mCrt) - 48);
    ++mCrt;
  }
  return static_cast<int>(negative ? 0u - value : value);
}
