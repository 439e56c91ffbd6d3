// Header lists: the request's and the response's headers, in order. Names keep
// their trailing colon ("Content-Length:") and are looked up without regard to
// letter case; a value is null for a line that had no ": " separator.
#pragma once

#include <cstddef>

struct HeaderEntry {
  HeaderEntry* prev;
  HeaderEntry* next;
  char* name;
  char* value;
};

struct HeaderList {
  HeaderEntry* first;
  HeaderEntry* last;
};

// Each entry is one block that holds its name and value behind it: `name`
// and `value` point into the entry and are released with it, never alone.

// Releases every entry with its texts; both slots end up null.
void ClearHeaderList(HeaderList* list);

// Appends a new entry holding copies of `name` and `value` (value may be null)
// in one block. False, nothing added, for a null name or when memory runs out.
bool AppendHeader(HeaderList* list, const char* name, const char* value);

// The same for texts whose lengths the caller knows already; they need no
// NUL of their own (the entry's copies get one).
bool AppendHeaderPieces(HeaderList* list, const char* name, size_t name_length,
                        const char* value, size_t value_length);

// Case-insensitive ASCII comparison of two whole texts.
bool EqualsIgnoringCase(const char* a, const char* b);
