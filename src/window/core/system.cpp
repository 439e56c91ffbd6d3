// Start-up and shut-down of the window system, and the calls that only pass
// through to the backend (clipboard, window search, headless screen).

#include <chrono>

#include "platform/message_box.h"
#include "window/core/core.h"
#include "window/tray_core.h"

using namespace wscore;

namespace {

bool RunnerForMessageBoxes(UiThreadCall call, void* context) {
  return CallOnUiThread(call, context);
}

void ResetState(CoreState& s) {
  s.classes.clear();
  s.windows.clear();
  s.topLevels.clear();
  s.input.clear();
  s.inputMessages.clear();
  s.timers.clear();
  s.focus = s.capture = s.popupGrab = s.active = s.pointerWindow = s.lastClickWindow = nullptr;
  s.pointer = WinPoint{0, 0};
  s.modifiers = 0;
  for (bool& down : s.keysDown) down = false;
  s.headlessClock = 1000;
  s.screenWidth = 1024;
  s.screenHeight = 768;
  s.workArea = WinRect{0, 0, 1024, 768};
  for (int i = 0; i < 2; ++i) {
    s.headlessSelection[i].clear();
    s.headlessSelectionHeld[i] = false;
  }
}

}  // namespace

bool InitWindowSystem(WindowSystemBackend backend) {
  CoreState& s = State();
  if (s.running) return false;
  ResetState(s);
  s.backend = backend;
  s.ops = backend == WindowSystemBackend::kX11     ? X11Backend()
          : backend == WindowSystemBackend::kWin32 ? Win32Backend()
                                                   : HeadlessBackend();
  s.uiThread = std::this_thread::get_id();
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  s.clockBase = static_cast<uint64_t>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) - 1000;
  if (s.ops == nullptr || !OpenWake() || !s.ops->open()) {
    CloseWake();
    s.ops = nullptr;
    s.backend = WindowSystemBackend::kHeadless;
    return false;
  }
  s.running = true;
  {
    std::lock_guard<std::mutex> guard(s.queueLock);
    s.posted.clear();
    s.acceptingCalls = true;
  }
  SetUiThreadRunner(RunnerForMessageBoxes);
  return true;
}

void ShutdownWindowSystem() {
  CoreState& s = State();
  if (!s.running) return;
  SetUiThreadRunner(nullptr);
  {
    std::lock_guard<std::mutex> guard(s.queueLock);
    s.acceptingCalls = false;
    for (UiCall* call : s.uiCalls) call->cancelled = true;
    s.uiCalls.clear();
    s.posted.clear();
    s.uiCallDone.notify_all();
  }
  RemoveAllStatusIcons();
  // Top-level windows go from the top down; owned ones go with their owners.
  while (!s.topLevels.empty()) {
    if (!DestroyWindow(s.topLevels.back())) break;
  }
  s.ops->close();
  s.running = false;
  ResetState(s);
  CloseWake();
  s.ops = nullptr;
  s.backend = WindowSystemBackend::kHeadless;
}

WindowSystemBackend CurrentWindowBackend() { return State().backend; }

bool IsUiThread() {
  CoreState& s = State();
  return s.running && std::this_thread::get_id() == s.uiThread;
}

bool FindTopLevelWindow(const char* className, const char* title) {
  CoreState& s = State();
  if (!s.running || className == nullptr || title == nullptr) return false;
  return s.ops->findTopLevel(className, title);
}

bool SetSelectionText(ClipboardSelection selection, WindowHandle owner, const char* text,
                      size_t length) {
  CoreState& s = State();
  WindowRecord* r = Find(owner);
  if (r == nullptr || (text == nullptr && length != 0)) return false;
  return s.ops->setSelection(selection, r, std::string(text ? text : "", length));
}

bool GetSelectionText(ClipboardSelection selection, std::string* out) {
  CoreState& s = State();
  if (!s.running || out == nullptr) return false;
  return s.ops->getSelection(selection, out);
}

void SetHeadlessScreen(int32_t width, int32_t height, const WinRect* workArea) {
  CoreState& s = State();
  s.screenWidth = width;
  s.screenHeight = height;
  s.workArea = workArea ? *workArea : WinRect{0, 0, width, height};
}
