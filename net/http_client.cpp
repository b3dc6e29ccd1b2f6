#include "net/http_client.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "files/error_text.h"
#include "files/os_path.h"
#include "net/http_text.h"

http_class http;

namespace {

bool inited_any = false;  // the slots were cleared once
bool soc_inited = false;  // the socket library was started

// Every read lands here first; one buffer serves all slots, as they run on the main thread.
char read_buffer[kReadChunk];
// The most bytes one step of a transfer reads.
constexpr long kReadPerStep = 1 << 20;

std::string dotted(uint32_t ip_network_order) {
  const auto* b = reinterpret_cast<const unsigned char*>(&ip_network_order);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

void to_url_separators(std::string& s) {
  for (char& c : s)
    if (is_path_sep(c)) c = '/';
}

// A Content-Length value: decimal digits with optional blanks around them.
// 0 and the length when it is sound; otherwise the error that fails the request.
int parse_content_length(const std::string& text, int& length) {
  size_t b = text.find_first_not_of(" \t");
  size_t e = text.find_last_not_of(" \t");
  if (b == std::string::npos) return EPROTO;
  const char* first = text.data() + b;
  const char* last = text.data() + e + 1;
  long long value = 0;
  auto [end, ec] = std::from_chars(first, last, value);
  if (end != last || (*first < '0' || *first > '9')) return EPROTO;
  if (ec == std::errc::result_out_of_range || value > INT_MAX) return EFBIG;
  if (ec != std::errc()) return EPROTO;
  length = static_cast<int>(value);
  return 0;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal number of at most 18 digits taken from text at pos; false when there is none.
bool take_number(const std::string& text, size_t& pos, long long& value) {
  size_t start = pos;
  while (pos < text.size() && is_digit(text[pos]) && pos - start < 18) ++pos;
  if (pos == start || (pos < text.size() && is_digit(text[pos]))) return false;
  value = std::stoll(text.substr(start, pos - start));
  return true;
}

// A Content-Range value "bytes FIRST-LAST/TOTAL" with a known total.
bool parse_content_range(const std::string& text, long long& first, long long& last, long long& total) {
  size_t pos = 0;
  if (text.compare(0, 6, "bytes ") != 0) return false;
  pos = 6;
  if (!take_number(text, pos, first) || pos >= text.size() || text[pos++] != '-') return false;
  if (!take_number(text, pos, last) || pos >= text.size() || text[pos++] != '/') return false;
  return take_number(text, pos, total) && pos == text.size() && first <= last && last < total;
}

// "HTTP/d.d ddd", then nothing or a space and the reason phrase (which may be empty).
// http11: the version is 1.1 or later.
bool parse_status_line(const std::string& line, int& code, std::string& reason, bool& http11) {
  if (line.size() < 12 || line.compare(0, 5, "HTTP/") != 0 || !is_digit(line[5]) || line[6] != '.' ||
      !is_digit(line[7]) || line[8] != ' ' || !is_digit(line[9]) || !is_digit(line[10]) || !is_digit(line[11]))
    return false;
  if (line.size() > 12 && line[12] != ' ') return false;
  code = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  reason = line.size() > 12 ? line.substr(13) : std::string();
  http11 = line[5] > '1' || (line[5] == '1' && line[7] >= '1');
  return true;
}

// A chunk-size line: hex digits, then optional blanks and extensions after ';'.
// The size, or -1 when the line is malformed or the size absurd.
long long parse_chunk_size(const std::string& line) {
  long long size = 0;
  size_t i = 0;
  for (; i < line.size(); ++i) {
    char c = ascii_lower(line[i]);
    int digit = is_digit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    if (digit < 0) break;
    if (i >= 15) return -1;  // far beyond any body this client takes
    size = size * 16 + digit;
  }
  if (i == 0) return -1;
  size_t rest = line.find_first_not_of(" \t", i);
  if (rest != std::string::npos && line[rest] != ';') return -1;
  return size;
}

// True when the comma-separated field value names the token, without regard to case.
bool has_token(const std::string& value, const char* token) {
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string::npos) comma = value.size();
    std::string item = trim_blanks(value.substr(start, comma - start));
    for (char& c : item) c = ascii_lower(c);
    if (item == token) return true;
    start = comma + 1;
  }
  return false;
}

}  // namespace

