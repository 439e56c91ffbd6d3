// The folder chooser's modal wait: the desktop's chooser runs as a child
// process (platform/shell.h) while the user-interface thread goes on
// dispatching messages, with the owner disabled meanwhile.
#include "window/folder_chooser.h"

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/shell.h"

namespace {

// Dispatches messages until the chooser has ended; true when a quit message
// arrived meanwhile (its code in *quitCode).
bool WaitForChooser(FolderChooserRun* run, int32_t* quitCode) {
  std::atomic<bool> ended{false};
  // A helper thread waits for the child and wakes the loop with an empty message.
  std::thread reaper([&] {
    WaitForFolderChooserEnd(run);
    ended = true;
    PostWindowMessage(nullptr, WM_NULL, 0, 0);
  });
  bool quit = false;
  while (!ended) {
    WindowMessage message{};
    if (!GetNextMessage(&message)) {
      quit = true;
      *quitCode = static_cast<int32_t>(message.wParam);
      StopFolderChooser(run);
      continue;
    }
    DispatchWindowMessage(&message);
  }
  reaper.join();
  return quit;
}

}  // namespace

FolderChoice ChooseFolder(WindowHandle owner, const char* title, const char* startFolder, char* out,
                          int32_t capacity) {
  if (out == nullptr || capacity <= 0) return FolderChoice::kCancelled;
  out[0] = '\0';
  FolderChooserRun* run = StartFolderChooser(title, startFolder);
  if (run == nullptr) return FolderChoice::kNoChooser;
  const bool disabled = owner != nullptr && IsWindowEnabled(owner);
  if (disabled) EnableWindow(owner, false);
  int32_t quitCode = 0;
  const bool quit = WaitForChooser(run, &quitCode);
  std::string chosen;
  const bool answered = FinishFolderChooser(run, &chosen);
  if (disabled && IsWindow(owner)) {
    EnableWindow(owner, true);
    if (IsWindowVisible(owner)) SetForegroundWindow(owner);
  }
  if (quit) {
    PostQuit(quitCode);
    return FolderChoice::kCancelled;
  }
  if (!answered || chosen.size() >= static_cast<size_t>(capacity)) return FolderChoice::kCancelled;
  std::memcpy(out, chosen.c_str(), chosen.size() + 1);
  return FolderChoice::kChosen;
}
