#include "core/decimal.h"

#include <climits>

int64_t ParseDecimalPrefix64(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = (*text++ == '-');
  uint64_t value = 0;
  const uint64_t limit = negative ? static_cast<uint64_t>(INT64_MAX) + 1 : INT64_MAX;
  for (; *text >= '0' && *text <= '9'; ++text) {
    uint64_t digit = static_cast<uint64_t>(*text - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  if (negative) return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MIN : -static_cast<int64_t>(value);
  return static_cast<int64_t>(value);
}

int32_t ParseDecimalPrefix(const char* text) {
  int64_t value = ParseDecimalPrefix64(text);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}
