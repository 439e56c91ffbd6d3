// A demonstration window showing every control of the toolkit in each of its
// states, for screenshots. Run as `controls_demo [window|menu|scroll]
// [milliseconds]`: it shows the scene on the X display and ends by itself
// after the given time (default: when the window is closed).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/blocks.h"
#include "window/window_system.h"
#include "ui/controls/button.h"
#include "ui/controls/link.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"
#include "ui/framework/gui_window.h"
#include "ui/render/image.h"
#include "ui/render/sys_colors.h"

namespace {

enum Ids {
  kFlatNormal = 100, kFlatHover, kFlatPressed, kFlatDisabled, kFlatFocused, kFlatIconOnly,
  kClassic = 110, kClassicFocused, kClassicToggled, kPanel, kClassicDisabled,
  kSelClosed = 120, kSelHover, kSelFocused, kSelLong, kSelOpen,
  kLinkNormal = 130, kLinkHover, kLinkFocused,
};

// Small 16 x 16 pictures drawn here so the demo needs no art files: a tick,
// a cross, a folder and a disc.
void Dot(Image* image, int32_t x, int32_t y, Pixel colour) {
  if (x >= 0 && y >= 0 && x < 16 && y < 16) *PixelAddress(image, x, y) = colour;
}

void Stroke(Image* image, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Pixel colour) {
  const int32_t steps = 16;
  for (int32_t k = 0; k <= steps; ++k) {
    const int32_t x = x0 + (x1 - x0) * k / steps;
    const int32_t y = y0 + (y1 - y0) * k / steps;
    Dot(image, x, y, colour);
    Dot(image, x + 1, y, colour);
    Dot(image, x, y + 1, colour);
  }
}

Icon* MakeIcon(int kind) {
  Image* image = NewImage(16, 16);
  if (kind == 0) {
    Stroke(image, 2, 8, 6, 12, MakePixel(40, 160, 60));
    Stroke(image, 6, 12, 13, 3, MakePixel(40, 160, 60));
  } else if (kind == 1) {
    Stroke(image, 3, 3, 12, 12, MakePixel(200, 40, 40));
    Stroke(image, 12, 3, 3, 12, MakePixel(200, 40, 40));
  } else if (kind == 2) {
    FillRect(image, 1, 3, 6, 2, MakePixel(220, 170, 40));
    FillRect(image, 1, 5, 14, 9, MakePixel(245, 205, 70));
    DrawFrame(image, 1, 5, 14, 9, MakePixel(180, 130, 20));
  } else {
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x)
        if ((x - 7) * (x - 7) + (y - 7) * (y - 7) <= 40) Dot(image, x, y, MakePixel(50, 110, 200));
  }
  Icon* icon = CreateIconFromImages(image, nullptr);
  FreeImage(&image);
  return icon;
}

Icon* g_icons[4];

void AddControl(LayoutGroup* g, const char* text, const char* cls, int32_t id, int32_t x, int32_t y,
                int32_t w, int32_t h) {
  AddLayoutControl(g, text, cls, 0, 0, id, 1, x, 1, y, 1, w, 1, h);
}

GuiWindow* Describe() {
  GuiWindow* w = NewGuiWindow(640, 470, 0, 0, WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, nullptr);
  LayoutGroup* root = AddLayoutGroup(w, nullptr, nullptr, 0, 1, 0, 1, 0, 2, 0, 2, 0);
  LayoutGroup* flat = AddLayoutGroup(w, root, "Flat buttons", 1, 1, 0, 1, 0, 2, 0, 1, 110);
  AddControl(flat, "Normal", kButtonClassName, kFlatNormal, 4, 4, 96, 25);
  AddControl(flat, "Hover", kButtonClassName, kFlatHover, 106, 4, 96, 25);
  AddControl(flat, "Pressed", kButtonClassName, kFlatPressed, 208, 4, 96, 25);
  AddControl(flat, "Disabled", kButtonClassName, kFlatDisabled, 310, 4, 96, 25);
  AddControl(flat, "Focused", kButtonClassName, kFlatFocused, 412, 4, 96, 25);
  AddControl(flat, nullptr, kButtonClassName, kFlatIconOnly, 514, 4, 40, 25);
  LayoutGroup* looks = AddLayoutGroup(w, root, "Classic and panel looks", 2, 1, 0, 1, 102, 2, 0, 1, 100);
  AddControl(looks, "Classic", kButtonClassName, kClassic, 4, 4, 96, 25);
  AddControl(looks, "Focused", kButtonClassName, kClassicFocused, 106, 4, 96, 25);
  AddControl(looks, "Toggled", kButtonClassName, kClassicToggled, 208, 4, 96, 25);
  AddControl(looks, "Panel", kButtonClassName, kPanel, 310, 4, 96, 25);
  AddControl(looks, "Disabled", kButtonClassName, kClassicDisabled, 412, 4, 96, 25);
  LayoutGroup* sels = AddLayoutGroup(w, root, "Selectors", 3, 1, 0, 1, 194, 2, 0, 1, 135);
  AddControl(sels, nullptr, kSelectorClassName, kSelClosed, 4, 4, 190, 25);
  AddControl(sels, nullptr, kSelectorClassName, kSelHover, 200, 4, 190, 25);
  AddControl(sels, nullptr, kSelectorClassName, kSelFocused, 396, 4, 190, 25);
  AddControl(sels, nullptr, kSelectorClassName, kSelLong, 4, 40, 120, 25);
  AddControl(sels, nullptr, kSelectorClassName, kSelOpen, 200, 40, 190, 25);
  LayoutGroup* links = AddLayoutGroup(w, root, "Links", 4, 1, 0, 1, 321, 2, 0, 2, 0);
  AddControl(links, "Donate to this Project", kLinkClassName, kLinkNormal, 4, 4, 170, 20);
  AddControl(links, "Send Comments", kLinkClassName, kLinkHover, 190, 4, 140, 20);
  AddControl(links, "Report Bug", kLinkClassName, kLinkFocused, 340, 4, 110, 20);
  return w;
}

