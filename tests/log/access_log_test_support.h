// The access log tests' shared parts: a clock the test sets, reading a file
// whole, and a fixture with a fresh log folder for every test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "http/engine.h"
#include "core/thread_registry.h"
#include "log/access_log.h"
#include "platform/clock.h"
#include "support/test_os.h"
#include "support/wait.h"

namespace fs = std::filesystem;

namespace {


// The log's clock, chosen by each test: a calendar moment and a UTC offset.
std::mutex g_fake_mutex;
LocalTime g_fake_now{};
std::atomic<int> g_clock_reads{0};

bool FakeClock(LocalTime* out) {
  std::lock_guard<std::mutex> guard(g_fake_mutex);
  g_clock_reads.fetch_add(1);
  *out = g_fake_now;
  return true;
}

void SetFakeTime(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                 uint16_t second, int32_t offset_minutes, bool has_offset = true) {
  std::lock_guard<std::mutex> guard(g_fake_mutex);
  g_fake_now = LocalTime{{year, month, 0, day, hour, minute, second, 0}, has_offset, offset_minutes};
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits (up to 30 s) until the log thread has retired from the registry.
void WaitForNoThreads() {
  WaitUntil([] { return CountRegisteredThreads() == 0; });
}

class AccessLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testos::MakeTempFolder("ambrel-log");
    dir_ = root_ + testos::Native("/logs/deeper/");
    previous_clock_ = SetLogClock(FakeClock);
    SetFakeTime(2007, 1, 22, 14, 5, 9, -300);
  }
  void TearDown() override {
    StopAccessLog();
    WaitForNoThreads();
    SetLogClock(previous_clock_);
    fs::remove_all(root_);
  }
  std::string FileFor(const char* name) const { return dir_ + name; }
  void Log(const char* target, const char* ua = "curl/8", const char* referer = "") {
    LogRequest(ua, "192.168.1.5", "GET", target, "HTTP/1.1", 200, 5123, referer);
  }
  // Polls (up to 30 s) until the file holds `count` lines.
  void WaitForLines(const std::string& path, size_t count) {
    WaitUntil([&] {
      std::string text = ReadWholeFile(path);
      return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= count;
    });
  }

  std::string root_;
  std::string dir_;
  LogClock previous_clock_ = nullptr;
  EngineToken token_{};
};

}  // namespace