bool field_name_less::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return ascii_lower(x) < ascii_lower(y); });
}

std::string http_user_agent() {
  std::string version = kVersionLabel;
  std::string tail = version.size() > 4 ? version.substr(version.size() - 4) : version;
  return std::string("Installer-") + "IBM/" + tail;
}

void split_server_port(std::string& server, unsigned short& port, bool& had_port) {
  port = 80;
  had_port = false;
  size_t colon = server.rfind(':');
  if (colon == std::string::npos) return;
  std::string digits = server.substr(colon + 1);
  if (digits.empty() || digits.size() > 5) return;
  for (char c : digits)
    if (c < '0' || c > '9') return;
  long value = std::strtol(digits.c_str(), nullptr, 10);
  if (value < 1 || value > 65535) return;
  port = static_cast<unsigned short>(value);
  had_port = true;
  server.erase(colon);
}

// ---------------------------------------------------------------------------------------------
// down_class

namespace {
// The request line and fields of a request for inURL (percent-encoded), up to its blank line; through
// a proxy the URL is absolute. content_length: the length of the body that follows; -1: none.
std::string request_text(const char* inURL, bool inIsPost, const std::map<std::string, std::string>& inExtraFields,
                         bool proxied, int content_length = -1) {
  std::string request = inIsPost ? "POST " : "GET ";
  if (proxied) {
    auto host_field = inExtraFields.find("Host");
    request += "http://" + (host_field == inExtraFields.end() ? std::string() : host_field->second);
  }
  // Every byte but the unreserved ones and the separators is percent-encoded (RFC 3986), so that
  // names with spaces, '%', '?' or any non-ASCII letter reach servers that read paths strictly.
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char* p = inURL ? inURL : ""; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c == '/') {
      request += static_cast<char>(c);
    } else {
      request += '%';
      request += kHex[c >> 4];
      request += kHex[c & 15];
    }
  }
  request += " HTTP/1.1\r\n";
  for (const auto& [key, value] : inExtraFields) request += key + ": " + value + "\r\n";
  if (content_length >= 0) request += "Content-Length: " + std::to_string(content_length) + "\r\n";
  request += "\r\n";
  return request;
}
}  // namespace

down_class::down_class(const char* inServerIP, unsigned short inPort, const char* inURL, bool inIsPost,
                       const std::map<std::string, std::string>& inExtraFields, const char* inContentBuffer,
                       int inContentBufferLength, const char* rel_path, kept_connection* inKept) {
  if (rel_path && *rel_path) {
    mDestFileName = app_path + rel_path;
    make_os_path(mDestFileName);
  } else if (rel_path) {
    mKeepBody = true;
  }
  last_read_time = mSlowSince = xtim.real_time;

  std::string proxy_host;
  unsigned short proxy_port = 0;
  bool proxied = proxy_for(inServerIP, proxy_host, proxy_port);
  const std::string host = proxied ? proxy_host : std::string(inServerIP ? inServerIP : "");
  const unsigned short port = proxied ? proxy_port : inPort;
  mPeer = host + ":" + std::to_string(port);
  mProxied = proxied;
  std::string request =
      request_text(inURL, inIsPost, inExtraFields, proxied, inContentBuffer ? inContentBufferLength : -1);
  if (inContentBuffer && inContentBufferLength > 0) request.append(inContentBuffer, inContentBufferLength);

  bool sent = false;
  if (inKept && inKept->socket && inKept->peer == mPeer) {
    if (!inKept->ahead.empty()) {
      // The request went out behind the last one: its answer is what follows on the connection.
      if (inKept->ahead == request) {
        mSocket = std::move(inKept->socket);
        mPrimed = std::move(inKept->received);
        sent = mReused = true;
      }
    } else if (inKept->socket->IdleAndOpen()) {
      // A connection whose server has closed it, or sent something unasked, serves no request.
      mSocket = std::move(inKept->socket);
      mReused = true;
    }
  }
  if (inKept) inKept->drop();
  if (!mSocket) {
    uint32_t ip = VornSocket::LookupAddress(host.c_str());
    if (ip == 0) {
      xer << "Translated server " << inServerIP << " to IP addy: " << dotted(ip) << " and port = " << inPort
          << "\n";
      mFileErr = kErrNetNoServer;
      return;
    }
    mSocket = std::make_unique<VornSocket>(0, false);
    mSocket->Connect(ip, port);
  }
  mResponseNum = -1;
  if (!sent) mOutBuf.assign(request.begin(), request.end());
}

