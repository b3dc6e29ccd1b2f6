// The download client against an in-process server that answers exactly as each case needs.
#include <atomic>
#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/log.h"
#include "files/error_text.h"
#include "net/http_client.h"
#include "tests/net/net_test_support.h"
#include "tests/support/real_peers.h"
#include "tests/support/test_support.h"

using net_testing::poll_slot;
using net_testing::poll_until;
using net_testing::ScriptedServer;
using net_testing::send_all;
using testing_support::read_file;

namespace {

class HttpScripted : public ::testing::Test {
 protected:
  void SetUp() override {
    net_testing::reset_http();
    xtim.set_real_time(0);
  }
  void TearDown() override { net_testing::reset_http(); }

  // A server that answers every request with these bytes in one write, then closes.
  static ScriptedServer::Script answer(std::string bytes) {
    return [bytes](int& fd, const std::string&) { send_all(fd, bytes); };
  }

  // The log from the dump about rel on; empty when there is none.
  std::string dump_of(const std::string& rel) {
    std::string text = log.text();
    size_t at = text.find("HTTP Error for " + rel);
    return at == std::string::npos ? std::string() : text.substr(at);
  }

  testing_support::TempDir dir;
  testing_support::LogCapture log;
  testing_support::AlertRecorder alerts;
};

std::string ok_header(size_t length) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

}  // namespace

TEST_F(HttpScripted, SendsTheRequestBytesExactly) {
  ScriptedServer server(answer(ok_header(5) + "hello"));
  std::string dest = dir / "got.txt";
  // Separators of every kind become '/', and every byte outside RFC 3986's unreserved set is
  // percent-encoded: non-ASCII letters, '%', '?', '#', '+'.
  ASSERT_EQ(poll_slot(2, server.address(), "\\files:sub/a b\xC3\xA9%?#+~_-.txt", dest), 1);
  EXPECT_EQ(server.request(),
            "GET /files/sub/a%20b%C3%A9%25%3F%23%2B~_-.txt HTTP/1.1\r\n"
            "Connection: keep-alive\r\n"
            "Host: " + server.address() + "\r\n"
            "User-agent: Installer-IBM/ta 8\r\n"
            "\r\n");
  EXPECT_EQ(read_file(dest), "hello");
  EXPECT_EQ(http.down[2], nullptr);
  EXPECT_EQ(http_user_agent(), "Installer-IBM/ta 8");
}

TEST_F(HttpScripted, ProxyGetsTheAbsoluteFormAndTheServerNameIsNotLookedUp) {
  std::string second;  // the next request on the connection kept to the proxy, for another origin
  ScriptedServer proxy([&](int& fd, const std::string&) {
    send_all(fd, ok_header(2) + "ok");
    second = net_testing::read_request(fd);
    send_all(fd, ok_header(2) + "OK");
  });
  http.ProxyHost = "127.0.0.1";
  http.ProxyPort_int = proxy.port();
  // The name of the origin is only passed on to the proxy, never resolved here.
  ASSERT_EQ(poll_slot(0, "files.example:8080", "/dir/x y.zip", dir / "x.zip"), 1);
  ASSERT_EQ(poll_slot(0, "other.example", "/y.zip", dir / "y.zip"), 1);
  EXPECT_EQ(read_file(dir / "y.zip"), "OK");
  EXPECT_EQ(second.substr(0, second.find('\r')), "GET http://other.example/y.zip HTTP/1.1");
  EXPECT_EQ(proxy.request(),
            "GET http://files.example:8080/dir/x%20y.zip HTTP/1.1\r\n"
            "Connection: keep-alive\r\n"
            "Host: files.example:8080\r\n"
            "User-agent: Installer-IBM/ta 8\r\n"
            "\r\n");
  EXPECT_TRUE(UseProxy("", 80));
  // No port, a port typed wrongly (-1) and a number that names no port all mean no proxy.
  for (int port : {0, -1, 65536}) {
    http.ProxyPort_int = port;
    EXPECT_FALSE(UseProxy("", 80)) << port;
  }
  http.ProxyPort_int = 65535;
  EXPECT_TRUE(UseProxy("", 80));
  http.ProxyPort_int = 0;
}

