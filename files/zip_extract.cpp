#include "files/zip_extract.h"

#include <minizip/unzip.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <cstdint>

#include "core/app_state.h"
#include "core/log.h"
#include "files/background_md5.h"
#include "files/error_text.h"
#include "files/file_utils.h"
#include "files/md5.h"
#include "files/os_path.h"
#include "files/os_files.h"
#include "files/zip_open.h"

namespace {

// Failure sites, as printed in the diagnostics.
constexpr int kSiteOpenEntry = 1413;
constexpr int kSiteNoMemory = 1416;
constexpr int kSiteShortRead = 1418;
constexpr int kSiteCloseEntry = 1420;
constexpr int kSiteCreateFile = 1427;
constexpr int kSiteWriteFile = 1435;
constexpr int kSiteOpenZip = 1598;
constexpr int kSiteEntryFailed = 1638;
constexpr int kSiteWalkFailed = 1649;
constexpr int kSiteTooBig = 1660;
constexpr int kSiteWrongContent = 1661;
constexpr int kSiteNoEntry = 1662;

// Entries are streamed through a buffer of this size, so memory stays the same for any file size.
constexpr unsigned kChunkBytes = 256 * 1024;
// From this size on, an entry's MD5 is taken on a thread of its own while the entry unpacks.
constexpr uint64_t kHashBesideBytes = 8u << 20;

constexpr int kEndOfList = UNZ_END_OF_LIST_OF_FILE;  // -100
constexpr int kNameTooLong = 36;                      // ENAMETOOLONG
#ifndef EDQUOT
#define EDQUOT ENOSPC  // Windows has no code of its own for a full quota
#endif

// True when a stored name could lead outside the folder being unpacked into: absolute, or with a
// ".." component. Every separator an internal path accepts counts, since all of them become one.
bool leaves_folder(const std::string& name) {
  if (!name.empty() && is_path_sep(name[0])) return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !is_path_sep(name[end])) ++end;
    if (end - start == 2 && name[start] == '.' && name[start + 1] == '.') return true;
    start = end + 1;
  }
  return false;
}

// Windows reserves these names for devices, whatever extension follows them.
bool is_device_name(std::string base) {
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
    return true;
  if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  std::string number = base.substr(3);
  // The superscript digits count too: Windows reads COM¹ as COM1.
  return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xc2\xb9" ||
         number == "\xc2\xb2" || number == "\xc2\xb3";
}

#ifdef _WIN32
constexpr bool kRefuseWindowsNames = true;
#else
constexpr bool kRefuseWindowsNames = false;
#endif

int unzip_dir(const std::string& path) {
  int err = make_folder(path);
  return (err == 0 || err == 17 || err == 183) ? 0 : err;
}

// Symbolic links and Mac resource forks have no meaning here.
int unzip_symlink(const std::string& /*path*/) { return 0; }
int unzip_resource_fork(const std::string& /*path*/) { return 0; }

// What unzip_file holds one entry to.
struct entry_rules {
  uint64_t max_bytes = UINT64_MAX;        // the entry may not inflate past this
  const std::string* want_md5 = nullptr;  // the MD5 the content must have, when given
  unsigned mode = 0666;                   // for the new file, before the umask
};

// 0666 with the execute bits of an entry made on a Unix-like system (host 3 Unix, 19 macOS);
// never setuid, setgid or sticky.
unsigned file_mode(const unz_file_info64& info) {
  unsigned host = static_cast<unsigned>(info.version >> 8) & 0xff;
  if (host != 3 && host != 19) return 0666;
  return 0666 | (static_cast<unsigned>(info.external_fa >> 16) & 0111);
}

// A plain file: no folder, and no other file type (link, device, pipe) in a Unix mode.
bool is_regular_entry(const std::string& name, const unz_file_info64& info) {
  if (name.empty() || name.back() == '/') return false;
  unsigned type = static_cast<unsigned>(info.external_fa >> 16) & 0170000;
  return type == 0 || type == 0100000;
}

