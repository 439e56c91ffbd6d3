#include "core/header_list.h"

#include <climits>
#include <cstring>

#include "core/list.h"

// An entry and its texts are one block: the entry, then the name with its
// NUL, then the value with its NUL. `name` and `value` point into that block,
// so one allocation makes an entry and releasing the entry releases its
// texts. Nothing may release `name` or `value` on its own.

void ClearHeaderList(HeaderList* list) {
  if (list == nullptr) return;
  while (list->first != nullptr) {
    HeaderEntry* entry = list->first;
    entry->name = nullptr;  // inside the entry's block, released with it
    entry->value = nullptr;
    ListRemove(&list->first, &list->last, entry);
  }
  list->last = nullptr;
}

bool AppendHeaderPieces(HeaderList* list, const char* name, size_t name_length,
                        const char* value, size_t value_length) {
  if (list == nullptr || name == nullptr) return false;
  const size_t name_size = name_length + 1;
  const size_t value_size = value != nullptr ? value_length + 1 : 0;
  if (name_size + value_size > static_cast<size_t>(INT32_MAX) - sizeof(HeaderEntry)) return false;
  const size_t total = sizeof(HeaderEntry) + name_size + value_size;
  HeaderEntry* entry = nullptr;
  if (!AllocBlock(&entry, static_cast<int32_t>(total), false)) return false;
  char* text = reinterpret_cast<char*>(entry + 1);
  std::memcpy(text, name, name_length);
  text[name_length] = '\0';
  entry->name = text;
  if (value != nullptr) {
    std::memcpy(text + name_size, value, value_length);
    text[name_size + value_length] = '\0';
    entry->value = text + name_size;
  } else {
    entry->value = nullptr;
  }
  entry->prev = nullptr;
  entry->next = nullptr;
  return ListAppend(&list->first, &list->last, entry);
}

bool AppendHeader(HeaderList* list, const char* name, const char* value) {
  if (name == nullptr) return false;
  return AppendHeaderPieces(list, name, std::strlen(name), value,
                            value != nullptr ? std::strlen(value) : 0);
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
