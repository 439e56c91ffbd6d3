// The window system: a Win32-shaped message model over X11 or over memory.
//
// Windows are opaque handles; each belongs to a registered class whose
// procedure receives every message. Messages are sent (the procedure runs
// now, on this thread) or posted (queued and dispatched by the loop). The
// numbers of the messages, styles and virtual keys are the Win32 ones, so the
// toolkit's procedures read exactly as their descriptions. The loop itself
// (RunMessageLoop, RunModalLoop) belongs to the toolkit; this header offers
// its primitives.
//
// Two backends sit behind this one header, chosen by InitWindowSystem:
//  - kX11: every window is an X window (controls are child windows, popups
//    are override-redirect), painting goes to the screen with XPutImage;
//  - kWin32: every window is a USER32 window of a class named as the
//    toolkit's class (controls are child windows, popups WS_POPUP windows),
//    painting goes to the screen with SetDIBitsToDevice;
//  - kHeadless: windows are records, painting lands in memory that a test
//    reads back, input is injected by the test, time advances on demand.
// Nobody above this layer sees an X type.
//
// Threads: everything here runs on the thread that called InitWindowSystem
// (the user-interface thread), except PostWindowMessage, PostQuit,
// CallOnUiThread and IsUiThread, which any thread may call.
//
// Names follow the Win32 operation they stand for; where the Win32 name is a
// preprocessor macro of the Windows headers (SendMessage, DefWindowProc, ...)
// the name here is spelt out differently so a Windows build can include both.
//
// The types and numbers are in window/window_constants.h; the hooks by
// which tests inject input and drive the headless clock are in
// window/window_test_hooks.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "window/window_constants.h"

// ---------------------------------------------------------------------------
// Records passed through lParam

// WM_NCCREATE / WM_CREATE: lParam points at this.
struct CreateStruct {
  void* createParams;  // the last argument of CreateSystemWindow
  WindowHandle parent;  // parent (child windows) or owner (top-level windows)
  int32_t id;
  int32_t cy, cx, y, x;
  uint32_t style;
  const char* name;
  const char* className;
  uint32_t exStyle;
};

// WM_GETMINMAXINFO: lParam points at this; track sizes are outer sizes.
struct MinMaxInfo {
  WinPoint reserved;
  WinPoint maxSize;
  WinPoint maxPosition;
  WinPoint minTrackSize;
  WinPoint maxTrackSize;
};

// WM_WINDOWPOSCHANGING / WM_WINDOWPOSCHANGED: lParam points at this. A
// procedure may change x, y, cx, cy and flags during CHANGING.
struct WindowPos {
  WindowHandle window;
  WindowHandle insertAfter;
  int32_t x, y, cx, cy;
  uint32_t flags;
};

// WM_STYLECHANGING / WM_STYLECHANGED: lParam points at this.
struct StyleStruct {
  uint32_t oldStyle;
  uint32_t newStyle;
};

// Filled by BeginPaint.
struct PaintInfo {
  WinRect dirty;  // the part that needs painting (client coordinates)
  bool erase;     // the background was not erased (WM_ERASEBKGND returned 0)
};

// ---------------------------------------------------------------------------
// Start-up and shut-down

enum class WindowSystemBackend { kX11, kHeadless, kWin32 };

// The backend of the desktop this program was built for: kX11 on Linux,
// kWin32 (USER32 windows, GDI painting) on Windows.
WindowSystemBackend DesktopWindowBackend();

// Starts the window system on the calling thread, which becomes the
// user-interface thread. kX11 opens $DISPLAY and fails (false) when there is
// none; kHeadless always succeeds (screen 1024 x 768, work area the screen).
bool InitWindowSystem(WindowSystemBackend backend);

// Destroys every window, forgets every class, timer and queued message,
// releases waiting CallOnUiThread callers (their call returns false) and
// closes the display. InitWindowSystem may be called again afterwards.
void ShutdownWindowSystem();

// What happens when the connection to the display breaks (the X server went
// away, the desktop session ended): `handler` runs on the user-interface
// thread inside the window system, and the process ends (exit code 1) when
// it returns. The handler must not call the window system. Null: the process
// ends at once. The X11 backend loses its display when the X server goes;
// the USER32 backend when the Windows session ends (WM_ENDSESSION).
void SetDisplayLostHandler(void (*handler)());

// The backend in use; kHeadless before InitWindowSystem.
WindowSystemBackend CurrentWindowBackend();

