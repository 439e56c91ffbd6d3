#include "http/content_types.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/files.h"
#include "platform/platform_table.h"

namespace {

struct BuiltInType {
  std::string_view extension;  // lower case
  const char* type;
};

// What pages, their scripts, styles, images, fonts and media use. These win
// over the system's table, so a page behaves the same on every machine
// (module scripts need a JavaScript type, SVG images an SVG one).
constexpr BuiltInType kBuiltInTypes[] = {
    {"html", "text/html"},         {"htm", "text/html"},
    {"xhtml", "application/xhtml+xml"},
    {"css", "text/css"},           {"js", "text/javascript"},
    {"mjs", "text/javascript"},    {"json", "application/json"},
    {"map", "application/json"},   {"webmanifest", "application/manifest+json"},
    {"wasm", "application/wasm"},  {"xml", "application/xml"},
    {"rss", "application/rss+xml"}, {"atom", "application/atom+xml"},
    {"txt", "text/plain"},         {"csv", "text/csv"},
    {"md", "text/markdown"},       {"vtt", "text/vtt"},
    {"svg", "image/svg+xml"},      {"png", "image/png"},
    {"apng", "image/apng"},        {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},        {"gif", "image/gif"},
    {"webp", "image/webp"},        {"avif", "image/avif"},
    {"ico", "image/x-icon"},       {"bmp", "image/bmp"},
    {"tif", "image/tiff"},         {"tiff", "image/tiff"},
    {"woff", "font/woff"},         {"woff2", "font/woff2"},
    {"ttf", "font/ttf"},           {"otf", "font/otf"},
    {"eot", "application/vnd.ms-fontobject"},
    {"pdf", "application/pdf"},    {"zip", "application/zip"},
    {"gz", "application/gzip"},
    {"mp4", "video/mp4"},          {"webm", "video/webm"},
    {"ogv", "video/ogg"},          {"mp3", "audio/mpeg"},
    {"m4a", "audio/mp4"},          {"ogg", "audio/ogg"},
    {"oga", "audio/ogg"},          {"opus", "audio/ogg"},
    {"wav", "audio/wav"},          {"flac", "audio/flac"},
};

// Longer extensions are in neither table that matters to a browser; they
// are looked up no further, so the lower-case copy fits on the stack.
constexpr size_t kExtensionCapacity = 64;

// The process's copy of the system table, written once before any session
// reads it. Never destroyed: a session may still serve a file while the
// program ends without stopping its engine.
ContentTypeTable& SystemTypes = *new ContentTypeTable;
std::once_flag SystemTypesLoaded;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next blank-separated word of `line` from `*at` on; empty at the end.
std::string_view NextWord(std::string_view line, size_t* at) {
  while (*at < line.size() && IsBlank(line[*at])) ++*at;
  size_t start = *at;
  while (*at < line.size() && !IsBlank(line[*at])) ++*at;
  return line.substr(start, *at - start);
}

bool ExtensionBefore(const std::pair<std::string, std::string>& row, std::string_view extension) {
  return std::string_view(row.first) < extension;
}

}  // namespace

ContentTypeTable ParseContentTypeTable(std::string_view text) {
  ContentTypeTable table;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    line = line.substr(0, line.find('#'));
    size_t at = 0;
    std::string_view type = NextWord(line, &at);
    for (std::string_view word = NextWord(line, &at); !word.empty(); word = NextWord(line, &at)) {
      std::string extension(word);
      std::transform(extension.begin(), extension.end(), extension.begin(), LowerAscii);
      table.emplace_back(std::move(extension), std::string(type));
    }
  }
  // Sorted with the file's order kept among equals, so the first listing
  // of an extension is the one that stays.
  std::stable_sort(table.begin(), table.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  table.erase(std::unique(table.begin(), table.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              table.end());
  return table;
}

const char* FindContentType(std::string_view extension, const ContentTypeTable& system) {
  if (extension.empty() || extension.size() >= kExtensionCapacity) return nullptr;
  char lower[kExtensionCapacity];
  for (size_t i = 0; i < extension.size(); ++i) lower[i] = LowerAscii(extension[i]);
  const std::string_view key(lower, extension.size());
  for (const BuiltInType& row : kBuiltInTypes) {
    if (key == row.extension) return row.type;
  }
  auto found = std::lower_bound(system.begin(), system.end(), key, ExtensionBefore);
  return found != system.end() && found->first == key ? found->second.c_str() : nullptr;
}

const char* ContentTypeForFile(const char* file_name) {
  if (file_name == nullptr) return nullptr;
  const char* dot = std::strrchr(file_name, '.');
  // A dot in a folder's name is no extension of the file's.
  if (dot == nullptr || std::strchr(dot, kPathSeparator) != nullptr) return nullptr;
  return FindContentType(dot + 1, SystemTypes);
}

void LoadSystemContentTypes() {
  std::call_once(SystemTypesLoaded, [] {
    if (kSystemContentTypesFile == nullptr) return;
    FileHandle file = OpenFileForReading(kSystemContentTypesFile);
    if (file == kInvalidFile) return;  // the built-in table alone
    std::string text;
    char piece[16384];
    for (int32_t n; (n = ReadFromFile(file, piece, sizeof piece)) > 0;) text.append(piece, n);
    CloseFile(file);
    SystemTypes = ParseContentTypeTable(text);
  });
}
