// Toolkit windows: a top-level window of class AmbrelGUI_Class described by a
// GuiWindow record, a tree of layout groups (framed panels that are not
// windows) and in each group a list of child controls, all placed by anchors
// inside their parent. The application builds the description, creates the
// window, and every later size change re-runs the anchor layout.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "window/window_system.h"
#include "ui/render/image.h"

// Toolkit messages of the framework.
inline constexpr uint32_t TKM_ENDMODAL = 0x1B70;   // posted to a modal window to end its loop
inline constexpr uint32_t TKM_TABNEXT = 0x1B72;    // a control reports Tab to its parent
inline constexpr uint32_t TKM_ISTABSTOP = 0x1B73;  // a control in the Tab order answers 1

inline constexpr const char* kGuiClassName = "AmbrelGUI_Class";

// A (first, last) pair of an intrusive list.
template <typename Node>
struct ListOf {
  Node* first;
  Node* last;
};

// Where an element's position counts from, per axis (LayoutSpec's hAnchor
// and vAnchor).
enum LayoutAnchor : int32_t {
  kFromLeft = 1,    // x from the left edge
  kFromTop = 1,     // y from the top edge
  kFromRight = 2,   // x leftwards from the right edge
  kFromBottom = 2,  // y upwards from the bottom edge
};

// How an element's size is given, per axis (LayoutSpec's widthMode and
// heightMode).
enum LayoutSizeMode : int32_t {
  kFixedSize = 1,   // the width (height) itself
  kKeepMargin = 2,  // the margin kept to the right (bottom) edge
};

// How an element sits in its parent rectangle (see the layout pass).
struct LayoutSpec {
  int32_t hAnchor;     // kFromLeft or kFromRight (LayoutAnchor)
  int32_t vAnchor;     // kFromTop or kFromBottom
  int32_t widthMode;   // kFixedSize or kKeepMargin (LayoutSizeMode)
  int32_t heightMode;  // kFixedSize or kKeepMargin
  int32_t x, y, width, height;
};

struct LayoutRect {
  int32_t x, y, width, height;
};

struct GroupIcon {
  GroupIcon* prev;
  GroupIcon* next;
  const Icon* icon;  // shared, not owned
  int32_t x, y;      // relative to the content origin
  int32_t size;      // drawn size x size
};

struct LayoutControl {
  LayoutControl* prev;
  LayoutControl* next;
  WindowHandle hwnd;
  int32_t id;  // also the child-window identifier carried by WM_COMMAND
  LayoutSpec spec;
  LayoutRect rect;  // relative to the toolkit window's client area
  uint32_t exStyle, style;
  const char* className;
  const char* text;  // not copied; valid until the control is created
};

struct LayoutGroup {
  LayoutGroup* prev;
  LayoutGroup* next;
  ListOf<LayoutGroup> children;
  LayoutGroup* parent;
  const Icon* icon;  // caption-bar icon, shared
  ListOf<GroupIcon> icons;
  int32_t id;
  char* caption;  // owned; null: invisible group; "": frame only; text: frame and caption bar
  ListOf<LayoutControl> controls;
  LayoutSpec spec;
  LayoutRect rect;
  LayoutRect contentRect;
};

struct GuiWindow {
  bool inLayout;
  ListOf<LayoutGroup> groups;
  WindowHandle hwnd;
  uint32_t style;
  LayoutRect clientRect;
  WindowProc appProc;
  int32_t minWidth, minHeight, maxWidth, maxHeight;  // client limits; 0: none
  const Image* banner;                               // owned by the application
  Surface backBuffer;                                // lives for one paint
};

// Hook of a subclassed control: true when it handled the message, with the
// result in *result.
using SubclassHook = bool (*)(LayoutControl* control, WindowHandle window, uint32_t message,
                              WParam wParam, LParam lParam, LResult* result);

struct SubclassEntry {
  SubclassEntry* prev;
  SubclassEntry* next;
  WindowHandle hwnd;
  WindowProc previous;
  SubclassHook hook;
  LayoutControl* control;
};

struct SolidBrush;

// Process-wide toolkit state (user-interface thread only).
struct GuiToolkitState {
  FontHandle normalFont;
  bool ownsFont;
  ListOf<SubclassEntry> subclasses;
  SolidBrush* staticBrush;  // window colour, for STATIC controls
};
extern GuiToolkitState GuiToolkit;

// --- Start-up -------------------------------------------------------------

// Registers AmbrelGUI_Class and sets the normal font to `normalFont`, or
// creates Tahoma 12 pixels, weight 400, when none is given. Returns 1.
int32_t InitGuiToolkit(FontHandle normalFont);

