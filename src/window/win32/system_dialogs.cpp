// The system's dialogs: the folder chooser (SHBrowseForFolderA) and the
// message box (MessageBoxA), modal over the owner's
// native window. While it runs, the core's windows keep painting from inside
// the dialog's own loop.
#include "window/win32/win32_internal.h"

#include <shlobj.h>

#include <cstring>

#include "window/folder_chooser.h"

namespace {

// The dialog's initialisation callback: it opens on the start folder, so
// Browse starts where the field points instead of on the desktop.
int CALLBACK SelectStartFolder(HWND dialog, UINT message, LPARAM, LPARAM startFolder) {
  if (message == BFFM_INITIALIZED && startFolder != 0) {
    ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, startFolder);
  }
  return 0;
}

bool IsFolder(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  const DWORD attributes = ::GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

FolderChoice ChooseFolder(WindowHandle owner, const char* title, const char* startFolder, char* out,
                          int32_t capacity) {
  using namespace wscore;
  WindowRecord* root = Find(RootOf(owner));
  HWND ownerNative = root != nullptr ? win32::NativeOf(root) : nullptr;
  bool disabled = owner != nullptr && IsWindowEnabled(owner);
  if (disabled) EnableWindow(owner, false);
  char display[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = ownerNative;
  info.pszDisplayName = display;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  if (IsFolder(startFolder)) {
    info.lpfn = SelectStartFolder;
    info.lParam = reinterpret_cast<LPARAM>(startFolder);
  }
  win32::EnterNativeModal();
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderA(&info);
  win32::LeaveNativeModal();
  if (disabled) {
    EnableWindow(owner, true);
    if (root != nullptr) SetForegroundWindow(root->handle);
  }
  if (chosen == nullptr) return FolderChoice::kCancelled;
  char path[MAX_PATH] = {};
  bool ok = ::SHGetPathFromIDListA(chosen, path) != FALSE;
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator != nullptr) {
    allocator->Free(chosen);
    allocator->Release();
  }
  size_t length = std::strlen(path);
  if (!ok || length == 0 || static_cast<int32_t>(length) >= capacity) return FolderChoice::kCancelled;
  std::memcpy(out, path, length + 1);
  return FolderChoice::kChosen;
}

// The system's message box, modal over the owner's native window; the core's
// windows keep painting from inside its loop. Only the USER32 backend has it.
bool ShowSystemMessageBox(WindowHandle owner, const char* text, const char* caption,
                          bool errorSign) {
  using namespace wscore;
  if (CurrentWindowBackend() != WindowSystemBackend::kWin32) return false;
  WindowRecord* root = Find(RootOf(owner));
  HWND ownerNative = root != nullptr ? win32::NativeOf(root) : nullptr;
  UINT style = MB_OK | (errorSign ? MB_ICONERROR : MB_ICONINFORMATION);
  if (ownerNative == nullptr) style |= MB_TASKMODAL | MB_SETFOREGROUND;
  win32::EnterNativeModal();
  ::MessageBoxA(ownerNative, text != nullptr ? text : "", caption != nullptr ? caption : "", style);
  win32::LeaveNativeModal();
  return true;
}
