// Measures how much stack the engine's threads really use. Every thread the
// engine starts gets a painted stack of our own (the program is linked with
// --wrap=pthread_create); after one request of each kind on a connection of
// its own (static file, errors, redirect, many headers, PHP, a POST to PHP,
// a CGI program, all with the access log on), the highest mark left in each
// stack is its depth.
//   ambrel_stack_probe PHP_DIR
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "http/server.h"
#include "core/thread_registry.h"

namespace {

constexpr size_t kProbeStackSize = 4 * 1024 * 1024;  // ample room while measuring
constexpr unsigned char kPaint = 0xA5;

struct PaintedStack {
  unsigned char* low;
  size_t size;
};

std::mutex g_lock;
std::vector<PaintedStack> g_stacks;

// Bytes from the top of the stack down to the deepest byte written.
size_t DepthOf(const PaintedStack& s) {
  size_t untouched = 0;
  while (untouched < s.size && s.low[untouched] == kPaint) ++untouched;
  return s.size - untouched;
}

std::string Exchange(const std::string& request) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(80);
  inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
  std::string reply;
  if (connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof(server)) == 0) {
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[65536];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof(buffer), 0)) > 0) reply.append(buffer, n);
  }
  close(fd);
  return reply;
}

}  // namespace

extern "C" int __real_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

// Every thread of the probe runs on a painted stack that is never freed.
extern "C" int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                                     void* (*routine)(void*), void* arg) {
  void* low = mmap(nullptr, kProbeStackSize, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (low == MAP_FAILED) return __real_pthread_create(thread, attr, routine, arg);
  std::memset(low, kPaint, kProbeStackSize);
  pthread_attr_t mine;
  pthread_attr_init(&mine);
  pthread_attr_setstack(&mine, low, kProbeStackSize);
  {
    std::lock_guard<std::mutex> guard(g_lock);
    g_stacks.push_back({static_cast<unsigned char*>(low), kProbeStackSize});
  }
  int rc = __real_pthread_create(thread, &mine, routine, arg);
  pthread_attr_destroy(&mine);
  return rc;
}

int main(int argc, char** argv) {
  const std::string php_dir = argc > 1 ? argv[1] : "/usr/bin/";
  char name[] = "/tmp/ambrel-stack-XXXXXX";
  const std::filesystem::path root = mkdtemp(name);
  std::ofstream(root / "1k.html") << std::string(1024, 'x');
  std::ofstream(root / "hello.php") << "<?php echo 'Hello';";
  std::ofstream(root / "post.php") << "<?php echo strlen(file_get_contents('php://input'));";
  std::filesystem::create_directories(root / "cgi-bin");
  std::filesystem::create_directories(root / "dir");
  std::ofstream(root / "cgi-bin" / "env.cgi") << "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'; env\n";
  const std::string logs = (root / "logs").string() + "/";
  std::string headers;
  for (int i = 0; i < 63; ++i) headers += "X-H" + std::to_string(i) + ": " + std::string(25, 'v') + "\r\n";
  const std::string body(10240, 'b');
  const std::pair<const char*, std::string> kinds[] = {
      {"static 1 KiB", "GET /1k.html HTTP/1.1\r\n\r\n"},
      {"404", "GET /missing HTTP/1.1\r\n\r\n"},
      {"301", "GET /dir HTTP/1.1\r\n\r\n"},
      {"400 (..)", "GET /a/../b HTTP/1.1\r\n\r\n"},
      {"501", "PUT / HTTP/1.1\r\n\r\n"},
      {"63 headers", "GET /1k.html HTTP/1.1\r\n" + headers + "\r\n"},
      {"PHP hello", "GET /hello.php?a=1 HTTP/1.1\r\nUser-Agent: probe\r\nCookie: c=1\r\n\r\n"},
      {"PHP 10 KiB POST", "POST /post.php HTTP/1.1\r\nContent-Length: 10240\r\n\r\n" + body},
      {"CGI (#!/bin/sh)", "GET /cgi-bin/env.cgi HTTP/1.1\r\n" + headers + "\r\n"},
  };
  EngineToken token{};
  StartServer(logs.c_str(), (root.string() + "/").c_str(), &token, 2, 1, php_dir.c_str(), 1);
  for (int i = 0; i < 200 && Exchange("GET /1k.html HTTP/1.1\r\n\r\n").empty(); ++i) usleep(10000);
  size_t first_session;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    first_session = g_stacks.size();
  }
  std::vector<std::string> statuses;
  for (const auto& kind : kinds) {
    std::string reply = Exchange(kind.second);
    statuses.push_back(reply.substr(0, reply.find("\r\n")));
  }
  StopServer();
  std::lock_guard<std::mutex> guard(g_lock);
  std::printf("engine threads ask for %zu KiB of stack\n", kEngineThreadStackSize / 1024);
  std::printf("%-20s %-28s %s\n", "session", "answer", "stack used");
  size_t deepest = 0;
  for (size_t i = 0; i < std::size(kinds) && first_session + i < g_stacks.size(); ++i) {
    size_t depth = DepthOf(g_stacks[first_session + i]);
    deepest = std::max(deepest, depth);
    std::printf("%-20s %-28s %6.1f KiB\n", kinds[i].first, statuses[i].c_str(), depth / 1024.0);
  }
  for (size_t i = 0; i < first_session; ++i) {
    std::printf("%-20s %-28s %6.1f KiB\n", "other thread", "(listener, watcher, log, warm-up)",
                DepthOf(g_stacks[i]) / 1024.0);
    deepest = std::max(deepest, DepthOf(g_stacks[i]));
  }
  std::printf("deepest: %.1f KiB\n", deepest / 1024.0);
  std::filesystem::remove_all(root);
  return 0;
}