void down_class::SendAhead(const char* inURL, const std::map<std::string, std::string>& inExtraFields) {
  if (!mSocket || !mReused || !mAheadRequest.empty() || mFileErr != 0) return;
  mAheadRequest = request_text(inURL, false, inExtraFields, mProxied);
  mOutBuf.insert(mOutBuf.end(), mAheadRequest.begin(), mAheadRequest.end());
}

down_class::~down_class() { CloseDestFile(); }

int down_class::GetStat() {
  if (!mSocket) return 0;
  if (mFinished) return 3;
  switch (mSocket->GetStatus()) {
    case vornstatus_Connecting:
      return 1;
    case vornstatus_Error:
      return 2;
    case vornstatus_Disconnected:
      return 3;
    default:
      break;
  }
  if (!mOutBuf.empty()) return 4;
  if (mGotWholeHeader) return 5;
  return 6;
}

std::string down_class::Validator() const {
  if (!mGotWholeHeader || (mResponseNum != 200 && mResponseNum != 206)) return std::string();
  // A weak tag may not go into If-Range.
  auto tag = mFields.find("ETag");
  if (tag != mFields.end() && !tag->second.empty() && tag->second.compare(0, 2, "W/") != 0) return tag->second;
  auto modified = mFields.find("Last-Modified");
  return modified == mFields.end() ? std::string() : modified->second;
}

int down_class::GetOSErr() const {
  if (mFileErr != 0) return mFileErr;
  if (!mSocket) return kErrNetAlloc;
  return mSocket->GetOSError();
}

void down_class::Fail(int err) {
  if (mFileErr == 0) mFileErr = err;
  mInBuf.clear();
  mInBuf.shrink_to_fit();
  if (mSocket) mSocket->Disconnect();
}

void down_class::Abandon(int err) {
  Fail(err);
  CloseDestFile();
  if (!mDestFileName.empty()) std::remove(mDestFileName.c_str());
}

void down_class::CloseDestFile() {
  if (!mDestFile) return;
  // The last buffered bytes reach the disk here; a full disk shows now, not at fwrite.
  int closed = std::fclose(mDestFile);
  mDestFile = nullptr;
  if (closed != 0 && mFileErr == 0) {
    mFileErr = errno ? errno : kErrNetWriteFile;
    mLocalFileErr = true;
  }
}

bool down_class::IsComplete() const {
  if (!mGotWholeHeader) return false;
  if (mWholeLength >= 0 && mReceivedPayload != mWholeLength) return false;
  if (mChunked) return mChunksDone;
  if (mIncomingLength >= 0) return mReceivedPayload == mIncomingLength;
  return mSocket && mSocket->ReceivedRelease();
}

