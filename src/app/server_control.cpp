#include "app/server_control.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "app/app_state.h"
#include "app/engine_state.h"
#include "app/settings.h"
#include "app/settings_controls.h"
#include "core/blocks.h"
#include "core/error.h"
#include "http/server.h"
#include "log/script_error_log.h"
#include "platform/files.h"
#include "platform/platform_table.h"
#include "platform/shell.h"
#include "window/folder_chooser.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"

namespace {

constexpr int32_t kPathCapacity = 261;  // 260 characters and the terminator

// The directories an apply hands to the engine; released whatever happens.
struct CheckedDirectories {
  char* serving = nullptr;
  char* php = nullptr;
  char* logging = nullptr;
  ~CheckedDirectories() {
    FreeAndClear(&serving);
    FreeAndClear(&php);
    FreeAndClear(&logging);
  }
};

bool IsBlank(const char* text) {
  for (; *text != '\0'; ++text)
    if (*text != ' ') return false;
  return true;
}

// Checks one folder's text (at most 260 characters count), as
// CheckDirectoryField does for a field.
char* CheckDirectoryText(std::string text, const char* isFileMessage, const char* missingMessage,
                         const char* emptyMessage, const char** failure) {
  if (text.size() >= static_cast<size_t>(kPathCapacity)) text.resize(kPathCapacity - 1);
  if (IsBlank(text.c_str())) {
    *failure = emptyMessage;
    return nullptr;
  }
  const PathKind kind = QueryPathKind(text.c_str());
  if (missingMessage != nullptr && kind == PathKind::kMissing) {
    *failure = missingMessage;
    return nullptr;
  }
  if (kind == PathKind::kFile) {
    *failure = isFileMessage;
    return nullptr;
  }
  if (text.back() != kPathSeparator) text += kPathSeparator;
  return DupString(text.c_str());
}

// Runs the checks of a "Running" apply in their order; null when all pass,
// else the first failure's message.
const char* CheckFolders(const Settings& settings, CheckedDirectories* dirs) {
  const char* failure = nullptr;
  dirs->serving = CheckDirectoryText(settings.servingFolder, kServingFileText, kServingMissingText,
                                     kServingEmptyText, &failure);
  if (dirs->serving == nullptr) return failure;
  if (settings.php == kItemPhpEnabled) {
    dirs->php = CheckDirectoryText(settings.phpFolder, kPhpFileText, kPhpMissingText, kPhpEmptyText,
                                   &failure);
    if (dirs->php == nullptr) return failure;
  }
  if (settings.logging == kItemLoggingEnabled) {
    dirs->logging = CheckDirectoryText(settings.loggingFolder, kLoggingFileText, nullptr,
                                       kLoggingEmptyText, &failure);
    if (dirs->logging == nullptr) return failure;
  }
  return nullptr;
}

// Why an apply failed: the box to show. A check or a refused start is the
// main window's "Error"; a socket that would not listen keeps the engine's
// own "Server Error" box, which has no owner.
struct ApplyFailure {
  const char* text = nullptr;
  const char* caption = kErrorCaption;
  MessageBoxIcon icon = MessageBoxIcon::kError;
  bool ownedByMainWindow = true;
  bool settingsSound = false;  // every check passed; only the port was refused
};

// The terminal line that says why nothing serves after a refused bind; with
// logging on, the script error file says it too.
void SayWhyNotServing(const ListenFailure& failure, const char* logDirectory) {
  std::string why;
  switch (failure.why()) {
    case BindRefusal::kAddressInUse:
      why = "port 80 is in use by another program";
      break;
    case BindRefusal::kNoPermission: {
      char program[kPathCapacity] = {};
      why = std::string("this program may not use port 80: ") + kPortPermissionAdvice;
      if (kPortPermissionAdviceNamesProgram && GetOwnProgramPath(program, kPathCapacity)) {
        why += program;
      }
      break;
    }
    case BindRefusal::kOther:
      why = failure.what();
      break;
  }
  std::fprintf(stderr, "%s: not serving: %s\n", kAppTitle, why.c_str());
  NoteInScriptErrorFile(logDirectory, kAppTitle, "not serving: " + why);
}

// Starts the engine with checked directories; no text on success.
ApplyFailure StartEngine(const Settings& settings, const CheckedDirectories& dirs) {
  const int32_t scope = settings.scope - kItemLocalServer;
  const int32_t phpEnabled = settings.php == kItemPhpEnabled ? 1 : 0;
  const int32_t cgiEnabled = settings.cgi == kItemCgiEnabled ? 1 : 0;
  StopRunningServer();
  EngineToken* token = nullptr;
  if (!AllocBlock(&token, sizeof(EngineToken), true, 0)) return {};  // stays stopped, silently
  static thread_local std::string text;
  try {
    RunningServer = StartServer(dirs.logging, dirs.serving, token, scope, phpEnabled, dirs.php, cgiEnabled);
    return {};
  } catch (const ListenFailure& error) {
    FreeAndClear(&token);
    SayWhyNotServing(error, dirs.logging);
    text = error.what();
    return {text.c_str(), kServerErrorCaption, MessageBoxIcon::kInformation, false, true};
  } catch (const ErrorText& error) {
    FreeAndClear(&token);
    text = error.what();
    return {text.c_str()};
  }
}

}  // namespace

