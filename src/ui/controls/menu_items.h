// The item tree shared by selectors, popup menus and the application. The
// application builds a list, hands it to a selector or a popup (each keeps a
// deep copy of its own) and frees its list afterwards: nothing is shared.
#pragma once

#include <cstdint>

struct Icon;
struct MenuItem;

// A list header; zero-initialised by its owner. `current` is the chosen item
// of a selector or the highlight of a popup.
struct MenuItemList {
  MenuItem* first;
  MenuItem* last;
  MenuItem* current;
};

// One item, allocated zero-filled. An id of -1 marks a separator.
struct MenuItem {
  MenuItem* prev;
  MenuItem* next;
  int32_t id;
  const Icon* icon;  // 16 by 16, shared, never released by the tree
  char* text;        // owned
  int32_t kind;      // 0 plain, 1 check item, 2 radio item
  int32_t group;     // radio group, compared among radio items only
  int32_t checked;
  int32_t disabled;
  int32_t left, top, right, bottom;  // laid out by a popup on its own copy
  int32_t data;                      // user data reported by selectors
  MenuItemList children;             // a non-empty list makes a submenu
};

constexpr int32_t kSeparatorId = -1;
constexpr int32_t kItemPlain = 0;
constexpr int32_t kItemCheck = 1;
constexpr int32_t kItemRadio = 2;

// Appends a new item (text copied) under the item `parentId` when the tree has
// one, else at the top of `list`. Returns the item, or null when out of memory.
MenuItem* AddMenuItem(MenuItemList* list, int32_t parentId, int32_t id, const char* text,
                      const Icon* icon, int32_t data);

// Resets `destination` (which must own no items) and fills it with a deep copy
// of `source`; every copied list starts with its first item current. Returns 1.
int CopyMenuItems(MenuItemList* destination, const MenuItemList* source);

// Frees every item of `list`, children and texts included; leaves it empty. Returns 1.
int FreeMenuItems(MenuItemList* list);

// Depth-first search in list order, each item before its children; the first
// item with `id`, or null.
MenuItem* FindMenuItem(const MenuItemList* list, int32_t id);

// Applies the marking of a chosen item: a check item flips, a radio item
// becomes the only checked one of its group in the whole tree. Returns 1 for
// the three kinds, 0 otherwise.
int MarkMenuItem(MenuItemList* list, MenuItem* item);