void down_class::FinishHeader() {
  mGotWholeHeader = true;
  auto te = mFields.find("Transfer-Encoding");
  if (te != mFields.end()) {
    std::string coding = trim_blanks(te->second);
    for (char& c : coding) c = ascii_lower(c);
    // Only chunked framing is understood; a body in another coding cannot be delimited.
    if (coding != "chunked") return mResumeFrom >= 0 ? Abandon(EPROTO) : Fail(EPROTO);
    mChunked = true;
  }
  auto it = mFields.find("Content-Length");
  if (mResponseNum == 204 || mResponseNum == 304) {
    // These answers never have a body, whatever their fields say.
    mChunked = false;
    mIncomingLength = 0;
  } else if (!mChunked && it != mFields.end()) {
    int length = -1;
    if (int err = parse_content_length(it->second, length)) return Fail(err);
    if (length > mMaxBody) return mResumeFrom >= 0 ? Abandon(EFBIG) : Fail(EFBIG);
    mIncomingLength = length;
  }
  // A body that ends only with the close leaves nothing to keep.
  auto connection = mFields.find("Connection");
  auto proxy_connection = mFields.find("Proxy-Connection");
  mMayKeep = mHttp11 && (mChunked || mIncomingLength >= 0) &&
             (connection == mFields.end() || !has_token(connection->second, "close")) &&
             (proxy_connection == mFields.end() || !has_token(proxy_connection->second, "close"));
  if (mResumeFrom >= 0 && !mDestFileName.empty()) return OpenResumedFile();
  if (mKeepBody && mIncomingLength > 0) mBody.reserve(static_cast<size_t>(mIncomingLength));
  if (!mDestFileName.empty()) {
    errno = 0;
    mDestFile = fopen_utf8(mDestFileName, "wb");
    if (!mDestFile && mFileErr == 0) {
      mFileErr = errno ? errno : kErrNetWriteFile;
      mLocalFileErr = true;
    }
  }
}

void down_class::OpenResumedFile() {
  const bool partial = mResponseNum == 206;
  if (mResponseNum == 416) {
    // The file kept is the whole file when the server's length is just its size: an earlier
    // try got it all but was stopped before it was used. Any other 416 drops it.
    auto range = mFields.find("Content-Range");
    long long total = -1;
    size_t pos = 8;
    if (mResumeFrom > 0 && range != mFields.end() && range->second.compare(0, 8, "bytes */") == 0 &&
        take_number(range->second, pos, total) && pos == range->second.size() && total == mResumeFrom) {
      mAlreadyWhole = true;
      return;
    }
    return Abandon(EPROTO);
  }
  // Other failures say nothing about the bytes kept; their body is no part of the file.
  if (!partial && (mResponseNum < 200 || mResponseNum > 299)) return;
  if (partial) {
    // Only the rest of the file, from exactly the byte asked for, joins what is kept.
    long long first = -1, last = -1, total = -1;
    auto range = mFields.find("Content-Range");
    if (mResumeFrom <= 0 || range == mFields.end() || !parse_content_range(range->second, first, last, total) ||
        first != mResumeFrom || last + 1 != total || (mIncomingLength >= 0 && mIncomingLength != total - first))
      return Abandon(EPROTO);
    if (total > mMaxBody) return Abandon(EFBIG);
    mWholeLength = total;
    mReceivedPayload = static_cast<int>(first);
    if (mIncomingLength >= 0) mIncomingLength = static_cast<int>(total);
  } else {
    mWholeLength = mChunked ? -1 : mIncomingLength;
  }
  errno = 0;
  mDestFile = fopen_utf8(mDestFileName, partial ? "r+b" : "wb");
  if (!mDestFile) {
    mFileErr = errno ? errno : kErrNetWriteFile;
    mLocalFileErr = true;
    return Fail(mFileErr);
  }
  // The file must hold exactly the bytes the request counted on.
  if (partial && (fseeko(mDestFile, 0, SEEK_END) != 0 || ftello(mDestFile) != mResumeFrom)) return Abandon(EPROTO);
  if (!partial && !mValidatorFile.empty()) KeepValidator();
}

