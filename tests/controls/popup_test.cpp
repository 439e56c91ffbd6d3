// The popup menu on the headless window system: keyboard, pointer, wheel and
// timers, child popups and every notification its owner receives.
#include "control_harness.h"
#include "window/window_test_hooks.h"

namespace {

class PopupTest : public ControlHarness {
 protected:
  WindowHandle Open(const std::vector<const char*>& texts, int32_t x, int32_t y) {
    MenuItemList list{};
    int32_t id = 10;
    for (const char* text : texts) AddMenuItem(&list, 0, text[0] ? id++ : kSeparatorId, text, nullptr, 0);
    WindowHandle popup = OpenPopupAtPoint(&list, parent_, nullptr, x, y);
    FreeMenuItems(&list);
    Pump();
    return popup;
  }
  static PopupData* Data(WindowHandle popup) {
    return static_cast<PopupData*>(GetWindowUserData(popup));
  }
  std::vector<Received> Of(uint32_t message) const { return Taken(message); }
};

TEST_F(PopupTest, OpensBelowThePointWithTheFocusAndTheLayoutSize) {
  WindowHandle popup = Open({"One", "Two", "Three"}, 300, 200);
  ASSERT_NE(popup, nullptr);
  WinRect r{};
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(r.right - r.left, 180);
  EXPECT_EQ(r.bottom - r.top, 3 * Data(popup)->itemHeight + 4);
  EXPECT_EQ(GetFocusWindow(), popup);
  EXPECT_EQ(Data(popup)->items.current, nullptr);
  MenuItemList empty{};
  EXPECT_EQ(OpenPopupAtPoint(&empty, parent_, nullptr, 1, 1), nullptr);
}

TEST_F(PopupTest, NearTheBottomOfTheWorkAreaItOpensUpward) {
  WinRect work{0, 0, 1024, 740};
  SetHeadlessScreen(1024, 768, &work);
  WindowHandle popup = Open({"One", "Two", "Three"}, 500, 730);
  WinRect r{};
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.bottom, 730);
  EXPECT_EQ(r.top, 730 - (3 * Data(popup)->itemHeight + 4));
}

TEST_F(PopupTest, KeyboardChoiceReachesTheOwnerAndDestroysThePopup) {
  WindowHandle popup = Open({"One", "", "Three"}, 100, 100);
  Key(VK_DOWN);
  Key(VK_DOWN);  // the separator is a stop for the keys
  EXPECT_EQ(Data(popup)->items.current->id, kSeparatorId);
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(Of(TKM_ITEMCHOSEN).size(), 1u);
  EXPECT_EQ(Of(TKM_ITEMCHOSEN)[0].wParam, 11u);
  EXPECT_EQ(Of(TKM_ITEMCHOSEN)[0].lParam, 0);
  EXPECT_TRUE(Of(TKM_POPUPCANCELLED).empty());
}

TEST_F(PopupTest, EscapeReportsMinusOneAndFocusLossReportsZero) {
  WindowHandle popup = Open({"One", "Two"}, 100, 100);
  Key(VK_ESCAPE);
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(Of(TKM_POPUPCANCELLED).size(), 1u);
  EXPECT_EQ(static_cast<intptr_t>(Of(TKM_POPUPCANCELLED)[0].wParam), -1);

  popup = Open({"One", "Two"}, 100, 100);
  SetFocus(parent_);
  Pump();
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(Of(TKM_POPUPCANCELLED).size(), 2u);
  EXPECT_EQ(Of(TKM_POPUPCANCELLED)[1].wParam, 0u);
  EXPECT_TRUE(Of(TKM_ITEMCHOSEN).empty());
}