void SetItems(WindowHandle selector, int32_t chosen, const char* a, const char* b, const char* c) {
  MenuItemList list{};
  AddMenuItem(&list, 0, 1, a, g_icons[3], 0);
  AddMenuItem(&list, 0, 2, b, g_icons[0], 0);
  if (c != nullptr) AddMenuItem(&list, 0, 3, c, g_icons[1], 0);
  SetSelectorItems(selector, &list);
  FreeMenuItems(&list);
  if (chosen != 1) SendWindowMessage(selector, TKM_ITEMCHOSEN, static_cast<WParam>(chosen), 0);
}

// Forces the looks that only a pointer could give, so one picture shows them all.
void ForceButton(WindowHandle b, int hover, int pressed) {
  ButtonData* d = static_cast<ButtonData*>(GetWindowUserData(b));
  d->hover = hover;
  d->pressed = pressed;
  InvalidateRect(b, nullptr, false);
}

void Dress(GuiWindow* w) {
  WindowHandle h = w->hwnd;
  auto item = [h](int32_t id) { return FindChildById(h, id); };
  for (int32_t id = kFlatNormal; id <= kFlatIconOnly; ++id) {
    SendWindowMessage(item(id), BBM_SETFLAT, 1, 0);
    SetButtonIcon(item(id), g_icons[(id - kFlatNormal) % 3], 1);
  }
  ForceButton(item(kFlatHover), 1, 0);
  ForceButton(item(kFlatPressed), 1, 1);
  EnableWindow(item(kFlatDisabled), false);
  SetButtonIcon(item(kClassic), g_icons[0], 1);
  SendWindowMessage(item(kClassicToggled), BBM_SETTOGGLE, 1, 0);
  SendWindowMessage(item(kClassicToggled), BBM_SETSTATE, 0, 0);
  SendWindowMessage(item(kPanel), BBM_SETPANEL, 1, 0);
  EnableWindow(item(kClassicDisabled), false);
  SetItems(item(kSelClosed), 1, "Local Server", "LAN Server", "Internet Server");
  SetItems(item(kSelHover), 2, "Running", "Not Running", nullptr);
  SetItems(item(kSelFocused), 1, "PHP Enabled", "PHP Disabled", nullptr);
  SetItems(item(kSelLong), 1, "Logging Disabled for now", "Logging Enabled", nullptr);
  SetItems(item(kSelOpen), 1, "Local Server", "LAN Server", "Internet Server");
  static_cast<SelectorData*>(GetWindowUserData(item(kSelHover)))->hover = 1;
  for (int32_t id = kLinkNormal; id <= kLinkFocused; ++id) {
    SendWindowMessage(item(id), LKM_SETBACKGROUND, 1, GetSysColor(COLOR_WINDOW));
    SendWindowMessage(item(id), LKM_SETLINK, 0, reinterpret_cast<LParam>("http://127.0.0.1/"));
  }
  static_cast<LinkData*>(GetWindowUserData(item(kLinkHover)))->hover = 1;
}

