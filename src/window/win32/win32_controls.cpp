// Child windows of the toolkit's "EDIT" and "STATIC" classes are the
// system's own controls here. The record keeps its place in the core (its
// parent, id, focus and Tab order), while a forwarding procedure hands the
// core's messages to the control: text, length limit, selection, font and
// keys. The control's notifications and colour questions reach the native
// parent, which passes them to the record's parent as the core's messages.
#include "window/win32/win32_internal.h"
#include "platform/text.h"

#include <cstring>
#include <algorithm>
#include <map>

HFONT NativeFontOf(FontHandle font);

namespace wscore::win32 {

namespace {

// What the toolkit's colour question carries (the layout its text controls
// share with their parents): text and background colours as 0x00BBGGRR, and a
// brush whose first field is its colour.
struct ColourQuestion {
  uint32_t text;
  uint32_t background;
};

// A native control: its record and the system's own procedure of it.
struct ControlEntry {
  WindowHandle record;
  WNDPROC base;
};
std::map<HWND, ControlEntry> Controls;
std::map<uint32_t, HBRUSH> Brushes;  // fill colours handed to controls

bool IsEditClass(const WindowRecord* r) { return r->windowClass->name == "EDIT"; }

WindowRecord* ControlRecord(HWND hwnd) {
  auto found = Controls.find(hwnd);
  return found == Controls.end() ? nullptr : Find(found->second.record);
}

HWND RootNative(WindowRecord* r) { return NativeOf(Find(RootOf(r->handle))); }

// The record's procedure: the core's messages go on to the control.
LResult ForwardProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  WindowRecord* r = Find(window);
  HWND hwnd = r ? NativeOf(r) : nullptr;
  if (hwnd == nullptr) return DefaultWindowProc(window, message, wParam, lParam);
  switch (message) {
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      return ::SetWindowTextW(hwnd, Widen(text ? text : "").c_str()) ? 1 : 0;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      int length = ::GetWindowTextLengthW(hwnd);
      std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
      length = ::GetWindowTextW(hwnd, wide.data(), length + 1);
      std::string text = Narrow(wide.data(), length);
      if (message == WM_GETTEXTLENGTH) return static_cast<LResult>(text.size());
      auto* buffer = reinterpret_cast<char*>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
      std::memcpy(buffer, text.data(), n);
      buffer[n] = '\0';
      return static_cast<LResult>(n);
    }
    case WM_SETFONT: {
      HFONT font = NativeFontOf(reinterpret_cast<FontHandle>(wParam));
      ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), lParam);
      return 0;
    }
    case EM_GETSEL:
    case EM_SETSEL:
    case EM_LIMITTEXT:
    case EM_GETLIMITTEXT:
      return static_cast<LResult>(::SendMessageW(hwnd, message, wParam, lParam));
    case WM_ENABLE:
      ::EnableWindow(hwnd, wParam != 0);
      return 0;
    case WM_SETFOCUS:
      if (::GetFocus() != hwnd) ::SetFocus(hwnd);
      return 0;
    case WM_KILLFOCUS:
      if (::GetFocus() == hwnd) ::SetFocus(RootNative(r));
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      // Keys the core routes here while the system's focus lies elsewhere.
      if (::GetFocus() != hwnd) ::SetFocus(hwnd);
      ::SendMessageW(hwnd, message, wParam, lParam);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: {
      // A press the core routes here (the system gave it to the window that
      // held the capture): the control takes it in its own client area,
      // inside its border.
      POINT client{0, 0};
      ::ClientToScreen(hwnd, &client);
      RECT outer{};
      ::GetWindowRect(hwnd, &outer);
      int x = static_cast<int16_t>(LOWORD(lParam)) - (client.x - outer.left);
      int y = static_cast<int16_t>(HIWORD(lParam)) - (client.y - outer.top);
      ::SendMessageW(hwnd, message, wParam, MAKELPARAM(x, y));
      return 0;
    }
    case WM_PAINT: {
      PaintInfo info{};
      BeginPaint(window, &info);  // the control paints itself
      EndPaint(window, &info);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}