TEST_F(PopupTest, EnterWithNothingHighlightedCancelsAndTheSideKeysReportOut) {
  WindowHandle popup = Open({"One", "Two"}, 100, 100);
  Key(VK_RETURN);
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_EQ(Of(TKM_POPUPCANCELLED).size(), 1u);

  popup = Open({"One", "Two"}, 100, 100);
  Key(VK_RIGHT);  // nothing highlighted: highlight the first
  EXPECT_EQ(Data(popup)->items.current, Data(popup)->items.first);
  Key(VK_RIGHT);  // an item without children: cancel, then forward out
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_EQ(Of(TKM_POPUPCANCELLED).size(), 2u);
  EXPECT_EQ(Of(TKM_FORWARDOUT).size(), 1u);

  popup = Open({"One", "Two"}, 100, 100);
  Key(VK_LEFT);
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(received_.size() >= 2, true);
  EXPECT_EQ(received_[received_.size() - 2].message, TKM_POPUPCLOSED);
  EXPECT_EQ(received_.back().message, TKM_BACKOUT);
}

TEST_F(PopupTest, PointerHighlightsAndAReleaseChoosesButNeverASeparator) {
  WindowHandle popup = Open({"One", "", "Three"}, 100, 100);
  const PopupData* p = Data(popup);
  const MenuItem* separator = p->items.first->next;
  MoveTo(popup, 50, 2 + separator->top + 1);
  EXPECT_EQ(Data(popup)->items.current, nullptr);
  Press(true);
  Press(false);
  EXPECT_TRUE(IsWindow(popup));
  const MenuItem* third = separator->next;
  MoveTo(popup, 50, 2 + third->top + 2);
  EXPECT_EQ(Data(popup)->items.current, third);
  EXPECT_EQ(GetCaptureWindow(), popup);
  Press(true);
  Press(false);
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(Of(TKM_ITEMCHOSEN).size(), 1u);
  EXPECT_EQ(Of(TKM_ITEMCHOSEN)[0].wParam, 11u);
}

TEST_F(PopupTest, ClickingElsewhereClosesIt) {
  WindowHandle popup = Open({"One", "Two"}, 400, 150);
  ClickAt(parent_, 20, 20);
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(Of(TKM_POPUPCANCELLED).size(), 1u);
  EXPECT_EQ(Of(TKM_POPUPCANCELLED)[0].wParam, 0u);
}

// The menu holds the grab: a press on the bare desktop (no window of ours
// there) closes it, a right press too, children and all. A child popup takes
// no grab of its own.
TEST_F(PopupTest, APressOnTheDesktopClosesIt) {
  WindowHandle popup = Open({"One", "Two"}, 600, 150);
  EXPECT_EQ(GetPopupGrabWindow(), popup);
  InjectMouseMove(900, 700);
  Press(true);
  Press(false);
  Pump();
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(Of(TKM_POPUPCANCELLED).size(), 1u);
  EXPECT_EQ(GetPopupGrabWindow(), nullptr);

  MenuItemList list{};
  AddMenuItem(&list, 0, 10, "Parent", nullptr, 0);
  AddMenuItem(&list, 10, 11, "Child", nullptr, 0);
  popup = OpenPopupAtPoint(&list, parent_, nullptr, 600, 150);
  FreeMenuItems(&list);
  Pump();
  Key(VK_DOWN);
  Key(VK_RIGHT);
  WindowHandle child = Data(popup)->child;
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetPopupGrabWindow(), popup);
  InjectMouseMove(5, 700);
  InjectMouseButton(MouseButton::kRight, true);
  InjectMouseButton(MouseButton::kRight, false);
  Pump();
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(Of(TKM_POPUPCANCELLED).size(), 2u);
  EXPECT_TRUE(Of(TKM_ITEMCHOSEN).empty());
}

TEST_F(PopupTest, TypeAheadMovesTheHighlight) {
  WindowHandle popup = Open({"Show", "Start", "About", "Close"}, 100, 100);
  InjectText("s");
  Pump();
  EXPECT_STREQ(Data(popup)->items.current->text, "Start");
  InjectText("C");
  Pump();
  EXPECT_STREQ(Data(popup)->items.current->text, "Close");
  InjectText("c");
  Pump();
  EXPECT_STREQ(Data(popup)->items.current->text, "Close");  // only the highlight starts with it
}

