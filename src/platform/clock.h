// Clocks and calendars.
#pragma once

#include <cstdint>

// A high-resolution monotonic counter and its ticks per second.
uint64_t ReadCounter();
uint64_t CounterFrequency();

// Milliseconds since some fixed moment; wraps like a 32-bit tick count.
uint32_t TickCount();

void SleepMilliseconds(uint32_t milliseconds);

// Calendar fields of one moment, as the engine's dates use them.
struct CalendarTime {
  uint16_t year;
  uint16_t month;        // 1-12
  uint16_t day_of_week;  // 0 = Sunday
  uint16_t day;          // 1-31
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};

// The local time now, with the offset from UTC in force for it (minutes,
// positive east of Greenwich). `has_offset` is false when the zone is unknown.
struct LocalTime {
  CalendarTime time;
  bool has_offset;
  int32_t utc_offset_minutes;
};
bool GetLocalTimeNow(LocalTime* out);

// A file time (100 ns units since 1601-01-01) as UTC calendar fields, and
// back. Both fail for values the calendar cannot hold; CalendarToFileTime also
// fails for fields out of range (month 13, 31 February, hour 24, ...).
bool FileTimeToCalendar(uint64_t file_time, CalendarTime* out);
bool CalendarToFileTime(const CalendarTime& time, uint64_t* out);
