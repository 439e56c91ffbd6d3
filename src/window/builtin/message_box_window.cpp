// The toolkit's message box: a small top-level window with a sign, the
// wrapped text and an OK button, modal towards its owner. A box asked for on
// the user-interface thread runs a nested loop until it closes; a box asked
// for on any other thread is opened by the user-interface thread, and the
// asking thread waits until the box is gone.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>

#include "ui/render/image.h"
#include "window/builtin/control_window.h"
#include "window/builtin/message_box_paint.h"
#include "window/builtin/message_icons.h"
#include "window/builtin/system_controls.h"

namespace {

// One request for a box; lives on the asking thread's stack until the box
// is gone.
struct BoxRequest {
  WindowHandle owner = nullptr;
  std::string text;
  std::string caption;
  MessageBoxIcon icon = MessageBoxIcon::kInformation;
  WindowHandle window = nullptr;
  bool owner_disabled = false;  // the box disabled the owner and must enable it again
  std::mutex lock;
  std::condition_variable closed_signal;
  bool closed = false;
  bool shownBySystem = false;  // the desktop's own box was shown and closed
};

struct BoxWindow {
  BoxRequest* request = nullptr;
  MessageBoxLayout layout;
  Image* sign = nullptr;
  bool pressed = false;        // the button shows pressed
  bool pointer_down = false;   // the left button went down on the button
  bool space_down = false;
};

BoxWindow* StateOf(WindowHandle window) { return static_cast<BoxWindow*>(GetWindowUserData(window)); }

// Closing gives the owner its input back before the box goes, so the owner
// is the window that becomes active again.
void CloseBox(WindowHandle window, BoxWindow* state) {
  BoxRequest* request = state->request;
  if (request->owner_disabled) {
    request->owner_disabled = false;
    EnableWindow(request->owner, true);
  }
  DestroyWindow(window);
}

void MarkClosed(BoxRequest* request) {
  if (request->owner_disabled) {
    request->owner_disabled = false;
    EnableWindow(request->owner, true);
  }
  std::lock_guard<std::mutex> guard(request->lock);
  request->closed = true;
  request->closed_signal.notify_all();
}

void SetPressed(WindowHandle window, BoxWindow* state, bool pressed) {
  if (state->pressed == pressed) return;
  state->pressed = pressed;
  InvalidateRect(window, nullptr, false);
}

void OnPaint(WindowHandle window, BoxWindow* state) {
  PaintThroughSurface(window, [&](Image* image) {
    MessageBoxLook look{GetSystemControlFont(), state->request->icon, state->pressed,
                        GetFocusWindow() == window};
    PaintMessageBox(image, state->layout, state->request->text, look, state->sign);
  });
}

// Ctrl+C copies the caption and text, as the platform's boxes allow.
void CopyContents(WindowHandle window, const BoxRequest* request) {
  std::string contents = request->caption + "\n\n" + request->text + "\n";
  SetSelectionText(ClipboardSelection::kClipboard, window, contents.data(), contents.size());
}

// Enter and Escape close at once; Space presses the button and closes when
// it is released, like a click.
bool OnKey(WindowHandle window, BoxWindow* state, uint32_t message, uint32_t key) {
  if (message == WM_KEYDOWN && (key == VK_RETURN || key == VK_ESCAPE)) {
    CloseBox(window, state);
    return true;
  }
  if (key != VK_SPACE) return false;
  if (message == WM_KEYDOWN) {
    state->space_down = true;
    SetPressed(window, state, true);
  } else if (state->space_down) {
    CloseBox(window, state);
  }
  return true;
}

void OnPointer(WindowHandle window, BoxWindow* state, uint32_t message, LParam lParam) {
  int x = SignedLoWord(static_cast<uintptr_t>(lParam));
  int y = SignedHiWord(static_cast<uintptr_t>(lParam));
  bool on_button = MessageBoxButtonHit(state->layout, x, y);
  if (message == WM_LBUTTONDOWN && on_button) {
    state->pointer_down = true;
    SetCapture(window);
    SetPressed(window, state, true);
  } else if (message == WM_MOUSEMOVE && state->pointer_down) {
    SetPressed(window, state, on_button);
  } else if (message == WM_LBUTTONUP && state->pointer_down) {
    state->pointer_down = false;
    ReleaseMouseCapture();
    SetPressed(window, state, false);
    if (on_button) CloseBox(window, state);
  }
}

LResult OnCreate(WindowHandle window, const CreateStruct* create) {
  BoxWindow* state = new (std::nothrow) BoxWindow;
  if (!state) return -1;
  state->request = static_cast<BoxRequest*>(create->createParams);
  state->layout = LayoutMessageBox(state->request->text, GetSystemControlFont());
  state->sign = NewMessageIcon(state->request->icon);
  SetWindowUserData(window, state);
  return 0;
}

void OnDestroy(WindowHandle window, BoxWindow* state) {
  SetWindowUserData(window, nullptr);
  BoxRequest* request = state->request;
  FreeImage(&state->sign);
  delete state;
  MarkClosed(request);
}

// Centred on the owner, or on the work area, and kept on the work area.
WinPoint BoxPosition(WindowHandle owner, int width, int height) {
  WinRect area{};
  GetWorkArea(&area);
  WinRect around = area;
  if (owner && IsWindow(owner) && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &around);
  }
  int x = around.left + (around.right - around.left - width) / 2;
  int y = around.top + (around.bottom - around.top - height) / 2;
  x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right) - width));
  y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom) - height));
  return {x, y};
}

