#include "ui/controls/menu_items.h"

#include "core/blocks.h"
#include "core/list.h"

namespace {

// Links `item` at the end of `list`; the first item appended becomes current.
void AppendItem(MenuItemList* list, MenuItem* item) {
  ListAppend(&list->first, &list->last, item);
  if (list->first == item) list->current = item;
}

// A zero-filled item carrying a copy of `text` (an absent text stays absent).
MenuItem* NewItem(const char* text) {
  MenuItem* item = nullptr;
  if (!AllocBlock(&item, sizeof(MenuItem), true, 0)) return nullptr;
  if (text != nullptr) {
    item->text = DupString(text);
    if (item->text == nullptr) {
      FreeAndClear(&item);
      return nullptr;
    }
  }
  return item;
}

// Clears `checked` on every radio item of `group` anywhere under `list`.
void ClearRadioGroup(MenuItemList* list, int32_t group) {
  for (MenuItem* item = list->first; item != nullptr; item = item->next) {
    if (item->kind == kItemRadio && item->group == group) item->checked = 0;
    ClearRadioGroup(&item->children, group);
  }
}

}  // namespace

MenuItem* AddMenuItem(MenuItemList* list, int32_t parentId, int32_t id, const char* text,
                      const Icon* icon, int32_t data) {
  if (list == nullptr) return nullptr;
  MenuItem* item = NewItem(text);
  if (item == nullptr) return nullptr;
  item->id = id;
  item->icon = icon;
  item->data = data;
  MenuItem* parent = FindMenuItem(list, parentId);
  AppendItem(parent != nullptr ? &parent->children : list, item);
  return item;
}

int CopyMenuItems(MenuItemList* destination, const MenuItemList* source) {
  if (destination == nullptr) return 0;
  *destination = MenuItemList{};
  if (source == nullptr) return 1;
  for (const MenuItem* from = source->first; from != nullptr; from = from->next) {
    MenuItem* copy = NewItem(from->text);
    if (copy == nullptr) break;  // out of memory: the copy ends here, still well formed
    MenuItem* prev = copy->prev;
    MenuItem* next = copy->next;
    char* text = copy->text;
    *copy = *from;
    copy->prev = prev;
    copy->next = next;
    copy->text = text;
    CopyMenuItems(&copy->children, &from->children);
    AppendItem(destination, copy);
  }
  return 1;
}

int FreeMenuItems(MenuItemList* list) {
  if (list == nullptr) return 0;
  while (list->first != nullptr) {
    MenuItem* item = list->first;
    ListUnlink(&list->first, &list->last, item);
    FreeMenuItems(&item->children);
    FreeAndClear(&item->text);
    FreeAndClear(&item);
  }
  list->last = nullptr;
  list->current = nullptr;
  return 1;
}

MenuItem* FindMenuItem(const MenuItemList* list, int32_t id) {
  if (list == nullptr) return nullptr;
  for (MenuItem* item = list->first; item != nullptr; item = item->next) {
    if (item->id == id) return item;
    MenuItem* found = FindMenuItem(&item->children, id);
    if (found != nullptr) return found;
  }
  return nullptr;
}

int MarkMenuItem(MenuItemList* list, MenuItem* item) {
  if (list == nullptr || item == nullptr) return 0;
  switch (item->kind) {
    case kItemPlain:
      return 1;
    case kItemCheck:
      item->checked = item->checked ? 0 : 1;
      return 1;
    case kItemRadio:
      ClearRadioGroup(list, item->group);
      item->checked = 1;
      return 1;
    default:
      return 0;
  }
}
