// Files and directories: the few verbs the engine, the log and the settings need.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform_table.h"

// kPathSeparator (platform_table.h) is the directory separator: the engine's
// "trailing backslash" operations keep directories ending in it.
inline constexpr int kMaxPath = 260;

using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// What the platform knows of an open file. Times are counted in 100 ns units
// since 1601-01-01 UTC, so they compare and convert the same on every platform.
struct FileInfo {
  uint32_t attributes;      // kFileAttributeDirectory or 0
  uint64_t creation_time;
  uint64_t last_access_time;
  uint64_t last_write_time;
  uint32_t volume_serial;
  uint32_t size_high;
  uint32_t size_low;
  uint32_t link_count;
  uint32_t index_high;
  uint32_t index_low;
};
inline constexpr uint32_t kFileAttributeDirectory = 0x10;

enum class PathKind { kMissing, kFile, kDirectory };

// What a name denotes, following links.
PathKind QueryPathKind(const char* path);

// Creates one directory. False when it could not be created.
bool MakeDirectory(const char* path);

// Opens an existing regular file read-only for sequential reading, never
// waiting on the way; kInvalidFile on failure and for anything else (a
// directory, a FIFO, a device).
FileHandle OpenFileForReading(const char* path);

// Opens an existing regular file read-only and reads its information in
// the same step (no second look-up by name). On success *kind is kFile. On
// failure kInvalidFile, and *kind tells what the name denotes: kDirectory
// for a directory, kFile for something that exists but cannot be read as a
// file (no rights, a pipe, a device), kMissing otherwise. Only files big
// enough to profit get the sequential-read hint.
FileHandle OpenFileWithInfo(const char* path, FileInfo* info, PathKind* kind);

// Opens a file for appending, creating it when missing; kInvalidFile on failure.
FileHandle OpenFileForAppending(const char* path);

// Reads up to `size` bytes: the count read, 0 at the end, -1 on an error.
int32_t ReadFromFile(FileHandle file, void* buffer, int32_t size);

// Reads up to `size` bytes from `offset` without using or moving the file's
// position, so threads sharing one open file read it side by side.
int32_t ReadFromFileAt(FileHandle file, void* buffer, int32_t size, uint64_t offset);

// What a name denotes, with the facts of a regular file into *info (kFile)
// without opening it: its identity (volume and index), size and times.
// Anything that exists but is no regular file counts as kFile with its facts
// cleared; a name that cannot be looked up is kMissing.
PathKind QueryPathInfo(const char* path, FileInfo* info);

// Regular files the file service may keep open between requests: 0 where an
// open file would stand in the way of the user replacing or deleting it.
extern const int32_t kKeptFileCapacity;

// Writes all `size` bytes. False when any of them could not be written.
bool WriteToFile(FileHandle file, const void* data, int32_t size);

// Moves the file position back to the start.
bool RewindFile(FileHandle file);

bool QueryFileInfo(FileHandle file, FileInfo* info);

// The name the file system keeps for `file`, opened as `path`, into `out`
// (`capacity` bytes): on Windows every component in its long form (an 8.3
// short name such as PAGE~1.PHT becomes page.phtml), elsewhere `path`
// itself, since names there have one form only. False when it cannot be
// learned or does not fit.
bool GetStoredFileName(FileHandle file, const char* path, char* out, int32_t capacity);

void CloseFile(FileHandle file);

// Whether an existing file is marked read-only: nobody may write it (no
// write permission bit at all), which even a privileged user's programs
// honour here, as they honour the read-only attribute elsewhere. False for a
// missing file.
bool IsFileMarkedReadOnly(const char* path);

// Puts `source` in the place of `target` in one step: whoever opens `target`
// sees either the old file whole or the new one whole. False on failure
// (then both are left as they were).
bool ReplaceFileWith(const char* source, const char* target);

// Deletes a file; false when it could not be deleted.
bool DeleteFileNamed(const char* path);

// The full file name of the running program, NUL-terminated; false when it
// does not fit `capacity` bytes.
bool GetOwnProgramPath(char* out, int32_t capacity);

// Whether this process may create files in the folder (an installed
// program's folder usually refuses its users).
bool IsFolderWritable(const char* path);

// Whether the folder is one the system installs programs into (/usr/...,
// Program Files): a program there keeps its settings in the user's own
// folder even when an administrator, who may write there, runs it.
bool IsSystemProgramFolder(const char* path);

// The folder of this user's own settings of the program, ending in the
// separator: $XDG_CONFIG_HOME/ambrel/ (else ~/.config/ambrel/) on Linux,
// %APPDATA%\Ambrel\ on Windows. Not created here; empty when the system
// names no such place.
std::string UserSettingsFolder();