void down_class::KeepValidator() {
  // The file was emptied first, so the validator never stands beside another answer's bytes.
  std::remove(mValidatorFile.c_str());
  std::string line = Validator();
  if (line.empty()) return;
  line += "\n";
  std::FILE* f = fopen_utf8(mValidatorFile, "wb");
  if (!f) return;
  bool written = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  if (std::fclose(f) != 0 || !written) std::remove(mValidatorFile.c_str());
}

void down_class::ParseHeader() {
  size_t pos = 0;
  while (!mGotWholeHeader && mFileErr == 0) {
    // Bytes scanned by an earlier call hold no line end; a line that trickles in is not rescanned.
    size_t cr = std::max(pos, mScanFrom);
    mScanFrom = 0;
    while (cr + 1 < mInBuf.size() && !(mInBuf[cr] == '\r' && mInBuf[cr + 1] == '\n')) ++cr;
    if (cr + 1 >= mInBuf.size()) {  // no whole line yet
      mScanFrom = cr;
      break;
    }

    // The bound holds over interim blocks too, so that endless 1xx answers cannot pile up.
    mHeaderBytes += cr - pos + 2;
    if (mHeaderBytes > kMaxHeaderBytes) return Fail(EMSGSIZE);
    if (cr == pos) {
      // A blank line ends a header block. An interim block (1xx) is dropped, and the final
      // block may follow in the same read, so scanning goes on.
      pos += 2;
      if (mAtBlockStart) return Fail(EPROTO);
      mAtBlockStart = true;
      if (mResponseNum > 199) FinishHeader();
      continue;
    }

    std::string line(mInBuf.data() + pos, cr - pos);
    pos = cr + 2;
    if (mAtBlockStart) {
      if (!parse_status_line(line, mResponseNum, mResponseName, mHttp11)) return Fail(EPROTO);
      mAtBlockStart = false;
      mFields.clear();  // the fields of an interim answer do not describe the final one
      continue;
    }
    // "Name: value" with optional blanks around the value; other lines are passed over.
    size_t sep = line.find(':');
    if (sep == 0 || sep == std::string::npos || line.find_first_of(" \t") < sep) continue;
    mFields.emplace(line.substr(0, sep), trim_blanks(line.substr(sep + 1)));
  }
  if (mFileErr != 0) return;  // the request failed and its buffer was emptied
  mInBuf.erase(mInBuf.begin(), mInBuf.begin() + static_cast<std::ptrdiff_t>(pos));
  mScanFrom = mScanFrom > pos ? mScanFrom - pos : 0;
  // A header that never ends would otherwise take memory without bound.
  if (!mGotWholeHeader && mHeaderBytes + mInBuf.size() > kMaxHeaderBytes) Fail(EMSGSIZE);
}

void down_class::WriteBody(const char* data, size_t size) {
  if (size == 0 || mFileErr != 0) return;
  if (static_cast<long long>(mReceivedPayload) + static_cast<long long>(size) > mMaxBody) return Abandon(EFBIG);
  // A resumed file must never hold more than was announced: that is no longer the file.
  if (mWholeLength >= 0 && static_cast<long long>(mReceivedPayload) + static_cast<long long>(size) > mWholeLength)
    return Abandon(EPROTO);
  mReceivedPayload += static_cast<int>(size);
  if (mKeepBody) mBody.insert(mBody.end(), data, data + size);
  if (!mDestFile) return;
  errno = 0;
  size_t written = std::fwrite(data, 1, size, mDestFile);
  if (written < size && mFileErr == 0) {
    mFileErr = errno ? errno : kErrNetWriteFile;
    mLocalFileErr = true;
  }
}

