// The line reader takes a line in a few receives (peek, then exactly the
// line). These cases pin what must not change with that: where a line ends,
// the 2048-byte limit, and that nothing past a line's CR LF leaves the socket,
// however the bytes are split into arrivals.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/blocks.h"
#include "http/engine.h"
#include "http/request_reader.h"
#include "http/session.h"

namespace {

struct Pair {
  Pair() { socketpair(AF_UNIX, SOCK_STREAM, 0, fds); }
  ~Pair() {
    close(fds[0]);
    close(fds[1]);
  }
  void Write(const std::string& bytes) {
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Whatever is still unread in the reader's end.
  std::string Rest() {
    shutdown(fds[1], SHUT_WR);
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof(buffer))) > 0) all.append(buffer, n);
    return all;
  }
  int fds[2] = {-1, -1};
};

struct LineResult {
  bool ok;
  int32_t length;
  std::string line;
};

LineResult ReadOne(int fd) {
  char buffer[kLineCapacity];
  int32_t length = -1;
  bool ok = ReceiveLine(fd, buffer, "\r\n", &length);
  return {ok, length, ok ? std::string(buffer) : std::string()};
}

// Sends the pieces one after another with a pause, so that each is its own
// arrival at the reader.
void WriteInPieces(int fd, std::vector<std::string> pieces) {
  for (const std::string& piece : pieces) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (write(fd, piece.data(), piece.size()) != static_cast<ssize_t>(piece.size())) return;
  }
}

TEST(LineReader, LinesSplitAcrossArrivals) {
  struct Case {
    std::vector<std::string> pieces;
    bool ok;
    std::string line;
    std::string rest;
  } cases[] = {
      {{"GET / HTTP/1.1\r", "\nHost: x\r\n"}, true, "GET / HTTP/1.1", "Host: x\r\n"},
      {{"G", "E", "T", "\r", "\n", "X"}, true, "GET", "X"},
      {{"a\rb\r", "\r\n", "tail"}, true, "a\rb\r", "tail"},
      {{"bare\nLF\n", "still\r\nnext"}, true, "bare\nLF\nstill", "next"},
      {{"\r\n\r\nBODY"}, true, "", "\r\nBODY"},
      {{"no end", ""}, false, "", ""},
  };
  for (const Case& t : cases) {
    Pair pair;
    std::thread writer([&] {
      WriteInPieces(pair.fds[1], t.pieces);
      if (!t.ok) shutdown(pair.fds[1], SHUT_WR);  // the peer stops mid-line
    });
    LineResult r = ReadOne(pair.fds[0]);
    writer.join();
    EXPECT_EQ(r.ok, t.ok) << t.line;
    if (!t.ok) continue;
    EXPECT_EQ(r.line, t.line);
    EXPECT_EQ(r.length, static_cast<int32_t>(t.line.size() + 2));
    EXPECT_EQ(pair.Rest(), t.rest) << t.line;
  }
}

TEST(LineReader, TheLimitTakesExactly2048Bytes) {
  // 2048 bytes without CR LF fail, and only those 2048 leave the socket,
  // also when the CR LF follows right behind them.
  for (const std::string tail : {"\r\nNEXT", "\nNEXT", "NEXT"}) {
    Pair pair;
    pair.Write(std::string(2048, 'a') + tail);
    LineResult r = ReadOne(pair.fds[0]);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, kLineCapacity);
    EXPECT_EQ(pair.Rest(), tail);
  }
  // A CR that is the 2048th byte cannot be followed by its LF in the buffer.
  Pair pair;
  pair.Write(std::string(2047, 'a') + "\r\nX");
  EXPECT_FALSE(ReadOne(pair.fds[0]).ok);
  EXPECT_EQ(pair.Rest(), "\nX");
}

