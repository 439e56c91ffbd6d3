// Directory paths and the counted strings of the settings file. Paths use the
// platform's separator; the "Backslash" operations keep their names and act on
// that separator (a '/' on Linux). Paths are at most 260 characters.
#pragma once

#include <cstdint>
#include <cstdio>

// Result codes of CreateDirectoryPath, the platform's own numbers.
inline constexpr uint32_t kPathCreated = 0;        // ERROR_SUCCESS
inline constexpr uint32_t kPathNotFound = 3;       // ERROR_PATH_NOT_FOUND
inline constexpr uint32_t kPathAlreadyExists = 183;  // ERROR_ALREADY_EXISTS

// Removes every trailing separator. False for a null path.
bool StripTrailingBackslashes(char* path);

// Appends one separator unless there is one; false for a null path, a zero
// capacity, or when the text's length is capacity - 1 or more.
bool EnsureTrailingBackslash(char* path, int32_t capacity);

// Creates each missing directory whose name ends at a separator of `path`.
// 0 when one was created, 183 when all existed, 3 on a failure (or a null path).
uint32_t CreateDirectoryPath(const char* path);

// *out = a new text: the program's directory followed by `file_name`.
// False when `out` is null or the result exceeds 260 characters.
bool GetProgramFilePath(char** out, const char* file_name);

// Reads a 4-byte little-endian length and that many bytes into `buffer`,
// NUL-terminated. False when the length cannot be read, is `capacity` or
// more, or the text cannot be read.
bool ReadCountedString(FILE* stream, char* buffer, uint32_t capacity, uint32_t* out_length);

// Writes the length and the text (null counts as empty): the bytes written
// (length + 4), or 0 when a write fails.
uint32_t WriteCountedString(FILE* stream, const char* text);
