// Files kept open between requests are never older than the file on disk:
// a rewrite within the same second at the same size, a removal and a
// replacement by rename all show at the very next request, end to end over
// real connections; and the table of kept files, shared by every session,
// neither mixes files up nor leaks them when many threads use more names
// than it keeps.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "http/kept_files.h"
#include "http/test_support.h"

namespace {

using test::RawClient;
using test::RunningServer;
using test::TempFolder;

// 2006-12-05 10:20:30 UTC: every version of a file carries the same time,
// so nothing but the bytes tells them apart.
void SetKnownTime(const std::string& file) {
  timespec times[2] = {{1165314030, 0}, {1165314030, 0}};
  utimensat(AT_FDCWD, file.c_str(), times, 0);
}

// Rewrites the file in place (same inode), keeping its size and time.
void RewriteInPlace(const std::string& file, const std::string& content) {
  int fd = open(file.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, content.data(), content.size(), 0), static_cast<ssize_t>(content.size()));
  close(fd);
  SetKnownTime(file);
}

// Puts a new file of the same size and time in the old one's place.
void ReplaceByRename(const TempFolder& site, const std::string& file, const std::string& content) {
  std::string fresh = site.Write("fresh.tmp", content);
  SetKnownTime(fresh);
  ASSERT_EQ(rename(fresh.c_str(), file.c_str()), 0);
}

std::string Body(const std::string& response) {
  size_t at = response.find("\r\n\r\n");
  return at == std::string::npos ? "" : response.substr(at + 4);
}

// Which version a response carries: "a", "b", "c", or its status line.
std::string Version(const std::string& response, const std::string& a, const std::string& b,
                    const std::string& c) {
  const std::string body = Body(response);
  if (body == a) return "a";
  if (body == b) return "b";
  if (body == c) return "c";
  return response.substr(0, response.find("\r\n"));
}

std::string StatusLine(const std::string& response) { return response.substr(0, response.find("\r\n")); }

int OpenDescriptors() {
  int count = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++count;
    closedir(d);
  }
  return count;
}

// One small file (sent with its head) and one large (copied by the kernel),
// each asked for on one kept-alive connection and on fresh connections.
TEST(KeptFiles, EveryChangeOnDiskShowsAtTheNextRequest) {
  TempFolder site;
  const std::string small_a(1000, 'a'), small_b(1000, 'b'), small_c(1000, 'c');
  const std::string large_a(100000, 'A'), large_b(100000, 'B'), large_c(100000, 'C');
  struct File { std::string name, a, b, c, path; } files[] = {
      {"small.html", small_a, small_b, small_c, ""}, {"large.bin", large_a, large_b, large_c, ""}};
  for (File& f : files) {
    f.path = site.Write(f.name, f.a);
    SetKnownTime(f.path);
  }
  RunningServer server(site.Root());
  RawClient kept;
  ASSERT_TRUE(kept.connected());
  // Asks over the kept-alive connection and over a new one; both answers.
  auto ask = [&](const File& f) {
    const std::string request = "GET /" + f.name + " HTTP/1.1\r\nConnection: keep-alive\r\n\r\n";
    kept.Send(request);
    RawClient fresh;
    fresh.Send(request);
    return std::make_pair(kept.ReadResponse(), fresh.ReadResponse());
  };
  for (const File& f : files) {
    auto [on_kept, on_fresh] = ask(f);
    EXPECT_EQ(Version(on_kept, f.a, f.b, f.c), "a") << f.name;
    EXPECT_EQ(Version(on_fresh, f.a, f.b, f.c), "a") << f.name;
    RewriteInPlace(f.path, f.b);
    std::tie(on_kept, on_fresh) = ask(f);
    EXPECT_EQ(Version(on_kept, f.a, f.b, f.c), "b") << f.name << ": rewritten in place";
    EXPECT_EQ(Version(on_fresh, f.a, f.b, f.c), "b") << f.name << ": rewritten in place";
    ReplaceByRename(site, f.path, f.c);
    std::tie(on_kept, on_fresh) = ask(f);
    EXPECT_EQ(Version(on_kept, f.a, f.b, f.c), "c") << f.name << ": replaced by rename";
    EXPECT_EQ(Version(on_fresh, f.a, f.b, f.c), "c") << f.name << ": replaced by rename";
    ASSERT_EQ(unlink(f.path.c_str()), 0);
    std::tie(on_kept, on_fresh) = ask(f);
    EXPECT_EQ(StatusLine(on_kept), "HTTP/1.1 404 Not Found") << f.name << ": removed";
    EXPECT_EQ(StatusLine(on_fresh), "HTTP/1.1 404 Not Found") << f.name << ": removed";
    SetKnownTime(site.Write(f.name, f.a));
    std::tie(on_kept, on_fresh) = ask(f);
    EXPECT_EQ(Version(on_kept, f.a, f.b, f.c), "a") << f.name << ": made again";
    EXPECT_EQ(Version(on_fresh, f.a, f.b, f.c), "a") << f.name << ": made again";
  }
}

// Eight threads take and give back files of 100 names (more than the table
// keeps) while a ninth keeps replacing them: every file taken is the one
// its name denoted, and once nobody holds them the kept files all close.
TEST(KeptFiles, ManyThreadsOverMoreNamesThanKept) {
  TempFolder site;
  constexpr int kNames = 100;
  std::vector<std::string> paths;
  for (int i = 0; i < kNames; ++i) paths.push_back(site.Write("f" + std::to_string(i), "name " + std::to_string(i)));
  const int descriptors_before = OpenDescriptors();
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0}, served{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 8; ++t) {
    readers.emplace_back([&, t] {
      for (int round = 0; round < 400; ++round) {
        const int i = (round * 7 + t * 13) % kNames;
        FileInfo info;
        PathKind kind;
        KeptFile taken = TakeFile(paths[i].c_str(), &info, &kind);
        if (taken.file == kInvalidFile) continue;  // caught between unlink and rename
        char text[32] = {};
        int32_t n = ReadFromFileAt(taken.file, text, sizeof text - 1, 0);
        const std::string expected = "name " + std::to_string(i);
        if (n < 0 || std::string(text, n) != expected || info.size_low != expected.size()) ++wrong;
        ++served;
        GiveBackFile(&taken);
      }
    });
  }
  std::thread replacer([&] {
    for (int round = 0; !stop; ++round) {
      const int i = round % kNames;
      std::string fresh = site.Write("tmp", "name " + std::to_string(i));
      rename(fresh.c_str(), paths[i].c_str());
    }
  });
  for (std::thread& r : readers) r.join();
  stop = true;
  replacer.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(served, 0);
  EXPECT_LE(KeptFileCount(), kKeptFileCapacity);
  CloseKeptFiles();
  EXPECT_EQ(KeptFileCount(), 0);
  EXPECT_EQ(OpenDescriptors(), descriptors_before);
}

}  // namespace
