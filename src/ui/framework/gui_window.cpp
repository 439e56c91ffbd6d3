// The toolkit's start-up, window creation, message loops, centring and the
// subclassing of controls.
#include <cstring>

#include "core/blocks.h"
#include "core/list.h"
#include "platform/message_box.h"
#include "ui/framework/gui_window.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/control_colors.h"

GuiToolkitState GuiToolkit;

namespace {

SubclassEntry* FindSubclass(WindowHandle hwnd) {
  for (SubclassEntry* e = GuiToolkit.subclasses.first; e != nullptr; e = e->next) {
    if (e->hwnd == hwnd) return e;
  }
  return nullptr;
}

// The shared procedure of subclassed controls: the hook first, then the
// control's own procedure. On WM_DESTROY the entry goes away and the control
// gets its own WM_DESTROY, so it can release what it holds.
LResult SubclassDispatcher(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam) {
  SubclassEntry* entry = FindSubclass(hwnd);
  if (entry == nullptr) return 0;
  LResult result = 0;
  if (entry->hook(entry->control, hwnd, message, wParam, lParam, &result)) return result;
  WindowProc previous = entry->previous;
  if (message == WM_DESTROY) {
    ListRemove(&GuiToolkit.subclasses.first, &GuiToolkit.subclasses.last, entry);
    SetWindowProcedure(hwnd, previous);
  }
  return CallWindowProcedure(previous, hwnd, message, wParam, lParam);
}

// Creates the system window of one control, hands it the normal font and
// hooks edit fields.
void CreateControlWindow(GuiWindow* window, LayoutControl* control) {
  control->hwnd = CreateSystemWindow(control->exStyle, control->className, control->text,
                                     control->style | WS_CHILD | WS_CLIPCHILDREN, control->rect.x,
                                     control->rect.y, control->rect.width, control->rect.height,
                                     window->hwnd, control->id, nullptr);
  if (control->hwnd == nullptr) return;
  SendWindowMessage(control->hwnd, WM_SETFONT, reinterpret_cast<WParam>(GuiToolkit.normalFont), 0);
  if (control->className != nullptr && std::strcmp(control->className, "EDIT") == 0) {
    SubclassControl(control, EditHook);
  }
}

template <typename Visit>
void ForEachControl(GuiWindow* window, Visit&& visit) {
  ForEachGroup(window->groups.first, [&visit](LayoutGroup* group) {
    for (LayoutControl* c = group->controls.first; c != nullptr; c = c->next) visit(c);
  });
}

}  // namespace

int32_t InitGuiToolkit(FontHandle normalFont) {
  RegisterGuiClass(GuiWindowProc, kGuiClassName);
  if (normalFont != nullptr) {
    if (GuiToolkit.ownsFont) DeleteTextFont(&GuiToolkit.normalFont);
    GuiToolkit.normalFont = normalFont;
    GuiToolkit.ownsFont = false;
  } else if (GuiToolkit.normalFont == nullptr) {
    GuiToolkit.normalFont = SharedInterfaceFont(400);
    GuiToolkit.ownsFont = false;  // the shared font is never released
  }
  return 1;
}

void ReleaseGuiToolkit() {
  if (GuiToolkit.ownsFont) DeleteTextFont(&GuiToolkit.normalFont);
  GuiToolkit.normalFont = nullptr;
  GuiToolkit.ownsFont = false;
  DeleteSolidBrush(&GuiToolkit.staticBrush);
  while (GuiToolkit.subclasses.first != nullptr) {
    ListRemove(&GuiToolkit.subclasses.first, &GuiToolkit.subclasses.last, GuiToolkit.subclasses.first);
  }
}

int32_t RegisterGuiClass(WindowProc windowProc, const char* className) {
  WindowClass windowClass;
  windowClass.name = className;
  windowClass.procedure = windowProc;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.background = GetSysColor(COLOR_WINDOW);
  windowClass.cursor = CursorShape::kArrow;
  if (RegisterWindowClass(windowClass)) return 1;
  ShowMessageBox("Couldn't Register Class", "", MessageBoxIcon::kInformation);
  return 0;
}

int32_t CreateGuiWindow(GuiWindow* window, WindowHandle owner, const char* title, int32_t width,
                        int32_t height) {
  if (window == nullptr) return 0;
  window->clientRect = LayoutRect{0, 0, width, height};
  window->hwnd = CreateSystemWindow(WS_EX_CONTROLPARENT, kGuiClassName, title, window->style, 0, 0,
                                    width, height, owner, 0, nullptr);
  if (window->hwnd == nullptr) return 0;
  SetWindowUserData(window->hwnd, window);
  ForEachControl(window, [window](LayoutControl* c) { CreateControlWindow(window, c); });
  // Show pass: visible without moving, sizing or reordering.
  ForEachControl(window, [](LayoutControl* c) {
    SetWindowPos(c->hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  });
  CenterWindow(window->hwnd);
  // Frame pass: custom-drawn controls lay out their contents at their size.
  ForEachControl(window, [](LayoutControl* c) {
    if (c->hwnd == nullptr) return;
    SetWindowPos(c->hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    WinRect client{};
    GetClientRect(c->hwnd, &client);
    SendWindowMessage(c->hwnd, WM_SIZE, SIZE_RESTORED, MakeLParam(client.right, client.bottom));
  });
  return 1;
}

int32_t RunMessageLoop() {
  WindowMessage message{};
  while (GetNextMessage(&message)) DispatchWindowMessage(&message);
  return static_cast<int32_t>(message.wParam);
}

LResult RunModalLoop(WindowHandle owner, WindowHandle dialog) {
  WindowMessage message{};
  while (GetNextMessage(&message)) {
    if (message.message == TKM_ENDMODAL && message.window == dialog) {
      if (owner != nullptr) SetForegroundWindow(owner);
      DefaultWindowProc(dialog, WM_CLOSE, 0, 0);
      return static_cast<LResult>(message.wParam);
    }
    DispatchWindowMessage(&message);
  }
  // The quit message belongs to the outer loop too, so the program still ends.
  PostQuit(static_cast<int32_t>(message.wParam));
  return 0;
}

void CenterWindow(WindowHandle hwnd) {
  WinRect rect{};
  if (!GetWindowRect(hwnd, &rect)) return;
  int32_t screen_width = 0, screen_height = 0;
  GetScreenSize(&screen_width, &screen_height);
  int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  MoveWindow(hwnd, screen_width / 2 - width / 2, screen_height / 2 - height / 2, width, height, true);
}

int32_t SubclassControl(LayoutControl* control, SubclassHook hook) {
  if (control == nullptr || control->hwnd == nullptr || hook == nullptr) return 0;
  WindowProc previous = GetWindowProcedure(control->hwnd);
  if (previous == nullptr) return 0;
  SubclassEntry* entry = nullptr;
  if (!AllocBlock(&entry, static_cast<int32_t>(sizeof(SubclassEntry)), true)) return 0;
  entry->hwnd = control->hwnd;
  entry->previous = previous;
  entry->hook = hook;
  entry->control = control;
  ListAppend(&GuiToolkit.subclasses.first, &GuiToolkit.subclasses.last, entry);
  SetWindowProcedure(control->hwnd, SubclassDispatcher);
  return 1;
}
