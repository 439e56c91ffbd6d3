#include "app/startup.h"

#include <cstdio>
#include <string>

#include "app/app_icons.h"
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/server_control.h"
#include "app/settings_controls.h"
#include "app/settings_file.h"
#include "app/tray_icon.h"
#include "core/blocks.h"
#include "core/error.h"
#include "core/paths.h"
#include "http/engine.h"
#include "platform/files.h"
#include "ui/controls/button.h"
#include "ui/controls/link.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"
#include "ui/controls/visual_styles.h"
#include "ui/framework/gui_window.h"
#include "ui/render/resources.h"

namespace {

void RegisterToolkitClasses() {
  LoadVisualStyles();
  InitGuiToolkit(nullptr);
  RegisterLinkClass();
  RegisterSelectorClass(nullptr);
  RegisterPopupClass(nullptr, AppIcon(3), AppIcon(4), nullptr, nullptr);
  RegisterButtonClass();
}

}  // namespace

// Without settings the server stays stopped, scope "Local Server", PHP, CGI
// and logging off, the fields empty; nothing is saved.
void ChooseDefaultSettings() {
  SendWindowMessage(Controls.statusSelector, TKM_ITEMCHOSEN, kItemNotRunning, 0);
  SendWindowMessage(Controls.phpSelector, TKM_ITEMCHOSEN, kItemPhpDisabled, 0);
  SendWindowMessage(Controls.cgiSelector, TKM_ITEMCHOSEN, kItemCgiDisabled, 0);
  SendWindowMessage(Controls.loggingSelector, TKM_ITEMCHOSEN, kItemLoggingDisabled, 0);
}

namespace {

// Console mode: nobody sees the window, so say why nothing serves. Without
// a window nobody can enter settings, so a file that was never read is
// named with the reason and the way to make one.
void ReportNotServing() {
  const std::string load = ProgramSettingsPlaces().load;
  const char* path = load.c_str();
  const bool located = !load.empty();
  const char* where = located ? path : kSettingsFileName;
  const char* why = nullptr;
  if (!located) {
    why = "the program's folder is too deep: the settings file's full name must fit in 260 "
          "characters, so settings are neither read nor saved";
  } else if (QueryPathKind(path) == PathKind::kMissing) {
    why = "there is no settings file; start the program once with a display and press Apply, "
          "or use `make run`, to write one";
  } else if (QueryPathKind(path) != PathKind::kFile) {
    why = "it is not a file";
  } else if (IsFileMarkedReadOnly(path)) {
    why = "it is marked read-only, so it is not loaded; make it writable";
  }
  if (why != nullptr) {
    std::fprintf(stderr, "%s: not serving: %s: %s; Ctrl+C ends the program\n", kAppTitle, where, why);
  } else {
    std::fprintf(stderr, "%s: not serving (the status in %s is \"Not Running\", a setting was "
                         "refused or port 80 could not be used); Ctrl+C ends the program\n",
                 kAppTitle, where);
  }
}

// One line on the terminal with the address served, in either mode; the
// console also learns how to end the program.
void ReportToTerminal(const std::string& serving) {
  if (RunningServer == nullptr) {
    if (ConsoleMode) ReportNotServing();
    return;
  }
  std::fprintf(stderr, "%s: serving %s at http://127.0.0.1/ (port 80)%s\n", kAppTitle,
               serving.c_str(), ConsoleMode ? "; Ctrl+C ends the program" : "");
}

// Without a display nobody would see a window, so none is built: the
// settings file's value is applied as it stands (and kept, as an apply
// keeps it), the terminal says what serves, and the loop waits for Ctrl+C
// or SIGTERM.
void RunWithoutWindow() {
  Settings settings;
  const SettingsPlaces places = ProgramSettingsPlaces();
  if (LoadSettingsFile(places.load.c_str(), places.load_read_only, &settings) == 1 &&
      ApplySettingsValue(settings).keepSettings) {
    SaveSettingsFile(places.save.c_str(), settings);
  }
  ReportToTerminal(settings.servingFolder);
  RunMessageLoop();
}

}  // namespace

void LoadStartupSettings() {
  if (LoadSettings() == 1) ApplySettings();
  else ChooseDefaultSettings();
}

void BuildApplicationWindow() {
  LoadAppIcons();
  RegisterToolkitClasses();
  MainFont = SharedInterfaceFont(400);
  MainBanner = LoadImageResource(AppResources(), 1000);
  if (!DescribeMainWindow() || !CreateMainWindow()) throw ErrorText(kWindowFailedText);
}

void StartApplication() {
  if (FindTopLevelWindow(kGuiClassName, kAppTitle)) throw ErrorText(kOneInstanceText);
  // The engine's thread registry is an empty list with its lock unowned from
  // the program's start; nothing is left to prepare here.
  if (ConsoleMode) {
    RunWithoutWindow();
    return;
  }
  BuildApplicationWindow();
  AddTrayIcon();
  LoadStartupSettings();
  ShowMainWindow(0);
  ReportToTerminal(GetWindowTextString(Controls.servingField));
  RunMessageLoop();
  ReleaseMainWindow();
  FreeImage(&MainBanner);
}

void ReleaseApplication() {
  ReleaseMainWindow();
  FreeImage(&MainBanner);
  MainFont = nullptr;  // shared, never released
  ReleaseGuiToolkit();
  ReleaseAppIcons();
}
