#include "platform/files.h"

#include <windows.h>
// after windows.h
#include <shlobj.h>

#include <cstring>

namespace {

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle FromHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

uint64_t Join(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool EqualsIgnoringCase(const char* a, size_t length, const char* b) {
  if (std::strlen(b) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// A device name (CON, NUL, COM1, ...) with or without an extension names the
// device in every folder.
bool IsDeviceName(const char* component, size_t length) {
  size_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (EqualsIgnoringCase(component, base, device)) return true;
  }
  if (base == 4 && (EqualsIgnoringCase(component, 3, "COM") || EqualsIgnoringCase(component, 3, "LPT"))) {
    return component[3] >= '0' && component[3] <= '9';
  }
  return false;
}

// The names Windows would quietly take for another: a component ending in a
// dot or a blank ("a.php." opens "a.php"), a stream suffix ("a.php::$DATA")
// and device names. Refused, so that a request can never reach a file under
// a name that hides what kind of file it is. "." and ".." stay usable.
bool IsPlainName(const char* path) {
  const char* p = path;
  // A drive prefix "C:" is the one colon allowed.
  if (((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':') p += 2;
  while (*p != '\0') {
    while (IsSeparator(*p)) ++p;
    const char* start = p;
    while (*p != '\0' && !IsSeparator(*p)) {
      if (*p == ':') return false;
      ++p;
    }
    size_t length = static_cast<size_t>(p - start);
    if (length == 0) break;
    bool dots_only = (length == 1 && start[0] == '.') || (length == 2 && start[0] == '.' && start[1] == '.');
    if (dots_only) continue;
    if (start[length - 1] == '.' || start[length - 1] == ' ') return false;
    if (IsDeviceName(start, length)) return false;
  }
  return true;
}

}  // namespace

PathKind QueryPathKind(const char* path) {
  if (path == nullptr || !IsPlainName(path)) return PathKind::kMissing;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kDirectory : PathKind::kFile;
}

bool MakeDirectory(const char* path) {
  return path != nullptr && IsPlainName(path) && CreateDirectoryA(path, nullptr) != 0;
}

FileHandle OpenFileForReading(const char* path) {
  if (path == nullptr || !IsPlainName(path)) return kInvalidFile;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidFile;
  // Only files on a disk count as files (not a pipe or a device).
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return kInvalidFile;
  }
  return FromHandle(h);
}

FileHandle OpenFileForAppending(const char* path) {
  if (path == nullptr || !IsPlainName(path)) return kInvalidFile;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidFile;
  if (SetFilePointer(h, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    CloseHandle(h);
    return kInvalidFile;
  }
  return FromHandle(h);
}

int32_t ReadFromFile(FileHandle file, void* buffer, int32_t size) {
  if (file == kInvalidFile || size < 0) return -1;
  DWORD got = 0;
  if (!ReadFile(ToHandle(file), buffer, static_cast<DWORD>(size), &got, nullptr)) {
    // The writer of a pipe has gone: the end of what it wrote.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return static_cast<int32_t>(got);
}

int32_t ReadFromFileAt(FileHandle file, void* buffer, int32_t size, uint64_t offset) {
  if (file == kInvalidFile || size < 0) return -1;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(ToHandle(file), buffer, static_cast<DWORD>(size), &got, &at)) {
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  }
  return static_cast<int32_t>(got);
}

bool WriteToFile(FileHandle file, const void* data, int32_t size) {
  if (file == kInvalidFile || size < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(ToHandle(file), p, static_cast<DWORD>(size), &written, nullptr) || written == 0) {
      return false;
    }
    p += written;
    size -= static_cast<int32_t>(written);
  }
  return true;
}

bool RewindFile(FileHandle file) {
  return file != kInvalidFile &&
         SetFilePointer(ToHandle(file), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool QueryFileInfo(FileHandle file, FileInfo* info) {
  BY_HANDLE_FILE_INFORMATION data;
  if (file == kInvalidFile || info == nullptr || !GetFileInformationByHandle(ToHandle(file), &data)) {
    return false;
  }
  *info = FileInfo{};
  info->attributes = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kFileAttributeDirectory : 0;
  info->creation_time = Join(data.ftCreationTime);
  info->last_access_time = Join(data.ftLastAccessTime);
  info->last_write_time = Join(data.ftLastWriteTime);
  info->volume_serial = data.dwVolumeSerialNumber;
  info->size_high = data.nFileSizeHigh;
  info->size_low = data.nFileSizeLow;
  info->link_count = data.nNumberOfLinks;
  info->index_high = data.nFileIndexHigh;
  info->index_low = data.nFileIndexLow;
  return true;
}

void CloseFile(FileHandle file) {
  if (file != kInvalidFile) CloseHandle(ToHandle(file));
}

// The long name is asked of the name as opened, not of the handle, so that a
// folder reached through a junction keeps the name it was reached by (the
// handle's final name would be the junction's target). The handle's name
// stands in only when the folders cannot be listed; its "\\?\" prefix goes.
bool GetStoredFileName(FileHandle file, const char* path, char* out, int32_t capacity) {
  if (path == nullptr || out == nullptr || capacity <= 0) return false;
  DWORD n = GetLongPathNameA(path, out, static_cast<DWORD>(capacity));
  if (n > 0 && n < static_cast<DWORD>(capacity)) return true;
  n = GetFinalPathNameByHandleA(ToHandle(file), out, static_cast<DWORD>(capacity),
                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= static_cast<DWORD>(capacity)) return false;
  const char* start = out;
  if (std::strncmp(out, "\\\\?\\UNC\\", 8) == 0) {
    start = out + 6;  // "\\?\UNC\server" becomes "\\server"
    out[6] = '\\';
  } else if (std::strncmp(out, "\\\\?\\", 4) == 0) {
    start = out + 4;
  }
  std::memmove(out, start, std::strlen(start) + 1);
  return true;
}

bool GetOwnProgramPath(char* out, int32_t capacity) {
  if (out == nullptr || capacity <= 1) return false;
  DWORD n = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(capacity));
  if (n == 0 || n >= static_cast<DWORD>(capacity)) return false;
  out[n] = '\0';
  return true;
}

bool IsFileMarkedReadOnly(const char* path) {
  if (path == nullptr) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool ReplaceFileWith(const char* source, const char* target) {
  return source != nullptr && target != nullptr &&
         MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool DeleteFileNamed(const char* path) { return path != nullptr && DeleteFileA(path) != 0; }

// A file held open stands in the way of an editor that saves by replacing
// it and of deleting it: every request opens its file afresh.
const int32_t kKeptFileCapacity = 0;

PathKind QueryPathInfo(const char* path, FileInfo* info) {
  *info = FileInfo{};
  PathKind kind;
  FileHandle file = OpenFileWithInfo(path, info, &kind);
  CloseFile(file);
  return kind;
}

FileHandle OpenFileWithInfo(const char* path, FileInfo* info, PathKind* kind) {
  PathKind ignored;
  if (kind == nullptr) kind = &ignored;
  *kind = PathKind::kMissing;
  if (path == nullptr || info == nullptr || !IsPlainName(path)) return kInvalidFile;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // A directory does not open this way; anything else that exists is a
    // file that cannot be read.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      *kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kDirectory : PathKind::kFile;
    }
    return kInvalidFile;
  }
  *kind = PathKind::kFile;
  if (GetFileType(h) != FILE_TYPE_DISK || !QueryFileInfo(FromHandle(h), info)) {
    CloseHandle(h);
    return kInvalidFile;
  }
  return FromHandle(h);
}

bool IsFolderWritable(const char* path) {
  if (path == nullptr) return false;
  // The folder's access lists decide, and only trying tells: a file that
  // vanishes when closed.
  std::string probe = path;
  if (!probe.empty() && !IsSeparator(probe.back())) probe += '\\';
  probe += "ambrel-write-probe.tmp";
  HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool IsSystemProgramFolder(const char* path) {
  if (path == nullptr) return false;
  for (const int which : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
    char folder[MAX_PATH];
    if (SHGetFolderPathA(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) continue;
    const size_t length = std::strlen(folder);
    if (length > 0 && _strnicmp(path, folder, length) == 0 && IsSeparator(path[length])) return true;
  }
  return false;
}

std::string UserSettingsFolder() {
  char folder[MAX_PATH];
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return {};
  std::string result = folder;
  if (!result.empty() && !IsSeparator(result.back())) result += '\\';
  return result + "Ambrel\\";
}
