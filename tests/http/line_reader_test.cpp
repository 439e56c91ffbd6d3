// Lines from a socket. ReceiveLine takes a line in a few receives (peek, then
// exactly the line) and leaves everything past its CR LF in the socket; the
// request reader receives into the connection's buffer instead, and a body
// or a pipelined request that came along with a header block is taken from
// there. These cases pin where a line ends, the 2048-byte limit, and that
// every byte reaches the right reader however the bytes are split into
// arrivals.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/blocks.h"
#include "core/line_reader.h"
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

// A connection record on one end of a socket pair, released as a session
// releases it.
struct PairedRecord {
  PairedRecord(int fd) {
    AllocBlock(&c, sizeof(Connection), true, 0);
    c->socket = fd;
    c->file = kInvalidFile;
  }
  ~PairedRecord() {
    ResetRequest(c);
    FreeAndClear(&c->receive_buffer);
    FreeAndClear(&c);
  }
  Connection* c = nullptr;
};

std::string TakeBody(Connection* c, int32_t n) {
  std::string body(static_cast<size_t>(n), '\0');
  EXPECT_TRUE(ReceiveRequestBody(c, body.data(), n));
  return body;
}

TEST(LineReader, PipelinedRequestsWithABodyInBetween) {
  // A POST with its body, then a GET, in one write: the body goes to whoever
  // takes it and the next request to the next ReadRequest.
  Pair pair;
  const std::string body = "field=value&x=\r\n\r\nGET /not-a-request HTTP/1.1\r\n";
  pair.Write("POST /a.php HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nConnection: Keep-Alive\r\n\r\n" + body +
             "GET /b.html HTTP/1.1\r\nConnection: Keep-Alive\r\n\r\nGET /c.html HTTP/1.0\r\n\r\n");
  shutdown(pair.fds[1], SHUT_WR);
  PairedRecord record(pair.fds[0]);
  Connection* c = record.c;
  ASSERT_EQ(c->ReadRequest(), 0);
  EXPECT_STREQ(c->target, "/a.php");
  ASSERT_EQ(c->content_length, static_cast<int32_t>(body.size()));
  EXPECT_EQ(TakeBody(c, c->content_length), body);
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
}

TEST(LineReader, BodiesSplitBetweenBufferAndSocketAndRequestsAcrossBufferEnds) {
  // Pipelined POSTs whose header blocks and bodies straddle the end of what
  // one receive brings (the buffer holds 4096 bytes), written in odd-sized
  // arrivals: every body arrives byte for byte, every request in its turn.
  std::string stream;
  std::vector<std::string> bodies;
  for (int i = 0; i < 12; ++i) {
    std::string body;
    for (int j = 0; j < 300 + i * 517; ++j) body += static_cast<char>((i * 31 + j * 7) & 0xFF);
    bodies.push_back(body);
    stream += "POST /p" + std::to_string(i) + " HTTP/1.1\r\nConnection: Keep-Alive\r\nX-Pad: " +
              std::string(static_cast<size_t>(100 + i * 151), 'h') + "\r\nContent-Length: " +
              std::to_string(body.size()) + "\r\n\r\n" + body;
  }
  stream += "GET /last HTTP/1.0\r\n\r\n";
  std::vector<std::string> pieces;
  for (size_t at = 0, step = 1; at < stream.size(); at += step, step = step * 3 % 4999 + 1) {
    pieces.push_back(stream.substr(at, step));
  }
  Pair pair;
  std::thread writer([&] {
    for (const std::string& piece : pieces) {
      if (write(pair.fds[1], piece.data(), piece.size()) != static_cast<ssize_t>(piece.size())) return;
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  PairedRecord record(pair.fds[0]);
  Connection* c = record.c;
  bool read_all = true;
  for (int i = 0; i < 12 && read_all; ++i) {
    read_all = c->ReadRequest() == 0;
    if (!read_all) {
      ADD_FAILURE() << "request " << i;
      break;
    }
    EXPECT_EQ(std::string(c->target), "/p" + std::to_string(i));
    ASSERT_EQ(c->content_length, static_cast<int32_t>(bodies[i].size()));
    // Half taken here, the rest dropped as the session drops an unread body.
    int32_t half = c->content_length / 2;
    EXPECT_EQ(TakeBody(c, half), bodies[i].substr(0, static_cast<size_t>(half))) << i;
    c->body_unread -= half;
    if (i % 2 == 1) {
      EXPECT_EQ(TakeBody(c, c->body_unread), bodies[i].substr(static_cast<size_t>(half))) << i;
      c->body_unread = 0;
    } else {
      EXPECT_TRUE(DiscardRequestBody(c)) << i;
    }
    ResetRequest(c);
  }
  if (read_all) {
    EXPECT_EQ(c->ReadRequest(), 0);
    EXPECT_STREQ(c->target, "/last");
  }
  shutdown(pair.fds[0], SHUT_RDWR);  // a writer still going ends too
  writer.join();
}

TEST(LineReader, RequestsInPiecesAndBeyondOneReceive) {
  // Header blocks split anywhere, and blocks larger than what one receive
  // takes in: the request reads the same, and the bytes after the blank line
  // are the body's.
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
    PairedRecord record(pair.fds[0]);
    Connection* c = record.c;
    std::thread writer([&] { WriteInPieces(pair.fds[1], t.pieces); });
    EXPECT_EQ(c->ReadRequest(), t.result) << t.pieces[0].substr(0, 30);
    writer.join();
    EXPECT_EQ(c->request_header_count, t.headers);
    EXPECT_STREQ(c->target, "/a");
    EXPECT_EQ(TakeBody(c, 4), "BODY") << t.pieces.size();
    EXPECT_EQ(pair.Rest(), "") << t.pieces.size();
  }
}

// The line end search against the plain definition (the first terminator
// that ends past `from` and within `to`) over buffers dense with CR and LF,
// for every window and for both terminators the program uses.
TEST(LineReader, LineEndSearchMatchesThePlainDefinition) {
  auto plain = [](const std::string& b, int32_t from, int32_t to, const std::string& t) {
    const int32_t n = static_cast<int32_t>(t.size());
    for (int32_t end = std::max(from + 1, n); end <= to; ++end) {
      if (b.compare(static_cast<size_t>(end - n), t.size(), t) == 0) return end;
    }
    return 0;
  };
  uint32_t seed = 12345;
  for (int round = 0; round < 200; ++round) {
    std::string buffer;
    for (int i = 0; i < 40; ++i) {
      seed = seed * 1103515245u + 12345u;
      buffer += "\r\nab"[(seed >> 16) % 4];
    }
    for (const std::string terminator : {"\r\n", "\n"}) {
      for (int32_t from = 0; from <= 40; ++from) {
        for (int32_t to = from; to <= 40; ++to) {
          ASSERT_EQ(FindLineEnd(buffer.data(), from, to, terminator.c_str(),
                                static_cast<int32_t>(terminator.size())),
                    plain(buffer, from, to, terminator))
              << "round " << round << " from " << from << " to " << to;
        }
      }
    }
  }
}

}  // namespace
