// The reader's and writer's pure parts and their loops over real sockets and
// pipes: percent decoding, numbers, request lines, header blocks, dates,
// status lines and script header blocks.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/blocks.h"
#include "core/decimal.h"
#include "core/error.h"
#include "http/engine.h"
#include "http/file_service.h"
#include "http/request_reader.h"
#include "http/response_writer.h"
#include "http/session.h"
#include "support/test_os.h"

namespace {

// A zero-filled connection whose socket is one end of a socket pair; the
// test writes the request into the other end.
struct PairedConnection {
  PairedConnection() {
    SocketHandle ends[2] = {kInvalidSocket, kInvalidSocket};
    EXPECT_TRUE(testos::MakeSocketPair(ends));
    AllocBlock(&c, sizeof(Connection), true, 0);
    c->socket = ends[0];
    c->file = kInvalidFile;
    peer = ends[1];
  }
  ~PairedConnection() {
    ResetRequest(c);
    testos::CloseTestSocket(c->socket);
    testos::CloseTestSocket(peer);
    FreeAndClear(&c->receive_buffer);
    FreeAndClear(&c);
  }
  void Feed(const std::string& bytes) { ASSERT_TRUE(testos::WriteAll(peer, bytes)); }
  std::string Sent() {
    testos::ShutdownSending(c->socket);
    return testos::ReadToEnd(peer);
  }
  Connection* c = nullptr;
  SocketHandle peer = kInvalidSocket;
};

std::string Decode(const char* text) {
  char* decoded = DecodePercent(text);
  std::string result = decoded;
  FreeAndClear(&decoded);
  return result;
}

TEST(DecodePercent, Table) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"/a%20b.html", "/a b.html"}, {"%41%42", "AB"},        {"%4a%4A", "JJ"},
      {"/x%4", "/x%4"},             {"/x%", "/x%"},          {"%zz1", "%zz1"},
      {"%4g", "%4g"},               {"a+b", "a+b"},          {"/a%00b", "/a"},
      {"%%41", "%A"},               {"/%2e%2e/b", "/../b"},  {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.in), c.out) << c.in;
}