// Streams the current entry into a temporary file beside path and puts it in place only when
// whole, within the rules and of the right CRC. archive_fault tells a fault of the archive (damaged,
// too big, wrong content) from one of this computer (the file cannot be written).
int unzip_file(unzFile zf, std::string path, const unz_file_info64& info, unsigned char* buffer,
               const entry_rules& rules, bool& archive_fault, std::ostream& log) {
  make_os_path(path);
  archive_fault = true;
  int err = 0;
  if (info.uncompressed_size > rules.max_bytes) {
    err = kErrZipTooBig;
    set_err_site(kSiteTooBig);
  } else if ((err = unzOpenCurrentFile(zf)) != UNZ_OK) {
    set_err_site(kSiteOpenEntry);
  } else {
    // The old file stays untouched until the new content is complete and verified.
    os_replacement_file out;
    err = out.create(path, rules.mode);
    if (err) {
      set_err_site(kSiteCreateFile);
      archive_fault = false;
    }

    MD5_CTX md5;
    MD5Init(&md5);
    std::unique_ptr<background_md5> beside;
    if (info.uncompressed_size >= kHashBesideBytes) {
      try {
        beside = std::make_unique<background_md5>(kChunkBytes);
      } catch (const std::exception&) {
        // No memory or no thread for it: the hash is taken here, as for a small entry.
      }
    }
    uint64_t total = 0;
    while (!err) {
      unsigned char* chunk = beside ? beside->next_buffer() : buffer;
      int n = unzReadCurrentFile(zf, chunk, kChunkBytes);
      if (n < 0) {
        err = kErrZipRead;
        set_err_site(kSiteShortRead);
      } else if (n == 0) {
        break;
      } else if ((total += static_cast<uint64_t>(n)) > rules.max_bytes) {
        err = kErrZipTooBig;
        set_err_site(kSiteTooBig);
      } else {
        if (beside)
          beside->hand_over(static_cast<size_t>(n));
        else
          MD5UpdateWide(&md5, chunk, static_cast<size_t>(n));
        if (int write_err = out.write(chunk, static_cast<size_t>(n))) {
          err = write_err;  // the system's own reason, a full disk above all
          set_err_site(kSiteWriteFile);
          archive_fault = false;
        }
      }
    }
    if (!err && total < info.uncompressed_size) {
      err = kErrZipRead;
      set_err_site(kSiteShortRead);
    }
    // Closing the entry checks its CRC.
    int close_err = unzCloseCurrentFile(zf);
    if (!err && close_err != UNZ_OK) {
      err = close_err;
      set_err_site(kSiteCloseEntry);
    }
    const std::string digest = beside ? beside->finish() : MD5HexDigest(&md5);
    if (!err && rules.want_md5 && digest != *rules.want_md5) {
      err = kErrZipWrongContent;
      set_err_site(kSiteWrongContent);
    }
    if (!err) {
      archive_fault = false;
      int commit_err = out.commit();
      if (commit_err == EIO || commit_err == ENOSPC || commit_err == EDQUOT) {
        err = commit_err;  // a delayed write failure
        set_err_site(kSiteWriteFile);
      } else if (commit_err) {
        err = commit_err;
        set_err_site(kSiteCreateFile);
      }
    }
  }
  if (err)
    log << "Zip to file failed with error " << err << ". file = " << sErrFile << " line = " << sErrLine
        << ". inFile=" << path << ".\n";
  return err;
}

struct zip_closer {
  void operator()(void* zf) const {
    if (zf) unzClose(zf);
  }
};

}  // namespace

