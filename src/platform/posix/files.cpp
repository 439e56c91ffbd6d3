#include "platform/files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Seconds and nanoseconds since 1970 as 100 ns units since 1601.
constexpr uint64_t kEpochDifference = 116444736000000000ULL;

uint64_t ToFileTime(const timespec& ts) {
  if (ts.tv_sec < 0) return kEpochDifference;
  return kEpochDifference + static_cast<uint64_t>(ts.tv_sec) * 10000000ULL +
         static_cast<uint64_t>(ts.tv_nsec) / 100ULL;
}

int ToFd(FileHandle file) { return static_cast<int>(file); }

// Below this size the read-ahead the kernel does anyway covers the file.
constexpr off_t kSequentialHintBytes = 256 * 1024;

void FillFileInfo(const struct stat& st, FileInfo* info) {
  uint64_t size = static_cast<uint64_t>(st.st_size);
  *info = FileInfo{};
  info->attributes = S_ISDIR(st.st_mode) ? kFileAttributeDirectory : 0;
  info->creation_time = ToFileTime(st.st_ctim);
  info->last_access_time = ToFileTime(st.st_atim);
  info->last_write_time = ToFileTime(st.st_mtim);
  info->volume_serial = static_cast<uint32_t>(st.st_dev);
  info->size_high = static_cast<uint32_t>(size >> 32);
  info->size_low = static_cast<uint32_t>(size);
  info->link_count = static_cast<uint32_t>(st.st_nlink);
  info->index_high = static_cast<uint32_t>(static_cast<uint64_t>(st.st_ino) >> 32);
  info->index_low = static_cast<uint32_t>(st.st_ino);
}

}  // namespace

PathKind QueryPathKind(const char* path) {
  struct stat st;
  if (path == nullptr || stat(path, &st) != 0) return PathKind::kMissing;
  return S_ISDIR(st.st_mode) ? PathKind::kDirectory : PathKind::kFile;
}

PathKind QueryPathInfo(const char* path, FileInfo* info) {
  struct stat st;
  *info = FileInfo{};
  if (path == nullptr || stat(path, &st) != 0) return PathKind::kMissing;
  if (S_ISDIR(st.st_mode)) return PathKind::kDirectory;
  if (S_ISREG(st.st_mode)) FillFileInfo(st, info);
  return PathKind::kFile;
}

// An open file does not keep its name from being replaced or removed here.
const int32_t kKeptFileCapacity = 64;

bool MakeDirectory(const char* path) { return path != nullptr && mkdir(path, 0777) == 0; }

FileHandle OpenFileForReading(const char* path) {
  if (path == nullptr) return kInvalidFile;
  // Opened without waiting: a FIFO would otherwise block here until a
  // writer comes. Only regular files count, checked on the open handle so
  // that the name cannot change its meaning in between.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return kInvalidFile;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return kInvalidFile;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

FileHandle OpenFileWithInfo(const char* path, FileInfo* info, PathKind* kind) {
  *kind = PathKind::kMissing;
  if (path == nullptr || info == nullptr) return kInvalidFile;
  // Without waiting: opening a named pipe for reading would block until a
  // writer came.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // A name that exists but does not open (no rights) still is a file or
    // a directory; only then is it worth a look by name.
    if (errno != ENOENT && errno != ENOTDIR) *kind = QueryPathKind(path);
    return kInvalidFile;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    *kind = QueryPathKind(path);
    return kInvalidFile;
  }
  FillFileInfo(st, info);
  *kind = S_ISDIR(st.st_mode) ? PathKind::kDirectory : PathKind::kFile;
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return kInvalidFile;
  }
  if (st.st_size > kSequentialHintBytes) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

FileHandle OpenFileForAppending(const char* path) {
  if (path == nullptr) return kInvalidFile;
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  return fd < 0 ? kInvalidFile : fd;
}

int32_t ReadFromFile(FileHandle file, void* buffer, int32_t size) {
  if (file == kInvalidFile || size < 0) return -1;
  for (;;) {
    ssize_t n = read(ToFd(file), buffer, static_cast<size_t>(size));
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return -1;
  }
}

int32_t ReadFromFileAt(FileHandle file, void* buffer, int32_t size, uint64_t offset) {
  if (file == kInvalidFile || size < 0) return -1;
  for (;;) {
    ssize_t n = pread(ToFd(file), buffer, static_cast<size_t>(size), static_cast<off_t>(offset));
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return -1;
  }
}

bool WriteToFile(FileHandle file, const void* data, int32_t size) {
  if (file == kInvalidFile || size < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(ToFd(file), p, static_cast<size_t>(size));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<int32_t>(n);
  }
  return true;
}

bool RewindFile(FileHandle file) {
  return file != kInvalidFile && lseek(ToFd(file), 0, SEEK_SET) == 0;
}

bool QueryFileInfo(FileHandle file, FileInfo* info) {
  struct stat st;
  if (file == kInvalidFile || info == nullptr || fstat(ToFd(file), &st) != 0) return false;
  FillFileInfo(st, info);
  return true;
}

void CloseFile(FileHandle file) {
  if (file != kInvalidFile) close(ToFd(file));
}

bool GetStoredFileName(FileHandle, const char* path, char* out, int32_t capacity) {
  if (path == nullptr || out == nullptr || capacity <= 0) return false;
  size_t length = std::strlen(path);
  if (length >= static_cast<size_t>(capacity)) return false;
  std::memcpy(out, path, length + 1);
  return true;
}

bool GetOwnProgramPath(char* out, int32_t capacity) {
  if (out == nullptr || capacity <= 1) return false;
  ssize_t n = readlink("/proc/self/exe", out, static_cast<size_t>(capacity));
  if (n <= 0 || n >= capacity) return false;
  out[n] = '\0';
  return true;
}

bool IsFileMarkedReadOnly(const char* path) {
  struct stat st;
  if (path == nullptr || stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool ReplaceFileWith(const char* source, const char* target) {
  return source != nullptr && target != nullptr && rename(source, target) == 0;
}

bool DeleteFileNamed(const char* path) { return path != nullptr && unlink(path) == 0; }

bool IsFolderWritable(const char* path) {
  // access() asks with the real user's rights and knows read-only mounts.
  return path != nullptr && access(path, W_OK | X_OK) == 0;
}

bool IsSystemProgramFolder(const char* path) {
  return path != nullptr && std::strncmp(path, "/usr/", 5) == 0;
}

std::string UserSettingsFolder() {
  // A relative $XDG_CONFIG_HOME is to be ignored, as if unset.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/ambrel/";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] != '/') return {};
  return std::string(home) + "/.config/ambrel/";
}
