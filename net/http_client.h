#pragma once
// The polled HTTP/1.1 download client: six numbered slots and the proxy settings.
// The caller polls http.net_check(slot, ...) once per frame with the same arguments until it
// answers 1 (the file arrived whole) or 2 (failed); each call does only non-blocking work.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/http_proxy.h"
#include "net/socket.h"

class down_class;

constexpr int kHttpSlots = 6;

// How a download continues a file that an earlier request began (see net_check).
struct range_start {
  long long from = -1;   // bytes the file holds already; -1: an ordinary download
  std::string if_range;  // the ETag or Last-Modified of the answer that began the file
  // A file (a full system path) that gets the validator of an answer that writes the file afresh, one line, before
  // any of its body; removed when the answer has none. Empty: not kept.
  std::string validator_file;
};

// A connection left open after a response that was read to its end, for the slot's next request.
struct kept_connection {
  std::unique_ptr<VornSocket> socket;
  std::string peer;  // "HOST:PORT" it is connected to: the server, or the proxy
  // The request already sent on it behind the last one, whose answer is on its way; empty: none.
  // Only that request may take the connection then.
  std::string ahead;
  std::vector<char> received;  // bytes of that answer read with the last one

  // Closes the connection and forgets what was on its way.
  void drop() {
    socket.reset();
    ahead.clear();
    received.clear();
  }
};

class http_class {
 public:
  std::string ProxyHost;     // proxy host name or dotted address; empty: no proxy
  std::string ProxyPort_str; // the port as typed in the preferences
  int ProxyPort_int = 0;     // the port used; 0: no proxy
  down_class* down[kHttpSlots] = {};
  // After net_check failed on a slot: the system error of writing the download on this computer
  // (a full disk, say), or 0 when the fault lay with the server or the network.
  int local_error[kHttpSlots] = {};
  // The body of each slot's latest download asked for in memory (see net_check).
  std::vector<char> body[kHttpSlots];

  kept_connection kept[kHttpSlots];
  // Whether the request net_check began on each slot carried the request for ahead_file as well.
  bool sent_ahead[kHttpSlots] = {};

  // The proxy of the environment (http_proxy or HTTP_PROXY), used when the preferences name none.
  std::string EnvProxyHost;
  int EnvProxyPort = 0;
  std::string EnvProxyVariable;  // the variable it came from
  std::string NoProxy;           // no_proxy or NO_PROXY: hosts that go without it

  // Reads http_proxy / HTTP_PROXY and no_proxy / NO_PROXY; a value that cannot be used is logged.
  void read_proxy_environment();
  // "Proxy: HOST:PORT from the preferences", "... from http_proxy" or "Proxy: none".
  std::string proxy_description() const;
  // Closes the connections kept for later requests.
  void close_kept();

  // One step of the download in slot o (0..5) of server + file into rel_path.
  // 0: in progress, call again; 1: arrived whole with a 2xx status; 2: failed. After 1 or 2
  // the slot is free again. server may be "HOST" or "HOST:PORT"; file starts with a separator.
  // max_body bounds the response body (-1: only by kMaxBodyBytes); a longer one fails and its
  // partial file is removed. It is read when the request starts.
  // resume (read when the request starts; null or from -1: an ordinary download) keeps what
  // rel_path holds: from > 0 with if_range asks for the rest ("Range: bytes=from-", "If-Range");
  // a 206 from that byte appends, a 200 writes the whole body afresh, a 416 whose length is
  // from answers 1 with the file as it was. A 416 of another length, a Content-Range that does
  // not start there, or a body longer than announced removes rel_path; other failures keep it.
  // A transfer cut short keeps what arrived. max_body then bounds the whole file.
  // resume->validator_file is written as described there.
  // An empty rel_path keeps the body in memory instead of a file: once the answer is 1 it is in
  // body[o], until the slot's next request begins (resume is then not taken).
  // ahead_file (read when the request starts): on a connection kept from an earlier answer, the
  // request for that file of the same server goes out right behind this one, so that its answer
  // follows without a round trip; sent_ahead[o] says whether it went. The slot's next net_check
  // for that file takes the answer; a request for anything else opens a new connection.
  int net_check(int o, std::string server, std::string file, const std::string& rel_path, long long max_body = -1,
                const range_start* resume = nullptr, const std::string& ahead_file = std::string());
  // Waits up to timeout_ms until a busy slot's connection has something to do.
  void wait_for_traffic(int timeout_ms) const;
};
extern http_class http;

