#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ui/controls/menu_items.h"

namespace {

std::vector<int32_t> Ids(const MenuItemList& list) {
  std::vector<int32_t> ids;
  for (MenuItem* item = list.first; item != nullptr; item = item->next) ids.push_back(item->id);
  return ids;
}

// Checks prev/next links both ways and that `last` closes the chain.
void ExpectWellLinked(const MenuItemList& list) {
  MenuItem* prev = nullptr;
  for (MenuItem* item = list.first; item != nullptr; item = item->next) {
    EXPECT_EQ(item->prev, prev);
    prev = item;
  }
  EXPECT_EQ(list.last, prev);
}

TEST(MenuItems, AddAppendsInOrderCopiesTheTextAndMakesTheFirstItemCurrent) {
  MenuItemList list{};
  char text[] = "Running";
  MenuItem* first = AddMenuItem(&list, 0, 1, text, nullptr, 77);
  ASSERT_NE(first, nullptr);
  text[0] = 'X';
  AddMenuItem(&list, 0, 2, "Not Running", nullptr, 0);
  AddMenuItem(&list, 0, -1, "", nullptr, 0);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{1, 2, -1}));
  ExpectWellLinked(list);
  EXPECT_EQ(list.current, first);
  EXPECT_STREQ(first->text, "Running");
  EXPECT_EQ(first->data, 77);
  EXPECT_EQ(first->kind, 0);
  EXPECT_EQ(first->checked, 0);
  EXPECT_STREQ(list.last->text, "");
  FreeMenuItems(&list);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
}

TEST(MenuItems, ParentIdSelectsTheChildListAndAnUnknownParentMeansTopLevel) {
  MenuItemList list{};
  AddMenuItem(&list, 0, 1, "one", nullptr, 0);
  MenuItem* two = AddMenuItem(&list, 0, 2, "two", nullptr, 0);
  MenuItem* three = AddMenuItem(&list, 2, 3, "three", nullptr, 0);
  AddMenuItem(&list, 3, 4, "four", nullptr, 0);
  AddMenuItem(&list, 99, 5, "five", nullptr, 0);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{1, 2, 5}));
  EXPECT_EQ(Ids(two->children), (std::vector<int32_t>{3}));
  EXPECT_EQ(two->children.current, three);
  EXPECT_EQ(Ids(three->children), (std::vector<int32_t>{4}));
  EXPECT_EQ(FindMenuItem(&list, 3), three);
  EXPECT_EQ(FindMenuItem(&list, 4)->text, three->children.first->text);
  EXPECT_EQ(FindMenuItem(&list, 42), nullptr);
  FreeMenuItems(&list);  // the sanitizer build reports any item left behind
}

TEST(MenuItems, FindComparesAnItemBeforeItsChildren) {
  MenuItemList list{};
  AddMenuItem(&list, 0, 1, "parent", nullptr, 0);
  MenuItem* child = AddMenuItem(&list, 1, 7, "child", nullptr, 0);
  MenuItem* later = AddMenuItem(&list, 0, 7, "later", nullptr, 0);
  EXPECT_EQ(FindMenuItem(&list, 7), child);
  EXPECT_NE(FindMenuItem(&list, 7), later);
  FreeMenuItems(&list);
}

