#include "app/main_window.h"

#include <iterator>

#include "app/about_window.h"
#include "app/app_icons.h"
#include "app/app_state.h"
#include "app/server_control.h"
#include "app/settings_controls.h"
#include "app/tray_menu.h"
#include "app/tray_icon.h"
#include "core/blocks.h"
#include "ui/controls/button.h"
#include "ui/controls/menu_items.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"
#include "window/builtin/system_controls.h"

namespace {

// The framework's anchors and size modes under the short names the tables
// read best with: kStretch keeps a margin to the far edge.
constexpr LayoutAnchor kLeft = kFromLeft, kRight = kFromRight, kTop = kFromTop, kBottom = kFromBottom;
constexpr LayoutSizeMode kFixed = kFixedSize, kStretch = kKeepMargin;

enum GroupIndex { kRoot, kServerGroup, kPhpGroup, kLoggingGroup, kGroupCount };

struct GroupRow {
  int32_t parent;       // a GroupIndex, or -1 for the window itself
  const char* caption;  // null: an invisible group
  int32_t id;
  int32_t hAnchor, x, vAnchor, y, widthMode, width, heightMode, height;
  int32_t icon;  // caption icon resource, 0 for none
};

constexpr GroupRow kGroups[kGroupCount] = {
    {-1, nullptr, 0, kLeft, 0, kTop, 80, kStretch, 0, kStretch, 0, 0},
    {kRoot, "Server Control", 1, kLeft, 0, kTop, 0, kStretch, 0, kFixed, 108, 1},
    {kRoot, "PHP/CGI Options", 2, kLeft, 0, kTop, 100, kStretch, 0, kFixed, 135, 7},
    {kRoot, "Logging Options", 3, kLeft, 0, kTop, 228, kStretch, 0, kStretch, 33, 6},
};

constexpr uint32_t kFieldExStyle = WS_EX_CLIENTEDGE;
constexpr uint32_t kFieldStyle = ES_AUTOHSCROLL;

struct ControlRow {
  int32_t group;
  const char* className;
  const char* text;
  int32_t id;
  int32_t hAnchor, x, vAnchor, y, widthMode, width, heightMode, height;
  uint32_t exStyle, style;
  WindowHandle MainControls::*slot;  // where the handle is kept, or null
};

// In this order; it is also the Tab order's order within each group.
constexpr ControlRow kControls[] = {
    {kServerGroup, kSelectorClassName, nullptr, kStatusSelectorId,
     kLeft, 4, kTop, 4, kStretch, 148, kFixed, 25, 0, 0, &MainControls::statusSelector},
    {kServerGroup, kSelectorClassName, nullptr, kScopeSelectorId,
     kRight, 144, kTop, 4, kFixed, 140, kFixed, 25, 0, 0, &MainControls::scopeSelector},
    {kServerGroup, kStaticClassName, "Serving Directory:", kServingLabelId,
     kLeft, 4, kTop, 33, kFixed, 120, kFixed, 25, 0, 0, nullptr},
    {kServerGroup, kEditClassName, "", kServingFieldId,
     kLeft, 124, kTop, 33, kStretch, 88, kFixed, 25, kFieldExStyle, kFieldStyle, &MainControls::servingField},
    {kServerGroup, kButtonClassName, "Browse", kServingBrowseId,
     kRight, 84, kTop, 33, kStretch, 4, kFixed, 25, 0, 0, &MainControls::servingBrowse},
    {kRoot, kButtonClassName, "OK", kOkButtonId,
     kRight, 252, kBottom, 29, kFixed, 80, kFixed, 25, 0, 0, &MainControls::okButton},
    {kRoot, kButtonClassName, "Cancel", kCancelButtonId,
     kRight, 168, kBottom, 29, kFixed, 80, kFixed, 25, 0, 0, &MainControls::cancelButton},
    {kRoot, kButtonClassName, "Apply", kApplyButtonId,
     kRight, 84, kBottom, 29, kFixed, 80, kFixed, 25, 0, 0, &MainControls::applyButton},
    {kRoot, kButtonClassName, "About", kAboutButtonId,
     kLeft, 4, kBottom, 29, kFixed, 80, kFixed, 25, 0, 0, &MainControls::aboutButton},
    {kPhpGroup, kSelectorClassName, "PHP Enabled", kPhpSelectorId,
     kLeft, 4, kTop, 4, kStretch, 4, kFixed, 25, 0, 0, &MainControls::phpSelector},
    {kPhpGroup, kStaticClassName, "PHP Directory:", kPhpLabelId,
     kLeft, 4, kTop, 33, kFixed, 100, kFixed, 20, 0, 0, nullptr},
    {kPhpGroup, kEditClassName, "", kPhpFieldId,
     kLeft, 124, kTop, 33, kStretch, 88, kFixed, 24, kFieldExStyle, kFieldStyle, &MainControls::phpField},
    {kPhpGroup, kButtonClassName, "Browse", kPhpBrowseId,
     kRight, 84, kTop, 33, kFixed, 80, kFixed, 24, 0, 0, &MainControls::phpBrowse},
    {kPhpGroup, kSelectorClassName, "CGI Enabled", kCgiSelectorId,
     kLeft, 4, kTop, 61, kStretch, 4, kFixed, 25, 0, 0, &MainControls::cgiSelector},
    {kLoggingGroup, kSelectorClassName, "Enable Logging", kLoggingSelectorId,
     kLeft, 4, kTop, 4, kStretch, 4, kFixed, 25, 0, 0, &MainControls::loggingSelector},
    {kLoggingGroup, kStaticClassName, "Logging Directory:", kLoggingLabelId,
     kLeft, 4, kTop, 33, kFixed, 120, kFixed, 20, 0, 0, nullptr},
    {kLoggingGroup, kEditClassName, "", kLoggingFieldId,
     kLeft, 124, kTop, 33, kStretch, 88, kFixed, 24, kFieldExStyle, kFieldStyle, &MainControls::loggingField},
    {kLoggingGroup, kButtonClassName, "Browse", kLoggingBrowseId,
     kRight, 84, kTop, 33, kFixed, 80, kFixed, 24, 0, 0, &MainControls::loggingBrowse},
};

struct ButtonIconRow {
  WindowHandle MainControls::*button;
  int32_t icon;
};

constexpr ButtonIconRow kButtonIcons[] = {
    {&MainControls::servingBrowse, 2}, {&MainControls::phpBrowse, 2},
    {&MainControls::loggingBrowse, 2}, {&MainControls::okButton, 3},
    {&MainControls::applyButton, 9},   {&MainControls::cancelButton, 4},
    {&MainControls::aboutButton, 8},
};

struct SelectorItemRow {
  WindowHandle MainControls::*selector;
  int32_t id;
  const char* text;
  int32_t icon;
};

constexpr SelectorItemRow kSelectorItems[] = {
    {&MainControls::statusSelector, kItemRunning, "Running", 3},
    {&MainControls::statusSelector, kItemNotRunning, "Not Running", 4},
    {&MainControls::scopeSelector, kItemLocalServer, "Local Server", 16},
    {&MainControls::scopeSelector, kItemLanServer, "LAN Server", 15},
    {&MainControls::scopeSelector, kItemInternetServer, "Internet Server", 14},
    {&MainControls::phpSelector, kItemPhpEnabled, "PHP Enabled", 3},
    {&MainControls::phpSelector, kItemPhpDisabled, "PHP Disabled", 4},
    {&MainControls::cgiSelector, kItemCgiEnabled, "CGI Enabled", 3},
    {&MainControls::cgiSelector, kItemCgiDisabled, "CGI Disabled", 4},
    {&MainControls::loggingSelector, kItemLoggingEnabled, "Logging Enabled", 3},
    {&MainControls::loggingSelector, kItemLoggingDisabled, "Logging Disabled", 4},
};

LayoutGroup* MainGroups[kGroupCount];

void FillControlHandles() {
  Controls = MainControls{};
  for (const ControlRow& row : kControls) {
    if (row.slot != nullptr) Controls.*row.slot = FindChildById(MainWindow->hwnd, row.id);
  }
}

// Each selector gets its rows of kSelectorItems as one list.
void GiveSelectorsTheirItems() {
  WindowHandle MainControls::*selectors[] = {
      &MainControls::statusSelector, &MainControls::scopeSelector, &MainControls::phpSelector,
      &MainControls::cgiSelector, &MainControls::loggingSelector};
  for (WindowHandle MainControls::*selector : selectors) {
    MenuItemList list{};
    for (const SelectorItemRow& row : kSelectorItems) {
      if (row.selector == selector) AddMenuItem(&list, 0, row.id, row.text, AppIcon(row.icon), 0);
    }
    SetSelectorItems(Controls.*selector, &list);
    FreeMenuItems(&list);
  }
}

void DressMainWindow() {
  SetProgramWindowIcon(MainWindow->hwnd);
  for (const ButtonIconRow& row : kButtonIcons) {
    SendWindowMessage(Controls.*row.button, BBM_SETFLAT, 1, 0);
  }
  // 259 characters: settings.dat keeps that many of a field and refuses a
  // longer text on load, so a 260th typed character would be lost on save.
  for (WindowHandle field : {Controls.servingField, Controls.phpField, Controls.loggingField}) {
    SendWindowMessage(field, EM_LIMITTEXT, 259, 0);
  }
  for (const ButtonIconRow& row : kButtonIcons) {
    SetButtonIcon(Controls.*row.button, AppIcon(row.icon), 1);
  }
  for (int32_t g = 0; g < kGroupCount; ++g) {
    if (kGroups[g].icon != 0) SetGroupIcon(MainGroups[g], AppIcon(kGroups[g].icon));
  }
  GiveSelectorsTheirItems();
}

void OnCommand(WParam wParam, LParam lParam) {
  if (HiWord(wParam) == EN_CHANGE) {
    OnFieldChanged();
    return;
  }
  WindowHandle from = reinterpret_cast<WindowHandle>(lParam);
  if (from == nullptr) return;
  if (from == Controls.okButton) OnOkButton();
  else if (from == Controls.applyButton) OnApplyButton();
  else if (from == Controls.cancelButton) OnCancelButton();
  else if (from == Controls.servingBrowse) OnBrowseButton(Controls.servingField, "Set Path for WWW");
  else if (from == Controls.phpBrowse) OnBrowseButton(Controls.phpField, "Set Path to PHP");
  else if (from == Controls.loggingBrowse) OnBrowseButton(Controls.loggingField, "Set Log Destination Path");
  else if (from == Controls.aboutButton) {
    OpenAboutWindow(MainWindow->hwnd, AppIcon(3), AppIcon(17), AppIcon(18), AppIcon(19));
    CloseAboutWindow();
  }
}

void OnItemChosen(WParam wParam) {
  const int32_t id = static_cast<int32_t>(static_cast<intptr_t>(wParam));
  if (id >= kItemRunning && id <= kItemLoggingDisabled) OnSelectorChoice();
  else if (id >= kTrayMenuFirstId && id <= kTrayMenuLastId) HandleTrayMenuCommand(id);
}

}  // namespace

