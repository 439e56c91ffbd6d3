// The selector on the headless window system: choosing by message, by keys
// and from its popup list, the notifications its parent receives, and
// opening and closing the list.
#include "control_harness.h"

namespace {

class SelectorTest : public ControlHarness {
 protected:
  void SetUp() override {
    ControlHarness::SetUp();
    selector_ = Child(kSelectorClassName, nullptr, 1, 20, 20, 200, 25);
    ASSERT_NE(selector_, nullptr);
    MenuItemList list{};
    AddMenuItem(&list, 0, 1, "Running", nullptr, 0);
    AddMenuItem(&list, 0, 2, "Not Running", nullptr, 22);
    ASSERT_EQ(SetSelectorItems(selector_, &list), 1);
    FreeMenuItems(&list);
  }
  SelectorData* Data() const { return static_cast<SelectorData*>(GetWindowUserData(selector_)); }
  std::vector<Received> Chosen() const { return Taken(TKM_ITEMCHOSEN); }
  WindowHandle selector_ = nullptr;
};

TEST_F(SelectorTest, SettingItemsChoosesTheFirstSilently) {
  EXPECT_EQ(GetSelectedItemId(selector_), 1);
  EXPECT_TRUE(received_.empty());
  EXPECT_EQ(SendWindowMessage(selector_, TKM_ISTABSTOP, 0, 0), 1);
  EXPECT_EQ(GetSelectedItemId(parent_), 0);  // no selector record
  EXPECT_EQ(SetSelectorItems(parent_, nullptr), 0);
  MenuItemList empty{};
  SetSelectorItems(selector_, &empty);
  EXPECT_EQ(GetSelectedItemId(selector_), -1);
}

TEST_F(SelectorTest, ChoosingTheSameItemTwiceNotifiesTwice) {
  EXPECT_EQ(SendWindowMessage(selector_, TKM_ITEMCHOSEN, 2, 0), 1);
  EXPECT_EQ(SendWindowMessage(selector_, TKM_ITEMCHOSEN, 2, 0), 1);
  ASSERT_EQ(Chosen().size(), 2u);
  EXPECT_EQ(Chosen()[1].wParam, 2u);
  EXPECT_EQ(Chosen()[1].lParam, 22);
  EXPECT_EQ(GetSelectedItemId(selector_), 2);
  // an unknown id and -1 change nothing and say nothing
  EXPECT_EQ(SendWindowMessage(selector_, TKM_ITEMCHOSEN, 99, 0), 1);
  EXPECT_EQ(SendWindowMessage(selector_, TKM_ITEMCHOSEN, static_cast<WParam>(intptr_t{-1}), 0), 1);
  EXPECT_EQ(Chosen().size(), 2u);
  EXPECT_EQ(GetSelectedItemId(selector_), 2);
}

TEST_F(SelectorTest, ArrowKeysStepWithoutWrapping) {
  SetFocus(selector_);
  Key(VK_UP);  // already on the first item
  EXPECT_TRUE(Chosen().empty());
  Key(VK_DOWN);
  ASSERT_EQ(Chosen().size(), 1u);
  EXPECT_EQ(Chosen()[0].wParam, 2u);
  Key(VK_RIGHT);  // the last item: nothing
  Key(VK_DOWN);
  EXPECT_EQ(Chosen().size(), 1u);
  Key(VK_LEFT);
  ASSERT_EQ(Chosen().size(), 2u);
  EXPECT_EQ(Chosen()[1].wParam, 1u);
  Key(VK_TAB);
  EXPECT_EQ(Taken(TKM_TABNEXT).size(), 1u);
  EXPECT_EQ(Data()->popup, nullptr);
}

TEST_F(SelectorTest, AClickOpensTheListUnderTheBoxAndAPointerChoiceReachesTheParent) {
  ClickAt(selector_, 50, 10);
  const WindowHandle popup = Data()->popup;
  ASSERT_NE(popup, nullptr);
  WinRect box{};
  WinRect list{};
  GetWindowRect(selector_, &box);
  GetWindowRect(popup, &list);
  EXPECT_EQ(list.top, box.bottom);
  EXPECT_EQ(list.left, box.left);
  EXPECT_EQ(list.right - list.left, 200 > 180 ? 180 : 200);
  const PopupData* p = static_cast<PopupData*>(GetWindowUserData(popup));
  const MenuItem* second = p->items.first->next;
  MoveTo(popup, 40, 2 + second->top + 2);  // the box lets go of the pointer
  MoveTo(popup, 40, 2 + second->top + 3);  // and the list takes it
  EXPECT_EQ(static_cast<PopupData*>(GetWindowUserData(popup))->items.current, second);
  Press(true);
  Press(false);
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_EQ(Data()->popup, nullptr);
  ASSERT_EQ(Chosen().size(), 1u);
  EXPECT_EQ(Chosen()[0].wParam, 2u);
  EXPECT_EQ(Chosen()[0].lParam, 22);
  EXPECT_EQ(GetSelectedItemId(selector_), 2);
  EXPECT_EQ(GetFocusWindow(), selector_);
}

// A pointer that jumps onto an item in one move (a touch screen, a warped
// pointer) and clicks there chooses that item: the move that makes the box
// let go of the pointer also reaches the list under it.
TEST_F(SelectorTest, OneJumpOntoAnItemAndAClickChooseIt) {
  ClickAt(selector_, 50, 10);
  const WindowHandle popup = Data()->popup;
  ASSERT_NE(popup, nullptr);
  const PopupData* p = static_cast<PopupData*>(GetWindowUserData(popup));
  const MenuItem* second = p->items.first->next;
  MoveTo(popup, 40, 2 + second->top + 2);
  Press(true);
  Press(false);
  EXPECT_FALSE(IsWindow(popup));
  ASSERT_EQ(Chosen().size(), 1u);
  EXPECT_EQ(Chosen()[0].wParam, 2u);
  EXPECT_EQ(GetSelectedItemId(selector_), 2);
}

TEST_F(SelectorTest, ASecondClickClosesTheListAndEnterOpensIt) {
  ClickAt(selector_, 50, 10);
  const WindowHandle popup = Data()->popup;
  ASSERT_NE(popup, nullptr);
  ClickAt(selector_, 50, 10);
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_EQ(Data()->popup, nullptr);
  EXPECT_EQ(GetFocusWindow(), selector_);
  Key(VK_RETURN);
  ASSERT_NE(Data()->popup, nullptr);
  Key(VK_DOWN);  // the list has the keyboard now
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_EQ(Data()->popup, nullptr);
  ASSERT_EQ(Chosen().size(), 1u);
  EXPECT_EQ(Chosen()[0].wParam, 2u);
}

TEST_F(SelectorTest, EscapeAndDisablingCloseTheListWithoutAChoice) {
  ClickAt(selector_, 50, 10);
  ASSERT_NE(Data()->popup, nullptr);
  Key(VK_ESCAPE);
  EXPECT_EQ(Data()->popup, nullptr);
  ClickAt(selector_, 50, 10);
  const WindowHandle popup = Data()->popup;
  ASSERT_NE(popup, nullptr);
  EnableWindow(selector_, false);
  Pump();
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_EQ(Data()->popup, nullptr);
  EXPECT_TRUE(Chosen().empty());
}

TEST_F(SelectorTest, DestroyingTheSelectorTakesItsListWithIt) {
  ClickAt(selector_, 50, 10);
  const WindowHandle popup = Data()->popup;
  ASSERT_NE(popup, nullptr);
  DestroyWindow(selector_);
  Pump();
  EXPECT_FALSE(IsWindow(popup));
}

}  // namespace
