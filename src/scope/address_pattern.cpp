#include "scope/address_pattern.h"

#include <cstdint>
#include <cstring>

#include "core/decimal.h"

namespace {

constexpr int kComponentCapacity = 32;  // a component of 32 characters or more is invalid
constexpr uint64_t kComponentMax = 255;

constexpr const char* kLoopbackPattern = "127.0-255.0-255.0-255";
constexpr const char* kLanPatterns[] = {
    "192.168.0-255.0-255",
    "10.0-255.0-255.0-255.0-255",
    "127.0-255.0-255.0-255",
    "172.16-31.0-255.0-255",
};

struct Bounds {
  uint64_t low;
  uint64_t high;
};

// A component's number as an unsigned value: a negative number becomes a
// very large one and so fails every limit, as it does in the 32-bit unsigned
// comparison.
uint64_t ReadNumber(const char* text) { return static_cast<uint64_t>(ParseDecimalPrefix64(text)); }

// Copies the component starting at `text` into `out`; false for a character
// other than a digit or '-', or a component that is too long. *end is the
// character that ended it ('.' or NUL).
bool TakeComponent(const char* text, char (&out)[kComponentCapacity], const char** end) {
  int length = 0;
  for (; *text != '\0' && *text != '.'; ++text) {
    if (!((*text >= '0' && *text <= '9') || *text == '-')) return false;
    if (length >= kComponentCapacity - 1) return false;
    out[length++] = *text;
  }
  out[length] = '\0';
  *end = text;
  return true;
}

// Low and high of a component: split at its first '-', a single number otherwise.
Bounds ComponentBounds(const char* component) {
  const char* dash = std::strchr(component, '-');
  if (dash == nullptr) {
    uint64_t value = ReadNumber(component);
    return {value, value};
  }
  char low_text[kComponentCapacity];
  size_t low_length = static_cast<size_t>(dash - component);
  std::memcpy(low_text, component, low_length);
  low_text[low_length] = '\0';
  return {ReadNumber(low_text), ReadNumber(dash + 1)};
}

// Walks the four components of a valid text; `visit(position, component)`
// sees each. False when the text is invalid.
template <typename Visit>
bool WalkComponents(const char* text, Visit visit) {
  if (text == nullptr) return false;
  for (int position = 0; position < 4; ++position) {
    char component[kComponentCapacity];
    const char* end = nullptr;
    if (!TakeComponent(text, component, &end)) return false;
    Bounds bounds = ComponentBounds(component);
    if (bounds.low > kComponentMax || bounds.high > kComponentMax || bounds.low > bounds.high) {
      return false;
    }
    visit(position, component, bounds);
    if (*end != '.') return position == 3;
    text = end + 1;
  }
  return true;
}

}  // namespace

bool ValidateAddressPattern(const char* text) {
  return WalkComponents(text, [](int, const char*, const Bounds&) {});
}

bool MatchAddressPattern(const char* address, const char* pattern) {
  uint64_t values[4] = {};
  Bounds bounds[4] = {};
  if (!WalkComponents(address, [&](int i, const char* c, const Bounds&) { values[i] = ReadNumber(c); })) {
    return false;
  }
  if (!WalkComponents(pattern, [&](int i, const char*, const Bounds& b) { bounds[i] = b; })) {
    return false;
  }
  for (int i = 0; i < 4; ++i) {
    if (values[i] > bounds[i].high || values[i] < bounds[i].low) return false;
  }
  return true;
}

bool IsLoopbackAddress(const char* address) {
  return MatchAddressPattern(address, kLoopbackPattern);
}

bool IsLanAddress(const char* address) {
  for (const char* pattern : kLanPatterns) {
    if (MatchAddressPattern(address, pattern)) return true;
  }
  return false;
}
