// The control menu on the headless window system: its items by engine
// state, opening at the pointer with the focus request to the owner, and
// the choice or the cancel reaching the owner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tray_menu.h"
#include "platform/window_system.h"
#include "ui/controls/popup.h"

namespace {

struct Seen {
  uint32_t message;
  WParam wParam;
};
std::vector<Seen> g_seen;

LResult OwnerProc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (m == kTrayFocusMessage) FocusControlMenu(reinterpret_cast<WindowHandle>(wp));
  if (m == kTrayFocusMessage || m == TKM_ITEMCHOSEN || m == TKM_POPUPCANCELLED) g_seen.push_back({m, wp});
  return DefaultWindowProc(w, m, wp, lp);
}

const Icon* g_icons[20] = {};
const Icon* IconOf(int32_t number) { return g_icons[number]; }

class TrayMenuTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    ASSERT_EQ(RegisterPopupClass(nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    RegisterWindowClass(WindowClass{"Owner", OwnerProc});
    owner_ = CreateSystemWindow(0, "Owner", "owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, 0, nullptr);
    for (int32_t i = 1; i <= 19; ++i) g_icons[i] = reinterpret_cast<const Icon*>(&g_icons[i]);
    g_seen.clear();
  }
  void TearDown() override { ShutdownWindowSystem(); }
  WindowHandle owner_ = nullptr;
};

std::vector<std::string> Texts(const MenuItemList& list) {
  std::vector<std::string> texts;
  for (MenuItem* i = list.first; i != nullptr; i = i->next) texts.push_back(i->text);
  return texts;
}

TEST_F(TrayMenuTest, ItemsFollowTheEngineWithTheirIdsAndIcons) {
  MenuItemList running{};
  BuildControlMenu(&running, true, IconOf);
  EXPECT_EQ(Texts(running), (std::vector<std::string>{"Show Server Window", "Shutdown Server", "",
                                                      "About Ambrel HTTP Server...", "Close Process"}));
  std::vector<int32_t> ids;
  std::vector<const Icon*> icons;
  for (MenuItem* i = running.first; i != nullptr; i = i->next) {
    ids.push_back(i->id);
    icons.push_back(i->icon);
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{17, 16, -1, 14, 18}));
  EXPECT_EQ(icons, (std::vector<const Icon*>{g_icons[13], g_icons[4], nullptr, g_icons[8], g_icons[10]}));
  FreeMenuItems(&running);

  MenuItemList stopped{};
  BuildControlMenu(&stopped, false, IconOf);
  ASSERT_NE(stopped.first, nullptr);
  EXPECT_EQ(std::string(stopped.first->next->text), "Start Server");
  EXPECT_EQ(stopped.first->next->id, 15);
  EXPECT_EQ(stopped.first->next->icon, g_icons[1]);
  EXPECT_EQ(Texts(stopped).size(), 5u);
  FreeMenuItems(&stopped);
}

// Opened at the pointer, the owner is asked to give it the keyboard; the
// keys then choose "Start Server", which reaches the owner. A second menu
// closes on a press on the desktop.
TEST_F(TrayMenuTest, OpensAtThePointerTakesTheKeysAndReportsTheChoice) {
  InjectMouseMove(900, 740);
  ProcessPendingMessages();
  WindowHandle popup = OpenControlMenu(owner_, nullptr, false, IconOf);
  ASSERT_NE(popup, nullptr);
  ProcessPendingMessages();
  ASSERT_FALSE(g_seen.empty());
  EXPECT_EQ(g_seen[0].message, kTrayFocusMessage);
  EXPECT_EQ(reinterpret_cast<WindowHandle>(g_seen[0].wParam), popup);
  EXPECT_EQ(GetFocusWindow(), popup);
  WinRect r{};
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.bottom, 740);  // no room below: it opens upwards from the pointer
  EXPECT_LE(r.left, 900);
  InjectKey(VK_DOWN, true);
  InjectKey(VK_DOWN, true);
  InjectKey(VK_RETURN, true);
  ProcessPendingMessages();
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(g_seen.back().message, TKM_ITEMCHOSEN);
  EXPECT_EQ(g_seen.back().wParam, 15u);

  popup = OpenControlMenu(owner_, nullptr, true, IconOf);
  ProcessPendingMessages();
  InjectMouseMove(10, 10);
  InjectMouseButton(MouseButton::kLeft, true);
  InjectMouseButton(MouseButton::kLeft, false);
  ProcessPendingMessages();
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_EQ(g_seen.back().message, TKM_POPUPCANCELLED);
}

}  // namespace