bool DescribeMainWindow() {
  MainWindow = NewGuiWindow(kMainMinWidth, kMainHeight, kMainMaxWidth, kMainHeight,
                            WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                            MainWindowProc);
  if (MainWindow == nullptr) return false;
  SetWindowBanner(MainWindow, MainBanner);
  for (int32_t g = 0; g < kGroupCount; ++g) {
    const GroupRow& r = kGroups[g];
    MainGroups[g] = AddLayoutGroup(MainWindow, r.parent < 0 ? nullptr : MainGroups[r.parent], r.caption, r.id,
                                 r.hAnchor, r.x, r.vAnchor, r.y, r.widthMode, r.width, r.heightMode, r.height);
  }
  for (const ControlRow& r : kControls) {
    AddLayoutControl(MainGroups[r.group], r.text, r.className, r.exStyle, r.style, r.id, r.hAnchor, r.x,
                     r.vAnchor, r.y, r.widthMode, r.width, r.heightMode, r.height);
  }
  return true;
}

bool CreateMainWindow() {
  if (CreateGuiWindow(MainWindow, nullptr, kAppTitle, kMainStartWidth, kMainHeight) != 1) return false;
  FillControlHandles();
  DressMainWindow();
  return true;
}

void ReleaseMainWindow() {
  if (MainWindow == nullptr) return;
  if (IsWindow(MainWindow->hwnd)) DestroyWindow(MainWindow->hwnd);
  FreeLayoutGroup(MainWindow->groups.first);
  FreeAndClear(&MainWindow);
  Controls = MainControls{};
}