void down_class::TakeChunks(const char* data, size_t size) {
  for (size_t i = 0; i < size && mFileErr == 0;) {
    char c = data[i];
    switch (mChunkState) {
      case chunk_data: {
        size_t n = static_cast<size_t>(std::min<long long>(mChunkLeft, static_cast<long long>(size - i)));
        WriteBody(data + i, n);
        i += n;
        mChunkLeft -= static_cast<long long>(n);
        if (mChunkLeft == 0) mChunkState = chunk_data_cr;
        continue;
      }
      case chunk_data_cr:
      case chunk_data_lf:
        if (c != (mChunkState == chunk_data_cr ? '\r' : '\n')) return Fail(EPROTO);
        mChunkState = mChunkState == chunk_data_cr ? chunk_data_lf : chunk_size;
        break;
      case chunk_size:
      case chunk_trailer:
        mChunkLine += c;
        if (mChunkState == chunk_trailer && ++mHeaderBytes > kMaxHeaderBytes) return Fail(EMSGSIZE);
        if (mChunkLine.size() > kMaxChunkLine && mChunkState == chunk_size) return Fail(EPROTO);
        if (c == '\n') {
          if (mChunkLine.size() < 2 || mChunkLine[mChunkLine.size() - 2] != '\r') return Fail(EPROTO);
          mChunkLine.resize(mChunkLine.size() - 2);
          if (mChunkState == chunk_trailer) {
            if (mChunkLine.empty()) {
              mChunkState = chunk_end;
              mChunksDone = true;
            }
          } else {
            long long chunk = parse_chunk_size(mChunkLine);
            if (chunk < 0) return Fail(EPROTO);
            if (chunk > mMaxBody - mReceivedPayload) return Abandon(EFBIG);
            mChunkLeft = chunk;
            mChunkState = chunk == 0 ? chunk_trailer : chunk_data;
          }
          mChunkLine.clear();
        }
        break;
      case chunk_end:
        return TakeExcess(data + i, size - i);
    }
    ++i;
  }
}

void down_class::TakeBody(const char* data, size_t size) {
  if (mChunked) return TakeChunks(data, size);
  if (mIncomingLength >= 0) {
    const size_t room = static_cast<size_t>(std::max(mIncomingLength - mReceivedPayload, 0));
    if (size > room) {
      TakeExcess(data + room, size - room);
      size = room;
    }
  }
  WriteBody(data, size);
}

void down_class::TakeExcess(const char* data, size_t size) {
  // Bytes past the end that no request asked for: the server does not speak HTTP as it should,
  // and a file it was continuing is dropped.
  if (mAheadRequest.empty()) return mWholeLength >= 0 ? Abandon(EPROTO) : Fail(EPROTO);
  mExcess.insert(mExcess.end(), data, data + size);
}

void down_class::TakeReceived(const char* data, size_t size) {
  mBytesRead += static_cast<long long>(size);
  if (mGotWholeHeader) {
    TakeBody(data, size);
  } else {
    mInBuf.insert(mInBuf.end(), data, data + size);
    ParseHeader();
    if (mGotWholeHeader && mFileErr == 0) {
      std::vector<char> rest;
      rest.swap(mInBuf);
      TakeBody(rest.data(), rest.size());
    }
  }
  if (mGotWholeHeader) {
    last_read_time = xtim.real_time;
    EndWhenWhole();
  }
}

void down_class::EndWhenWhole() {
  bool whole = mChunked ? mChunksDone : mIncomingLength != -1 && mReceivedPayload >= mIncomingLength;
  if (!whole || mFileErr != 0) return;
  if (mMayKeep)
    mFinished = true;
  else
    mSocket->Disconnect();
}

