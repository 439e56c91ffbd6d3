#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/blocks.h"
#include "core/header_list.h"
#include "core/list.h"

namespace {

struct Node {
  Node* prev;
  Node* next;
  int value;
};

Node* NewNode(int value) {
  Node* node = nullptr;
  EXPECT_TRUE(AllocBlock(&node, sizeof(Node), true, 0));
  node->value = value;
  return node;
}

TEST(Blocks, AllocBlockRefusesEmptyAndNegativeSizesWithoutTouchingTheSlot) {
  char marker = 0;
  void* slot = &marker;
  EXPECT_FALSE(AllocBlock(&slot, 0, true, 0));
  EXPECT_FALSE(AllocBlock(&slot, -5, false, 0));
  EXPECT_EQ(slot, &marker);
  EXPECT_FALSE(AllocBlock(static_cast<void**>(nullptr), 8, true, 0));
}

TEST(Blocks, AllocBlockFillsEveryByte) {
  unsigned char* block = nullptr;
  ASSERT_TRUE(AllocBlock(&block, 33, true, 0xAB));
  for (int i = 0; i < 33; ++i) EXPECT_EQ(block[i], 0xAB);
  EXPECT_TRUE(FreeAndClear(&block));
  EXPECT_EQ(block, nullptr);
}

TEST(Blocks, DupStringAndFreeAndClear) {
  EXPECT_EQ(DupString(nullptr), nullptr);
  char* empty = DupString("");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], '\0');
  EXPECT_TRUE(FreeAndClear(&empty));
  EXPECT_FALSE(FreeAndClear(&empty));  // the second release does nothing
  char* copy = DupString("Content-Length:");
  EXPECT_STREQ(copy, "Content-Length:");
  FreeAndClear(&copy);
}

TEST(List, RemovingTheMiddleNodeRelinksItsNeighbours) {
  Node* first = nullptr;
  Node* last = nullptr;
  Node* a = NewNode(1);
  Node* b = NewNode(2);
  Node* c = NewNode(3);
  ASSERT_TRUE(ListAppend(&first, &last, a));
  ASSERT_TRUE(ListAppend(&first, &last, b));
  ASSERT_TRUE(ListAppend(&first, &last, c));
  EXPECT_EQ(first, a);
  EXPECT_EQ(last, c);

  ASSERT_TRUE(ListUnlink(&first, &last, b));
  EXPECT_EQ(a->next, c);
  EXPECT_EQ(c->prev, a);
  EXPECT_EQ(b->prev, a);  // the unlinked node keeps its own links
  EXPECT_EQ(b->next, c);
  FreeAndClear(&b);

  ASSERT_TRUE(ListRemove(&first, &last, a));
  EXPECT_EQ(first, c);
  EXPECT_EQ(c->prev, nullptr);
  ASSERT_TRUE(ListRemove(&first, &last, c));
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(last, nullptr);
  EXPECT_FALSE(ListAppend<Node>(&first, &last, nullptr));
}

TEST(HeaderList, KeepsOrderAndClearsEverything) {
  HeaderList list{};
  ASSERT_TRUE(AppendHeader(&list, "Content-Length:", "10"));
  ASSERT_TRUE(AppendHeader(&list, "X-Bare", nullptr));
  ASSERT_TRUE(AppendHeader(&list, "content-length:", "20"));
  EXPECT_STREQ(list.first->name, "Content-Length:");
  EXPECT_EQ(list.first->next->value, nullptr);
  EXPECT_STREQ(list.last->value, "20");
  EXPECT_TRUE(EqualsIgnoringCase(list.first->name, list.last->name));
  EXPECT_FALSE(EqualsIgnoringCase("Keep-Alive", "Keep-Alive, TE"));
  ClearHeaderList(&list);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
}

// Entries of every shape survive in order after the caller's texts are gone,
// and a list cleared and filled again many times ends up holding exactly the
// last round (the sanitizer build checks that nothing is read past an entry
// or released twice).
TEST(HeaderList, EntriesOfEveryShapeSurviveClearAndReuse) {
  HeaderList list{};
  for (int round = 0; round < 50; ++round) {
    std::vector<std::string> names, values;
    for (int i = 0; i < 63; ++i) {
      names.push_back("X-" + std::string(static_cast<size_t>(i * 7 % 300), 'n') +
                      std::to_string(round) + ":");
      values.push_back(i % 3 == 0 ? std::string() : std::string(static_cast<size_t>(i * 31), 'v'));
    }
    for (int i = 0; i < 63; ++i) {
      std::string name = names[static_cast<size_t>(i)];  // a copy the list must not keep
      std::string value = values[static_cast<size_t>(i)];
      ASSERT_TRUE(AppendHeader(&list, name.c_str(), i % 5 == 4 ? nullptr : value.c_str()));
      name.assign(name.size(), '#');
      value.assign(value.size(), '#');
    }
    ASSERT_TRUE(AppendHeader(&list, "", ""));
    int i = 0;
    for (const HeaderEntry* e = list.first; e != nullptr; e = e->next, ++i) {
      if (i == 63) {
        EXPECT_STREQ(e->name, "");
        EXPECT_STREQ(e->value, "");
        continue;
      }
      EXPECT_EQ(e->name, names[static_cast<size_t>(i)]);
      if (i % 5 == 4) {
        EXPECT_EQ(e->value, nullptr);
      } else {
        EXPECT_EQ(e->value, values[static_cast<size_t>(i)]);
      }
    }
    EXPECT_EQ(i, 64);
    EXPECT_EQ(list.last->next, nullptr);
    ClearHeaderList(&list);
    EXPECT_EQ(list.first, nullptr);
    EXPECT_EQ(list.last, nullptr);
  }
  EXPECT_FALSE(AppendHeader(&list, nullptr, "v"));
  EXPECT_FALSE(AppendHeader(nullptr, "N:", "v"));
  EXPECT_EQ(list.first, nullptr);
  ClearHeaderList(&list);  // an empty list stays empty
  EXPECT_EQ(list.first, nullptr);
}

}  // namespace
