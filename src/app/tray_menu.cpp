// The control menu: one table of items in their order, built into a list
// that the popup copies.
#include "app/tray_menu.h"

#include "ui/controls/popup.h"

namespace {

struct MenuRow {
  int32_t id;
  const char* text;
  int32_t icon;  // resource number; 0: none
  int32_t shownWhile;  // 0 always, 1 while the engine runs, 2 while it is stopped
};

constexpr MenuRow kMenu[] = {
    {kTrayMenuShowId, "Show Server Window", 13, 0},
    {kTrayMenuShutdownId, "Shutdown Server", 4, 1},
    {kTrayMenuStartId, "Start Server", 1, 2},
    {-1, "", 0, 0},
    {kTrayMenuAboutId, "About Ambrel HTTP Server...", 8, 0},
    {kTrayMenuCloseId, "Close Process", 10, 0},
};

}  // namespace

void BuildControlMenu(MenuItemList* list, bool engineRunning, IconLookup icon) {
  for (const MenuRow& row : kMenu) {
    if (row.shownWhile == 1 && !engineRunning) continue;
    if (row.shownWhile == 2 && engineRunning) continue;
    AddMenuItem(list, 0, row.id, row.text, row.icon != 0 && icon != nullptr ? icon(row.icon) : nullptr, 0);
  }
}

WindowHandle OpenControlMenu(WindowHandle owner, FontHandle font, bool engineRunning,
                             IconLookup icon, WinPoint at) {
  MenuItemList list{};
  BuildControlMenu(&list, engineRunning, icon);
  WindowHandle popup = OpenPopupAtPoint(&list, owner, font, at.x, at.y);
  FreeMenuItems(&list);
  PostWindowMessage(owner, kTrayFocusMessage, reinterpret_cast<WParam>(popup), 0);
  return popup;
}

void FocusControlMenu(WindowHandle popup) {
  if (!IsWindow(popup)) return;
  SetForegroundWindow(popup);
  SetFocus(popup);
}
