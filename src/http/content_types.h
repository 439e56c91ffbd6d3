// Media types of static files, by the file name's extension: a built-in
// table of what the web uses, then the system's own table (on Linux
// /etc/mime.types), read once when the first server starts. No charset is
// ever guessed, and an extension neither table knows gets no type at all.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The system's table: (extension in lower case, media type), sorted by
// extension, one row per extension.
using ContentTypeTable = std::vector<std::pair<std::string, std::string>>;

// The rows of a mime.types text: "type ext ext ..." lines, "#" comments.
// Where an extension is listed twice, its first type holds.
ContentTypeTable ParseContentTypeTable(std::string_view text);

// The media type for `extension` (without its dot; letter case ignored):
// the built-in table's, else `system`'s, else null.
const char* FindContentType(std::string_view extension, const ContentTypeTable& system);

// The same for a full file name (its last component's text after the last
// dot), with the system table loaded at start; null when there is none.
const char* ContentTypeForFile(const char* file_name);

// Reads the system's table into the process, the first time only. Called
// while no session runs (at a server's start).
void LoadSystemContentTypes();