TEST(LineReader, PipelinedRequestsWithABodyInBetween) {
  // A POST with its body, then a GET, in one write: the reader leaves the
  // body for the gateway and the next request for the next ReadRequest.
  Pair pair;
  const std::string body = "field=value&x=\r\n\r\nGET /not-a-request HTTP/1.1\r\n";
  pair.Write("POST /a.php HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nConnection: Keep-Alive\r\n\r\n" + body +
             "GET /b.html HTTP/1.1\r\nConnection: Keep-Alive\r\n\r\nGET /c.html HTTP/1.0\r\n\r\n");
  shutdown(pair.fds[1], SHUT_WR);
  Connection* c = nullptr;
  ASSERT_TRUE(AllocBlock(&c, sizeof(Connection), true, 0));
  c->socket = pair.fds[0];
  c->file = kInvalidFile;
  ASSERT_EQ(c->ReadRequest(), 0);
  EXPECT_STREQ(c->target, "/a.php");
  ASSERT_EQ(c->content_length, static_cast<int32_t>(body.size()));
  std::string received(body.size(), '\0');
  ASSERT_TRUE(ReceiveExact(c->socket, received.data(), c->content_length));
  EXPECT_EQ(received, body);
  ResetRequest(c);
  ASSERT_EQ(c->ReadRequest(), 0);
  EXPECT_STREQ(c->target, "/b.html");
  EXPECT_EQ(c->close_after, 0);
  ResetRequest(c);
  ASSERT_EQ(c->ReadRequest(), 0);
  EXPECT_STREQ(c->target, "/c.html");
  EXPECT_EQ(c->close_after, 1);
  ResetRequest(c);
  EXPECT_EQ(c->ReadRequest(), 400);  // the peer is done
  ResetRequest(c);
  FreeAndClear(&c);
}

TEST(LineReader, RequestsInPiecesAndBeyondOnePeek) {
  // Header blocks split anywhere, and blocks larger than what one look at
  // the socket takes in: the request reads the same, and the body after the
  // blank line stays in the socket.
  std::string big_headers;
  for (int i = 0; i < 40; ++i) big_headers += "X-" + std::to_string(i) + ": " + std::string(190, 'v') + "\r\n";
  const std::string long_line = "X-Long: " + std::string(2030, 'w') + "\r\n";  // 2040 bytes
  struct Case {
    std::vector<std::string> pieces;
    int32_t result;
    int32_t headers;
  } cases[] = {
      {{"GET /a HTTP/1.1\r\nHost: x\r\n\r\nBODY"}, 0, 1},
      {{"GET /a HTTP/1.1\r", "\nHost: x\r\n", "\r", "\nBODY"}, 0, 1},
      {{"GET /a HTTP/1.1\r\nHo", "st: x\r\n\r\nBODY"}, 0, 1},
      {{"GET /a HTTP/1.1\r\n" + big_headers + "\r\nBODY"}, 0, 40},
      {{"GET /a HTTP/1.1\r\n" + long_line + long_line + long_line + "\r\nBODY"}, 0, 3},
      {{"GET /a HTTP/1.1\r\n" + big_headers.substr(0, 3000), big_headers.substr(3000) + "\r\nBODY"}, 0, 40},
  };
  for (const Case& t : cases) {
    Pair pair;
    Connection* c = nullptr;
    ASSERT_TRUE(AllocBlock(&c, sizeof(Connection), true, 0));
    c->socket = pair.fds[0];
    c->file = kInvalidFile;
    std::thread writer([&] { WriteInPieces(pair.fds[1], t.pieces); });
    EXPECT_EQ(c->ReadRequest(), t.result) << t.pieces[0].substr(0, 30);
    writer.join();
    EXPECT_EQ(c->request_header_count, t.headers);
    EXPECT_STREQ(c->target, "/a");
    EXPECT_EQ(pair.Rest(), "BODY") << t.pieces.size();
    ResetRequest(c);
    FreeAndClear(&c);
  }
}

}  // namespace