// One slot's files to one server share a connection while the server keeps it: not after
// "Connection: close", an HTTP/1.0 answer or an error, and a request the server closes the kept
// connection on is asked again on a new one. A connection that wrongly carries another request
// answers "wrong", so a reuse shows in the files.
TEST_F(HttpScripted, KeptConnectionsCarryTheNextFilesUntilTheServerEndsThem) {
  std::atomic<int> connection{0};
  auto refuse_reuse = [](int fd) {
    if (!net_testing::read_request(fd).empty()) send_all(fd, ok_header(5) + "wrong");
  };
  ScriptedServer server(
      [&](int& fd, const std::string&) {
        switch (++connection) {
          case 1:  // a length, then chunks, then "close" on the same connection
            send_all(fd, ok_header(1) + "a");
            if (net_testing::read_request(fd).empty()) return;
            send_all(fd, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nb\r\n0\r\n\r\n");
            if (net_testing::read_request(fd).empty()) return;
            send_all(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nc");
            return refuse_reuse(fd);
          case 2:
            send_all(fd, "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nd");
            return refuse_reuse(fd);
          case 3:  // the next request arrives, and the server closes without an answer
            send_all(fd, ok_header(1) + "e");
            net_testing::read_request(fd);
            return;
          case 4:
            send_all(fd, ok_header(1) + "f");
            if (net_testing::read_request(fd).empty()) return;
            send_all(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno");
            return refuse_reuse(fd);
          default:  // an answer without a body ends at its header, and the connection goes on
            send_all(fd, ok_header(1) + "h");
            if (net_testing::read_request(fd).empty()) return;
            send_all(fd, "HTTP/1.1 204 No Content\r\n\r\n");
            if (net_testing::read_request(fd).empty()) return;
            send_all(fd, ok_header(1) + "j");
        }
      },
      5);
  for (std::string name : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(poll_slot(3, server.address(), "/" + name, dir / name), name == "g" ? 2 : 1);
    EXPECT_EQ(read_file(dir / name), name == "g" ? "no" : name == "i" ? "" : name);
  }
  EXPECT_EQ(connection, 5);
  EXPECT_NE(log.text().find("I ask again on a new one."), std::string::npos) << log.text();
  EXPECT_EQ(dump_of(dir / "f"), "");
  EXPECT_NE(dump_of(dir / "g"), "");
}

// A file asked for ahead, behind another on a connection kept open, takes its answer from that
// connection, also when the answer came in one write with the one before it; when the server
// ends the connection first, it is asked again on a new one; and a request for another file never
// takes that answer.
TEST_F(HttpScripted, AFileAskedForAheadTakesItsAnswerFromTheConnectionOrAsksAgain) {
  std::atomic<int> connection{0};
  ScriptedServer server(
      [&](int& fd, const std::string&) {
        auto two_requests = [fd] {
          return !net_testing::read_request(fd).empty() && !net_testing::read_request(fd).empty();
        };
        switch (++connection) {
          case 1:
            send_all(fd, ok_header(1) + "a");
            if (!two_requests()) return;  // b, with c behind it: both answers in one write
            send_all(fd, ok_header(1) + "b" +
                             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nc\r\n0\r\n\r\n");
            if (!two_requests()) return;  // d, with e behind it: d ends the connection
            send_all(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nd");
            return;
          case 2:
            send_all(fd, ok_header(1) + "e");
            if (!two_requests()) return;  // f, with g behind it: the server closes after f
            send_all(fd, ok_header(1) + "f");
            return;
          case 3:
            send_all(fd, ok_header(1) + "g");
            if (!two_requests()) return;  // h, with i behind it; the client then wants j instead
            send_all(fd, ok_header(1) + "h" + ok_header(1) + "i");
            net_testing::read_request(fd);
            return;
          default:
            send_all(fd, ok_header(1) + "j");
        }
      },
      4);
  auto fetch = [&](const std::string& name, const char* ahead, bool& sent_ahead) {
    int r = http.net_check(3, server.address(), "/" + name, dir / name, -1, nullptr,
                           *ahead ? "/" + std::string(ahead) : std::string());
    sent_ahead = http.sent_ahead[3];
    for (int polls = 0; r == 0 && polls < 1'000'000; ++polls)
      r = http.net_check(3, server.address(), "/" + name, dir / name);
    return r;
  };
  const std::pair<const char*, const char*> steps[] = {{"a", "b"}, {"b", "c"}, {"c", "d"}, {"d", "e"}, {"e", "f"},
                                                       {"f", "g"}, {"g", ""}, {"h", "i"}, {"j", "k"}};
  // Only a connection that has outlived an answer, and is kept after it, carries a request ahead.
  const bool ahead_expected[] = {false, true, true, true, false, true, false, true, false};
  for (size_t k = 0; k < std::size(steps); ++k) {
    const auto [name, ahead] = steps[k];
    SCOPED_TRACE(name);
    bool sent_ahead = false;
    EXPECT_EQ(fetch(name, ahead, sent_ahead), 1);
    EXPECT_EQ(sent_ahead, ahead_expected[k]);
    EXPECT_EQ(read_file(dir / name), name);
  }
  EXPECT_EQ(connection, 4);
  EXPECT_NE(log.text().find("was closed as I asked it for /g; I ask again on a new one."), std::string::npos)
      << log.text();
  net_testing::reset_http();  // the server's last connection ends with the client's
}

TEST_F(HttpScripted, EnvironmentProxyFormsExemptionsAndThePreferencesFirst) {
  struct Form {
    const char* text;
    const char* host;
    int port;
  };
  for (const Form& f : {Form{"http://proxy.lan:3128/", "proxy.lan", 3128}, Form{"HTTP://10.0.0.1:8080", "10.0.0.1", 8080},
                        Form{" proxy.lan:3128 ", "proxy.lan", 3128}, Form{"http://proxy.lan", "proxy.lan", 1080}}) {
    std::string host, why;
    int port = 0;
    EXPECT_TRUE(parse_proxy_url(f.text, host, port, why)) << f.text;
    EXPECT_EQ(host, f.host);
    EXPECT_EQ(port, f.port);
  }
  for (const char* bad : {"https://proxy.lan:3128/", "socks5://proxy.lan:1080", "http://user:pw@proxy.lan:3128/",
                          "proxy.lan:80a", "proxy.lan:0", "proxy.lan:65536", "http://:3128/", "http://[::1]:3128/", ""}) {
    std::string host, why;
    int port = 0;
    EXPECT_FALSE(parse_proxy_url(bad, host, port, why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }

  const std::string list = "localhost, .example.com,Files.Example.org:8080,10.1.2.3";
  for (const char* exempt : {"localhost", "example.com", "a.b.example.com", "files.example.org", "10.1.2.3"})
    EXPECT_TRUE(no_proxy_matches(list, exempt)) << exempt;
  for (const char* proxied : {"notexample.com", "example.org", "10.1.2.30", "localhost.lan", ""})
    EXPECT_FALSE(no_proxy_matches(list, proxied)) << proxied;
  EXPECT_TRUE(no_proxy_matches("*", "anything.at.all"));

  http.EnvProxyHost = "proxy.lan";
  http.EnvProxyPort = 3128;
  http.EnvProxyVariable = "http_proxy";
  http.NoProxy = ".example.com";
  EXPECT_TRUE(UseProxy("files.example.org", 80));
  EXPECT_FALSE(UseProxy("files.example.com", 80));
  EXPECT_EQ(http.proxy_description(), "Proxy: proxy.lan:3128 from http_proxy, except for .example.com");
  // A proxy of the preferences comes first, for every host.
  http.ProxyHost = "prefs.lan";
  http.ProxyPort_int = 8080;
  std::string host;
  unsigned short port = 0;
  EXPECT_TRUE(proxy_for("files.example.com", host, port));
  EXPECT_EQ(host + ":" + std::to_string(port), "prefs.lan:8080");
  EXPECT_EQ(http.proxy_description(), "Proxy: prefs.lan:8080 from the preferences");
}

TEST_F(HttpScripted, InterimResponseFollowedByTheRealOneInOneRead) {
  ScriptedServer server(answer("HTTP/1.1 100 Continue\r\n\r\n" + ok_header(4) + "body"));
  std::string dest = dir / "a.bin";
  EXPECT_EQ(poll_slot(1, server.address(), "/a.bin", dest), 1);
  EXPECT_EQ(read_file(dest), "body");
}

TEST_F(HttpScripted, FirstOfTwoContentLengthsCountsAndZeroLengthMakesAnEmptyFile) {
  {
    ScriptedServer server(answer("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 10\r\n\r\nabc"));
    EXPECT_EQ(poll_slot(2, server.address(), "/f", dir / "f"), 1);
    EXPECT_EQ(read_file(dir / "f"), "abc");
  }
  {
    ScriptedServer server(answer(ok_header(0)));
    EXPECT_EQ(poll_slot(3, server.address(), "/empty", dir / "empty"), 1);
    EXPECT_TRUE(testing_support::file_exists(dir / "empty"));
    EXPECT_EQ(read_file(dir / "empty"), "");
  }
  EXPECT_EQ(log.text().find("HTTP Error"), std::string::npos);
}

TEST_F(HttpScripted, NotFoundLeavesThePageAndWritesTheDump) {
  std::string page = "<html>no such file</html>";
  ScriptedServer server(answer("HTTP/1.1 404 Not Found\r\nContent-Length: " + std::to_string(page.size()) +
                               "\r\n\r\n" + page));
  std::string dest = dir / "missing.zip";
  EXPECT_EQ(poll_slot(4, server.address(), "/missing.zip", dest), 2);
  EXPECT_EQ(read_file(dest), page);
  EXPECT_EQ(dump_of(dest),
            "HTTP Error for " + dest + "\n"
            "   server     =" + server.address() + "\n"
            "   file       =/missing.zip\n"
            "   IsDone     =1\n"
            "   IsComplete =1\n"
            "   IsErr      =0\n"
            "   GetStat    =3\n"
            "   GetOSErr   =0\n"
            "   response   =Not Found (#404)\n\n");
  EXPECT_EQ(http.down[4], nullptr);
}

TEST_F(HttpScripted, MoreBytesThanAnnouncedFail) {
  ScriptedServer server(answer(ok_header(4) + "bodyEXTRA"));
  std::string dest = dir / "over";
  EXPECT_EQ(poll_slot(2, server.address(), "/over", dest), 2);
  std::string dump = dump_of(dest);
  EXPECT_NE(dump.find("   IsComplete =0\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find("   response   =OK (#200)\n"), std::string::npos) << dump;
}

TEST_F(HttpScripted, RefusedConnectionFailsWithTheDump) {
  int port = testing_support::free_port();
  std::string server = "127.0.0.1:" + std::to_string(port);
  std::string dest = dir / "never";
  EXPECT_EQ(poll_slot(5, server, "/never", dest), 2);
  std::string dump = dump_of(dest);
  EXPECT_NE(dump.find("   IsDone     =1\n   IsComplete =0\n   IsErr      =0\n   GetStat    =3\n   GetOSErr   =0\n"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("   response   = (#-1)\n"), std::string::npos) << dump;
  EXPECT_FALSE(testing_support::file_exists(dest));
}

TEST_F(HttpScripted, ResetDuringTheBodyFailsWithTheDump) {
  ScriptedServer server([](int& fd, const std::string&) {
    send_all(fd, ok_header(1000) + std::string(300, 'x'));
    net_testing::reset_close(fd);
    fd = -1;
  });
  std::string dest = dir / "cut";
  EXPECT_EQ(poll_slot(2, server.address(), "/cut", dest), 2);
  std::string dump = dump_of(dest);
  EXPECT_NE(dump.find("   IsDone     =1\n   IsComplete =0\n"), std::string::npos) << dump;
}

TEST_F(HttpScripted, UnresolvedHostFailsAtOnceWithTheTranslationLine) {
  // An empty name fails the lookup without asking any name server.
  std::string dest = dir / "x";
  EXPECT_EQ(http.net_check(1, "", "/x", dest), 2);
  std::string text = log.text();
  EXPECT_NE(text.find("Translated server  to IP addy: 0.0.0.0 and port = 80\n"), std::string::npos) << text;
  std::string dump = dump_of(dest);
  EXPECT_NE(dump.find("   IsDone     =0\n   IsComplete =0\n   IsErr      =1\n   GetStat    =0\n   GetOSErr   =20011\n"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("   response   = (#0)\n"), std::string::npos);
}

TEST_F(HttpScripted, DestinationThatCannotBeCreatedFails) {
  ScriptedServer server(answer(ok_header(2) + "hi"));
  std::string dest = dir / "no/such/folder/f";
  EXPECT_EQ(poll_slot(2, server.address(), "/f", dest), 2);
  EXPECT_NE(dump_of(dest).find("   GetOSErr   =" + std::to_string(ENOENT) + "\n"), std::string::npos);
}

// The 30-second rule, driven by setting the clock by hand.
TEST_F(HttpScripted, StalledBodyFailsThirtySecondsAfterTheLastArrivalWithoutADump) {
  ScriptedServer server([&](int& fd, const std::string&) {
    send_all(fd, ok_header(100) + std::string(10, 'a'));
    server.wait_release();
    send_all(fd, std::string(20, 'b'));
    server.wait_release();  // then silence until the test ends
  });
  std::string dest = dir / "stall";
  auto payload_is = [](int n) { return [n](down_class& d) { return d.mReceivedPayload == n; }; };
  ASSERT_TRUE(poll_until(3, server.address(), "/stall", dest, payload_is(10)));
  EXPECT_EQ(http.down[3]->mIncomingLength, 100);

  xtim.set_real_time(20.0f);
  server.release();
  ASSERT_TRUE(poll_until(3, server.address(), "/stall", dest, payload_is(30)));
  EXPECT_FLOAT_EQ(http.down[3]->last_read_time, 20.0f);

  xtim.set_real_time(49.9f);
  EXPECT_EQ(http.net_check(3, server.address(), "/stall", dest), 0);
  xtim.set_real_time(50.1f);
  EXPECT_EQ(http.net_check(3, server.address(), "/stall", dest), 2);
  EXPECT_EQ(http.down[3], nullptr);
  EXPECT_EQ(log.text().find("HTTP Error"), std::string::npos);
}

// Every valid way of framing an answer completes while the clock stands still, so no timer
// ends any of them.
TEST_F(HttpScripted, ValidAnswersCompleteAtOnce) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"lower-case field name", "HTTP/1.1 200 OK\r\ncontent-length: 4\r\n\r\nbody"},
      {"no blank after the colon, blanks after the value", "HTTP/1.1 200 OK\r\nContent-Length:4  \r\n\r\nbody"},
      {"no length: the body ends where the server closes", "HTTP/1.1 200 OK\r\n\r\nbody"},
      {"status line without reason", "HTTP/1.1 200\r\nContent-Length: 4\r\n\r\nbody"},
      {"status line with an empty reason", "HTTP/1.1 200 \r\nContent-Length: 4\r\n\r\nbody"},
      {"fields of an interim answer do not count",
       "HTTP/1.1 100 Continue\r\nContent-Length: 99\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody"},
      {"chunked, with extension and trailer, over a length",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\ntransfer-encoding:  Chunked\r\n\r\n"
       "3;name=x\r\nbod\r\n1 \r\ny\r\n0\r\nX-Check: 1\r\n\r\n"},
      {"chunked, large hex size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n01A\r\n" +
                                      std::string(26, 'z') + "\r\n0\r\n\r\n"},
  };
  const std::string expected[] = {"body", "body", "body", "body", "body", "body", "body", std::string(26, 'z')};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    for (bool byte_by_byte : {false, true}) {
      // One byte a write checks that every parsing state survives the end of a read.
      ScriptedServer server([&](int& fd, const std::string&) {
        if (!byte_by_byte) return (void)send_all(fd, cases[i].bytes);
        for (char c : cases[i].bytes) send_all(fd, std::string(1, c));
      });
      std::string dest = dir / "valid";
      ASSERT_EQ(poll_slot(2, server.address(), "/valid", dest), 1) << byte_by_byte;
      EXPECT_EQ(read_file(dest), expected[i]);
    }
  }
  EXPECT_EQ(log.text().find("HTTP Error"), std::string::npos) << log.text();
}

// Answers cut short or malformed fail as soon as they show it, with the clock standing still.
TEST_F(HttpScripted, CutOrMalformedAnswersFailAtOnce) {
  const std::pair<const char*, std::string> cases[] = {
      {"closed before the announced length", ok_header(10) + "body"},
      {"closed inside the header", "HTTP/1.1 200 OK\r\nContent-Le"},
      {"closed before the last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n"},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nbody\r\n0\r\n\r\n"},
      {"chunk longer than its size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nbody\r\n0\r\n\r\n"},
      {"chunk line without CR", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\nbody\r\n0\r\n\r\n"},
      {"bytes after the last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\nmore"},
      {"a coding I cannot undo", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nbody"},
      {"malformed status code", "HTTP/1.1 2x0 OK\r\nContent-Length: 4\r\n\r\nbody"},
      {"no status line", "Content-Length: 4\r\n\r\nbody"},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    ScriptedServer server(answer(bytes));
    std::string dest = dir / "bad";
    EXPECT_EQ(poll_slot(2, server.address(), "/bad", dest), 2);
    EXPECT_NE(dump_of(dest).find("   IsComplete =0\n"), std::string::npos) << dump_of(dest);
  }
}

// A body past its bound stops the transfer and leaves no file; so does a length that says so.
TEST_F(HttpScripted, BodiesPastTheirBoundStopAndLeaveNoFile) {
  constexpr long long kBound = 100 * 1024;
  // Far more than the bound, then a clean close: were the bound not kept, the answer would pass.
  auto flood = [](std::string header, bool chunked) {
    return [header, chunked](int& fd, const std::string&) {
      std::string block(16 * 1024, 'e');
      if (chunked) block = "4000\r\n" + block + "\r\n";
      bool sent = send_all(fd, header);
      for (int i = 0; sent && i < 256; ++i) sent = send_all(fd, block);
      if (sent && chunked) send_all(fd, "0\r\n\r\n");
    };
  };
  struct Case {
    const char* name;
    ScriptedServer::Script script;
  };
  const Case cases[] = {
      {"length above the bound", answer(ok_header(kBound + 1) + "x")},
      {"endless body without length", flood("HTTP/1.1 200 OK\r\n\r\n", false)},
      {"endless chunked body", flood("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", true)},
      {"one chunk above the bound", answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n19001\r\nx")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server(c.script);
    std::string dest = dir / "bounded";
    EXPECT_EQ(poll_slot(2, server.address(), "/bounded", dest, kBound), 2);
    EXPECT_FALSE(testing_support::file_exists(dest));
    EXPECT_NE(dump_of(dest).find("   GetOSErr   =" + std::to_string(EFBIG) + "\n"), std::string::npos);
  }
  // Exactly the bound passes.
  ScriptedServer server(answer(ok_header(kBound) + std::string(kBound, 'k')));
  EXPECT_EQ(poll_slot(2, server.address(), "/exact", dir / "exact", kBound), 1);
}

// A download that continues a file of five bytes asks for the rest under the validator it
// kept. Only a 206 from exactly that byte joins the file; a 200 (a server that ignores Range,
// or a file that changed) writes the whole body afresh with its own validator; a wrong start, a
// body past the announced end or the bound, or a 416 drops the file, unless the 416 says the file
// is whole already. A cut or a failure of the mirror keeps what arrived.
TEST_F(HttpScripted, AResumedDownloadJoinsOnlyTheRestItAskedFor) {
  const std::string partial = "HTTP/1.1 206 Partial Content\r\nConnection: close\r\n";
  struct Case {
    const char* name;
    std::string answer;
    int result;
    const char* file;       // what the file holds afterwards; null: removed
    const char* validator;  // what the side file holds afterwards; null: removed
  };
  const Case cases[] = {
      {"the rest", partial + "Content-Range: bytes 5-9/10\r\nContent-Length: 5\r\n\r\n56789", 1, "0123456789",
       "\"v1\"\n"},
      {"the rest in chunks", partial + "Content-Range: bytes 5-9/10\r\nTransfer-Encoding: chunked\r\n\r\n"
       "2\r\n56\r\n3\r\n789\r\n0\r\n\r\n", 1, "0123456789", "\"v1\"\n"},
      {"Range ignored", "HTTP/1.1 200 OK\r\nConnection: close\r\nETag: W/\"weak\"\r\nLast-Modified: Tue, 08 Dec 2026 "
       "10:00:00 GMT\r\nContent-Length: 10\r\n\r\nABCDEFGHIJ", 1, "ABCDEFGHIJ", "Tue, 08 Dec 2026 10:00:00 GMT\n"},
      {"a wrong start", partial + "Content-Range: bytes 3-9/10\r\nContent-Length: 7\r\n\r\n3456789", 2, nullptr,
       "\"v1\"\n"},
      {"more than announced", partial + "Content-Range: bytes 5-9/10\r\nTransfer-Encoding: chunked\r\n\r\n"
       "8\r\n56789xyz\r\n0\r\n\r\n", 2, nullptr, "\"v1\"\n"},
      {"a whole file past the bound", partial + "Content-Range: bytes 5-65/66\r\nContent-Length: 61\r\n\r\n", 2,
       nullptr, "\"v1\"\n"},
      {"416", "HTTP/1.1 416 Range Not Satisfiable\r\nConnection: close\r\nContent-Range: bytes */10\r\n"
       "Content-Length: 0\r\n\r\n", 2, nullptr, "\"v1\"\n"},
      {"416 to a file already whole", "HTTP/1.1 416 Range Not Satisfiable\r\nConnection: close\r\nContent-Range: "
       "bytes */5\r\nContent-Length: 4\r\n\r\nnone", 1, "01234", "\"v1\"\n"},
      {"a busy mirror", "HTTP/1.1 503 Busy\r\nConnection: close\r\nContent-Length: 4\r\n\r\nbusy", 2, "01234",
       "\"v1\"\n"},
      {"chunks that end short", partial + "Content-Range: bytes 5-9/10\r\nTransfer-Encoding: chunked\r\n\r\n"
       "2\r\n56\r\n0\r\n\r\n", 2, "0123456", "\"v1\"\n"},
      {"a cut", partial + "Content-Range: bytes 5-9/10\r\nContent-Length: 5\r\n\r\n567", 2, "01234567", "\"v1\"\n"},
  };
  const std::string dest = dir / "big.zip", side = dir / "big.zip.validator";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::write_file(dest, "01234");
    testing_support::write_file(side, "\"v1\"\n");
    ScriptedServer server(answer(c.answer));
    const range_start resume{5, "\"v1\"", side};
    EXPECT_EQ(poll_slot(2, server.address(), "/big.zip", dest, 64, 120, &resume), c.result);
    EXPECT_NE(server.request().find("\r\nRange: bytes=5-\r\n"), std::string::npos) << server.request();
    EXPECT_NE(server.request().find("\r\nIf-Range: \"v1\"\r\n"), std::string::npos) << server.request();
    EXPECT_EQ(testing_support::file_exists(dest), c.file != nullptr);
    if (c.file) {
      EXPECT_EQ(read_file(dest), c.file);
    }
    EXPECT_EQ(testing_support::file_exists(side), c.validator != nullptr);
    if (c.validator) {
      EXPECT_EQ(read_file(side), c.validator);
    }
  }
}

// A transfer under the speed floor over a whole window is left; a burst that met the floor
// starts a new window.
TEST_F(HttpScripted, TransferTooSlowOverAWindowIsLeft) {
  const int burst = static_cast<int>(kSlowSeconds) * static_cast<int>(kSlowBytesPerSecond) + 1000;
  ScriptedServer server([&](int& fd, const std::string&) {
    send_all(fd, ok_header(1000000) + std::string(1000, 'a'));
    for (int size : {burst, 1000, 1000}) {
      server.wait_release();
      send_all(fd, std::string(size, 'b'));
    }
    server.wait_release();
  });
  std::string dest = dir / "slow";
  int payload = 1000;
  ASSERT_TRUE(poll_until(3, server.address(), "/slow", dest, [&](down_class& d) { return d.mReceivedPayload == payload; }));
  // Each arrival comes within the stall limit of the one before.
  for (auto [when, size] : {std::pair{30.0f, burst}, {55.0f, 1000}, {84.0f, 1000}}) {
    xtim.set_real_time(when);
    server.release();
    payload += size;
    ASSERT_TRUE(poll_until(3, server.address(), "/slow", dest, [&](down_class& d) { return d.mReceivedPayload == payload; }))
        << when;
    if (when == 55.0f) {
      // Past one window from the start, but the burst at 30 s began a new one.
      xtim.set_real_time(60.5f);
      EXPECT_EQ(http.net_check(3, server.address(), "/slow", dest), 0);
    }
  }
  xtim.set_real_time(89.9f);
  EXPECT_EQ(http.net_check(3, server.address(), "/slow", dest), 0);
  xtim.set_real_time(90.1f);
  EXPECT_EQ(http.net_check(3, server.address(), "/slow", dest), 2);
  EXPECT_NE(log.text().find("I left " + server.address() + "/slow: it sent under 1024 bytes a second for 60 seconds."),
            std::string::npos)
      << log.text();
}

TEST_F(HttpScripted, HeaderWithoutEndIsCutAt64KiB) {
  std::string endless = "HTTP/1.1 200 OK\r\n";
  while (endless.size() < 80 * 1024) endless += "X-Filler: " + std::string(100, 'f') + "\r\n";
  ScriptedServer server([&](int& fd, const std::string&) {
    send_all(fd, endless);
    server.wait_release();
  });
  std::string dest = dir / "endless";
  EXPECT_EQ(poll_slot(2, server.address(), "/endless", dest), 2);
  EXPECT_NE(dump_of(dest).find("   GetOSErr   =" + std::to_string(EMSGSIZE) + "\n"), std::string::npos);
}

TEST_F(HttpScripted, EndlessInterimAnswersAreCutAt64KiBInAll) {
  ScriptedServer server([&](int& fd, const std::string&) {
    for (int i = 0; i < 10000 && send_all(fd, "HTTP/1.1 100 Continue\r\nX-Filler: ffffffff\r\n\r\n"); ++i) {
    }
    server.wait_release();
  });
  std::string dest = dir / "interim";
  EXPECT_EQ(poll_slot(2, server.address(), "/interim", dest), 2);
  EXPECT_NE(dump_of(dest).find("   GetOSErr   =" + std::to_string(EMSGSIZE) + "\n"), std::string::npos);
}

TEST_F(HttpScripted, LargeButBoundedHeaderStillWorks) {
  std::string header = "HTTP/1.1 200 OK\r\n";
  while (header.size() < 60 * 1024) header += "X-Filler: " + std::string(100, 'f') + "\r\n";
  header += "Content-Length: 3\r\n\r\n";
  ScriptedServer server(answer(header + "end"));
  EXPECT_EQ(poll_slot(2, server.address(), "/big-header", dir / "h"), 1);
  EXPECT_EQ(read_file(dir / "h"), "end");
}

TEST_F(HttpScripted, MalformedContentLengthFailsInsteadOfPassingAnEmptyFile) {
  for (const char* value : {"abc", "-5", "99999999999"}) {
    SCOPED_TRACE(value);
    ScriptedServer server(answer(std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + value + "\r\n\r\nxyz"));
    EXPECT_EQ(poll_slot(2, server.address(), "/bad", dir / "bad"), 2);
  }
}

TEST(HttpServerPort, SplitsOnlyAValidTrailingPort) {
  struct Case {
    std::string in, host;
    unsigned short port;
    bool had;
  };
  const Case cases[] = {{"127.0.0.1:8080", "127.0.0.1", 8080, true}, {"localhost", "localhost", 80, false},
                        {"mirror:65535", "mirror", 65535, true},     {"mirror:0", "mirror:0", 80, false},
                        {"mirror:65536", "mirror:65536", 80, false}, {"mirror:8o", "mirror:8o", 80, false},
                        {"a:b:81", "a:b", 81, true}};
  for (const Case& c : cases) {
    std::string host = c.in;
    unsigned short port = 0;
    bool had = false;
    split_server_port(host, port, had);
    EXPECT_EQ(host, c.host) << c.in;
    EXPECT_EQ(port, c.port) << c.in;
    EXPECT_EQ(had, c.had) << c.in;
  }
}

TEST_F(HttpScripted, LocalhostWithAPortWorks) {
  ScriptedServer server(answer(ok_header(2) + "lh"));
  EXPECT_EQ(poll_slot(0, "localhost:" + std::to_string(server.port()), "/lh", dir / "lh"), 1);
  EXPECT_EQ(read_file(dir / "lh"), "lh");
}

// Programming errors end the program through the fatal alert.
using HttpFatalDeathTest = HttpScripted;

namespace {
void alert_to_stderr() {
  alert_hooks().show = [](const alert_view& v) {
    fprintf(stderr, "%s|%s|%s|%s\n", v.lines[0].c_str(), v.lines[1].c_str(), v.lines[2].c_str(), v.lines[3].c_str());
  };
}
}  // namespace

TEST_F(HttpFatalDeathTest, BadSlotsAndMalformedNamesEndTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT((alert_to_stderr(), http.net_check(6, "127.0.0.1", "/a", dir / "a")), ::testing::ExitedWithCode(1),
              "Too many download objects requested!");
  EXPECT_EXIT((alert_to_stderr(), http.net_check(-1, "127.0.0.1", "/a", dir / "a")), ::testing::ExitedWithCode(1),
              "Too many download objects requested!");
  EXPECT_EXIT((alert_to_stderr(), http.net_check(0, "127.0.0.1/", "/a", dir / "a")), ::testing::ExitedWithCode(1),
              "You have a dirchar at the end of the server name!\\|You should not!\\|.*\\|127.0.0.1/");
  EXPECT_EXIT((alert_to_stderr(), http.net_check(0, "127.0.0.1", "a/b", dir / "a")), ::testing::ExitedWithCode(1),
              "You do not have a dirchar at the beginning of the directory name!\\|You should!\\|.*\\|a/b");
}
