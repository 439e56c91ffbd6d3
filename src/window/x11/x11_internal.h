// Shared state of the X11 backend's files.
#pragma once

// The window system's headers come first: X.h defines CursorShape as a
// macro, which is dropped again below.
#include "window/core/core.h"
#include "window/tray_core.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef CursorShape

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace wscore::x11 {

struct Atoms {
  Atom wmProtocols, wmDeleteWindow, wmState, wmChangeState, netWmName, utf8String, netWmPid,
      netWmPing, netWmWindowType, typeNormal, typeDialog, typePopupMenu, netWmIcon, netWorkarea,
      netActiveWindow, netSupportingWmCheck, wmTakeFocus, clipboard, targets, text, transfer;
};

struct X11State {
  Display* display = nullptr;
  int screen = 0;
  Window root = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;
  Cursor arrow = 0, hand = 0;
  Atoms atoms{};
  Window helper = 0;  // unmapped window that receives selection transfers
  Time lastEventTime = CurrentTime;
  unsigned long focusSerial = 0;  // focus events older than our last request are stale
  Window pendingFocus = 0;        // focus once this window is viewable
  std::unordered_set<Window> viewable;
  std::unordered_map<Window, unsigned long> configureSerial;
  std::string selectionText[2];
  Window selectionOwner[2] = {0, 0};
  int lastError = 0;
  Window popupGrab = 0;        // the menu that holds the pointer grab
  uint64_t grabRetryUntil = 0;  // a refused grab is tried again until then
};

X11State& X();

Atom SelectionAtom(ClipboardSelection which);
bool HasWindowManager();

// Gives the keyboard to a top-level window that is viewable now (a window
// manager may map its frame after the window itself); false, and nothing
// asked, while it is not.
bool TakeInputFocus(Window window, Time time);

// Event handling split by concern.
void HandleEvent(XEvent* event);
bool HandleTrayEvent(XEvent* event);  // status icons and their host
void RetryPopupGrab();
void HandleKeyEvent(XKeyEvent* event, bool repeat);
void HandleSelectionRequest(XSelectionRequestEvent* event);
void HandleSelectionClear(XSelectionClearEvent* event);
uint32_t ModifiersFromState(unsigned int state);

// The status icons' hosts: the XEmbed tray (x11_tray.cpp) gives an icon up
// while the session bus holds it and takes it back after; the bus
// (sni_tray.cpp) is polled beside the X connection.
const TrayOps* XEmbedTray();
void ReleaseToBus(StatusIcon* icon);
void TakeFromBus(StatusIcon* icon);
struct BusPoll {
  int descriptor = -1;  // -1: no bus
  short events = 0;
  int32_t timeoutMs = -1;
};
BusPoll SessionBusPoll();
void ProcessSessionBus();

// Clipboard hooks.
bool SetSelection(ClipboardSelection which, WindowRecord* owner, const std::string& text);
bool GetSelection(ClipboardSelection which, std::string* out);
void DropSelections(WindowRecord* window);

// Display questions.
void ScreenSize(int32_t* w, int32_t* h);
void WorkArea(WinRect* out);
bool QueryPointer(WinPoint* out);
bool FindTopLevel(const char* className, const char* title);

}  // namespace wscore::x11
