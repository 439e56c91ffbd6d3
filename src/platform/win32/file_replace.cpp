// The settings file's writes: the read-only attribute, replacing a file in
// one step, deleting.
#include <windows.h>

#include "platform/files.h"

bool IsFileMarkedReadOnly(const char* path) {
  if (path == nullptr) return false;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool ReplaceFileWith(const char* source, const char* target) {
  return source != nullptr && target != nullptr &&
         MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool DeleteFileNamed(const char* path) { return path != nullptr && DeleteFileA(path) != FALSE; }