void down_class::DoProcessing() {
  if (!mSocket) return;
  if (!mFinished && !mOutBuf.empty() && mSocket->GetStatus() == vornstatus_Connected) {
    long sent = mSocket->WriteData(mOutBuf.data(), static_cast<long>(mOutBuf.size()));
    if (sent > 0) mOutBuf.erase(mOutBuf.begin(), mOutBuf.begin() + sent);
  }
  if (!mPrimed.empty()) {
    // What came with the answer before this one is taken first, as if just read.
    std::vector<char> primed;
    primed.swap(mPrimed);
    TakeReceived(primed.data(), primed.size());
  }
  if (!mFinished && mSocket->GetStatus() == vornstatus_Connected) {
    // What the socket holds is read now, up to kReadPerStep: a fast transfer then costs one step
    // per megabyte instead of one per chunk.
    for (long taken = 0; taken < kReadPerStep && !mFinished && mFileErr == 0;) {
      long got = mSocket->ReadData(read_buffer, kReadChunk);
      if (got > 0) {
        taken += got;
        TakeReceived(read_buffer, static_cast<size_t>(got));
        if (got < kReadChunk || mSocket->GetStatus() != vornstatus_Connected) break;
      } else {
        // The server closed: the body ends here, whole or cut short; nothing more will come.
        if (got == 0 && mSocket->ReceivedRelease()) mSocket->Disconnect();
        break;
      }
    }
  }
  Vorn_Status status = mSocket->GetStatus();
  if (mFinished || status == vornstatus_Disconnected || status == vornstatus_Error) CloseDestFile();
}

// ---------------------------------------------------------------------------------------------
// http_class

