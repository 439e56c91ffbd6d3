// The About window: two framed groups under the banner, the version text
// and the three links with their icons in the upper one, the note in the
// lower one, OK below. Its groups and controls are tables built in one loop.
#include "app/about_window.h"

#include "app/app_icons.h"
#include "core/blocks.h"
#include "core/error.h"
#include "ui/controls/button.h"
#include "ui/controls/link.h"
#include "ui/render/resources.h"
#include "ui/render/sys_colors.h"

// The link targets are build settings (see the README).
#ifndef AMBREL_DONATE_URL
#define AMBREL_DONATE_URL "https://example.org/ambrel/donate"
#endif
#ifndef AMBREL_COMMENTS_URL
#define AMBREL_COMMENTS_URL "https://example.org/ambrel/comments"
#endif
#ifndef AMBREL_BUG_URL
#define AMBREL_BUG_URL "https://example.org/ambrel/bugs"
#endif

namespace {

constexpr const char* kNote =
    "Thank you for using Ambrel HTTP Server. We hope that you find it useful, and easy to "
    "operate.  This server was developed mainly to help assist in the development of PHP/CGI "
    "websites.  It is aimed mainly at those who don't feel like running and configuring a "
    "professional server on their Windows machines.  It is in no way, however, a replacement for "
    "a fully featured, professional web server, and is not recommended that you run this server "
    "in any mission critical environment.  However, theres nothing against running this to help "
    "you test your work!";

// The maker line must fit the text's 159-pixel width in Tahoma 12: a wrapped
// line would push its end below the six visible lines.
constexpr const char* kVersionText =
    "Ambrel HTTP Server\r\nVersion 1.03\r\nRelease Date: 1/22/2007\r\n\r\n\r\n"
    "Ambrel HTTP Server project";

enum AboutGroup { kRoot, kUpper, kLower, kGroupCount };

struct GroupRow {
  int32_t parent;  // -1: the window
  const char* caption;
  int32_t id, hAnchor, x, vAnchor, y, widthMode, width, heightMode, height;
};

constexpr LayoutAnchor kLeft = kFromLeft, kRight = kFromRight, kTop = kFromTop, kBottom = kFromBottom;
constexpr LayoutSizeMode kFixed = kFixedSize, kStretch = kKeepMargin;

constexpr GroupRow kGroups[kGroupCount] = {
    {-1, nullptr, 1, kLeft, 0, kTop, 0, kStretch, 0, kStretch, 0},
    {kRoot, "", 3, kLeft, 0, kTop, 74, kStretch, 0, kFixed, 120},
    {kRoot, "", 3, kLeft, 0, kTop, 194, kStretch, 0, kStretch, 29},
};

struct ControlRow {
  int32_t group;
  const char* className;
  const char* text;
  int32_t id, hAnchor, x, vAnchor, y, widthMode, width, heightMode, height;
};

constexpr int32_t kOkId = 1;
constexpr ControlRow kControls[] = {
    {kRoot, kButtonClassName, "OK", kOkId, kRight, 84, kBottom, 29, kFixed, 80, kFixed, 25},
    {kLower, "STATIC", kNote, 6, kLeft, 8, kTop, 8, kStretch, 8, kStretch, 8},
    {kUpper, "STATIC", kVersionText, 2, kLeft, 8, kTop, 8, kStretch, 161, kStretch, 4},
    {kUpper, kLinkClassName, "Donate to this Project", 5, kRight, 139, kTop, 4, kStretch, 4, kFixed, 20},
    {kUpper, kLinkClassName, "Send Comments", 4, kRight, 139, kTop, 24, kStretch, 4, kFixed, 20},
    {kUpper, kLinkClassName, "Report Bug", 3, kRight, 139, kTop, 48, kStretch, 4, kFixed, 20},
};

// The links in the order they are dressed, with their targets and the
// places of their icons in the upper group.
struct LinkRow {
  int32_t id;
  const char* target;
  int32_t iconX, iconY;
};
constexpr LinkRow kLinks[] = {
    {5, AMBREL_DONATE_URL, 170, 5},
    {4, AMBREL_COMMENTS_URL, 171, 27},
    {3, AMBREL_BUG_URL, 171, 49},
};

Image* AboutBanner = nullptr;
Icon* AboutSmallIcon = nullptr;
bool AboutLoopRunning = false;

LayoutGroup* AboutGroups[kGroupCount] = {};

LayoutControl* ControlById(int32_t group, int32_t id) {
  for (LayoutControl* c = AboutGroups[group]->controls.first; c != nullptr; c = c->next) {
    if (c->id == id) return c;
  }
  return nullptr;
}

bool Describe() {
  for (int32_t g = 0; g < kGroupCount; ++g) {
    const GroupRow& r = kGroups[g];
    AboutGroups[g] = AddLayoutGroup(AboutWindow, r.parent < 0 ? nullptr : AboutGroups[r.parent], r.caption,
                                 r.id, r.hAnchor, r.x, r.vAnchor, r.y, r.widthMode, r.width,
                                 r.heightMode, r.height);
    if (AboutGroups[g] == nullptr) return false;
  }
  for (const ControlRow& r : kControls) {
    if (AddLayoutControl(AboutGroups[r.group], r.text, r.className, 0, 0, r.id, r.hAnchor, r.x,
                         r.vAnchor, r.y, r.widthMode, r.width, r.heightMode, r.height) == nullptr) {
      return false;
    }
  }
  return true;
}

// Tab on a link moves on to OK: the links stay out of the Tab order, but one
// that took the focus by a click must not keep the keyboard there.
bool LinkTabHook(LayoutControl*, WindowHandle window, uint32_t message, WParam wParam, LParam,
                 LResult* result) {
  if (message != WM_KEYDOWN || wParam != VK_TAB) return false;
  SendWindowMessage(GetParent(window), TKM_TABNEXT, 0, 0);
  *result = 0;
  return true;
}

void Dress(const Icon* okIcon, const Icon* const linkIcons[3]) {
  WindowHandle ok = ControlById(kRoot, kOkId)->hwnd;
  SetButtonIcon(ok, okIcon, 1);
  for (const LinkRow& link : kLinks) {
    LayoutControl* control = ControlById(kUpper, link.id);
    SendWindowMessage(control->hwnd, LKM_SETBACKGROUND, 1, static_cast<LParam>(GetSysColor(COLOR_WINDOW)));
    SendWindowMessage(control->hwnd, LKM_SETLINK, 0, reinterpret_cast<LParam>(link.target));
  }
  SendWindowMessage(ok, BBM_SETFLAT, 1, 0);
  for (int32_t i = 0; i < 3; ++i) {
    AddGroupIcon(AboutGroups[kUpper], linkIcons[i], kLinks[i].iconX, kLinks[i].iconY, 16);
    SubclassControl(ControlById(kUpper, kLinks[i].id), LinkTabHook);
  }
}

// Undoes a start that failed half-way and raises the failure.
[[noreturn]] void Fail(WindowHandle owner) {
  EnableWindow(owner, true);
  CloseAboutWindow();
  throw ErrorText(kAboutFailedText);
}

}  // namespace

