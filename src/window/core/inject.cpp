// Injected input for tests: the same events a display would produce, with
// characters made by a US keyboard layout.
#include "window/core/core.h"

namespace wscore {

namespace {

inline constexpr uint32_t kVkPacket = 0xE7;  // a key press that carries only a character

// Shift and Control as they will be when the queued input has been routed.
uint32_t PendingModifiers() {
  CoreState& s = State();
  uint32_t modifiers = s.modifiers;
  for (const InputEvent& e : s.input) {
    if (e.kind != InputKind::kKey) continue;
    uint32_t bit = e.virtualKey == VK_SHIFT ? MK_SHIFT : e.virtualKey == VK_CONTROL ? MK_CONTROL : 0;
    modifiers = e.down ? modifiers | bit : modifiers & ~bit;
  }
  return modifiers;
}

// The character a key makes with the given Shift and Control state, or 0.
char32_t CharacterOf(uint32_t vk, uint32_t modifiers) {
  bool shift = (modifiers & MK_SHIFT) != 0;
  bool control = (modifiers & MK_CONTROL) != 0;
  if (vk >= 'A' && vk <= 'Z') {
    if (control) return vk - 'A' + 1;
    return shift ? vk : vk - 'A' + 'a';
  }
  if (control) return 0;
  if (vk >= '0' && vk <= '9') return shift ? U")!@#$%^&*("[vk - '0'] : vk;
  switch (vk) {
    case VK_SPACE: return U' ';
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_RETURN: return 13;
    case VK_ESCAPE: return 27;
    default: return 0;
  }
}

// The key that types a character on a US layout, and whether it needs Shift.
uint32_t KeyFor(char32_t c, bool* shift) {
  *shift = false;
  if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') {
    *shift = true;
    return static_cast<uint32_t>(c);
  }
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c);
  if (c == ' ') return VK_SPACE;
  return kVkPacket;
}

// Decodes one UTF-8 character; malformed bytes come out as U+FFFD.
char32_t NextCodePoint(const unsigned char*& p) {
  unsigned char b = *p++;
  if (b < 0x80) return b;
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t c = b & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    if ((*p & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (*p++ & 0x3F);
  }
  return c;
}

void PushKey(uint32_t vk, bool down, char32_t c) {
  InputEvent e;
  e.kind = InputKind::kKey;
  e.virtualKey = vk;
  e.down = down;
  if (down && c != 0) e.chars.push_back(c);
  PushInput(e);
}

}  // namespace

}  // namespace wscore

using namespace wscore;

void InjectMouseMove(int32_t x, int32_t y) {
  InputEvent e;
  e.kind = InputKind::kMove;
  e.x = x;
  e.y = y;
  PushInput(e);
}

void InjectMouseButton(MouseButton button, bool down) {
  // The position is the last one queued (or routed), so a move then a click
  // lands where the move went.
  CoreState& s = State();
  InputEvent e;
  e.kind = InputKind::kButton;
  WinPoint at = s.pointer;
  for (const InputEvent& queued : s.input) {
    if (queued.kind != InputKind::kKey) at = WinPoint{queued.x, queued.y};
  }
  e.x = at.x;
  e.y = at.y;
  e.button = button;
  e.down = down;
  PushInput(e);
}

void InjectMouseWheel(int32_t delta) {
  CoreState& s = State();
  InputEvent e;
  e.kind = InputKind::kWheel;
  e.x = s.input.empty() ? s.pointer.x : s.input.back().x;
  e.y = s.input.empty() ? s.pointer.y : s.input.back().y;
  e.delta = delta;
  PushInput(e);
}

void InjectKey(uint32_t virtualKey, bool down) {
  PushKey(virtualKey, down, CharacterOf(virtualKey, PendingModifiers()));
}

void InjectText(const char* utf8) {
  if (utf8 == nullptr) return;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p != 0) {
    char32_t c = NextCodePoint(p);
    bool shift = false;
    uint32_t vk = KeyFor(c, &shift);
    bool shiftWasDown = (PendingModifiers() & MK_SHIFT) != 0;
    if (shift && !shiftWasDown) PushKey(VK_SHIFT, true, 0);
    PushKey(vk, true, c);
    PushKey(vk, false, 0);
    if (shift && !shiftWasDown) PushKey(VK_SHIFT, false, 0);
  }
}
