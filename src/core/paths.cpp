#include "core/paths.h"

#include <cstring>
#include <string>

#include "core/blocks.h"
#include "platform/files.h"

bool StripTrailingBackslashes(char* path) {
  if (path == nullptr) return false;
  size_t length = std::strlen(path);
  while (length > 0 && path[length - 1] == kPathSeparator) path[--length] = '\0';
  return true;
}

bool EnsureTrailingBackslash(char* path, int32_t capacity) {
  if (path == nullptr || capacity <= 0) return false;
  size_t length = std::strlen(path);
  if (length >= static_cast<size_t>(capacity) - 1) return false;
  if (length == 0 || path[length - 1] != kPathSeparator) {
    path[length] = kPathSeparator;
    path[length + 1] = '\0';
  }
  return true;
}

uint32_t CreateDirectoryPath(const char* path) {
  if (path == nullptr) return kPathNotFound;
  if (*path == '\0') return kPathAlreadyExists;
  bool created = false;
  std::string prefix;
  for (const char* p = path; *p != '\0'; ++p) {
    // A separator at the very start names the root, which always exists.
    if (*p == kPathSeparator && p != path) {
      switch (QueryPathKind(prefix.c_str())) {
        case PathKind::kMissing:
          if (!MakeDirectory(prefix.c_str())) return kPathNotFound;
          created = true;
          break;
        case PathKind::kFile:
          return kPathNotFound;
        case PathKind::kDirectory:
          break;
      }
    }
    prefix.push_back(*p);
  }
  return created ? kPathCreated : kPathAlreadyExists;
}

bool GetProgramFilePath(char** out, const char* file_name) {
  if (out == nullptr) return false;
  char program[kMaxPath + 1];
  if (!GetOwnProgramPath(program, sizeof program)) return false;
  char* cut = std::strrchr(program, kPathSeparator);
  if (cut != nullptr) cut[1] = '\0';
  std::string joined = std::string(program) + (file_name ? file_name : "");
  if (joined.size() > static_cast<size_t>(kMaxPath)) return false;
  char* copy = DupString(joined.c_str());
  if (copy == nullptr) return false;
  StripTrailingBackslashes(copy);
  *out = copy;
  return true;
}

bool ReadCountedString(FILE* stream, char* buffer, uint32_t capacity, uint32_t* out_length) {
  unsigned char bytes[4];
  if (stream == nullptr || buffer == nullptr || std::fread(bytes, 1, 4, stream) != 4) return false;
  uint32_t length = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t{bytes[3]} << 24);
  if (length >= capacity) return false;
  if (length > 0 && std::fread(buffer, 1, length, stream) != length) return false;
  buffer[length] = '\0';
  if (out_length != nullptr) *out_length = length;
  return true;
}

uint32_t WriteCountedString(FILE* stream, const char* text) {
  if (stream == nullptr) return 0;
  uint32_t length = text ? static_cast<uint32_t>(std::strlen(text)) : 0;
  unsigned char bytes[4] = {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
                            static_cast<unsigned char>(length >> 16),
                            static_cast<unsigned char>(length >> 24)};
  if (std::fwrite(bytes, 1, 4, stream) != 4) return 0;
  if (length > 0 && std::fwrite(text, 1, length, stream) != length) return 0;
  return length + 4;
}