// True on the user-interface thread. Any thread may ask.
bool IsUiThread();

// Runs call(context) on the user-interface thread and returns once it has run
// (true). Called on that thread it runs at once. Another thread's call runs
// when the UI thread next takes a message (GetNextMessage, PeekNextMessage,
// ProcessPendingMessages), also inside modal loops. False, without calling,
// when no window system runs or it shuts down first. Any thread may call.
bool CallOnUiThread(void (*call)(void* context), void* context);

// The system's own message box where the desktop has one (MessageBoxA on
// Windows): shown modal over `owner`'s top-level window with `text`, the
// title `caption`, an OK button and the error or information sign; returns
// true once the user closed it. False, showing nothing, where the desktop has
// no such box (X11, headless): the toolkit then shows its own. UI thread.
bool ShowSystemMessageBox(WindowHandle owner, const char* text, const char* caption,
                          bool errorSign);

// ---------------------------------------------------------------------------
// Classes and windows

enum class CursorShape { kArrow, kHand };

// Background colour value meaning "no background brush".
inline constexpr int64_t kNoBackground = -1;

struct WindowClass {
  const char* name;
  WindowProc procedure;
  uint32_t style = 0;                   // CS_*
  int64_t background = kNoBackground;  // 0x00BBGGRR colour the default erase fills with
  CursorShape cursor = CursorShape::kArrow;
};

// Registers a class by name (case-sensitive). False when the name is taken or
// the record lacks a name or procedure.
bool RegisterWindowClass(const WindowClass& windowClass);

// Forgets a class; false while windows of it exist or when it is unknown.
bool UnregisterWindowClass(const char* name);

// Creates a window as CreateWindowExA does: WM_NCCREATE, WM_CREATE (-1 from
// WM_CREATE or 0 from WM_NCCREATE destroys it again and gives null), then,
// with WS_VISIBLE, shows it. WS_CHILD windows live in `parent`'s client area
// at (x, y) and use `id` as their child identifier; other windows are
// top-level at screen (x, y), owned by `parent` when given (an owned window
// stays above its owner and goes with it). WS_POPUP top-level windows are
// borderless and never decorated by a window manager (override-redirect).
// `text` is the title or the control's text. Null when the class is unknown.
WindowHandle CreateSystemWindow(uint32_t exStyle, const char* className, const char* text,
                                uint32_t style, int32_t x, int32_t y, int32_t width,
                                int32_t height, WindowHandle parent, int32_t id,
                                void* createParams);

// Destroys a window: owned windows first, then hides it, sends WM_DESTROY to it
// and then to its children (parent first), then WM_NCDESTROY (children first).
// Focus and capture held inside it are released. False for an invalid handle.
bool DestroyWindow(WindowHandle window);

// True while the handle names a live window.
bool IsWindow(WindowHandle window);

// Parent of a child window; null for top-level windows.
WindowHandle GetParent(WindowHandle window);

// Owner of a top-level window; null for children and unowned windows.
WindowHandle GetWindowOwner(WindowHandle window);

// The top-level window that contains `window` (itself when top-level).
WindowHandle GetRootWindow(WindowHandle window);

// True when `child` lies below `parent` (at any depth).
bool IsChild(WindowHandle parent, WindowHandle child);

// Direct children of a window, bottom of the z-order first.
std::vector<WindowHandle> GetChildWindows(WindowHandle window);

// The direct child whose identifier is `id`, or null (GetDlgItem).
WindowHandle FindChildById(WindowHandle parent, int32_t id);

// The child identifier given at creation (GetDlgCtrlID); 0 for top-level windows.
int32_t GetWindowId(WindowHandle window);

// The name of the window's class; "" for an invalid handle.
const char* GetWindowClassName(WindowHandle window);

// Style words. SetWindowStyle/SetWindowExStyle send WM_STYLECHANGING and
// WM_STYLECHANGED (wParam GWL_STYLE / GWL_EXSTYLE) and return the old value.
// Changing WS_VISIBLE or WS_DISABLED this way only changes the bit, as in
// Win32; use ShowWindow and EnableWindow to show, hide, enable or disable.
uint32_t GetWindowStyle(WindowHandle window);
uint32_t SetWindowStyle(WindowHandle window, uint32_t style);
uint32_t GetWindowExStyle(WindowHandle window);
uint32_t SetWindowExStyle(WindowHandle window, uint32_t exStyle);