// The user-agent text sent with every request: "Installer-IBM/" + the version's last four characters.
std::string http_user_agent();

// Splits a trailing ":PORT" (1..65535) off server. Without one, server is unchanged and port is 80.
void split_server_port(std::string& server, unsigned short& port, bool& had_port);

// The most bytes a response header block may take before its blank line.
constexpr size_t kMaxHeaderBytes = 64 * 1024;
// The size of one read from the socket.
constexpr long kReadChunk = 65536;
// The largest body any response may have.
constexpr long long kMaxBodyBytes = 0x7fffffff;
// No body may pause longer than this between arrivals, and no header take longer to come.
constexpr float kStallSeconds = 30.0f;
// A transfer that brings fewer than kSlowBytesPerSecond on average over kSlowSeconds is left.
constexpr float kSlowSeconds = 60.0f;
constexpr long long kSlowBytesPerSecond = 1024;
// The longest chunk-size line (with its extensions) of a chunked body.
constexpr size_t kMaxChunkLine = 1024;

// Orders header field names without regard to case, as HTTP compares them.
struct field_name_less {
  bool operator()(const std::string& a, const std::string& b) const;
};

// One HTTP request on one socket, written into a destination file.
class down_class {
 public:
  down_class(const char* inServerIP, unsigned short inPort, const char* inURL, bool inIsPost,
             const std::map<std::string, std::string>& inExtraFields, const char* inContentBuffer,
             int inContentBufferLength, const char* rel_path, kept_connection* inKept = nullptr);
  ~down_class();
  down_class(const down_class&) = delete;
  down_class& operator=(const down_class&) = delete;

  // One step of sending, receiving, parsing and writing.
  void DoProcessing();
  // Sends the request for inURL (with the fields given) right behind this one on the connection
  // kept open; the bytes of its answer that arrive with this one are kept in mExcess.
  void SendAhead(const char* inURL, const std::map<std::string, std::string>& inExtraFields);
  std::string GetResponseName() const { return mResponseName; }

  // 0 no socket, 1 connecting, 2 socket error, 3 disconnected (or the body whole on a connection
  // kept open), 4 request unsent, 5 receiving the body, 6 waiting for the header. Polls the socket.
  int GetStat();
  bool IsDone() { return GetStat() == 3; }
  // The whole body arrived: the announced length, the last chunk, or the server's orderly close
  // where neither was given.
  bool IsComplete() const;
  bool IsErr() {
    if (mFileErr != 0) return true;
    int stat = GetStat();
    return stat == 0 || stat == 2;
  }
  int GetOSErr() const;
  // The answer's ETag (when strong) or else its Last-Modified, as If-Range takes it; empty
  // before the header, for an answer other than 200 or 206, or when it gave neither.
  std::string Validator() const;