LResult MainWindowProc(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_CLOSE:
      // Hidden, the window comes back from the tray icon; with no tray to
      // hold the icon it is only minimised, so the program stays reachable.
      if (TrayIconDocked()) {
        HideMainWindow();
      } else {
        ShowWindow(hwnd, SW_MINIMIZE);
      }
      return 0;
    case WM_DESTROY: PostQuit(0); break;
    case WM_COMMAND: OnCommand(wParam, lParam); break;
    case TKM_ITEMCHOSEN: OnItemChosen(wParam); break;
    case kTrayCallbackMessage: HandleTrayCallback(lParam); break;
    case kTrayFocusMessage: HandleTrayFocusRequest(reinterpret_cast<WindowHandle>(wParam)); break;
    default: break;
  }
  return DefaultWindowProc(hwnd, message, wParam, lParam);
}

void ShowMainWindow(int32_t reload) {
  SettingsLoading = true;
  if (reload == 1) LoadSettings();
  ShowWindow(MainWindow->hwnd, SW_SHOW);
  SetForegroundWindow(MainWindow->hwnd);
  ShowWindow(MainWindow->hwnd, SW_RESTORE);
  SettingsLoading = false;
  EnableWindow(Controls.okButton, true);
  EnableWindow(Controls.applyButton, false);
}

