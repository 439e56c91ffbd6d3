// The file body goes from file to socket in the kernel. Its result and byte
// count must stay what the 4096-byte read-and-send loop gave: true when the
// file is empty or its first piece went out, false when nothing could be
// sent, bytes_sent exactly what went out, never more than the announced size.
// It reads at explicit offsets from the start, never from the file's position.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "core/blocks.h"
#include "http/engine.h"
#include "http/file_service.h"
#include "http/session.h"
#include "platform/files.h"
#include "platform/net.h"

namespace {

std::string Pattern(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return text;
}

// A connection on one end of a socket pair, serving a temporary file of
// `content` that it announces as `announced` bytes.
struct FileConnection {
  FileConnection(const std::string& content, uint64_t announced) {
    StartSocketLibrary();
    char name[] = "/tmp/ambrel-body-XXXXXX";
    int fd = mkstemp(name);
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    path = name;
    socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
    AllocBlock(&c, sizeof(Connection), true, 0);
    c->socket = fds[0];
    c->file = OpenFileForReading(name);
    c->file_info.size_high = static_cast<uint32_t>(announced >> 32);
    c->file_info.size_low = static_cast<uint32_t>(announced);
  }
  ~FileConnection() {
    ResetRequest(c);
    FreeAndClear(&c);
    close(fds[0]);
    if (fds[1] >= 0) close(fds[1]);
    unlink(path.c_str());
  }
  // Sends the body while the peer reads all of it; returns what arrived.
  std::string SendAndReceive(bool* result) {
    std::string all;
    std::thread reader([&] {
      char buffer[65536];
      ssize_t n;
      while ((n = read(fds[1], buffer, sizeof(buffer))) > 0) all.append(buffer, n);
    });
    *result = SendFileBody(c);
    shutdown(fds[0], SHUT_WR);
    reader.join();
    return all;
  }
  Connection* c = nullptr;
  int fds[2] = {-1, -1};
  std::string path;
};

TEST(SendFileBody, ResultsAndByteCounts) {
  struct Case {
    size_t file_size;
    uint64_t announced;
    size_t skip;  // bytes already read from the file before the body
    size_t expected_bytes;
    int32_t close_after;
  } cases[] = {
      {0, 0, 0, 0, 0},
      {1, 1, 0, 1, 0},
      {4096, 4096, 0, 4096, 0},
      {3 * 1024 * 1024 + 17, 3 * 1024 * 1024 + 17, 0, 3 * 1024 * 1024 + 17, 0},
      {10000, 6000, 0, 6000, 0},    // grew after its size was read: only the announced bytes
      {5000, 9000, 0, 5000, 1},     // shrank: what there is, then the connection closes
      // The body starts at the file's start whatever was read before: an
      // open file may be shared by several requests, its position by none.
      {5000, 5000, 1000, 5000, 0},
  };
  for (const Case& t : cases) {
    const std::string content = Pattern(t.file_size);
    FileConnection fc(content, t.announced);
    ASSERT_NE(fc.c->file, kInvalidFile);
    if (t.skip > 0) {
      std::string skipped(t.skip, '\0');
      ASSERT_EQ(ReadFromFile(fc.c->file, skipped.data(), static_cast<int32_t>(t.skip)),
                static_cast<int32_t>(t.skip));
    }
    bool result = false;
    std::string arrived = fc.SendAndReceive(&result);
    EXPECT_TRUE(result) << t.file_size;
    EXPECT_EQ(fc.c->bytes_sent, static_cast<int64_t>(t.expected_bytes)) << t.file_size;
    EXPECT_EQ(arrived, content.substr(0, t.expected_bytes)) << t.file_size;
    EXPECT_EQ(fc.c->close_after, t.close_after) << t.file_size;
  }
}

TEST(SendFileBody, NothingSentIsAFailure) {
  // The peer is gone before the first piece.
  FileConnection gone(Pattern(8192), 8192);
  close(gone.fds[1]);
  gone.fds[1] = -1;
  EXPECT_FALSE(SendFileBody(gone.c));
  EXPECT_EQ(gone.c->bytes_sent, 0);
  // The file is empty where a length was announced: no first piece to read.
  FileConnection empty("", 100);
  bool result = true;
  EXPECT_EQ(empty.SendAndReceive(&result), "");
  EXPECT_FALSE(result);
  EXPECT_EQ(empty.c->bytes_sent, 0);
  EXPECT_EQ(empty.c->close_after, 1);
}

TEST(SendFileBody, PeerLeavingMidwayKeepsTheExactCount) {
  // The peer takes part of a large body and closes: the first piece went
  // out, so the result is true, and bytes_sent is what the socket accepted.
  const size_t size = 8 * 1024 * 1024;
  FileConnection fc(Pattern(size), size);
  size_t taken = 0;
  std::thread reader([&] {
    char buffer[16384];
    while (taken < 100000) {
      ssize_t n = read(fc.fds[1], buffer, sizeof(buffer));
      if (n <= 0) break;
      taken += static_cast<size_t>(n);
    }
    close(fc.fds[1]);
    fc.fds[1] = -1;
  });
  bool result = SendFileBody(fc.c);
  reader.join();
  EXPECT_TRUE(result);
  EXPECT_GE(fc.c->bytes_sent, static_cast<int64_t>(taken));
  EXPECT_LT(fc.c->bytes_sent, static_cast<int64_t>(size));
  EXPECT_EQ(fc.c->close_after, 1);
}

}  // namespace