  std::unique_ptr<VornSocket> mSocket;  // null when the host did not resolve
  std::vector<char> mOutBuf;            // request bytes not yet accepted by the socket
  std::vector<char> mInBuf;             // received bytes not yet consumed
  bool mGotWholeHeader = false;         // the blank line ending a final header was seen
  int mResponseNum = 0;                 // 0 at start, -1 once connecting, then the status code
  std::string mResponseName;            // reason phrase of the last status line
  std::map<std::string, std::string, field_name_less> mFields;  // fields of the last status line; the first wins
  FILE* mDestFile = nullptr;            // open while the body is written
  std::string mDestFileName;            // full system path of the destination; empty: none
  bool mKeepBody = false;               // the body goes to mBody, not to a file
  std::vector<char> mBody;              // the body so far, when kept in memory
  int mFileErr = 0;                     // first file, lookup or protocol error
  bool mLocalFileErr = false;           // mFileErr came from this computer's disk, not the server
  int mIncomingLength = -1;             // announced body length; -1: not announced
  int mReceivedPayload = 0;             // body bytes written so far
  long long mMaxBody = kMaxBodyBytes;   // the most body bytes accepted
  bool mChunked = false;                // the body comes in chunks
  bool mChunksDone = false;             // the last chunk and the trailer arrived
  float last_read_time = 0;             // xtim.real_time at start and at each arrival of body bytes
  long long mBytesRead = 0;             // every byte read from the socket
  float mSlowSince = 0;                 // start of the current speed window
  long long mSlowBytes = 0;             // mBytesRead at that start
  std::string mPeer;                    // "HOST:PORT" connected to: the server, or the proxy
  bool mReused = false;                 // the socket was kept open from an earlier request
  bool mMayKeep = false;                // HTTP/1.1 and no "close": the connection outlives the response
  bool mFinished = false;               // the body is whole and the connection stays open
  long long mResumeFrom = -1;           // the file's bytes kept from earlier; -1: an ordinary download
  std::string mIfRange;                 // sent with the Range of a resumed request
  std::string mValidatorFile;           // where a resumed request's answer leaves its validator
  long long mWholeLength = -1;          // of a resumed request: the whole file's announced length
  bool mAlreadyWhole = false;           // a 416 said the file kept is already the whole file
  std::string mAheadRequest;            // the request sent behind this one; empty: none
  std::vector<char> mExcess;            // bytes after this answer's end: the start of the next one's

 private:
  // Parses header lines out of mInBuf until the header is complete or no line is whole.
  void ParseHeader();
  // Called at the blank line that ends a final header block.
  void FinishHeader();
  // Takes bytes as they came off the wire: the header, then the body.
  void TakeReceived(const char* data, size_t size);
  // Takes body bytes: decodes chunks, then writes; what lies past the body's end goes to mExcess.
  void TakeBody(const char* data, size_t size);
  // Past the body's end: the next answer's bytes when a request went ahead, else a fault.
  void TakeExcess(const char* data, size_t size);
  // Decodes chunked framing and writes the chunks' data.
  void TakeChunks(const char* data, size_t size);
  // Writes body bytes to the destination within mMaxBody.
  void WriteBody(const char* data, size_t size);
  // Ends the request once the body is whole; the server's close is not awaited, and the
  // connection stays open where it may be kept.
  void EndWhenWhole();
  void CloseDestFile();
  void Fail(int err);
  // Fails and removes what was written: the body broke its bound.
  void Abandon(int err);
  // Opens the destination of a resumed request for this answer, or drops it.
  void OpenResumedFile();
  // Writes the answer's validator into mValidatorFile, or removes that file.
  void KeepValidator();

  bool mProxied = false;          // the request goes through a proxy
  std::vector<char> mPrimed;      // bytes of this answer that came with the one before it

  enum chunk_state { chunk_size, chunk_data, chunk_data_cr, chunk_data_lf, chunk_trailer, chunk_end };
  bool mHttp11 = false;           // the status line said HTTP/1.1 or later
  size_t mHeaderBytes = 0;        // header bytes parsed, over every block of the response
  bool mAtBlockStart = true;      // the next header line must be a status line
  size_t mScanFrom = 0;           // where the search for the next line end resumes in mInBuf
  chunk_state mChunkState = chunk_size;
  long long mChunkLeft = 0;       // data bytes left in the current chunk
  std::string mChunkLine;         // the chunk-size or trailer line so far
};