int32_t OpenAboutWindow(WindowHandle owner, const Icon* okIcon, const Icon* linkIcon1,
                        const Icon* linkIcon2, const Icon* linkIcon3) {
  if (AboutWindow != nullptr) {  // one at a time: the open one comes forward
    if (IsWindow(AboutWindow->hwnd)) SetForegroundWindow(AboutWindow->hwnd);
    return 1;
  }
  EnableWindow(owner, false);
  AboutSmallIcon = LoadIconResource(AppResources(), 1);
  AboutWindow = NewGuiWindow(350, 400, 350, 470, WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                             AboutWindowProc);
  if (AboutWindow == nullptr) Fail(owner);
  AboutBanner = LoadImageResource(AppResources(), 1000);
  SetWindowBanner(AboutWindow, AboutBanner);
  if (!Describe()) Fail(owner);
  if (CreateGuiWindow(AboutWindow, owner, kAboutTitle, 350, 470) != 1) Fail(owner);
  const Icon* const linkIcons[3] = {linkIcon1, linkIcon2, linkIcon3};
  Dress(okIcon, linkIcons);
  SetWindowSmallIcon(AboutWindow->hwnd, AboutSmallIcon);
  ShowWindow(AboutWindow->hwnd, SW_SHOW);
  AboutLoopRunning = true;
  RunModalLoop(owner, AboutWindow->hwnd);
  AboutLoopRunning = false;
  EnableWindow(owner, true);
  AboutWindow->hwnd = nullptr;  // the loop destroyed it
  DestroyIcon(&AboutSmallIcon);
  if (CloseRequested && IsWindow(owner)) DestroyWindow(owner);
  return 1;
}

void CloseAboutWindow() {
  if (AboutLoopRunning || AboutWindow == nullptr) return;
  if (IsWindow(AboutWindow->hwnd)) DestroyWindow(AboutWindow->hwnd);
  FreeLayoutGroup(AboutWindow->groups.first);
  FreeAndClear(&AboutWindow);
  for (LayoutGroup*& group : AboutGroups) group = nullptr;
  FreeImage(&AboutBanner);
  DestroyIcon(&AboutSmallIcon);
}

LResult AboutWindowProc(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_CLOSE) {
    PostWindowMessage(hwnd, TKM_ENDMODAL, 0, 0);
    return 0;
  }
  if (message == WM_COMMAND && AboutGroups[kRoot] != nullptr &&
      reinterpret_cast<WindowHandle>(lParam) == ControlById(kRoot, kOkId)->hwnd) {
    PostWindowMessage(hwnd, TKM_ENDMODAL, 0, 0);
  }
  return DefaultWindowProc(hwnd, message, wParam, lParam);
}
