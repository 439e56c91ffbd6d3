#include "cgi/script_setup.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "http/engine.h"
#include "http/request_reader.h"
#include "platform/files.h"
#include "platform/process.h"

namespace {

// Buffer the server's own variables are fetched with; longer ones are left out.
constexpr int32_t kOwnVariableCapacity = 4096;

void AddEntry(std::string* block, const char* name, const char* value) {
  block->append(name);
  block->push_back('=');
  if (value != nullptr) block->append(value);
  block->push_back('\0');
}

// The request headers the table names, each passed under its own variable
// only when its value is not empty.
struct HeaderVariable {
  const char* variable;
  const char* header;
};
constexpr HeaderVariable kHeaderVariables[] = {
    {"HTTP_USER_AGENT", "User-Agent:"},
    {"HTTP_ACCEPT", "Accept:"},
    {"HTTP_ACCEPT_ENCODING", "Accept-Encoding:"},
    {"HTTP_ACCEPT_CHARSET", "Accept-Charset:"},
    {"HTTP_ACCEPT_LANGUAGE", "Accept-Language:"},
    {"HTTP_COOKIE", "Cookie:"},
    {"HTTP_HOST", "Host:"},
};

// Request headers that never reach a script under their own HTTP_ name:
// the body's two are CONTENT_TYPE and CONTENT_LENGTH already, and
// HTTP_PROXY is where HTTP libraries look for the proxy to use, so a client
// could send a script's own requests through a host of its choice.
constexpr const char* kHeadersNotPassed[] = {"Content-Type", "Content-Length", "Proxy"};

void AddHeaderEntry(std::string* block, const Connection& c, const HeaderVariable& row) {
  const char* value = FindRequestHeader(&c, row.header);
  if (value != nullptr && *value != '\0') AddEntry(block, row.variable, value);
}

// The CGI name of a request header ("X-WP-Nonce:" gives HTTP_X_WP_NONCE);
// empty for a name holding anything but letters, digits and '-', which has
// no unambiguous one.
std::string HeaderVariableName(const char* header) {
  std::string name = "HTTP_";
  for (const char* p = header; *p != '\0' && *p != ':'; ++p) {
    const char c = *p;
    if (c == '-') {
      name.push_back('_');
    } else if (c >= 'a' && c <= 'z') {
      name.push_back(static_cast<char>(c - 'a' + 'A'));
    } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      name.push_back(c);
    } else {
      return "";
    }
  }
  return name.size() > 5 ? name : "";
}

// True for the variables the table gives and the headers never passed.
bool VariableIsTaken(const std::string& variable) {
  for (const HeaderVariable& row : kHeaderVariables) {
    if (variable == row.variable) return true;
  }
  for (const char* header : kHeadersNotPassed) {
    if (variable == HeaderVariableName(header)) return true;
  }
  return false;
}

// Every other request header as HTTP_ and its name, in the order of first
// arrival; a name sent more than once gets its values joined with ", ".
void AddOtherHeaderEntries(std::string* block, const Connection& c) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (const HeaderEntry* e = c.request_headers.first; e != nullptr; e = e->next) {
    std::string variable = HeaderVariableName(e->name);
    if (variable.empty() || VariableIsTaken(variable)) continue;
    const char* value = e->value != nullptr ? e->value : "";
    auto same = std::find_if(entries.begin(), entries.end(),
                             [&](const auto& entry) { return entry.first == variable; });
    if (same == entries.end()) {
      entries.emplace_back(std::move(variable), value);
    } else {
      same->second.append(", ").append(value);
    }
  }
  for (const auto& [variable, value] : entries) AddEntry(block, variable.c_str(), value.c_str());
}

// The port of a socket address, kept in network byte order (high byte first).
std::string PortText(const SocketAddressV4& address) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&address.port_network_order);
  return std::to_string((bytes[0] << 8) | bytes[1]);
}

bool NamesExistingFile(const std::string& name) {
  return !name.empty() && QueryPathKind(name.c_str()) == PathKind::kFile;
}

}  // namespace