// The per-window user-data slot (GWLP_USERDATA); null at creation.
void* GetWindowUserData(WindowHandle window);
void* SetWindowUserData(WindowHandle window, void* data);  // returns the old value

// The window's procedure (GWLP_WNDPROC). Replacing it subclasses the window;
// the replacement passes what it does not handle to the old one with
// CallWindowProcedure. SetWindowProcedure returns the old procedure.
WindowProc GetWindowProcedure(WindowHandle window);
WindowProc SetWindowProcedure(WindowHandle window, WindowProc procedure);
LResult CallWindowProcedure(WindowProc procedure, WindowHandle window, uint32_t message,
                            WParam wParam, LParam lParam);

// Window text (title or control text, the system's 8-bit text). SetWindowTextOf sends
// WM_SETTEXT (the default procedure stores it and retitles a top-level
// window); GetWindowTextOf sends WM_GETTEXT and copies at most size - 1 bytes
// plus a terminator, returning the bytes copied; the length asks
// WM_GETTEXTLENGTH.
bool SetWindowTextOf(WindowHandle window, const char* text);
int32_t GetWindowTextOf(WindowHandle window, char* buffer, int32_t size);
int32_t GetWindowTextLengthOf(WindowHandle window);
std::string GetWindowTextString(WindowHandle window);  // convenience over the two above

// The icon a window manager shows for a top-level window: width x height
// pixels, top-down rows of 0xAARRGGBB. Copied. False for a child window.
bool SetWindowIconPixels(WindowHandle window, int32_t width, int32_t height,
                         const uint32_t* pixels);

// The same picture at several sizes, smallest first, so a window manager,
// task switcher or dock need not scale one up.
struct IconPixels {
  int32_t width;
  int32_t height;
  const uint32_t* pixels;
};
bool SetWindowIconImages(WindowHandle window, const IconPixels* images, int32_t count);

// ---------------------------------------------------------------------------
// Messages and the loop

// Calls the window's procedure now and returns its result (0 for an invalid
// handle). UI thread only.
LResult SendWindowMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Queues a message for the window (null: a message for the UI thread itself)
// and returns at once; the loop dispatches it in posting order. Any thread.
// Messages for a window destroyed meanwhile are dropped at dispatch.
bool PostWindowMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Posts WM_QUIT with wParam = code; any thread.
void PostQuit(int32_t code);

// The default procedure (DefWindowProcA): WM_CLOSE destroys the window,
// WM_PAINT validates it, WM_ERASEBKGND fills with the class background,
// WM_SETTEXT/WM_GETTEXT/WM_GETTEXTLENGTH keep the text, WM_ACTIVATE gives
// the focus to the window when it becomes active and the focus lies
// elsewhere, WM_WINDOWPOSCHANGING applies the WM_GETMINMAXINFO limits to a
// resizable top-level window, WM_WINDOWPOSCHANGED sends WM_MOVE and WM_SIZE,
// WM_GETMINMAXINFO leaves the defaults, WM_SYSKEYDOWN Alt+F4 sends WM_CLOSE,
// WM_MOUSEWHEEL goes on to the parent; everything else gives 0.
LResult DefaultWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Takes the next message, waiting for one: posted messages first (in order),
// then input, then paint messages, then due timers. False when WM_QUIT was
// taken (its code is in out->wParam). Keyboard input already arrives as
// WM_KEYDOWN followed by WM_CHAR, so there is nothing to translate.
bool GetNextMessage(WindowMessage* out);

// Like GetNextMessage but never waits: false when nothing is ready. With
// remove false the message stays queued (posted and input messages only;
// paint and timer messages are made when taken).
bool PeekNextMessage(WindowMessage* out, bool remove);

// Hands a taken message to its window's procedure and returns the result;
// 0 for thread messages and messages of destroyed windows.
LResult DispatchWindowMessage(const WindowMessage* message);

// Dispatches everything that is ready now, without waiting (WM_QUIT is left
// in the queue). Returns how many messages were dispatched. For tests and
// for loops that poll.
int32_t ProcessPendingMessages();

// Milliseconds on the window system's clock (message times, timers). The X11
// backend uses the monotonic clock; the headless clock only moves by
// AdvanceHeadlessClock or when a wait would otherwise wait for a timer.
uint32_t WindowSystemTime();

// ---------------------------------------------------------------------------
// Timers

