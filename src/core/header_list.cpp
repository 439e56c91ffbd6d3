#include "core/header_list.h"

#include "core/list.h"

void ClearHeaderList(HeaderList* list) {
  if (list == nullptr) return;
  while (list->first != nullptr) {
    HeaderEntry* entry = list->first;
    FreeAndClear(&entry->name);
    FreeAndClear(&entry->value);
    ListRemove(&list->first, &list->last, entry);
  }
  list->last = nullptr;
}

bool AppendHeader(HeaderList* list, const char* name, const char* value) {
  HeaderEntry* entry = nullptr;
  if (list == nullptr || !AllocBlock(&entry, sizeof(HeaderEntry), true, 0)) return false;
  entry->name = DupString(name);
  entry->value = DupString(value);
  if (entry->name == nullptr || (value != nullptr && entry->value == nullptr)) {
    FreeAndClear(&entry->name);
    FreeAndClear(&entry->value);
    FreeAndClear(&entry);
    return false;
  }
  return ListAppend(&list->first, &list->last, entry);
}

static char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  while (*a != '\0' && LowerAscii(*a) == LowerAscii(*b)) {
    ++a;
    ++b;
  }
  return LowerAscii(*a) == LowerAscii(*b);
}
