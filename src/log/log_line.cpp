#include "log/log_line.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "core/calendar_names.h"

namespace {

const char* MonthName(uint16_t month) {
  return month >= 1 && month <= 12 ? kMonthNames[month - 1] : "???";
}

// Appends `text` for a quoted field: control bytes as \xHH, '"' as \" and
// '\' as \\; every other byte (UTF-8 included) as it is.
void AppendEscaped(std::string* line, const char* text) {
  if (text == nullptr) return;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (*p == '"' || *p == '\\') {
      line->push_back('\\');
      line->push_back(static_cast<char>(*p));
    } else if (*p < 0x20 || *p == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", *p);
      line->append(hex);
    } else {
      line->push_back(static_cast<char>(*p));
    }
  }
}

}  // namespace

std::string DailyLogFileName(const CalendarTime& time) {
  char name[64];
  std::snprintf(name, sizeof name, "Ambrel_HTTP_%02u_%02u_%04u.log", unsigned{time.month},
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

std::string FormatLogStamp(const LocalTime& now) {
  char stamp[64];
  int n = std::snprintf(stamp, sizeof stamp, " - - [%02u/%s/%04u:%02u:%02u:%02u",
                        unsigned{now.time.day}, MonthName(now.time.month), unsigned{now.time.year},
                        unsigned{now.time.hour}, unsigned{now.time.minute},
                        unsigned{now.time.second});
  std::string text(stamp, n > 0 ? static_cast<size_t>(n) : 0);
  if (now.has_offset) text += " " + FormatZone(now.utc_offset_minutes);
  return text;
}

std::string BuildLogLineRest(const LogLineFields& f) {
  std::string rest = "] \"";
  AppendEscaped(&rest, f.method);
  rest += ' ';
  AppendEscaped(&rest, f.target);
  rest += ' ';
  AppendEscaped(&rest, f.version);
  char digits[24];
  rest += "\" ";
  rest.append(digits, std::to_chars(digits, digits + sizeof digits, static_cast<int>(f.status)).ptr);
  rest += ' ';
  rest.append(digits, std::to_chars(digits, digits + sizeof digits,
                                    static_cast<long long>(f.bytes_sent)).ptr);
  rest += " \"";
  if (f.referer == nullptr || *f.referer == '\0') {
    rest += '-';
  } else {
    AppendEscaped(&rest, f.referer);
  }
  rest += "\" \"";
  AppendEscaped(&rest, f.user_agent);
  rest += "\"\n";
  return rest;
}

std::string BuildLogLine(const LogLineFields& f, const LocalTime& now) {
  std::string line = f.peer_text ? f.peer_text : "";
  line += FormatLogStamp(now);
  line += BuildLogLineRest(f);
  return line;
}