char* CheckDirectoryField(WindowHandle field, const char* isFileMessage, const char* missingMessage,
                          const char* emptyMessage, const char** failure) {
  char text[kPathCapacity] = {};
  GetWindowTextOf(field, text, kPathCapacity);
  return CheckDirectoryText(text, isFileMessage, missingMessage, emptyMessage, failure);
}

void StopRunningServer() {
  if (RunningServer == nullptr) return;
  StopServer();
  FreeAndClear(&RunningServer);
}

ApplyOutcome ApplySettingsValue(const Settings& settings) {
  ApplyFailure failure;
  {
    CheckedDirectories dirs;
    if (settings.status == kItemNotRunning) {
      StopRunningServer();
    } else {
      failure.text = CheckFolders(settings, &dirs);
      if (failure.text == nullptr) failure = StartEngine(settings, dirs);
    }
    if (failure.text != nullptr) {
      StopRunningServer();
      ShowAppMessage(failure.ownedByMainWindow ? MainWindowHandle() : nullptr, failure.text,
                     failure.caption, failure.icon);
    }
  }
  const bool taken = failure.text == nullptr;
  NoticeEngineState(!taken                     ? EngineState::kFailed
                    : RunningServer != nullptr ? EngineState::kStarted
                                               : EngineState::kStopped);
  // After a refused port the settings themselves are sound: they are kept,
  // so the next start tries the port again.
  return {taken ? 1 : 0, taken || failure.settingsSound};
}

int32_t ApplySettings() {
  // The checks read up to 260 characters of each field, one more than the
  // settings file keeps.
  Settings settings = SettingsFromControls();
  const WindowHandle fields[] = {Controls.servingField, Controls.phpField, Controls.loggingField};
  for (size_t i = 0; i < std::size(fields); ++i) {
    char text[kPathCapacity] = {};
    GetWindowTextOf(fields[i], text, kPathCapacity);
    settings.*kSettingsFolders[i] = text;
  }
  const ApplyOutcome outcome = ApplySettingsValue(settings);
  if (outcome.result == 1 && SaveSettings() == 1) {
    EnableWindow(Controls.okButton, true);
    EnableWindow(Controls.applyButton, false);
  } else if (outcome.result == 0 && outcome.keepSettings) {
    SaveSettings();  // Apply stays enabled to try the port again now
  }
  return outcome.result;
}

void OnFieldChanged() {
  if (SettingsLoading || IsWindowEnabled(Controls.applyButton)) return;
  EnableWindow(Controls.okButton, true);
  EnableWindow(Controls.applyButton, true);
}

void OnSelectorChoice() {
  EnableWindow(Controls.okButton, true);
  EnableWindow(Controls.applyButton, true);
}

void OnApplyButton() { ApplySettings(); }

// The chooser opens on the folder the field names; a cancel leaves the
// field as it was.
void OnBrowseButton(WindowHandle field, const char* title) {
  char path[kPathCapacity] = {};
  GetWindowTextOf(field, path, kPathCapacity);
  if (BrowseForFolder(title, path) == 1) SetWindowTextOf(field, path);
}

int32_t BrowseForFolder(const char* title, char* outPath) {
  const std::string start = outPath;
  const FolderChoice choice =
      ChooseFolder(MainWindowHandle(), title, start.c_str(), outPath, kPathCapacity);
  if (choice == FolderChoice::kNoChooser) {
    const std::string text = std::string("No folder chooser is installed. Install the package \"") +
                             kFolderChooserPackage + "\" (or \"kdialog\") to browse for folders.";
    ShowAppMessage(MainWindowHandle(), text.c_str(), kErrorCaption, MessageBoxIcon::kInformation);
    return 0;
  }
  return choice == FolderChoice::kChosen && outPath[0] != '\0' ? 1 : 0;
}

void StartServerCommand() {
  SendWindowMessage(Controls.statusSelector, TKM_ITEMCHOSEN, kItemRunning, 0);
  ApplySettings();
}

void ShutdownServerCommand() {
  SendWindowMessage(Controls.statusSelector, TKM_ITEMCHOSEN, kItemNotRunning, 0);
  ApplySettings();
}
