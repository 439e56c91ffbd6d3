// Writes a first settings.dat for `make run` through the program's own save
// code: the settings value is filled as a user would set the main window,
// and saved; no window is involved.
//   ambrel_first_settings SETTINGS_FILE SERVING_DIR PHP_DIR LOG_DIR
// The server is "Running", scope "Local Server", PHP, CGI and logging on.
#include <cstdio>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/settings_file.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s SETTINGS_FILE SERVING_DIR PHP_DIR LOG_DIR\n", argv[0]);
    return 2;
  }
  ConsoleMode = true;  // a failed save is said on standard error
  Settings settings;
  settings.servingFolder = argv[2];
  settings.phpFolder = argv[3];
  settings.loggingFolder = argv[4];
  settings.status = kItemRunning;
  settings.scope = kItemLocalServer;
  settings.php = kItemPhpEnabled;
  settings.cgi = kItemCgiEnabled;
  settings.logging = kItemLoggingEnabled;
  const int result = SaveSettingsFile(argv[1], settings) == 1 ? 0 : 1;
  if (result == 0) std::printf("wrote %s\n", argv[1]);
  return result;
}