bool zip_name_unfit_for_windows(const std::string& name) {
  size_t start = 0;
  while (start < name.size()) {
    size_t end = start;
    while (end < name.size() && !is_path_sep(name[end])) ++end;
    std::string part = name.substr(start, end - start);
    start = end + 1;
    // Empty components (a folder's trailing separator) and "." name nothing of their own.
    if (part.empty() || part == ".") continue;
    for (char c : part)
      if (static_cast<unsigned char>(c) < 32 || std::strchr("<>\"|?*", c)) return true;
    if (part.back() == '.' || part.back() == ' ') return true;
    // The device check ignores the extension and the spaces before it: "nul .txt" is NUL.
    std::string base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (is_device_name(base)) return true;
  }
  return false;
}

int zip_to_file(std::string zip_file, std::string out_directory, std::string* out_file, int force_name) {
  zip_file = app_path + zip_file;
  out_directory = app_path + out_directory;
  make_os_path(zip_file);
  make_os_path(out_directory);

  int err = 0;
  std::unique_ptr<void, zip_closer> zf(unz_open_utf8(zip_file));
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kChunkBytes]);
  if (!zf) {
    xer << "ok i am about to report that i could not open a zip file for extraction!\n"
        << "that incoming file is " << zip_file << "\n"
        << "in c-form, it is " << zip_file.c_str() << "\n"
        << "the size is " << zip_file.size() << "\n";
    err = kErrZipOpen;
    set_err_site(kSiteOpenZip);
  } else if (!buffer) {
    err = 12;  // out of memory
    set_err_site(kSiteNoMemory);
  } else {
    bool handler_failed = false;
    unzGoToFirstFile(zf.get());
    for (bool first = true;; first = false) {
      unz_file_info64 info;
      char name_buf[kMaxOsPath + 2];
      std::memset(name_buf, 0, sizeof name_buf);
      err = unzGetCurrentFileInfo64(zf.get(), &info, name_buf, sizeof name_buf - 1, nullptr, 0, nullptr, 0);
      if (err != UNZ_OK) {
        xer << "err != UNZ_OK! err=" << err << "\n";
        break;
      }
      std::string name(name_buf, strnlen(name_buf, sizeof name_buf - 1));
      std::string target = out_directory + ((first && force_name && out_file) ? *out_file : name);

      int entry_err = 0;
      if (info.size_filename > static_cast<uLong>(kMaxOsPath) || target.size() > static_cast<size_t>(kMaxOsPath)) {
        xer << "zip entry name too long: " << name << "\n";
        entry_err = kNameTooLong;
      } else if (leaves_folder(name)) {
        xer << "zip entry points outside the folder: " << name << "\n";
        entry_err = kErrZipOutside;
      } else if (kRefuseWindowsNames && zip_name_unfit_for_windows(name)) {
        xer << "zip entry has a name Windows cannot hold: " << name << "\n";
        entry_err = kErrZipWindowsName;
      } else {
        if (first && out_file) {
          *out_file = name;
          make_os_path(*out_file);
        }
        bool is_folder = !name.empty() && name.back() == '/';
        bool mac_data = name.compare(0, 8, "__MACOSX") == 0;
        if (is_folder) {
          entry_err = mac_data ? 0 : unzip_dir(target);
        } else if (!mac_data) {
          entry_rules rules;
          rules.mode = file_mode(info);
          bool archive_fault = false;
          if (((info.external_fa >> 16) & 0xA000) == 0xA000)
            entry_err = unzip_symlink(target);
          else
            entry_err = unzip_file(zf.get(), target, info, buffer.get(), rules, archive_fault, xer);
        } else {
          entry_err = unzip_resource_fork(out_directory + (name.size() > 9 ? name.substr(9) : std::string()));
        }
      }
      if (entry_err) {
        xer << "UNZIP zip_to_file failed with err=" << entry_err << "\n";
        set_err_site(kSiteEntryFailed);
        err = entry_err;
        handler_failed = true;
        break;
      }

      err = unzGoToNextFile(zf.get());
      if (err != UNZ_OK) {
        xer << "NEXTFILE zip_to_file failed with err=" << err << "\n";
        break;
      }
    }
    if (!handler_failed) {
      if (err == kEndOfList) err = 0;
      if (err) set_err_site(kSiteWalkFailed);
    }
  }
  zf.reset();

  if (err)
    xer << "Zip to file failed with error err = " << err << ". file = " << sErrFile << " line = " << sErrLine
        << ". zip_file=" << zip_file << ", out_directory=" << out_directory << ".\n";
  xer.flush();
  return err;
}

