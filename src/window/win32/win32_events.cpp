// The native side of the Win32 backend: the one window procedure of every
// native window, the message pump and the wait. Pointer input goes into the
// core's input queue at once; keys are taken in the pump (with the characters
// TranslateMessage makes of them); changes of position, activation, state
// and close requests are noted and handed to the core by the pump, so the
// core never runs inside one of its own calls to USER32.
#include "window/win32/win32_internal.h"

#include <deque>

namespace wscore::win32 {

extern void (*DisplayLostHandler)();
bool IsConfiguring();
bool IsActivating();
const MinMaxInfo* SizeHintsOf(HWND hwnd);
bool IsSystemControlWindow(HWND hwnd);
bool FromSystemControl(WindowRecord* parent, UINT message, WPARAM wParam, LPARAM lParam,
                       LRESULT* result);
void FrameThickness(WindowRecord* r, int32_t* extraWidth, int32_t* extraHeight);

HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

WindowRecord* RecordOf(HWND hwnd) {
  auto handle = reinterpret_cast<WindowHandle>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  return handle != nullptr ? Find(handle) : nullptr;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// A character the code page lacks comes out as the code page's default
// character ('?'), as the A calls give it.
std::string Narrow(const wchar_t* text, int length) {
  if (length == 0) return std::string();
  int n = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

namespace {

enum class NoteKind { kConfigured, kActivated, kDeactivated, kMinimized, kRestored, kClose };
struct Note {
  NoteKind kind;
  HWND hwnd;
};
std::deque<Note> Notes;
int PumpDepth = 0;
int ModalDepth = 0;
UINT_PTR ModalTimer = 0;

uint32_t KeyModifiers() {
  uint32_t m = 0;
  if (::GetKeyState(VK_SHIFT) & 0x8000) m |= MK_SHIFT;
  if (::GetKeyState(VK_CONTROL) & 0x8000) m |= MK_CONTROL;
  if (::GetKeyState(VK_MENU) & 0x8000) m |= kAltDown;
  if (::GetKeyState(VK_LBUTTON) & 0x8000) m |= MK_LBUTTON;
  if (::GetKeyState(VK_RBUTTON) & 0x8000) m |= MK_RBUTTON;
  if (::GetKeyState(VK_MBUTTON) & 0x8000) m |= MK_MBUTTON;
  return m;
}

void ApplyNote(const Note& note) {
  WindowRecord* r = RecordOf(note.hwnd);
  if (r == nullptr || r->parent != nullptr) return;
  switch (note.kind) {
    case NoteKind::kConfigured: {
      if (::IsIconic(note.hwnd)) return;
      RECT client{};
      ::GetClientRect(note.hwnd, &client);
      POINT origin{0, 0};
      ::ClientToScreen(note.hwnd, &origin);
      OnTopLevelConfigured(r, origin.x, origin.y, client.right, client.bottom);
      break;
    }
    case NoteKind::kActivated: OnFocusChange(r, true); break;
    case NoteKind::kDeactivated: OnFocusChange(r, false); break;
    case NoteKind::kMinimized: OnIconified(r, true); break;
    case NoteKind::kRestored: OnIconified(r, false); break;
    case NoteKind::kClose: OnCloseRequest(r); break;
  }
}

void ApplyNotes() {
  while (!Notes.empty() && State().running) {
    Note note = Notes.front();
    Notes.pop_front();
    ApplyNote(note);
  }
}

void PushPointer(HWND hwnd, InputKind kind, LPARAM lParam, MouseButton button, bool down) {
  POINT p{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
  ::ClientToScreen(hwnd, &p);
  InputEvent e;
  e.kind = kind;
  e.x = p.x;
  e.y = p.y;
  e.button = button;
  e.down = down;
  e.modifiers = KeyModifiers();
  e.hasModifiers = true;
  PushInput(e);
}

// Pointer leaves a native window (to another of ours or off the program):
// the core learns where the pointer is now.
void PushPointerHere() {
  POINT p{};
  ::GetCursorPos(&p);
  InputEvent e;
  e.kind = InputKind::kMove;
  e.x = p.x;
  e.y = p.y;
  e.modifiers = KeyModifiers();
  e.hasModifiers = true;
  PushInput(e);
}

void PushKey(const MSG& msg) {
  bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  InputEvent k;
  k.kind = InputKind::kKey;
  k.down = down;
  k.repeat = down && (msg.lParam & (1 << 30)) != 0;
  k.virtualKey = static_cast<uint32_t>(msg.wParam);
  k.modifiers = KeyModifiers();
  k.hasModifiers = true;
  if (down) {
    ::TranslateMessage(&msg);
    MSG c;
    while (::PeekMessageW(&c, msg.hwnd, WM_CHAR, WM_CHAR, PM_REMOVE)) {
      k.chars.push_back(static_cast<char32_t>(c.wParam & 0xFFFF));
    }
  }
  PushInput(k);
}

void CALLBACK ModalTick(HWND, UINT, UINT_PTR, DWORD) {
  if (!State().running || PumpDepth > 1) return;
  ApplyNotes();
  ProcessPendingMessages();
}

void Remember(HWND hwnd, NoteKind kind) {
  Notes.push_back(Note{kind, hwnd});
  if (ModalDepth > 0 || PumpDepth == 0) WakeUiThread();
}

LRESULT OnPaint(HWND hwnd, WindowRecord* r) {
  PAINTSTRUCT ps;
  ::BeginPaint(hwnd, &ps);
  RECT d = ps.rcPaint;
  ::EndPaint(hwnd, &ps);
  if (r != nullptr) OnExpose(r, WinRect{d.left, d.top, d.right, d.bottom});
  return 0;
}

LRESULT OnMinMax(HWND hwnd, WindowRecord* r, MINMAXINFO* info) {
  const MinMaxInfo* hints = SizeHintsOf(hwnd);
  if (hints == nullptr) return 0;
  int32_t dx = 0, dy = 0;
  FrameThickness(r, &dx, &dy);
  if (hints->minTrackSize.x > 1 || hints->minTrackSize.y > 1) {
    info->ptMinTrackSize.x = hints->minTrackSize.x + dx;
    info->ptMinTrackSize.y = hints->minTrackSize.y + dy;
  }
  if (hints->maxTrackSize.x < 32767) info->ptMaxTrackSize.x = hints->maxTrackSize.x + dx;
  if (hints->maxTrackSize.y < 32767) info->ptMaxTrackSize.y = hints->maxTrackSize.y + dy;
  return 0;
}

}  // namespace

void EnterNativeModal() {
  if (ModalDepth++ == 0) ModalTimer = ::SetTimer(static_cast<HWND>(nullptr), 0, 15, ModalTick);
}

void LeaveNativeModal() {
  if (--ModalDepth == 0 && ModalTimer != 0) {
    ::KillTimer(static_cast<HWND>(nullptr), ModalTimer);
    ModalTimer = 0;
  }
}

LRESULT CALLBACK NativeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
  }
  WindowRecord* r = RecordOf(hwnd);
  if (r == nullptr) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: return OnPaint(hwnd, r);
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE: {
      TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
      ::TrackMouseEvent(&track);
      PushPointer(hwnd, InputKind::kMove, lParam, MouseButton::kLeft, false);
      return 0;
    }
    case WM_MOUSELEAVE: PushPointerHere(); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      PushPointer(hwnd, InputKind::kButton, lParam, MouseButton::kLeft, message == WM_LBUTTONDOWN);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      PushPointer(hwnd, InputKind::kButton, lParam, MouseButton::kRight, message == WM_RBUTTONDOWN);
      return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      PushPointer(hwnd, InputKind::kButton, lParam, MouseButton::kMiddle, message == WM_MBUTTONDOWN);
      return 0;
    case WM_MOUSEWHEEL: {
      InputEvent wheel;
      wheel.kind = InputKind::kWheel;
      wheel.x = static_cast<int16_t>(LOWORD(lParam));
      wheel.y = static_cast<int16_t>(HIWORD(lParam));
      wheel.delta = GET_WHEEL_DELTA_WPARAM(wParam);
      wheel.modifiers = KeyModifiers();
      wheel.hasModifiers = true;
      PushInput(wheel);
      return 0;
    }
    case WM_MOUSEACTIVATE:
      if (::GetWindowLongPtrA(::GetAncestor(hwnd, GA_ROOT), GWL_EXSTYLE) & WS_EX_NOACTIVATE) {
        return MA_NOACTIVATE;
      }
      break;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(::LoadCursorA(nullptr, r->cursor == CursorShape::kHand ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      if (!IsActivating()) {
        Remember(hwnd, LOWORD(wParam) == WA_INACTIVE ? NoteKind::kDeactivated : NoteKind::kActivated);
      }
      break;
    case WM_WINDOWPOSCHANGED:
      if (r->parent == nullptr && !IsConfiguring()) Remember(hwnd, NoteKind::kConfigured);
      break;
    case WM_SIZE:
      if (r->parent == nullptr) {
        if (wParam == SIZE_MINIMIZED) Remember(hwnd, NoteKind::kMinimized);
        else if (r->minimized) Remember(hwnd, NoteKind::kRestored);
      }
      return 0;
    case WM_GETMINMAXINFO: return OnMinMax(hwnd, r, reinterpret_cast<MINMAXINFO*>(lParam));
    case WM_CLOSE: Remember(hwnd, NoteKind::kClose); return 0;
    case WM_ENDSESSION:
      if (wParam != FALSE) {
        if (DisplayLostHandler != nullptr) DisplayLostHandler();
        ::ExitProcess(1);
      }
      return 0;
    case WM_ENTERSIZEMOVE: EnterNativeModal(); return 0;
    case WM_EXITSIZEMOVE: LeaveNativeModal(); return 0;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      LRESULT result = 0;
      if (FromSystemControl(r, message, wParam, lParam, &result)) return result;
      break;
    }
    default: break;
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void Pump() {
  ++PumpDepth;
  MSG msg;
  while (State().running && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    switch (msg.message) {
      case WM_KEYDOWN:
      case WM_KEYUP:
        if (RecordOf(msg.hwnd) != nullptr) {
          PushKey(msg);
          continue;
        }
        break;
      case WM_SYSKEYDOWN:
      case WM_SYSKEYUP:
        // Alt+key reaches the toolkit, and the system too (Alt+F4, Alt+Space).
        if (RecordOf(msg.hwnd) != nullptr) PushKey(msg);
        break;
      case WM_QUIT: continue;  // the core keeps its own quit message
      default: break;
    }
    // The system's own controls take their characters as usual.
    if (IsSystemControlWindow(msg.hwnd)) ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  if (PumpDepth == 1) ApplyNotes();
  --PumpDepth;
}

void Wait(int32_t timeoutMs) {
  if (!Notes.empty()) return;
  HANDLE wake = State().wake != kNoWakeSignal ? reinterpret_cast<HANDLE>(State().wake) : nullptr;
  ::MsgWaitForMultipleObjectsEx(wake != nullptr ? 1 : 0, &wake,
                                timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// The clipboard is the system's; the primary selection, which Windows does
// not have, stays inside the program.
namespace {
std::string PrimaryText;
bool PrimaryHeld = false;
}  // namespace

bool SetSelection(ClipboardSelection which, WindowRecord* owner, const std::string& text) {
  if (which == ClipboardSelection::kPrimary) {
    PrimaryText = text;
    PrimaryHeld = true;
    return true;
  }
  std::wstring wide = Widen(text);
  if (!::OpenClipboard(owner != nullptr ? NativeOf(owner) : nullptr)) return false;
  ::EmptyClipboard();
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  bool ok = false;
  if (block != nullptr) {
    auto* target = static_cast<wchar_t*>(::GlobalLock(block));
    std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, target);
    ::GlobalUnlock(block);
    ok = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    if (!ok) ::GlobalFree(block);
  }
  ::CloseClipboard();
  return ok;
}

bool GetSelection(ClipboardSelection which, std::string* out) {
  if (which == ClipboardSelection::kPrimary) {
    if (!PrimaryHeld) return false;
    *out = PrimaryText;
    return true;
  }
  if (!::OpenClipboard(nullptr)) return false;
  bool ok = false;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
      *out = Narrow(text, static_cast<int>(wcslen(text)));
      ::GlobalUnlock(data);
      ok = true;
    }
  }
  ::CloseClipboard();
  return ok;
}

void DropSelections(WindowRecord*) {}

}  // namespace wscore::win32
