#include "platform/clock.h"

#include <windows.h>

namespace {

CalendarTime FromSystemTime(const SYSTEMTIME& t) {
  return CalendarTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond,
                      t.wMilliseconds};
}

}  // namespace

uint64_t ReadCounter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<uint64_t>(now.QuadPart);
}

uint64_t CounterFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<uint64_t>(frequency.QuadPart);
}

uint32_t TickCount() { return GetTickCount(); }

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

bool GetLocalTimeNow(LocalTime* out) {
  if (out == nullptr) return false;
  // The zone first, then the moment: the local time printed is the UTC time
  // shifted by the very offset reported with it.
  TIME_ZONE_INFORMATION zone;
  DWORD which = GetTimeZoneInformation(&zone);
  FILETIME utc;
  GetSystemTimeAsFileTime(&utc);
  int64_t offset_minutes = 0;
  out->has_offset = which != TIME_ZONE_ID_INVALID;
  if (out->has_offset) {
    int64_t bias = zone.Bias;
    if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
    if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    offset_minutes = -bias;
  }
  uint64_t ticks = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
  ticks += static_cast<uint64_t>(offset_minutes * 60LL * 10000000LL);
  FILETIME local{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME t;
  if (!FileTimeToSystemTime(&local, &t)) return false;
  out->time = FromSystemTime(t);
  out->utc_offset_minutes = static_cast<int32_t>(offset_minutes);
  return true;
}

bool FileTimeToCalendar(uint64_t file_time, CalendarTime* out) {
  if (out == nullptr || file_time > 0x7FFFFFFFFFFFFFFFULL) return false;
  FILETIME time{static_cast<DWORD>(file_time), static_cast<DWORD>(file_time >> 32)};
  SYSTEMTIME t;
  if (!FileTimeToSystemTime(&time, &t)) return false;
  *out = FromSystemTime(t);
  return true;
}

bool CalendarToFileTime(const CalendarTime& time, uint64_t* out) {
  if (out == nullptr) return false;
  SYSTEMTIME t{time.year, time.month, time.day_of_week, time.day, time.hour, time.minute,
               time.second, time.milliseconds};
  FILETIME result;
  if (!SystemTimeToFileTime(&t, &result)) return false;
  *out = (static_cast<uint64_t>(result.dwHighDateTime) << 32) | result.dwLowDateTime;
  return true;
}