void HideMainWindow() { ShowWindow(MainWindow->hwnd, SW_HIDE); }

void OnOkButton() {
  if (!IsWindowEnabled(Controls.applyButton)) {
    HideMainWindow();
    return;
  }
  if (ApplySettings() == 1) HideMainWindow();
}

void OnCancelButton() { HideMainWindow(); }

namespace {

void OpenAbout() {
  OpenAboutWindow(MainWindowHandle(), AppIcon(3), AppIcon(17), AppIcon(18), AppIcon(19));
  CloseAboutWindow();
}

}  // namespace

void HandleTrayCallback(LParam mouseMessage) {
  if (mouseMessage == WM_LBUTTONDBLCLK) {
    ShowMainWindow(1);
  } else if (mouseMessage == WM_RBUTTONUP) {
    OpenControlMenu(MainWindowHandle(), MainFont, RunningServer != nullptr, AppIcon, TrayMenuPoint());
  }
}

void HandleTrayMenuCommand(int32_t id) {
  switch (id) {
    case kTrayMenuShowId: ShowMainWindow(1); break;
    case kTrayMenuStartId: StartServerCommand(); break;
    case kTrayMenuShutdownId: ShutdownServerCommand(); break;
    case kTrayMenuAboutId: OpenAbout(); break;
    case kTrayMenuCloseId: CloseProcess(); break;
    default: break;
  }
}

void CloseProcess() {
  RemoveTrayIcon();
  StopRunningServer();
  if (AboutWindow != nullptr && IsWindow(AboutWindow->hwnd)) {
    CloseRequested = true;
    PostWindowMessage(AboutWindow->hwnd, TKM_ENDMODAL, 0, 0);
    return;
  }
  if (IsWindow(MainWindowHandle())) DestroyWindow(MainWindowHandle());
}
