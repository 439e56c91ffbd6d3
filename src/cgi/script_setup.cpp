#include "cgi/script_setup.h"

#include <cstring>

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

// The request header's value under its CGI name, only when it is not empty.
void AddHeaderEntry(std::string* block, const Connection& c, const char* variable,
                    const char* header) {
  const char* value = FindRequestHeader(&c, header);
  if (value != nullptr && *value != '\0') AddEntry(block, variable, value);
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
  AddHeaderEntry(&block, c, "HTTP_USER_AGENT", "User-Agent:");
  AddHeaderEntry(&block, c, "HTTP_ACCEPT", "Accept:");
  AddHeaderEntry(&block, c, "HTTP_ACCEPT_ENCODING", "Accept-Encoding:");
  AddHeaderEntry(&block, c, "HTTP_ACCEPT_CHARSET", "Accept-Charset:");
  AddHeaderEntry(&block, c, "HTTP_ACCEPT_LANGUAGE", "Accept-Language:");
  AddHeaderEntry(&block, c, "HTTP_COOKIE", "Cookie:");
  AddHeaderEntry(&block, c, "HTTP_HOST", "Host:");
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
