#include "files/zip_open.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/utf8_paths.h"

namespace {

// An archive read through one window of its bytes. minizip seeks before nearly every small read
// (it steps backwards through the last 64 kB looking for the directory, then reads headers a
// byte at a time); through stdio each seek dropped the buffer, so a 100 kB archive cost some 80
// lseek and 60 read calls. Here seeking is free and one read covers a small archive whole.
constexpr size_t kWindowBytes = 256 * 1024;

// One window per thread, reused from archive to archive: a new 256 kB block each time would be
// mapped and unmapped by the allocator, which costs more than the reads it saves.
struct window_buffer {
  std::vector<unsigned char> bytes;
  bool in_use = false;
};
thread_local window_buffer spare_window;

struct archive_reader {
  std::FILE* file = nullptr;
  uint64_t size = 0, pos = 0;
  uint64_t window_start = 0;
  size_t window_len = 0;
  std::vector<unsigned char> own_window;  // only while this thread's spare is taken
  unsigned char* window = nullptr;
  int error = 0;
};

bool seek_file(std::FILE* f, uint64_t offset, int origin) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<int64_t>(offset), origin) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), origin) == 0;
#endif
}

uint64_t file_size(std::FILE* f) {
  if (!seek_file(f, 0, SEEK_END)) return 0;
#ifdef _WIN32
  int64_t end = _ftelli64(f);
#else
  int64_t end = ftello(f);
#endif
  return end > 0 ? static_cast<uint64_t>(end) : 0;
}

voidpf ZCALLBACK reader_open(voidpf, const void* filename, int mode) {
  if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  std::FILE* f = fopen_utf8(static_cast<const char*>(filename), "rb");
  if (!f) return nullptr;
  std::setvbuf(f, nullptr, _IONBF, 0);  // the window is the only buffer
  auto* r = new archive_reader;
  r->file = f;
  r->size = file_size(f);
  if (!spare_window.in_use) {
    spare_window.in_use = true;
    spare_window.bytes.resize(kWindowBytes);
    r->window = spare_window.bytes.data();
  } else {
    r->own_window.resize(kWindowBytes);
    r->window = r->own_window.data();
  }
  return r;
}

// An archive already in memory is one window over all of it, with no file behind.
voidpf ZCALLBACK memory_open(voidpf bytes, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  auto* source = static_cast<const std::vector<char>*>(bytes);
  auto* r = new archive_reader;
  r->size = r->window_len = source->size();
  r->window = reinterpret_cast<unsigned char*>(const_cast<char*>(source->data()));
  return r;
}

uLong ZCALLBACK reader_read(voidpf, voidpf stream, void* buf, uLong size) {
  auto* r = static_cast<archive_reader*>(stream);
  auto* out = static_cast<unsigned char*>(buf);
  uLong done = 0;
  while (done < size && r->pos < r->size) {
    if (r->pos < r->window_start || r->pos >= r->window_start + r->window_len) {
      if (!r->file) break;
      // A large read goes straight into the caller's buffer.
      if (size - done >= kWindowBytes) {
        if (!seek_file(r->file, r->pos, SEEK_SET)) break;
        size_t got = std::fread(out + done, 1, size - done, r->file);
        if (got == 0) break;
        done += static_cast<uLong>(got);
        r->pos += got;
        continue;
      }
      // The window reaches to the end of the file where it can: minizip looks for the
      // directory at the end by stepping backwards from there.
      const uint64_t last_start = r->size > kWindowBytes ? r->size - kWindowBytes : 0;
      r->window_start = std::min(r->pos, last_start);
      if (!seek_file(r->file, r->window_start, SEEK_SET)) break;
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kWindowBytes, r->size - r->window_start));
      r->window_len = std::fread(r->window, 1, want, r->file);
      if (r->pos >= r->window_start + r->window_len) break;
    }
    size_t offset = static_cast<size_t>(r->pos - r->window_start);
    size_t take = std::min<size_t>(r->window_len - offset, size - done);
    std::memcpy(out + done, r->window + offset, take);
    done += static_cast<uLong>(take);
    r->pos += take;
  }
  if (done < size && r->file && std::ferror(r->file)) r->error = 1;
  return done;
}

uLong ZCALLBACK reader_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK reader_tell(voidpf, voidpf stream) { return static_cast<archive_reader*>(stream)->pos; }

long ZCALLBACK reader_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* r = static_cast<archive_reader*>(stream);
  uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0 : origin == ZLIB_FILEFUNC_SEEK_CUR ? r->pos : r->size;
  uint64_t target = base + offset;
  if (target > r->size) return -1;
  r->pos = target;
  return 0;
}

int ZCALLBACK reader_close(voidpf, voidpf stream) {
  auto* r = static_cast<archive_reader*>(stream);
  int result = r->file ? std::fclose(r->file) : 0;
  if (r->file && r->window == spare_window.bytes.data()) spare_window.in_use = false;
  delete r;
  return result;
}

int ZCALLBACK reader_error(voidpf, voidpf stream) { return static_cast<archive_reader*>(stream)->error; }

// minizip's stdio functions, with the one that opens replaced, for archives being written.
voidpf ZCALLBACK writer_open(voidpf, const void* filename, int mode) {
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

}  // namespace

namespace {
zlib_filefunc64_def reader_functions() {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = reader_open;
  functions.zread_file = reader_read;
  functions.zwrite_file = reader_write;
  functions.ztell64_file = reader_tell;
  functions.zseek64_file = reader_seek;
  functions.zclose_file = reader_close;
  functions.zerror_file = reader_error;
  return functions;
}
}  // namespace

unzFile unz_open_utf8(const std::string& path) {
  zlib_filefunc64_def functions = reader_functions();
  return unzOpen2_64(path.c_str(), &functions);
}

unzFile unz_open_memory(const std::vector<char>& bytes) {
  zlib_filefunc64_def functions = reader_functions();
  functions.zopen64_file = memory_open;
  functions.opaque = const_cast<std::vector<char>*>(&bytes);
  return unzOpen2_64("", &functions);
}

zipFile zip_open_utf8(const std::string& path, int append) {
  zlib_filefunc64_def functions;
  fill_fopen64_filefunc(&functions);
  functions.zopen64_file = writer_open;
  return zipOpen2_64(path.c_str(), append, nullptr, &functions);
}