// Focus can sit in one place only; the other focused looks are forced.
void ForceFocusLooks(WindowHandle h) {
  static_cast<ButtonData*>(GetWindowUserData(FindChildById(h, kFlatFocused)))->focused = 1;
  static_cast<ButtonData*>(GetWindowUserData(FindChildById(h, kClassicFocused)))->focused = 1;
  static_cast<SelectorData*>(GetWindowUserData(FindChildById(h, kSelFocused)))->focused = 1;
  static_cast<LinkData*>(GetWindowUserData(FindChildById(h, kLinkFocused)))->focused = 1;
  for (WindowHandle child : GetChildWindows(h)) InvalidateRect(child, nullptr, false);
}

void OpenMenu(WindowHandle owner, bool tall) {
  MenuItemList list{};
  if (tall) {
    char text[32];
    for (int i = 1; i <= 60; ++i) {
      std::snprintf(text, sizeof(text), "Choice number %d", i);
      AddMenuItem(&list, 0, i, text, g_icons[i % 4], 0);
    }
  } else {
    AddMenuItem(&list, 0, 17, "Show Server Window", g_icons[3], 0);
    AddMenuItem(&list, 0, 16, "Shutdown Server", g_icons[1], 0);
    AddMenuItem(&list, 0, -1, "", nullptr, 0);
    AddMenuItem(&list, 0, 20, "Logging", nullptr, 0)->kind = kItemCheck;
    FindMenuItem(&list, 20)->checked = 1;
    AddMenuItem(&list, 0, 21, "PHP", nullptr, 0)->kind = kItemCheck;
    AddMenuItem(&list, 0, 22, "Unavailable", g_icons[2], 0)->disabled = 1;
    AddMenuItem(&list, 0, 23, "More Options", g_icons[2], 0);
    AddMenuItem(&list, 23, 24, "Inner", nullptr, 0);
    AddMenuItem(&list, 0, -1, "", nullptr, 0);
    AddMenuItem(&list, 0, 14, "About Ambrel HTTP Server...", g_icons[2], 0);
    AddMenuItem(&list, 0, 18, "Close Process", g_icons[1], 0);
  }
  WinRect r{};
  GetWindowRect(owner, &r);
  WindowHandle popup = OpenPopupAtPoint(&list, owner, nullptr, r.left + 60, tall ? r.top : r.top + 60);
  FreeMenuItems(&list);
  SetForegroundWindow(popup);
  SendWindowMessage(popup, WM_KEYDOWN, VK_DOWN, 0);
  if (!tall) SendWindowMessage(popup, WM_KEYDOWN, VK_DOWN, 0);
  if (tall) {
    PopupData* p = static_cast<PopupData*>(GetWindowUserData(popup));
    SendWindowMessage(popup, WM_MOUSEWHEEL, static_cast<WParam>(MakeLParam(0, -360)), 0);
    p->scrollingDown = 1;  // as under the pointer in the down band
    InvalidateRect(popup, nullptr, false);
  }
}

LResult QuitOnClose(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_DESTROY) PostQuit(0);
  if (message == WM_TIMER && wParam == 99) DestroyWindow(window);
  return DefaultWindowProc(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  const char* scene = argc > 1 ? argv[1] : "window";
  const uint32_t lifetime = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 0;
  if (!InitWindowSystem(WindowSystemBackend::kX11)) {
    std::fprintf(stderr, "controls_demo: no X display\n");
    return 2;
  }
  InitGuiToolkit(nullptr);
  RegisterLinkClass();
  RegisterSelectorClass(nullptr);
  for (int i = 0; i < 4; ++i) g_icons[i] = MakeIcon(i);
  RegisterPopupClass(nullptr, g_icons[0], g_icons[1], nullptr, nullptr);
  RegisterButtonClass();
  GuiWindow* w = Describe();
  w->appProc = QuitOnClose;
  if (!CreateGuiWindow(w, nullptr, "Toolkit controls", 640, 470)) return 3;
  Dress(w);
  ShowWindow(w->hwnd, SW_SHOW);
  if (std::strcmp(scene, "window") == 0) {
    SendWindowMessage(FindChildById(w->hwnd, kSelOpen), WM_LBUTTONDOWN, 0, 0);
  } else {
    OpenMenu(w->hwnd, std::strcmp(scene, "scroll") == 0);
  }
  ForceFocusLooks(w->hwnd);
  if (lifetime != 0) SetTimer(w->hwnd, 99, lifetime);
  const int32_t code = RunMessageLoop();
  FreeLayoutGroup(w->groups.first);
  FreeAndClear(&w);
  for (Icon*& icon : g_icons) DestroyIcon(&icon);
  ShutdownWindowSystem();
  return code;
}
