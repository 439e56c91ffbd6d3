// Open files of recently served names, kept between requests so that a
// request for a file served before costs a look-up by name instead of an
// open and a close. Only the open file is kept, never its bytes: every
// request reads the file as it is now, at explicit offsets, so the threads
// sharing one open file never disturb each other.
#pragma once

#include <cstdint>

#include "platform/files.h"

// A file taken for one request: `file` is kInvalidFile when none opened.
// `slot` is 1 + the table entry holding it, 0 when the file is the
// request's own (the table was full or keeps nothing) and is closed at the end.
struct KeptFile {
  FileHandle file;
  int32_t slot;
};

// Opens the regular file `path` for one request, or takes the open file kept
// for that name when the name still denotes the same file: same volume and
// index, size, last-write and change times (anything that rewrote, replaced,
// removed or re-permitted it counts as a change and opens it afresh). *info
// gets the file's facts as they are now; on failure *kind says what the name
// denotes, as OpenFileWithInfo does.
KeptFile TakeFile(const char* path, FileInfo* info, PathKind* kind);

// Gives back what TakeFile gave: a request's own file is closed, a kept one
// stays open for the next request of its name.
void GiveBackFile(KeptFile* taken);

// Closes every kept file no request holds (the server stops; tests).
void CloseKeptFiles();

// How many files are kept open now, held by a request or not.
int32_t KeptFileCount();
