#include "log/log_line.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "core/calendar_names.h"

namespace {

const char* MonthName(uint16_t month) {
  return month >= 1 && month <= 12 ? kMonthNames[month - 1] : "???";
}

// True for the bytes a quoted field escapes.
bool NeedsEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == '"' || c == '\\'; }

// Appends `text` for a quoted field: control bytes as \xHH, '"' as \" and
// '\' as \\; every other byte (UTF-8 included) as it is, in runs.
void AppendEscaped(std::string* line, const char* text) {
  if (text == nullptr) return;
  static const char kHex[] = "0123456789ABCDEF";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  for (;;) {
    const unsigned char* run = p;
    while (*p != 0 && !NeedsEscape(*p)) ++p;
    line->append(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
    if (*p == 0) return;
    if (*p == '"' || *p == '\\') {
      const char escaped[2] = {'\\', static_cast<char>(*p)};
      line->append(escaped, 2);
    } else {
      const char escaped[4] = {'\\', 'x', kHex[*p >> 4], kHex[*p & 15]};
      line->append(escaped, 4);
    }
    ++p;
  }
}

}  // namespace

std::string DailyLogFileName(const CalendarTime& time) {
  char name[64];
  std::snprintf(name, sizeof name, "Ambrel_HTTP_%02u_%02u_%04u.log", unsigned{time.month},
                unsigned{time.day}, unsigned{time.year});
  return name;
}

std::string DailyScriptErrorFileName(const CalendarTime& time) {
  char name[64];
  std::snprintf(name, sizeof name, "Ambrel_HTTP_errors_%02u_%02u_%04u.log", unsigned{time.month},
                unsigned{time.day}, unsigned{time.year});
  return name;
}

std::string FormatZone(int32_t utc_offset_minutes) {
  // The offset in minutes m becomes hhmm as m + 40 * (m div 60).
  int32_t m = std::abs(utc_offset_minutes);
  int32_t hhmm = m + 40 * (m / 60);
  char zone[16];
  std::snprintf(zone, sizeof zone, "%c%04d", utc_offset_minutes < 0 ? '-' : '+',
                static_cast<int>(hhmm));
  return zone;
}

namespace {

// "22/Jan/2007:14:05:09 -0500", the zone left out when `now` has none.
void AppendDateAndTime(std::string* text, const LocalTime& now) {
  char stamp[64];
  int n = std::snprintf(stamp, sizeof stamp, "%02u/%s/%04u:%02u:%02u:%02u", unsigned{now.time.day},
                        MonthName(now.time.month), unsigned{now.time.year},
                        unsigned{now.time.hour}, unsigned{now.time.minute},
                        unsigned{now.time.second});
  text->append(stamp, n > 0 ? static_cast<size_t>(n) : 0);
  if (now.has_offset) text->append(" " + FormatZone(now.utc_offset_minutes));
}

}  // namespace

std::string FormatLogStamp(const LocalTime& now) {
  std::string text = " - - [";
  AppendDateAndTime(&text, now);
  return text;
}

std::string FormatScriptErrorLine(const LocalTime& now, const std::string& script,
                                  const std::string& text) {
  std::string line = "[";
  AppendDateAndTime(&line, now);
  line.append("] ").append(script).append(": ").append(text).push_back('\n');
  return line;
}

void AppendLogLineRest(std::string* rest, const LogLineFields& f) {
  rest->append("] \"");
  AppendEscaped(rest, f.method);
  rest->push_back(' ');
  AppendEscaped(rest, f.target);
  rest->push_back(' ');
  AppendEscaped(rest, f.version);
  char digits[24];
  rest->append("\" ");
  rest->append(digits, std::to_chars(digits, digits + sizeof digits, static_cast<int>(f.status)).ptr);
  rest->push_back(' ');
  rest->append(digits, std::to_chars(digits, digits + sizeof digits,
                                     static_cast<long long>(f.bytes_sent)).ptr);
  rest->append(" \"");
  if (f.referer == nullptr || *f.referer == '\0') {
    rest->push_back('-');
  } else {
    AppendEscaped(rest, f.referer);
  }
  rest->append("\" \"");
  AppendEscaped(rest, f.user_agent);
  rest->append("\"\n");
}

std::string BuildLogLineRest(const LogLineFields& f) {
  std::string rest;
  AppendLogLineRest(&rest, f);
  return rest;
}

std::string BuildLogLine(const LogLineFields& f, const LocalTime& now) {
  std::string line = f.peer_text ? f.peer_text : "";
  line += FormatLogStamp(now);
  line += BuildLogLineRest(f);
  return line;
}