// Releases what InitGuiToolkit and painting created (the font when created
// here, the text-control brush, the subclass registry).
void ReleaseGuiToolkit();

// Registers a class that redraws on size changes, with the arrow cursor and
// the window colour as background. On failure shows "Couldn't Register
// Class" and returns 0; else 1.
int32_t RegisterGuiClass(WindowProc windowProc, const char* className);

// --- Building -------------------------------------------------------------

// A new window description, client size minWidth x minHeight; null when
// memory runs out.
GuiWindow* NewGuiWindow(int32_t minWidth, int32_t minHeight, int32_t maxWidth, int32_t maxHeight,
                        uint32_t style, WindowProc appProc);
void SetWindowBanner(GuiWindow* window, const Image* image);

// Appends a group (caption copied) to parentGroup's children, or to the
// window's groups when parentGroup is null. Null when memory runs out.
LayoutGroup* AddLayoutGroup(GuiWindow* window, LayoutGroup* parentGroup, const char* caption,
                            int32_t id, int32_t hAnchor, int32_t x, int32_t vAnchor, int32_t y,
                            int32_t widthMode, int32_t width, int32_t heightMode, int32_t height);

// Appends a control record to the group. Null when memory runs out.
LayoutControl* AddLayoutControl(LayoutGroup* group, const char* text, const char* className,
                                uint32_t exStyle, uint32_t style, int32_t id, int32_t hAnchor,
                                int32_t x, int32_t vAnchor, int32_t y, int32_t widthMode,
                                int32_t width, int32_t heightMode, int32_t height);

void SetGroupIcon(LayoutGroup* group, const Icon* icon);
GroupIcon* AddGroupIcon(LayoutGroup* group, const Icon* icon, int32_t x, int32_t y, int32_t size);

// Releases the group, everything below it, and all its following siblings.
void FreeLayoutGroup(LayoutGroup* group);

// --- Windows and layout ---------------------------------------------------

// Creates the system window (hidden, centred) and every control. 1 on
// success, 0 when the system refuses the window.
int32_t CreateGuiWindow(GuiWindow* window, WindowHandle owner, const char* title, int32_t width,
                        int32_t height);

// The anchor layout of every group and control for a client area of
// width x height; moves the controls' windows.
void RunLayoutPass(GuiWindow* window, int32_t width, int32_t height);

// Places one element in its parent rectangle by its LayoutSpec; an anchor
// or mode that is none of the named ones leaves that coordinate of *rect as
// it was.
void ApplyLayoutSpec(const LayoutSpec& spec, const LayoutRect& parent, LayoutRect* rect);

// The area inside a group's frame and below its caption bar.
LayoutRect GroupContentRect(const LayoutGroup* group);

// Visits every group in pre-order (a group, its children, then its siblings).
template <typename Visit>
void ForEachGroup(LayoutGroup* group, Visit&& visit) {
  for (; group != nullptr; group = group->next) {
    visit(group);
    ForEachGroup(group->children.first, visit);
  }
}

// --- Loops, placement, subclassing ----------------------------------------

// Dispatches messages until the quit message; returns its code.
int32_t RunMessageLoop();

// Dispatches messages until TKM_ENDMODAL arrives for `dialog`: then brings
// `owner` (if any) forward, closes `dialog` and returns the message's wParam.
// A quit message ends the loop with 0 and is posted again for the outer loop.
LResult RunModalLoop(WindowHandle owner, WindowHandle dialog);

// Moves the window, keeping its size, to the middle of the screen.
void CenterWindow(WindowHandle hwnd);

// Routes the control's messages through `hook` first. 1 on success, 0 when
// the control has no window or procedure.
int32_t SubclassControl(LayoutControl* control, SubclassHook hook);

// --- Window procedure, painting, focus ------------------------------------

// The procedure of AmbrelGUI_Class.
LResult GuiWindowProc(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam);

// Paints the whole client area of `window` (width x height) into `image`:
// background, banner band, groups with frames, caption bars and icons.
void PaintGuiWindow(Image* image, const GuiWindow* window, int32_t width, int32_t height);

// Moves the focus to the next control in Tab order (wrapping to the first).
void FocusNextControl(WindowHandle hwnd);
// The same order backwards (wrapping to the last).
void FocusPreviousControl(WindowHandle hwnd);
// What the Tab key does: back with Shift held, else forward.
void FocusByTabKey(WindowHandle hwnd);

// The hook installed on every "EDIT" control: Tab moves on, the Tab
// character never reaches the field, and the field is a Tab stop.
bool EditHook(LayoutControl* control, WindowHandle window, uint32_t message, WParam wParam,
              LParam lParam, LResult* result);