// Starts or restarts timer `id` of the window: WM_TIMER (wParam = id) arrives
// every `milliseconds` (at least 1) while the queue has nothing else; a late
// timer fires once, not once per missed period. Returns id, or 0 on failure.
uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds);

// Stops a timer; false when there was none.
bool KillTimer(WindowHandle window, uintptr_t id);

// ---------------------------------------------------------------------------
// Showing, moving, enabling

// ShowWindow commands SW_*. Showing a top-level window without NOACTIVATE/NA
// activates it (WM_ACTIVATE, focus); hiding a window that holds the focus
// moves the focus to its parent (or, for a top-level window, activates its
// owner). The first show sends WM_SIZE and WM_MOVE if none was sent yet.
// Sends WM_SHOWWINDOW. Returns whether the window was visible before.
bool ShowWindow(WindowHandle window, int command);

// The window and all its ancestors have WS_VISIBLE.
bool IsWindowVisible(WindowHandle window);

// Minimised (SW_MINIMIZE, or iconified by the window manager).
bool IsIconic(WindowHandle window);

// Moves and sizes as SetWindowPos with SWP_NOZORDER|SWP_NOACTIVATE; child
// positions are relative to the parent's client area, top-level positions are
// screen positions; sizes are outer sizes (equal to the client size here:
// window managers draw their frames outside).
bool MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
                bool repaint);

// SetWindowPos: WM_WINDOWPOSCHANGING (the procedure may adjust), apply,
// WM_WINDOWPOSCHANGED (whose default sends WM_MOVE/WM_SIZE). insertAfter is
// HWND_TOP, HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST or a sibling. A size
// change invalidates the whole window. SWP_SHOWWINDOW/SWP_HIDEWINDOW show or
// hide (activating a top-level window unless SWP_NOACTIVATE);
// SWP_FRAMECHANGED is accepted (there is no non-client area to recompute).
bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int32_t x, int32_t y,
                  int32_t width, int32_t height, uint32_t flags);

// Enables or disables (WM_ENABLE, wParam 1/0). Disabling a window that holds
// the focus or the capture (or contains them) takes them away. Disabled
// windows get no pointer or key input. Returns whether it was disabled before.
bool EnableWindow(WindowHandle window, bool enable);
bool IsWindowEnabled(WindowHandle window);

// Client rectangle: (0, 0, width, height).
bool GetClientRect(WindowHandle window, WinRect* out);

// Window rectangle in screen coordinates.
bool GetWindowRect(WindowHandle window, WinRect* out);

// Coordinate conversion between a window's client area and the screen.
bool ClientToScreen(WindowHandle window, WinPoint* point);
bool ScreenToClient(WindowHandle window, WinPoint* point);

// Outer rectangle of a window whose client area is *rect (AdjustWindowRectEx).
// Window frames belong to the window manager, so the rectangle is unchanged.
bool AdjustWindowRectEx(WinRect* rect, uint32_t style, bool menu, uint32_t exStyle);

// Brings a top-level window (or the root of a child) to the front and gives it
// the keyboard: raised, activated (WM_ACTIVATE) and focused on the display.
bool SetForegroundWindow(WindowHandle window);

// The active top-level window of this process, or null.
WindowHandle GetActiveTopLevelWindow();

// ---------------------------------------------------------------------------
// Focus, capture, keys, cursor

// Gives the keyboard focus to `window` (null: nobody): WM_KILLFOCUS (wParam =
// the new window) to the old one, then WM_SETFOCUS (wParam = the old one) to
// the new one, activating its top-level window first if another is active.
// Disabled or invalid windows are refused (null returned, nothing changes).
// Returns the window that had the focus.
WindowHandle SetFocus(WindowHandle window);
WindowHandle GetFocusWindow();

// Mouse capture: every pointer message goes to the capture window, in its
// client coordinates (negative outside), until released. Taking or releasing
// it sends WM_CAPTURECHANGED (lParam = the new holder) to the old holder.
// SetCapture returns the previous holder.
WindowHandle SetCapture(WindowHandle window);
WindowHandle GetCaptureWindow();
bool ReleaseMouseCapture();

// Menu grab: while `window` (a shown top-level window, a popup menu) holds
// it, a button press outside every window of this process (on the desktop or
// on another program) is taken from the display and delivered to `window` as
// its button-down message, in its client coordinates (so outside its client
// area). Presses on this process's own windows go where they always go, and
// the mouse capture comes first. The grab ends with ReleasePopupGrab, or when
// the window is hidden or destroyed. SetPopupGrab is false for a hidden or
// child window; ReleasePopupGrab only when `window` held it.
bool SetPopupGrab(WindowHandle window);
bool ReleasePopupGrab(WindowHandle window);
WindowHandle GetPopupGrabWindow();

