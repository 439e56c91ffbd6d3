#include "cgi/script_gateway.h"

#include <cstring>

#include "core/header_list.h"
#include "http/engine.h"

namespace {

bool EndsWithIgnoringCase(const char* name, size_t length, const char* ending) {
  size_t n = std::strlen(ending);
  return length >= n && EqualsIgnoringCase(name + length - n, ending);
}

}  // namespace

bool IsPhpScript(const char* file_name) {
  if (!g_server_settings.php_enabled || file_name == nullptr) return false;
  size_t length = std::strlen(file_name);
  return (length > 4 && EndsWithIgnoringCase(file_name, length, ".php")) ||
         (length > 5 && (EndsWithIgnoringCase(file_name, length, ".php3") ||
                         EndsWithIgnoringCase(file_name, length, ".php4"))) ||
         (length > 6 && EndsWithIgnoringCase(file_name, length, ".phtml"));
}

bool IsCgiScript(const char* file_name) {
  if (!g_server_settings.cgi_enabled || file_name == nullptr) return false;
  size_t length = std::strlen(file_name);
  if (length <= 4) return false;
  return std::strstr(file_name, "/cgi-bin/") != nullptr ||
         EndsWithIgnoringCase(file_name, length, ".cgi");
}

// FIXME: placeholder until the gateway lands; answers every script with 500.
int32_t RunScript(Connection*, bool) { return 500; }
