// The script gateway: PHP pages and CGI programs run as child processes.
#pragma once

#include <cstdint>

struct Connection;

// Both tests are asked of a file's name as the file system keeps it
// (GetStoredFileName), so that no other spelling of a script's name on
// Windows (letter case, an 8.3 short name) makes it a plain file.

// PHP is on and the name ends in ".php", ".php3", ".php4" or ".phtml" (any case).
bool IsPhpScript(const char* file_name);

// CGI is on and the full name holds the CGI folder marker ("/cgi-bin/"
// exactly; on Windows "\cgi-bin\" in any letter case) or ends in ".cgi"
// (any case).
bool IsCgiScript(const char* file_name);

// Runs the connection's `file_path` as PHP (is_php) or as a CGI program and
// relays its output: 200 when the output was relayed, 500 otherwise.
int32_t RunScript(Connection* connection, bool is_php);