// The control's own procedure, subclassed: Tab goes to the core as a key of
// the focused record (the toolkit moves on), and focus the user gives the
// control with the pointer becomes the core's focus. The characters of Enter,
// Ctrl+Enter and Escape never reach a field: the window's fields type nothing
// for them, where the system's single-line field would sound its warning.
LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto found = Controls.find(hwnd);
  if (found == Controls.end()) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  WNDPROC base = found->second.base;
  if (message == WM_NCDESTROY) {
    Controls.erase(found);
    return ::CallWindowProcW(base, hwnd, message, wParam, lParam);
  }
  if (WindowRecord* r = Find(found->second.record)) {
    if (message == WM_SETFOCUS) SetFocus(r->handle);
    if ((message == WM_KEYDOWN && wParam == VK_TAB) || (message == WM_CHAR && wParam == '\t')) {
      SendWindowMessage(r->handle, message, wParam, lParam);
      return 0;
    }
    if (message == WM_CHAR && IsEditClass(r) && (wParam == '\r' || wParam == '\n' || wParam == 27)) {
      return 0;
    }
  }
  return ::CallWindowProcW(base, hwnd, message, wParam, lParam);
}

}  // namespace

bool IsSystemControl(const WindowRecord* r) {
  return r->parent != nullptr &&
         (r->windowClass->name == "EDIT" || r->windowClass->name == "STATIC");
}

HWND CreateSystemControl(WindowRecord* r, HWND parent, const RECT& outer) {
  bool edit = IsEditClass(r);
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  if (edit) {
    style |= WS_TABSTOP | ES_AUTOHSCROLL | (r->style & ES_READONLY);
    exStyle = WS_EX_CLIENTEDGE;
  } else {
    style |= r->style & SS_TYPEMASK;
  }
  HWND hwnd = ::CreateWindowExA(exStyle, edit ? "EDIT" : "STATIC", "", style, outer.left,
                                outer.top, outer.right - outer.left, outer.bottom - outer.top,
                                parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(r->childId)),
                                Instance(), nullptr);
  if (hwnd == nullptr) return nullptr;
  ::SetWindowTextW(hwnd, Widen(r->text).c_str());
  WNDPROC old = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
  Controls[hwnd] = ControlEntry{r->handle, old};
  r->procedure = ForwardProc;
  return hwnd;
}

bool IsSystemControlWindow(HWND hwnd) { return Controls.count(hwnd) != 0; }

// A notification or colour question from a control, asked of the native
// parent `parent`: handled when it comes from one of the controls above.
bool FromSystemControl(WindowRecord* parent, UINT message, WPARAM wParam, LPARAM lParam,
                       LRESULT* result) {
  HWND hwnd = reinterpret_cast<HWND>(lParam);
  WindowRecord* control = ControlRecord(hwnd);
  if (control == nullptr) return false;
  if (message == WM_COMMAND) {
    *result = SendWindowMessage(parent->handle, WM_COMMAND, wParam,
                                reinterpret_cast<LParam>(control->handle));
    return true;
  }
  bool edit = message == WM_CTLCOLOREDIT;
  uint32_t fill = ::GetSysColor(edit ? COLOR_WINDOW : COLOR_BTNFACE);
  ColourQuestion colours{static_cast<uint32_t>(::GetSysColor(COLOR_WINDOWTEXT)), fill};
  LResult brush = SendWindowMessage(parent->handle, message, reinterpret_cast<WParam>(&colours),
                                    reinterpret_cast<LParam>(control->handle));
  if (brush != 0) fill = *reinterpret_cast<const uint32_t*>(brush);
  HDC dc = reinterpret_cast<HDC>(wParam);
  ::SetTextColor(dc, colours.text);
  ::SetBkColor(dc, colours.background);
  HBRUSH& native = Brushes[fill];
  if (native == nullptr) native = ::CreateSolidBrush(fill);
  *result = reinterpret_cast<LRESULT>(native);
  return true;
}

void ReleaseControlBrushes() {
  for (auto& [colour, brush] : Brushes) ::DeleteObject(brush);
  Brushes.clear();
}

}  // namespace wscore::win32