std::string BuildScriptEnvironment(const Connection& c) {
  std::string block;
  if (c.query != nullptr) {
    AddEntry(&block, "QUERY_STRING", c.query);
    AddEntry(&block, "REDIRECT_QUERY_STRING", c.query);
  }
  AddEntry(&block, "CONTENT_LENGTH", std::to_string(c.content_length).c_str());
  AddEntry(&block, "CONTENT_TYPE", FindRequestHeader(&c, "Content-type:"));
  AddEntry(&block, "GATEWAY_INTERFACE", "CGI/1.1");
  AddEntry(&block, "DOCUMENT_ROOT", c.document_root);
  AddEntry(&block, "SCRIPT_FILENAME", c.file_path);
  AddEntry(&block, "SCRIPT_NAME", ScriptUrlPath(c).c_str());
  AddEntry(&block, "REDIRECT_STATUS", "200");
  AddEntry(&block, "REDIRECT_URL", c.request_path);
  AddEntry(&block, "REQUEST_URI", c.target);
  // The path after the script's own name, which a request here never has (a
  // path names a file or nothing). The request's path in it would make PHP
  // report the script's address twice over in PHP_SELF.
  AddEntry(&block, "PATH_INFO", "");
  AddEntry(&block, "PATH_TRANSLATED", c.file_path);
  for (const HeaderVariable& row : kHeaderVariables) AddHeaderEntry(&block, c, row);
  AddEntry(&block, "SERVER_ADDR", c.local_text);
  AddEntry(&block, "SERVER_PORT", PortText(c.local_address).c_str());
  AddEntry(&block, "REMOTE_ADDR", c.peer_text);
  AddEntry(&block, "REMOTE_PORT", PortText(c.peer_address).c_str());
  AddEntry(&block, "SERVER_NAME", kServerSoftwareName);
  AddEntry(&block, "SERVER_PROTOCOL", "HTTP/1.1");
  AddEntry(&block, "REQUEST_METHOD", c.method);
  char own[kOwnVariableCapacity];
  for (int32_t i = 0; i < kPassedVariableCount; ++i) {
    if (GetOwnEnvironmentVariable(kPassedVariables[i].own_name, own, sizeof own)) {
      AddEntry(&block, kPassedVariables[i].child_name, own);
    }
  }
  AddOtherHeaderEntries(&block, c);
  block.push_back('\0');
  return block;
}

bool ChoosePhpCommand(const char* php_directory, const char* file_path, ScriptCommand* out) {
  std::string directory = php_directory != nullptr ? php_directory : "";
  for (const char* program : {kPhpCgiProgram, kPhpProgram}) {
    if (NamesExistingFile(directory + program)) {
      *out = ScriptCommand{directory + program, file_path != nullptr ? file_path : ""};
      return true;
    }
  }
  return false;
}

bool ChooseCgiCommand(const char* file_path, const char* first_bytes, int32_t count,
                      ScriptCommand* out) {
  if (file_path == nullptr || first_bytes == nullptr || count <= 0) return false;
  std::string bytes(first_bytes, static_cast<size_t>(count));
  size_t magic_length = sizeof kExecutableMagic - 1;
  if (bytes.compare(0, 2, "#!") == 0) {
    // The interpreter line up to its CR or LF names the program as a whole,
    // so an interpreter line with arguments names no file and fails.
    size_t end = bytes.find_first_of("\r\n", 2);
    *out = ScriptCommand{bytes.substr(2, end == std::string::npos ? end : end - 2), file_path};
  } else if (bytes.compare(0, magic_length, kExecutableMagic) == 0) {
    *out = ScriptCommand{file_path, ""};
  } else {
    return false;
  }
  return NamesExistingFile(out->program);
}

std::string ScriptUrlPath(const Connection& c) {
  const char* name = c.file_path != nullptr ? c.file_path : "";
  size_t root_length = c.document_root != nullptr ? std::strlen(c.document_root) : 0;
  // The full name is the serving directory followed by the path.
  if (root_length > 0 && std::strncmp(name, c.document_root, root_length) == 0) {
    name += root_length;
  }
  std::string url = "/";
  for (const char* p = name; *p != '\0'; ++p) {
    if (p == name && *p == kPathSeparator) continue;
    url.push_back(*p == kPathSeparator ? '/' : *p);
  }
  return url;
}

std::string ScriptWorkingDirectory(const char* file_path) {
  std::string name = file_path != nullptr ? file_path : "";
  size_t cut = name.rfind(kPathSeparator);
  return cut == std::string::npos ? name : name.substr(0, cut);
}