// Asks for one WM_MOUSELEAVE when the pointer leaves the window's client area
// (or at once when it is not over it now). Cancelled by the message.
bool TrackMouseLeave(WindowHandle window);

// Whether a key (VK_SHIFT, VK_CONTROL, VK_MENU, VK_LBUTTON, ...) is down as
// of the input message being handled.
bool IsKeyDown(uint32_t virtualKey);

// The cursor shape shown over the window under the pointer (or the capture
// window). It sticks to that window: leaving it shows the next window's own
// shape; windows start with their class's shape.
void SetCursorShape(CursorShape shape);
CursorShape GetCursorShape();

// Pointer position in screen coordinates.
bool GetCursorPos(WinPoint* out);

// The deepest visible window of this process at a screen point, or null
// (disabled windows included; popups and top-most windows first).
WindowHandle WindowFromPoint(WinPoint point);

// ---------------------------------------------------------------------------
// Screen

// Screen size in pixels (SM_CXSCREEN, SM_CYSCREEN).
void GetScreenSize(int32_t* width, int32_t* height);

// The work area (SPI_GETWORKAREA): the screen less panels (X11: _NET_WORKAREA
// when a window manager publishes it).
void GetWorkArea(WinRect* out);

// The menu show delay in milliseconds (SPI_GETMENUSHOWDELAY): 400.
uint32_t GetMenuShowDelay();

// Whether popups should carry drop shadows (SPI_GETDROPSHADOW): false.
bool DropShadowsEnabled();

// Whether a top-level window of class `className` with exactly the title
// `title` exists on the display, in this or any other process, shown or
// hidden (FindWindowA for single-instance checks; X11: WM_CLASS and
// _NET_WM_NAME, or WM_NAME when there is no _NET_WM_NAME).
bool FindTopLevelWindow(const char* className, const char* title);

// ---------------------------------------------------------------------------
// Painting

// Marks a part of the client area (null: all of it) as needing paint; the
// loop then produces WM_PAINT. erase asks for WM_ERASEBKGND at BeginPaint.
bool InvalidateRect(WindowHandle window, const WinRect* rect, bool erase);

// Marks a part (null: all) as painted.
bool ValidateRect(WindowHandle window, const WinRect* rect);

// Sends WM_PAINT now if the window needs painting.
bool UpdateWindow(WindowHandle window);

// Starts painting in answer to WM_PAINT: fills *info, sends WM_ERASEBKGND
// when an erase is pending, and validates the window. Every BeginPaint is
// followed by EndPaint.
bool BeginPaint(WindowHandle window, PaintInfo* info);
bool EndPaint(WindowHandle window, const PaintInfo* info);

// Copies width x height pixels to the window's client area at (x, y), clipped
// to it: top-down rows, `stride` pixels apart, each 0x00RRGGBB in a uint32_t
// (bytes B, G, R, X in memory; the top byte is ignored). One call puts one
// finished picture on the screen. False for an invalid handle or hidden window
// on X11 (nothing to draw on); the headless backend always keeps the pixels.
bool BlitPixels(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
                const uint32_t* pixels, int32_t stride);

// What a window shows: its client area with its visible children painted
// over it, as 0x00RRGGBB top-down rows (headless: composed from the blitted
// pixels; X11: read back from the screen). For tests and screenshots.
struct WindowPixels {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
bool CaptureWindowPixels(WindowHandle window, WindowPixels* out);

// ---------------------------------------------------------------------------
// Clipboard (text, the system's 8-bit text)

// kClipboard: what cut/copy/paste use. kPrimary: the X selection of the last
// selected text (middle-click paste); a Windows build treats it as empty.
enum class ClipboardSelection { kClipboard, kPrimary };

// Makes `owner` hold the selection with a copy of `text` (length bytes).
// Other programs can paste it while the owner lives. False on failure.
bool SetSelectionText(ClipboardSelection selection, WindowHandle owner, const char* text,
                      size_t length);

// Fetches the selection's text from whoever holds it (this process or
// another; waits up to a second for another program). False when nobody
// holds it or it has no text.
bool GetSelectionText(ClipboardSelection selection, std::string* out);
