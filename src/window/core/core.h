// The backend-independent half of the window system: window records, the
// class registry, the message queues, timers, focus, capture and activation.
// The two backends (x11/, headless/) plug in through BackendOps and feed
// their input into the core's input queue, so routing is the same for real
// and injected input.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/wake.h"
#include "window/window_test_hooks.h"

namespace wscore {

struct ClassRecord {
  std::string name;
  WindowProc procedure = nullptr;
  uint32_t style = 0;
  int64_t background = kNoBackground;
  CursorShape cursor = CursorShape::kArrow;
  int32_t windows = 0;  // live windows of this class
};

struct WindowRecord {
  WindowHandle handle = nullptr;
  ClassRecord* windowClass = nullptr;
  WindowProc procedure = nullptr;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  WindowHandle parent = nullptr;  // child windows
  WindowHandle owner = nullptr;   // top-level windows
  std::vector<WindowHandle> children;  // bottom of the z-order first
  int32_t childId = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;  // parent client or screen
  std::string text;
  void* userData = nullptr;
  bool destroying = false;
  bool sizeSent = false;
  bool minimized = false;
  bool topmost = false;
  bool trackLeave = false;
  bool needsPaint = false;
  bool erasePending = false;
  WinRect dirty{0, 0, 0, 0};
  CursorShape cursor = CursorShape::kArrow;
  // Backend data: the X window id, and the headless pixels.
  uintptr_t native = 0;
  std::vector<uint32_t> pixels;
  int32_t pixelWidth = 0, pixelHeight = 0;
};

// One piece of raw input, in screen coordinates.
enum class InputKind { kMove, kButton, kWheel, kKey };
struct InputEvent {
  InputKind kind = InputKind::kMove;
  int32_t x = 0, y = 0;
  MouseButton button = MouseButton::kLeft;
  bool down = false;
  bool repeat = false;
  int32_t delta = 0;
  uint32_t virtualKey = 0;
  std::u32string chars;  // characters a key press makes (WM_CHAR each)
  uint32_t modifiers = 0;  // MK_* bits plus kAltDown
  bool hasModifiers = false;  // false: keep the core's own key state
};
inline constexpr uint32_t kAltDown = 0x10000;

struct TrayOps;  // tray_core.h

// What a backend does for the core. Every hook is called on the UI thread.
struct BackendOps {
  bool (*open)();
  void (*close)();
  void (*createWindow)(WindowRecord* window);
  void (*destroyWindow)(WindowRecord* window);  // children are gone already
  void (*showWindow)(WindowRecord* window, bool show);
  void (*iconify)(WindowRecord* window, bool minimize);
  void (*configure)(WindowRecord* window);  // position or size changed
  void (*restack)(WindowRecord* window);    // raised (top-level) or reordered
  void (*activate)(WindowRecord* window);   // give the display's keyboard to it
  void (*setTitle)(WindowRecord* window);
  void (*setSizeHints)(WindowRecord* window, const MinMaxInfo& info);
  void (*setIcon)(WindowRecord* window, const IconPixels* images, int32_t count);
  void (*setCursor)(WindowRecord* window);
  void (*setCapture)(WindowRecord* window);  // null releases
  bool (*blit)(WindowRecord* window, int32_t x, int32_t y, int32_t w, int32_t h,
               const uint32_t* pixels, int32_t stride);
  bool (*capturePixels)(WindowRecord* window, WindowPixels* out);
  void (*pump)();                    // turn pending display events into input/paint
  void (*wait)(int32_t timeoutMs);   // wait for display events or a wake (-1: no limit)
  bool (*queryPointer)(WinPoint* out);
  void (*screenSize)(int32_t* w, int32_t* h);
  void (*workArea)(WinRect* out);
  bool (*setSelection)(ClipboardSelection which, WindowRecord* owner, const std::string& text);
  bool (*getSelection)(ClipboardSelection which, std::string* out);
  void (*dropSelections)(WindowRecord* window);  // the owner is going away
  bool (*findTopLevel)(const char* className, const char* title);
  void (*setPopupGrab)(WindowRecord* window);  // null releases
  const TrayOps* tray;
};

const BackendOps* HeadlessBackend();
const BackendOps* X11Backend();    // null when the build has no X11
const BackendOps* Win32Backend();  // null when the build is not for Windows

struct UiCall {
  void (*call)(void*) = nullptr;
  void* context = nullptr;
  bool done = false;
  bool cancelled = false;
};

struct Timer {
  WindowHandle window;
  uintptr_t id;
  uint32_t interval;
  uint64_t due;
};

// Process-wide state of the window system; one instance, declared here.
struct CoreState {
  bool running = false;
  WindowSystemBackend backend = WindowSystemBackend::kHeadless;
  const BackendOps* ops = nullptr;
  std::thread::id uiThread;
  std::map<std::string, std::unique_ptr<ClassRecord>> classes;
  std::unordered_map<uintptr_t, std::unique_ptr<WindowRecord>> windows;
  uintptr_t nextId = 0x10000;
  std::vector<WindowHandle> topLevels;  // z-order, bottom first
  // Posted messages and cross-thread calls (any thread; under queueLock).
  std::mutex queueLock;
  std::deque<WindowMessage> posted;
  std::deque<UiCall*> uiCalls;
  std::condition_variable uiCallDone;
  WakeSignal wake = kNoWakeSignal;  // raised by other threads (platform/wake.h)
  bool acceptingCalls = false;
  // Input (UI thread only).
  std::deque<InputEvent> input;
  std::deque<WindowMessage> inputMessages;
  std::vector<Timer> timers;
  WindowHandle focus = nullptr;
  WindowHandle capture = nullptr;
  WindowHandle popupGrab = nullptr;  // presses outside our windows go here
  WindowHandle active = nullptr;
  WindowHandle pointerWindow = nullptr;
  WinPoint pointer{0, 0};
  uint32_t modifiers = 0;  // MK_* bits plus kAltDown
  bool keysDown[256] = {};
  // Double clicks.
  WindowHandle lastClickWindow = nullptr;
  uint32_t lastClickMessage = 0;
  uint64_t lastClickTime = 0;
  WinPoint lastClickPoint{0, 0};
  // Clocks.
  uint64_t headlessClock = 1000;
  uint64_t clockBase = 0;
  // Headless screen.
  int32_t screenWidth = 1024, screenHeight = 768;
  WinRect workArea{0, 0, 1024, 768};
  std::string headlessSelection[2];
  bool headlessSelectionHeld[2] = {false, false};
};

CoreState& State();

// Record lookup; null for invalid handles.
WindowRecord* Find(WindowHandle window);
WindowHandle MakeHandle(uintptr_t id);
WindowHandle RootOf(WindowHandle window);
bool IsInside(WindowHandle window, WindowHandle maybeDescendant);  // itself or below
uint64_t NowMs();

// Screen origin of a window's client area.
WinPoint ScreenOrigin(const WindowRecord* window);

// Internal steps shared between the files of the core.
void SetFocusInternal(WindowHandle window);
void ActivateTopLevel(WindowHandle top, uint32_t how, bool tellBackend);
void ActivateAfterLoss(WindowHandle lost);  // the active window went away
void ReleaseCaptureInternal(WindowHandle newHolder);
void ReleasePopupGrabInside(WindowHandle window);  // when it or a parent goes
void HideInternal(WindowRecord* window);
void InvalidateAll(WindowRecord* window, bool erase);
void RaiseTopLevel(WindowHandle window);
void ForgetTimers(WindowHandle window);
bool RouteNextInput();  // turns one input event into messages; false when none
void RunUiCalls();
// The wake-up of the UI thread from other threads (wake.cpp) over the
// platform's wake signal.
bool OpenWake();
void CloseWake();
void WakeUiThread();
void DrainWake();
void WaitForWake(int32_t timeoutMs);  // -1: no limit
int32_t MillisecondsToNextTimer();  // -1: no timer
bool TakeDueTimer(WindowMessage* out);
bool TakePaint(WindowMessage* out);
void SendMinMaxHints(WindowRecord* window);
WindowHandle TopLevelAt(WinPoint screen);
WindowHandle DeepestWindowAt(WinPoint screen);

// Entry points for backends.
void PushInput(const InputEvent& event);
void OnTopLevelConfigured(WindowRecord* window, int32_t x, int32_t y, int32_t width,
                          int32_t height);
void OnTopLevelPosition(WindowRecord* window, int32_t x, int32_t y);
void OnExpose(WindowRecord* window, const WinRect& rect);
void OnFocusChange(WindowRecord* top, bool in);
void OnIconified(WindowRecord* top, bool minimized);
void OnCloseRequest(WindowRecord* top);
WindowRecord* FindByNative(uintptr_t native);

}  // namespace wscore
