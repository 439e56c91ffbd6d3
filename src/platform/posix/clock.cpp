#include "platform/clock.h"

#include <time.h>

namespace {

constexpr uint64_t kEpochDifference = 116444736000000000ULL;  // 1601 to 1970, 100 ns
constexpr int64_t kTicksPerSecond = 10000000;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

uint64_t ReadCounter() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ULL + static_cast<uint64_t>(ts.tv_nsec);
}

uint64_t CounterFrequency() { return 1000000000ULL; }

uint32_t TickCount() { return static_cast<uint32_t>(ReadCounter() / 1000000ULL); }

void SleepMilliseconds(uint32_t milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000),
              static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

bool GetLocalTimeNow(LocalTime* out) {
  if (out == nullptr) return false;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  if (localtime_r(&now.tv_sec, &local) == nullptr) return false;
  out->time.year = static_cast<uint16_t>(local.tm_year + 1900);
  out->time.month = static_cast<uint16_t>(local.tm_mon + 1);
  out->time.day_of_week = static_cast<uint16_t>(local.tm_wday);
  out->time.day = static_cast<uint16_t>(local.tm_mday);
  out->time.hour = static_cast<uint16_t>(local.tm_hour);
  out->time.minute = static_cast<uint16_t>(local.tm_min);
  out->time.second = static_cast<uint16_t>(local.tm_sec);
  out->time.milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000L);
  out->has_offset = true;
  out->utc_offset_minutes = static_cast<int32_t>(local.tm_gmtoff / 60);
  return true;
}

bool FileTimeToCalendar(uint64_t file_time, CalendarTime* out) {
  if (out == nullptr || file_time > 0x7FFFFFFFFFFFFFFFULL) return false;
  int64_t since_1601 = static_cast<int64_t>(file_time / kTicksPerSecond);
  time_t seconds = static_cast<time_t>(since_1601 - static_cast<int64_t>(kEpochDifference / kTicksPerSecond));
  tm utc;
  if (gmtime_r(&seconds, &utc) == nullptr) return false;
  out->year = static_cast<uint16_t>(utc.tm_year + 1900);
  out->month = static_cast<uint16_t>(utc.tm_mon + 1);
  out->day_of_week = static_cast<uint16_t>(utc.tm_wday);
  out->day = static_cast<uint16_t>(utc.tm_mday);
  out->hour = static_cast<uint16_t>(utc.tm_hour);
  out->minute = static_cast<uint16_t>(utc.tm_min);
  out->second = static_cast<uint16_t>(utc.tm_sec);
  out->milliseconds = static_cast<uint16_t>((file_time % kTicksPerSecond) / 10000);
  return true;
}

bool CalendarToFileTime(const CalendarTime& t, uint64_t* out) {
  if (out == nullptr) return false;
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59 ||
      t.milliseconds > 999) {
    return false;
  }
  // Days since 1601-01-01 by whole years, then months, then days.
  int64_t days = 0;
  int y = t.year - 1601;
  days = static_cast<int64_t>(y) * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < t.month; ++m) days += DaysInMonth(t.year, m);
  days += t.day - 1;
  int64_t seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  *out = static_cast<uint64_t>(seconds) * kTicksPerSecond +
         static_cast<uint64_t>(t.milliseconds) * 10000ULL;
  return true;
}