TEST(MenuItems, CopyIsDeepAndStartsEveryListAtItsFirstItem) {
  MenuItemList source{};
  AddMenuItem(&source, 0, 1, "one", nullptr, 10);
  MenuItem* two = AddMenuItem(&source, 0, 2, "two", nullptr, 20);
  AddMenuItem(&source, 2, 3, "three", nullptr, 30);
  AddMenuItem(&source, 2, 4, "four", nullptr, 40);
  two->kind = kItemRadio;
  two->group = 5;
  two->checked = 1;
  two->disabled = 1;
  source.current = two;
  two->children.current = two->children.last;

  MenuItemList copy{};
  EXPECT_EQ(CopyMenuItems(&copy, &source), 1);
  EXPECT_EQ(Ids(copy), (std::vector<int32_t>{1, 2}));
  ExpectWellLinked(copy);
  EXPECT_EQ(copy.current, copy.first);
  MenuItem* copiedTwo = copy.last;
  EXPECT_NE(copiedTwo, two);
  EXPECT_NE(copiedTwo->text, two->text);
  EXPECT_STREQ(copiedTwo->text, "two");
  EXPECT_EQ(copiedTwo->data, 20);
  EXPECT_EQ(copiedTwo->kind, kItemRadio);
  EXPECT_EQ(copiedTwo->group, 5);
  EXPECT_EQ(copiedTwo->checked, 1);
  EXPECT_EQ(copiedTwo->disabled, 1);
  EXPECT_EQ(Ids(copiedTwo->children), (std::vector<int32_t>{3, 4}));
  ExpectWellLinked(copiedTwo->children);
  EXPECT_EQ(copiedTwo->children.current, copiedTwo->children.first);
  EXPECT_NE(copiedTwo->children.first, two->children.first);

  FreeMenuItems(&source);  // the copy must stand on its own
  EXPECT_STREQ(FindMenuItem(&copy, 4)->text, "four");
  FreeMenuItems(&copy);
}

TEST(MenuItems, CopyOfAnEmptyListIsEmpty) {
  MenuItemList source{};
  MenuItemList copy{};
  EXPECT_EQ(CopyMenuItems(&copy, &source), 1);
  EXPECT_EQ(copy.first, nullptr);
  EXPECT_EQ(copy.last, nullptr);
  EXPECT_EQ(copy.current, nullptr);
}

TEST(MenuItems, MarkingByKind) {
  MenuItemList list{};
  MenuItem* plain = AddMenuItem(&list, 0, 1, "plain", nullptr, 0);
  MenuItem* check = AddMenuItem(&list, 0, 2, "check", nullptr, 0);
  MenuItem* radioA = AddMenuItem(&list, 0, 3, "a", nullptr, 0);
  AddMenuItem(&list, 0, 4, "sub", nullptr, 0);
  MenuItem* radioB = AddMenuItem(&list, 4, 5, "b", nullptr, 0);
  MenuItem* otherGroup = AddMenuItem(&list, 4, 6, "c", nullptr, 0);
  MenuItem* checkSameGroup = AddMenuItem(&list, 4, 7, "d", nullptr, 0);
  check->kind = kItemCheck;
  radioA->kind = radioB->kind = otherGroup->kind = kItemRadio;
  radioA->group = radioB->group = 1;
  otherGroup->group = 2;
  checkSameGroup->kind = kItemCheck;
  checkSameGroup->group = 1;
  radioB->checked = otherGroup->checked = checkSameGroup->checked = 1;

  EXPECT_EQ(MarkMenuItem(&list, plain), 1);
  EXPECT_EQ(plain->checked, 0);
  EXPECT_EQ(MarkMenuItem(&list, check), 1);
  EXPECT_EQ(check->checked, 1);
  EXPECT_EQ(MarkMenuItem(&list, check), 1);
  EXPECT_EQ(check->checked, 0);

  // the radio in a child list is cleared; another group and a check item in
  // the same group number are left alone
  EXPECT_EQ(MarkMenuItem(&list, radioA), 1);
  EXPECT_EQ(radioA->checked, 1);
  EXPECT_EQ(radioB->checked, 0);
  EXPECT_EQ(otherGroup->checked, 1);
  EXPECT_EQ(checkSameGroup->checked, 1);
  EXPECT_EQ(MarkMenuItem(&list, radioB), 1);
  EXPECT_EQ(radioA->checked, 0);
  EXPECT_EQ(radioB->checked, 1);

  plain->kind = 9;
  EXPECT_EQ(MarkMenuItem(&list, plain), 0);
  FreeMenuItems(&list);
}

}  // namespace
