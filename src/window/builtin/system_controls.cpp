// Registration of the built-in classes, their shared font and the message
// box presenter. All of it is process-wide state of the user-interface
// thread.
#include "window/builtin/system_controls.h"

#include "ui/render/sys_colors.h"

namespace {

struct SystemControlsState {
  bool started = false;
  bool registered = false;
  FontHandle font = nullptr;
};

SystemControlsState SystemControls;

void PresentMessageBox(const char* text, const char* caption, MessageBoxIcon icon) {
  ShowOwnedMessageBox(nullptr, text, caption, icon);
}

bool RegisterClasses() {
  WindowClass edit{kEditClassName, EditWindowProc};
  edit.style = CS_DBLCLKS;
  edit.background = GetSysColor(COLOR_WINDOW);
  WindowClass text{kStaticClassName, StaticWindowProc};
  WindowClass box{kMessageBoxClassName, MessageBoxWindowProc};
  box.background = GetSysColor(COLOR_BTNFACE);
  bool ok = RegisterWindowClass(edit);
  ok = RegisterWindowClass(text) && ok;
  return RegisterWindowClass(box) && ok;
}

}  // namespace

bool StartSystemControls() {
  if (SystemControls.started) return SystemControls.registered;
  SystemControls.started = true;
  SystemControls.registered = RegisterClasses();
  SetMessageBoxPresenter(PresentMessageBox);
  return SystemControls.registered;
}

void StopSystemControls() {
  if (!SystemControls.started) return;
  SetMessageBoxPresenter(nullptr);
  UnregisterWindowClass(kEditClassName);
  UnregisterWindowClass(kStaticClassName);
  UnregisterWindowClass(kMessageBoxClassName);
  SystemControls = SystemControlsState{};  // its font is the shared one, never released
}

FontHandle GetSystemControlFont() {
  if (!SystemControls.font) SystemControls.font = SharedInterfaceFont(400);
  return SystemControls.font;
}