TEST_F(PopupTest, TallListsScrollByWheelAndByTheBandTimers) {
  WinRect work{0, 0, 1024, 300};
  SetHeadlessScreen(1024, 768, &work);
  std::vector<const char*> texts(30, "Item");
  WindowHandle popup = Open(texts, 100, 0);
  PopupData* p = Data(popup);
  ASSERT_NE(p->maxScroll, 0);
  MoveTo(popup, 50, 100);
  InjectMouseWheel(-120);
  Pump();
  const int32_t down = p->scrollOffset;
  EXPECT_GT(down, 0);
  InjectMouseWheel(60);
  Pump();
  EXPECT_EQ(p->scrollOffset, down);
  InjectMouseWheel(60);
  Pump();
  EXPECT_EQ(p->scrollOffset, 0);

  MoveTo(popup, 50, p->height - 10);  // the down band
  EXPECT_EQ(p->scrollingDown, 1);
  AdvanceHeadlessClock(120);
  Pump();
  EXPECT_GT(p->scrollOffset, 0);
  MoveTo(popup, 50, 100);
  EXPECT_EQ(p->scrollingDown, 0);
}

TEST_F(PopupTest, ChildPopupsOpenBesideTheirItemAndPassTheChoiceUp) {
  MenuItemList list{};
  AddMenuItem(&list, 0, 1, "Plain", nullptr, 0);
  AddMenuItem(&list, 0, 2, "More", nullptr, 0);
  AddMenuItem(&list, 2, 3, "Inner", nullptr, 0);
  AddMenuItem(&list, 2, 4, "Other", nullptr, 0);
  WindowHandle popup = OpenPopupAtPoint(&list, parent_, nullptr, 100, 100);
  FreeMenuItems(&list);
  Pump();
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_RIGHT);
  const WindowHandle child = Data(popup)->child;
  ASSERT_NE(child, nullptr);
  WinRect outer{};
  WinRect inner{};
  GetWindowRect(popup, &outer);
  GetWindowRect(child, &inner);
  EXPECT_EQ(inner.left, outer.left + 178);
  EXPECT_EQ(GetFocusWindow(), popup);  // the parent keeps the keyboard and hands it on
  Key(VK_ESCAPE);                      // the child closes by itself...
  EXPECT_FALSE(IsWindow(child));
  EXPECT_TRUE(IsWindow(popup));
  Key(VK_UP);                          // ...and the parent takes the keys again
  EXPECT_EQ(Data(popup)->items.current->id, 1);
  Key(VK_DOWN);
  Key(VK_RIGHT);
  const WindowHandle again = Data(popup)->child;
  ASSERT_NE(again, nullptr);
  Key(VK_DOWN);
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_FALSE(IsWindow(again));
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(Of(TKM_ITEMCHOSEN).size(), 1u);
  EXPECT_EQ(Of(TKM_ITEMCHOSEN)[0].wParam, 4u);
}

TEST_F(PopupTest, HoveringAnItemWithChildrenOpensItAfterTheMenuDelay) {
  MenuItemList list{};
  AddMenuItem(&list, 0, 1, "Plain", nullptr, 0);
  AddMenuItem(&list, 0, 2, "More", nullptr, 0);
  AddMenuItem(&list, 2, 3, "Inner", nullptr, 0);
  WindowHandle popup = OpenPopupAtPoint(&list, parent_, nullptr, 100, 100);
  FreeMenuItems(&list);
  Pump();
  PopupData* p = Data(popup);
  MoveTo(popup, 50, 2 + p->items.last->top + 3);
  EXPECT_EQ(p->openPending, 1);
  AdvanceHeadlessClock(GetMenuShowDelay());
  Pump();
  ASSERT_NE(p->child, nullptr);
  // moving back to the plain item closes the child after the delay
  MoveTo(popup, 50, 2 + p->items.first->top + 3);
  EXPECT_EQ(p->closePending, 1);
  const WindowHandle child = p->child;
  AdvanceHeadlessClock(GetMenuShowDelay());
  Pump();
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(p->child, nullptr);
  EXPECT_TRUE(IsWindow(popup));
}

}  // namespace