TEST(ParseDecimalPrefix, ReadsLikeTheCLibraryAndSaturates) {
  struct Case { const char* in; int32_t out; } cases[] = {
      {"12abc", 12}, {"  42", 42}, {"-7", -7}, {"+9", 9}, {"", 0}, {"abc", 0},
      {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX}, {"99999999999999999999", INT32_MAX},
      {"-99999999999", INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDecimalPrefix(c.in), c.out) << c.in;
  EXPECT_EQ(ParseDecimalPrefix64("4294967296"), 4294967296LL);
  EXPECT_EQ(ParseDecimalPrefix64("99999999999999999999999"), INT64_MAX);
}

TEST(ParseRequestLine, SplitsMethodTargetQueryPathVersion) {
  struct Case {
    const char* line; int32_t result; const char* method; const char* target;
    const char* query; const char* path; const char* version;
  } cases[] = {
      {"GET /a%20b.html HTTP/1.1", 0, "GET", "/a%20b.html", nullptr, "/a b.html", "HTTP/1.1"},
      {"GET /x.php?a=1&b=%41 HTTP/1.0", 0, "GET", "/x.php?a=1&b=%41", "a=1&b=%41", "/x.php", "HTTP/1.0"},
      {"GET /index.html", 0, "GET", "/index.html", nullptr, "/index.html", "HTTP/1.0"},
      {"GET /my file.html HTTP/1.1", 0, "GET", "/my file.html", nullptr, "/my file.html", "HTTP/1.1"},
      {"post /form HTTP/1.1", 0, "post", "/form", nullptr, "/form", "HTTP/1.1"},
      {"GET /a.php? HTTP/1.1", 0, "GET", "/a.php?", "", "/a.php", "HTTP/1.1"},
      {"HEAD / HTTP/1.1", 501, "HEAD", nullptr, nullptr, nullptr, nullptr},
      {"PUT / HTTP/1.1", 501, "PUT", nullptr, nullptr, nullptr, nullptr},
      {"GARBAGE", 0, nullptr, nullptr, nullptr, nullptr, nullptr},
  };
  auto same = [](const char* a, const char* b) { return (a == nullptr || b == nullptr) ? a == b : std::strcmp(a, b) == 0; };
  for (const Case& t : cases) {
    PairedConnection p;
    EXPECT_EQ(ParseRequestLine(t.line, p.c), t.result) << t.line;
    EXPECT_TRUE(same(p.c->method, t.method)) << t.line;
    if (t.result == 0) {
      EXPECT_TRUE(same(p.c->target, t.target)) << t.line;
      EXPECT_TRUE(same(p.c->query, t.query)) << t.line;
      EXPECT_TRUE(same(p.c->path, t.path)) << t.line;
      EXPECT_TRUE(same(p.c->version, t.version)) << t.line;
    } else {
      EXPECT_EQ(p.c->version, nullptr) << "the version is split off after the method test";
    }
  }
}

std::string Headers(int count) {
  std::string block;
  for (int i = 0; i < count; ++i) block += "X-H" + std::to_string(i) + ": v\r\n";
  return block;
}

TEST(ReadRequest, HeaderBlocksOverASocket) {
  struct Case { std::string bytes; int32_t result; int32_t close_after; int32_t content_length; int32_t headers; } cases[] = {
      {"GET / HTTP/1.1\r\nConnection: keep-alive\r\n\r\n", 0, 0, 0, 1},
      {"GET / HTTP/1.1\r\nConnection: KEEP-ALIVE\r\n\r\n", 0, 0, 0, 1},
      {"GET / HTTP/1.1\r\nConnection: Keep-Alive, TE\r\n\r\n", 0, 1, 0, 1},
      {"GET / HTTP/1.1\r\n\r\n", 0, 1, 0, 0},
      {"POST / HTTP/1.1\r\nContent-Length: 12abc\r\n\r\n", 0, 1, 12, 1},
      {"POST / HTTP/1.1\r\nContent-Length: 2147483647\r\n\r\n", 0, 1, INT32_MAX, 1},
      {"POST / HTTP/1.1\r\nContent-Length: +7\r\n\r\n", 0, 1, 7, 1},
      // Lengths that frame no body, and transfer codings, are refused.
      {"POST / HTTP/1.1\r\nContent-Length: 2147483648\r\n\r\n", 400, 1, 0, 1},
      {"POST / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n", 400, 1, 0, 1},
      {"POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", 400, 1, 0, 1},
      {"POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\n", 400, 1, 0, 1},
      {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 501, 1, 0, 1},
      {"GET / HTTP/1.1\r\nConnection: keep-alive\r\nTransfer-Encoding: x\r\n\r\n", 501, 0, 0, 2},
      {"GET / HTTP/1.1\x01\r\n\r\n", 400, 0, 0, 0},
      {"GET / HTTP/1.1\nSet-Cookie:x\r\n\r\n", 400, 0, 0, 0},
      {"GET / HTTP/1.1\r\nNoBlank:x\r\nA: b\r\n\r\n", 0, 1, 0, 1},
      {"GET / HTTP/1.1\r\n" + Headers(63) + "\r\n", 0, 1, 0, 63},
      {"GET / HTTP/1.1\r\n" + Headers(64) + "\r\n", 400, 0, 0, 64},
      {"GET / HTTP/1.1\nHost: x\n\n", 400, 0, 0, 0},
      {"GET / HTTP/1.1\r\nHost: x\r\n", 400, 0, 0, 1},
      {"GET /" + std::string(2045, 'a') + "\r\n", 400, 0, 0, 0},
      {"DELETE / HTTP/1.1\r\n\r\n", 501, 0, 0, 0},
  };
  for (const Case& t : cases) {
    PairedConnection p;
    p.Feed(t.bytes);
    testos::ShutdownSending(p.peer);
    EXPECT_EQ(p.c->ReadRequest(), t.result) << t.bytes.substr(0, 60);
    EXPECT_EQ(p.c->close_after, t.close_after) << t.bytes.substr(0, 60);
    EXPECT_EQ(p.c->content_length, t.content_length) << t.bytes.substr(0, 60);
    EXPECT_EQ(p.c->request_header_count, t.headers) << t.bytes.substr(0, 60);
    // Whatever is answered, no control byte is echoed in the status line.
    for (const char* v = p.c->version; v != nullptr && *v != '\0'; ++v) {
      EXPECT_GE(static_cast<unsigned char>(*v), 0x20) << t.bytes.substr(0, 60);
    }
  }
}

TEST(ReadRequest, ValuesKeepExtraBlanksAndTheBodyFollowsTheHeaders) {
  PairedConnection p;
  p.Feed("POST /f HTTP/1.1\r\nA:  two\r\nReferer: r\r\nContent-Length: 4\r\n\r\nBODYGET /next");
  ASSERT_EQ(p.c->ReadRequest(), 0);
  EXPECT_STREQ(FindRequestHeader(p.c, "a:"), " two");
  EXPECT_STREQ(FindRequestHeader(p.c, "REFERER:"), "r");
  EXPECT_STREQ(FindRequestHeader(p.c, "Missing:"), "");
  EXPECT_EQ(p.c->request_value_bytes, 4 + 1 + 1);
  char body[5] = {};
  ASSERT_TRUE(ReceiveRequestBody(p.c, body, 4));
  EXPECT_STREQ(body, "BODY");
}

TEST(ReceiveLine, LineOfExactlyTheBufferSize) {
  PairedConnection p;
  std::string line(2046, 'x');
  p.Feed(line + "\r\n");
  char buffer[kLineCapacity];
  int32_t length = 0;
  ASSERT_TRUE(ReceiveLine(p.c->socket, buffer, "\r\n", &length));
  EXPECT_EQ(length, 2048);
  EXPECT_EQ(std::strlen(buffer), 2046u);
}

TEST(HttpDate, FormatsAndParsesTheSameForm) {
  // 2006-12-05 10:20:30 UTC as 100 ns units since 1601.
  const uint64_t time = (1165314030ULL + 11644473600ULL) * 10000000ULL + 1234567;
  char text[64];
  ASSERT_TRUE(FormatHttpDate(time, text, sizeof(text)));
  EXPECT_STREQ(text, "Tue, 05 Dec 2006 10:20:30 GMT");
  CalendarTime t{};
  ASSERT_TRUE(ParseHttpDate(text, &t));
  EXPECT_EQ(t.year, 2006); EXPECT_EQ(t.month, 12); EXPECT_EQ(t.day, 5); EXPECT_EQ(t.day_of_week, 2);
  EXPECT_EQ(t.hour, 10); EXPECT_EQ(t.minute, 20); EXPECT_EQ(t.second, 30); EXPECT_EQ(t.milliseconds, 0);
}

TEST(HttpDate, RejectedForms) {
  const char* rejected[] = {
      "tue, 05 Dec 2006 10:20:30 GMT",  // names keep their case
      "Tue, 05 dec 2006 10:20:30 GMT",
      "Tuesday, 05 Dec 2006 10:20:30 GMT",
      "Tue 05 Dec 2006 10:20:30 GMT",
      "Tue, 05 Dec 2006 10:20:30",      // the seconds need a blank after them
      "Tue, 05-Dec-2006 10:20:30 GMT",
      "",
  };
  for (const char* text : rejected) {
    CalendarTime t{};
    EXPECT_FALSE(ParseHttpDate(text, &t)) << text;
  }
  CalendarTime t{};
  EXPECT_TRUE(ParseHttpDate("Sun, 99 Jan 67542 99:99:99 x", &t)) << "numbers are not range-checked";
  uint64_t file_time = 0;
  EXPECT_FALSE(CalendarToFileTime(t, &file_time)) << "an over-long year must not wrap into a valid one";
}

TEST(SplitAt, FindsTheDelimiterWithinTheFirst255Positions) {
  char* piece = nullptr;
  const char* rest = nullptr;
  ASSERT_TRUE(SplitAt("ab, cd", ", ", &piece, &rest));
  EXPECT_STREQ(piece, "ab");
  EXPECT_STREQ(rest, "cd");
  FreeAndClear(&piece);
  std::string far(300, 'a');
  far[260] = ' ';
  EXPECT_FALSE(SplitAt(far.c_str(), " ", &piece, &rest));
  EXPECT_FALSE(SplitAt("abc", ":", &piece, &rest));
}

TEST(ResponseHead, StatusLinesAndHeaderOrder) {
  struct Case { int32_t status; const char* version; int32_t close_after; const char* expected; } cases[] = {
      {0, "HTTP/1.1", 0, "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\n"},
      {304, "HTTP/1.1", 1, "HTTP/1.1 304 Not modified\r\nConnection: close\r\n\r\n"},
      {418, "HTTP/1.0", 1, "HTTP/1.0 418 \r\nConnection: close\r\n\r\n"},
      {501, nullptr, 1, "HTTP/1.0 501 Not implemented\r\nConnection: close\r\n\r\n"},
      {203, "HTTP/1.1", 1, "HTTP/1.1 203 Partial Information\r\nConnection: close\r\n\r\n"},
      {502, "HTTP/1.1", 1, "HTTP/1.1 502 Timed out\r\nConnection: close\r\n\r\n"},
  };
  for (const Case& t : cases) {
    PairedConnection p;
    p.c->status = t.status;
    p.c->close_after = t.close_after;
    p.c->version = DupString(t.version);
    EXPECT_TRUE(p.c->SendResponseHead());
    EXPECT_TRUE(p.c->SendResponseHead());  // the second call sends nothing
    std::string sent = p.Sent();
    EXPECT_EQ(sent, t.expected);
    EXPECT_EQ(p.c->bytes_sent, (int64_t)sent.size());
  }
}

TEST(ResponseHead, OwnConnectionHeaderAndBareLinesKept) {
  PairedConnection p;
  p.c->version = DupString("HTTP/1.1");
  AddResponseHeaderNumber(p.c, "Content-Length:", 4294967296LL);
  AddResponseHeader(p.c, "connection:", "Upgrade");
  AddResponseHeader(p.c, "X-Bare", nullptr);
  ASSERT_TRUE(p.c->SendResponseHead());
  EXPECT_EQ(p.Sent(), "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\nconnection: Upgrade\r\nX-Bare\r\n\r\n");
  EXPECT_EQ(p.c->response_header_count, 3);
  EXPECT_STREQ(FindResponseHeader(p.c, "CONNECTION:")->value, "Upgrade");
}

// A script's header block through a real pipe.
struct ScriptOutput {
  explicit ScriptOutput(const std::string& bytes) : read_end(testos::PipeHolding(bytes)) {
    EXPECT_NE(read_end, kInvalidFile);
  }
  ~ScriptOutput() { CloseFile(read_end); }
  FileHandle read_end;
};

TEST(ReadScriptHeaders, StatusAndHeaderLines) {
  struct Case { std::string output; bool ok; int32_t status; std::string head; } cases[] = {
      {"Status: 302 Moved Temporarily\r\nLocation: /x\r\n\r\nbody", true, 302,
       "HTTP/1.1 302 Found\r\nLocation: /x\r\nConnection: close\r\n\r\n"},
      {"status: 302\r\nContent-Type: text/html\r\n\r\n", true, 0,
       "HTTP/1.1 200 OK\r\nstatus: 302\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"},
      {"Status: 418 Teapot\r\nBareLine\r\n\r\n", true, 418,
       "HTTP/1.1 418 \r\nBareLine\r\nConnection: close\r\n\r\n"},
      {"Content-Type: text/html\r\n", false, 0, ""},
      {"Content-Type: text/html\n\n", false, 0, ""},
  };
  for (const Case& t : cases) {
    PairedConnection p;
    ScriptOutput out(t.output);
    p.c->version = DupString("HTTP/1.1");
    p.c->close_after = 1;
    EXPECT_EQ(ReadScriptHeaders(p.c, out.read_end), t.ok) << t.output;
    EXPECT_EQ(p.c->status, t.status) << t.output;
    if (t.ok) {
      p.c->SendResponseHead();
      EXPECT_EQ(p.Sent(), t.head);
    }
  }
}

TEST(ReadPipeLine, TooLongLineFails) {
  ScriptOutput out(std::string(3000, 'a') + "\r\n");
  char buffer[kLineCapacity];
  int32_t length = 0;
  EXPECT_FALSE(ReadPipeLine(out.read_end, buffer, &length));
  EXPECT_EQ(length, kLineCapacity);
}

}  // namespace