// Builds and shows the box for `request` on the user-interface thread.
bool OpenBox(BoxRequest* request) {
  if (request->owner && !IsWindow(request->owner)) request->owner = nullptr;
  MessageBoxLayout layout = LayoutMessageBox(request->text, GetSystemControlFont());
  WinPoint at = BoxPosition(request->owner, layout.width, layout.height);
  WindowHandle window =
      CreateSystemWindow(0, kMessageBoxClassName, request->caption.c_str(), WS_CAPTION | WS_SYSMENU,
                         at.x, at.y, layout.width, layout.height, request->owner, 0, request);
  if (!window) return false;
  request->window = window;
  if (request->owner && IsWindowEnabled(request->owner)) {
    EnableWindow(request->owner, false);
    request->owner_disabled = true;
  }
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(window);
  return true;
}

void SystemBoxCall(void* context) {
  BoxRequest* request = static_cast<BoxRequest*>(context);
  if (request->owner && !IsWindow(request->owner)) request->owner = nullptr;
  request->shownBySystem = ShowSystemMessageBox(request->owner, request->text.c_str(),
                                                request->caption.c_str(),
                                                request->icon == MessageBoxIcon::kError);
}

void OpenBoxCall(void* context) {
  BoxRequest* request = static_cast<BoxRequest*>(context);
  if (!OpenBox(request)) request->window = nullptr;
}

// The box on the user-interface thread itself: a nested loop until it is
// gone. A quit message ends the box and is posted again for the outer loop.
void RunBoxHere(BoxRequest* request) {
  if (!OpenBox(request)) {
    std::fprintf(stderr, "%s: %s\n", request->caption.c_str(), request->text.c_str());
    return;
  }
  while (!request->closed) {
    WindowMessage message{};
    if (!GetNextMessage(&message)) {
      if (IsWindow(request->window)) CloseBox(request->window, StateOf(request->window));
      PostQuit(static_cast<int32_t>(message.wParam));
      break;
    }
    DispatchWindowMessage(&message);
  }
}

}  // namespace

LResult MessageBoxWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<const CreateStruct*>(lParam));
  BoxWindow* state = StateOf(window);
  if (!state) return DefaultWindowProc(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY: OnDestroy(window, state); return 0;
    case WM_PAINT: OnPaint(window, state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_CLOSE: CloseBox(window, state); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(window, nullptr, false); return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
      if (OnKey(window, state, message, static_cast<uint32_t>(wParam))) return 0;
      break;
    case WM_CHAR:
      if (wParam == 3) CopyContents(window, state->request);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP: OnPointer(window, state, message, lParam); return 0;
    case WM_CAPTURECHANGED:
      state->pointer_down = false;
      SetPressed(window, state, state->space_down);
      return 0;
    default: break;
  }
  return DefaultWindowProc(window, message, wParam, lParam);
}

void ShowOwnedMessageBox(WindowHandle owner, const char* text, const char* caption,
                         MessageBoxIcon icon) {
  BoxRequest request;
  request.owner = owner;
  request.text = text ? text : "";
  request.caption = caption ? caption : "";
  request.icon = icon;
  // Where the desktop has a message box of its own, that one is shown, by
  // the user-interface thread.
  if (IsUiThread() && ShowSystemMessageBox(owner, request.text.c_str(), request.caption.c_str(),
                                           icon == MessageBoxIcon::kError)) {
    return;
  }
  if (!IsUiThread() && CallOnUiThread(SystemBoxCall, &request) && request.shownBySystem) return;
  if (IsUiThread()) {
    RunBoxHere(&request);
    return;
  }
  // Another thread: the user-interface thread opens the box; this thread
  // waits for it to close.
  if (!CallOnUiThread(OpenBoxCall, &request) || !request.window) {
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    return;
  }
  std::unique_lock<std::mutex> guard(request.lock);
  request.closed_signal.wait(guard, [&] { return request.closed; });
}