int http_class::net_check(int o, std::string server, std::string file, const std::string& rel_path,
                          long long max_body, const range_start* resume, const std::string& ahead_file) {
  if (o < 0 || o >= kHttpSlots) {
    MACIBM_alert(0, "Too many download objects requested!", "", "", "", alert_fatal);
    return 2;
  }
  if (!inited_any) {
    inited_any = true;
    for (down_class*& slot : down) slot = nullptr;
    if (!soc_inited) soc_inited = VornSocket::StartupNetworking(true);
  }

  if (!down[o]) {
    body[o].clear();
    if (!server.empty() && is_path_sep(server.back()))
      MACIBM_alert(0, "net_check error! You have a dirchar at the end of the server name!", "You should not!",
                   "Our convention is that a server name is simply a server name... with no slash!", server,
                   alert_fatal);
    if (file.empty() || !is_path_sep(file.front()))
      MACIBM_alert(0, "net_check error! You do not have a dirchar at the beginning of the directory name!",
                   "You should!",
                   "Our convention is that a directory name does start with a slash because it must include "
                   "the hard drive,which is a dir char on unix!",
                   file, alert_fatal);

    // A port is split off before ':' turns into a separator like the others.
    unsigned short port = 80;
    bool had_port = false;
    std::string host = server;
    split_server_port(host, port, had_port);
    to_url_separators(host);
    std::string path = file;
    to_url_separators(path);

    std::map<std::string, std::string> fields;
    fields["Host"] = had_port ? host + ":" + std::to_string(port) : host;
    fields["User-agent"] = http_user_agent();
    fields["Connection"] = "keep-alive";
    const bool resumed = resume && resume->from >= 0 && !rel_path.empty();
    if (resumed && resume->from > 0) {
      fields["Range"] = "bytes=" + std::to_string(resume->from) + "-";
      if (!resume->if_range.empty()) fields["If-Range"] = resume->if_range;
    }
    down[o] = new down_class(host.c_str(), port, path.c_str(), false, fields, nullptr, 0, rel_path.c_str(), &kept[o]);
    if (max_body >= 0 && max_body < kMaxBodyBytes) down[o]->mMaxBody = max_body;
    if (resumed) {
      down[o]->mResumeFrom = resume->from;
      down[o]->mIfRange = resume->if_range;
      down[o]->mValidatorFile = resume->validator_file;
    }
    // Only a connection that has already outlived an answer carries a second request: a server
    // that closes after each answer would drop it.
    if (!ahead_file.empty() && is_path_sep(ahead_file.front())) {
      std::string ahead_path = ahead_file;
      to_url_separators(ahead_path);
      fields.erase("Range");  // the file asked ahead is asked whole
      fields.erase("If-Range");
      down[o]->SendAhead(ahead_path.c_str(), fields);
    }
    sent_ahead[o] = !down[o]->mAheadRequest.empty();
  }

  down_class* d = down[o];
  if (!d) return 0;
  d->DoProcessing();

  // A server may close a connection it kept just as the request goes out: nothing came back,
  // so the request is sent once more on a new connection, and that is no failure of the mirror.
  if (d->mReused && d->mBytesRead == 0 && d->mFileErr == 0 && (d->GetStat() == 2 || d->GetStat() == 3)) {
    xer << "The connection I kept to " << d->mPeer << " was closed as I asked it for " << file
        << "; I ask again on a new one.\n";
    long long bound = d->mMaxBody;
    range_start same{d->mResumeFrom, d->mIfRange, d->mValidatorFile};
    delete d;
    down[o] = nullptr;
    int again = net_check(o, server, file, rel_path, bound, &same);
    return again;
  }

  if (d->GetStat() != 3 && !d->IsErr()) {
    float now = xtim.real_time;
    // A window that brought its share of bytes starts the next one; one that did not is a fault.
    if (d->mBytesRead - d->mSlowBytes >= static_cast<long long>(kSlowSeconds) * kSlowBytesPerSecond) {
      d->mSlowSince = now;
      d->mSlowBytes = d->mBytesRead;
    }
    bool stalled = now > d->last_read_time + kStallSeconds;
    bool slow = now > d->mSlowSince + kSlowSeconds;
    if (!stalled && !slow) return 0;
    if (slow && !stalled)
      xer << "I left " << server << file << ": it sent under " << kSlowBytesPerSecond << " bytes a second for "
          << static_cast<int>(kSlowSeconds) << " seconds.\n";
    delete d;
    down[o] = nullptr;
    return 2;
  }

  if (((d->mResponseNum >= 200 && d->mResponseNum <= 299) || d->mAlreadyWhole) && d->IsComplete() && !d->IsErr()) {
    // A request still partly unsent would leave the connection between two requests.
    if (d->mFinished && d->mOutBuf.empty()) {
      kept[o].socket = std::move(d->mSocket);
      kept[o].peer = d->mPeer;
      kept[o].ahead = std::move(d->mAheadRequest);
      kept[o].received = std::move(d->mExcess);
    }
    body[o] = std::move(d->mBody);
    delete d;
    down[o] = nullptr;
    return 1;
  }

  xer << "HTTP Error for " << (rel_path.empty() ? file : rel_path) << "\n";
  xer << "   server     =" << server << "\n";
  xer << "   file       =" << file << "\n";
  xer << "   IsDone     =" << (d->IsDone() ? 1 : 0) << "\n";
  xer << "   IsComplete =" << (d->IsComplete() ? 1 : 0) << "\n";
  xer << "   IsErr      =" << (d->IsErr() ? 1 : 0) << "\n";
  xer << "   GetStat    =" << d->GetStat() << "\n";
  xer << "   GetOSErr   =" << d->GetOSErr() << "\n";
  xer << "   response   =" << d->mResponseName << " (#" << d->mResponseNum << ")\n\n";
  xer.flush();
  local_error[o] = d->mLocalFileErr ? d->mFileErr : 0;
  delete d;
  down[o] = nullptr;
  return 2;
}

void http_class::close_kept() {
  for (kept_connection& k : kept) k.drop();
}

void http_class::wait_for_traffic(int timeout_ms) const {
  vorn_wait_item items[kHttpSlots];
  int count = 0;
  // A socket the server closed reads as ready for ever; its slot ends at the next check anyway.
  for (down_class* d : down)
    if (d && d->mSocket && !d->mSocket->ReceivedRelease()) items[count++] = {d->mSocket->Handle(), !d->mOutBuf.empty()};
  VornSocket_wait_any(items, count, timeout_ms);
}
