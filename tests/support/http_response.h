// Reading and splitting HTTP responses in tests, over any byte source: a
// `receive(buffer, size)` that returns the bytes it got, 0 at the end or a
// negative number on failure (a socket's recv, asked again after signals).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <string>

namespace testhttp {

// One response head, up to and including its empty line; it is read one
// byte at a time so that nothing after it leaves the source.
template <typename Receive>
std::string ReadHead(Receive&& receive) {
  std::string head;
  char c;
  while (head.find("\r\n\r\n") == std::string::npos && receive(&c, 1) == 1) head += c;
  return head;
}

// Exactly `count` bytes, fewer only when the source ends first.
template <typename Receive>
std::string ReadExactly(Receive&& receive, size_t count) {
  std::string all;
  char buffer[16384];
  while (all.size() < count) {
    size_t want = count - all.size() < sizeof(buffer) ? count - all.size() : sizeof(buffer);
    auto n = receive(buffer, want);
    if (n <= 0) break;
    all.append(buffer, static_cast<size_t>(n));
  }
  return all;
}

// Everything until the source ends.
template <typename Receive>
std::string ReadAll(Receive&& receive) {
  std::string all;
  char buffer[16384];
  for (auto n = receive(buffer, sizeof(buffer)); n > 0; n = receive(buffer, sizeof(buffer))) {
    all.append(buffer, static_cast<size_t>(n));
  }
  return all;
}

// A response whose head carries Content-Length: head and body; a head
// without it alone.
template <typename Receive>
std::string ReadResponse(Receive&& receive) {
  std::string head = ReadHead(receive);
  size_t at = head.find("Content-Length: ");
  if (at == std::string::npos) return head;
  return head + ReadExactly(receive, std::strtoull(head.c_str() + at + 16, nullptr, 10));
}

// A whole answer taken apart.
struct Response {
  std::string head;  // up to and including the empty line
  std::string body;
  int status = 0;
};

inline Response Split(const std::string& answer) {
  Response r;
  size_t end = answer.find("\r\n\r\n");
  r.head = answer.substr(0, end == std::string::npos ? answer.size() : end + 4);
  r.body = end == std::string::npos ? "" : answer.substr(end + 4);
  if (r.head.size() > 12) r.status = std::atoi(r.head.c_str() + 9);
  return r;
}

}  // namespace testhttp