namespace {

// Unpacks the entry the rules name from the open archive zf (null: it could not be opened), which
// zip_path names in messages.
int extract_entry(std::unique_ptr<void, zip_closer> zf, const std::string& zip_path, const std::string& target,
                  const zip_entry_rules& want, bool* archive_fault, std::ostream* log_to) {
  std::ostream& log = log_to ? *log_to : xer;
  bool fault = true;
  int err = 0;
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kChunkBytes]);
  if (!zf) {
    log << "I could not open the archive " << zip_path << " as a zip file.\n";
    err = kErrZipOpen;
    set_err_site(kSiteOpenZip);
  } else if (!buffer) {
    err = 12;  // out of memory
    fault = false;
    set_err_site(kSiteNoMemory);
  } else {
    entry_rules rules;
    rules.max_bytes = want.max_bytes;
    rules.want_md5 = want.md5.empty() ? nullptr : &want.md5;
    bool found = false;
    err = unzGoToFirstFile(zf.get());
    while (err == UNZ_OK) {
      unz_file_info64 info;
      char name_buf[kMaxOsPath + 2];
      std::memset(name_buf, 0, sizeof name_buf);
      err = unzGetCurrentFileInfo64(zf.get(), &info, name_buf, sizeof name_buf - 1, nullptr, 0, nullptr, 0);
      if (err != UNZ_OK) break;
      std::string name(name_buf, strnlen(name_buf, sizeof name_buf - 1));
      if (info.size_filename <= static_cast<uLong>(kMaxOsPath) && name == want.name &&
          is_regular_entry(name, info)) {
        rules.mode = file_mode(info);
        found = true;
        err = unzip_file(zf.get(), target, info, buffer.get(), rules, fault, log);
        break;
      }
      // Only the file the archive is for is unpacked; whatever else it holds is never written.
      log << "I am leaving out '" << name << "' of " << zip_path << ": I only unpack " << want.name
          << " from it.\n";
      err = unzGoToNextFile(zf.get());
    }
    if (!found && (err == UNZ_OK || err == kEndOfList)) {
      log << "The archive " << zip_path << " does not hold the file " << want.name << ".\n";
      err = kErrZipNoEntry;
      set_err_site(kSiteNoEntry);
    } else if (!found) {
      set_err_site(kSiteWalkFailed);
    }
  }
  zf.reset();
  if (err)
    log << "Unpacking " << want.name << " failed with error " << err << ". file = " << sErrFile
        << " line = " << sErrLine << ". zip_file=" << zip_path << ", target=" << target << ".\n";
  log.flush();
  if (archive_fault) *archive_fault = err != 0 && fault;
  return err;
}

}  // namespace

int zip_extract_entry(const std::string& zip_file, const std::string& target, const zip_entry_rules& want,
                      bool* archive_fault, std::ostream* log) {
  std::string zip_path = app_path + zip_file;
  make_os_path(zip_path);
  return extract_entry(std::unique_ptr<void, zip_closer>(unz_open_utf8(zip_path)), zip_path, target, want,
                       archive_fault, log);
}

int zip_extract_entry(const std::vector<char>& zip_bytes, const std::string& zip_name, const std::string& target,
                      const zip_entry_rules& want, bool* archive_fault, std::ostream* log) {
  return extract_entry(std::unique_ptr<void, zip_closer>(unz_open_memory(zip_bytes)), zip_name, target, want,
                       archive_fault, log);
}
