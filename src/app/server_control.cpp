#include "app/server_control.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/settings_file.h"
#include "app/tray_icon.h"
#include "core/blocks.h"
#include "core/error.h"
#include "http/server.h"
#include "platform/files.h"
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

// Runs the checks of a "Running" apply in their order; null when all pass,
// else the first failure's message.
const char* CheckFields(CheckedDirectories* dirs, int32_t* phpEnabled) {
  const char* failure = nullptr;
  dirs->serving = CheckDirectoryField(Controls.servingField, kServingFileText, kServingMissingText,
                                      kServingEmptyText, &failure);
  if (dirs->serving == nullptr) return failure;
  *phpEnabled = GetSelectedItemId(Controls.phpSelector) == kItemPhpEnabled ? 1 : 0;
  if (*phpEnabled == 1) {
    dirs->php = CheckDirectoryField(Controls.phpField, kPhpFileText, kPhpMissingText, kPhpEmptyText,
                                    &failure);
    if (dirs->php == nullptr) return failure;
  }
  if (GetSelectedItemId(Controls.loggingSelector) == kItemLoggingEnabled) {
    dirs->logging = CheckDirectoryField(Controls.loggingField, kLoggingFileText, nullptr,
                                        kLoggingEmptyText, &failure);
    if (dirs->logging == nullptr) return failure;
  }
  return nullptr;
}

// Starts the engine with checked directories; null on success, else the
// failure's text.
const char* StartEngine(const CheckedDirectories& dirs, int32_t phpEnabled) {
  const int32_t scope = GetSelectedItemId(Controls.scopeSelector) - kItemLocalServer;
  const int32_t cgiEnabled = GetSelectedItemId(Controls.cgiSelector) == kItemCgiEnabled ? 1 : 0;
  StopRunningServer();
  EngineToken* token = nullptr;
  if (!AllocBlock(&token, sizeof(EngineToken), true, 0)) return nullptr;  // stays stopped, silently
  try {
    RunningServer = StartServer(dirs.logging, dirs.serving, token, scope, phpEnabled, dirs.php, cgiEnabled);
  } catch (const ErrorText& error) {
    static thread_local std::string text;
    text = error.what();
    FreeAndClear(&token);
    return text.c_str();
  }
  return nullptr;
}

}  // namespace

char* CheckDirectoryField(WindowHandle field, const char* isFileMessage, const char* missingMessage,
                          const char* emptyMessage, const char** failure) {
  char text[kPathCapacity] = {};
  GetWindowTextOf(field, text, kPathCapacity);
  if (IsBlank(text)) {
    *failure = emptyMessage;
    return nullptr;
  }
  const PathKind kind = QueryPathKind(text);
  if (missingMessage != nullptr && kind == PathKind::kMissing) {
    *failure = missingMessage;
    return nullptr;
  }
  if (kind == PathKind::kFile) {
    *failure = isFileMessage;
    return nullptr;
  }
  std::string checked = text;
  if (checked.back() != kPathSeparator) checked += kPathSeparator;
  return DupString(checked.c_str());
}

void StopRunningServer() {
  if (RunningServer == nullptr) return;
  StopServer();
  FreeAndClear(&RunningServer);
}

int32_t ApplySettings() {
  int32_t result = 1;
  const char* failure = nullptr;
  {
    CheckedDirectories dirs;
    if (GetSelectedItemId(Controls.statusSelector) == kItemNotRunning) {
      StopRunningServer();
    } else {
      int32_t phpEnabled = 0;
      failure = CheckFields(&dirs, &phpEnabled);
      if (failure == nullptr) failure = StartEngine(dirs, phpEnabled);
    }
    if (failure != nullptr) {
      StopRunningServer();
      ShowAppMessage(MainWindowHandle(), failure, kErrorCaption, MessageBoxIcon::kError);
      result = 0;
    }
    RefreshTrayIcon();
  }
  if (result == 1 && SaveSettings() == 1) {
    EnableWindow(Controls.okButton, true);
    EnableWindow(Controls.applyButton, false);
  }
  return result;
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

void OnOkButton() {
  if (!IsWindowEnabled(Controls.applyButton)) {
    HideMainWindow();
    return;
  }
  if (ApplySettings() == 1) HideMainWindow();
}

void OnApplyButton() { ApplySettings(); }

void OnCancelButton() { HideMainWindow(); }

void OnBrowseButton(WindowHandle field, const char* title) {
  char path[kPathCapacity] = {};
  if (BrowseForFolder(title, path) == 1) SetWindowTextOf(field, path);
}

int32_t BrowseForFolder(const char* title, char* outPath) {
  const FolderChoice choice = ChooseFolder(MainWindowHandle(), title, outPath, kPathCapacity);
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
