// Window records: classes, creation, destruction, the window tree and the
// per-window slots (styles, user data, procedure, text).
#include <algorithm>

#include "window/core/core.h"

namespace wscore {

CoreState& State() {
  static CoreState state;
  return state;
}

WindowHandle MakeHandle(uintptr_t id) { return reinterpret_cast<WindowHandle>(id); }

WindowRecord* Find(WindowHandle window) {
  CoreState& s = State();
  if (window == nullptr || !s.running) return nullptr;
  auto it = s.windows.find(reinterpret_cast<uintptr_t>(window));
  return it == s.windows.end() ? nullptr : it->second.get();
}

WindowRecord* FindByNative(uintptr_t native) {
  for (auto& [id, record] : State().windows) {
    if (record->native == native) return record.get();
  }
  return nullptr;
}

WindowHandle RootOf(WindowHandle window) {
  WindowRecord* record = Find(window);
  while (record != nullptr && record->parent != nullptr) {
    window = record->parent;
    record = Find(window);
  }
  return record ? window : nullptr;
}

bool IsInside(WindowHandle window, WindowHandle maybeDescendant) {
  for (WindowRecord* r = Find(maybeDescendant); r != nullptr; r = Find(r->parent)) {
    if (r->handle == window) return true;
  }
  return false;
}

WinPoint ScreenOrigin(const WindowRecord* window) {
  WinPoint origin{0, 0};
  for (const WindowRecord* r = window; r != nullptr; r = Find(r->parent)) {
    origin.x += r->x;
    origin.y += r->y;
  }
  return origin;
}

namespace {

// Pre-order list of a window and everything below it.
void CollectTree(WindowHandle window, std::vector<WindowHandle>* out) {
  WindowRecord* record = Find(window);
  if (record == nullptr) return;
  out->push_back(window);
  for (WindowHandle child : record->children) CollectTree(child, out);
}

void Unlink(WindowRecord* record) {
  CoreState& s = State();
  std::vector<WindowHandle>* list = &s.topLevels;
  if (WindowRecord* parent = Find(record->parent)) list = &parent->children;
  list->erase(std::remove(list->begin(), list->end(), record->handle), list->end());
}

// Clears every reference the core keeps to a window that is going away.
void ForgetReferences(WindowHandle window) {
  CoreState& s = State();
  if (s.pointerWindow == window) s.pointerWindow = nullptr;
  if (s.lastClickWindow == window) s.lastClickWindow = nullptr;
  if (s.capture == window) s.capture = nullptr;
  if (s.focus == window) s.focus = nullptr;
  if (s.active == window) s.active = nullptr;
  ForgetTimers(window);
}

}  // namespace

}  // namespace wscore

using namespace wscore;

bool RegisterWindowClass(const WindowClass& windowClass) {
  CoreState& s = State();
  if (!s.running || windowClass.name == nullptr || windowClass.procedure == nullptr) return false;
  if (s.classes.count(windowClass.name) != 0) return false;
  auto record = std::make_unique<ClassRecord>();
  record->name = windowClass.name;
  record->procedure = windowClass.procedure;
  record->style = windowClass.style;
  record->background = windowClass.background;
  record->cursor = windowClass.cursor;
  s.classes[record->name] = std::move(record);
  return true;
}

bool UnregisterWindowClass(const char* name) {
  CoreState& s = State();
  if (name == nullptr) return false;
  auto it = s.classes.find(name);
  if (it == s.classes.end() || it->second->windows != 0) return false;
  s.classes.erase(it);
  return true;
}

namespace {

WindowRecord* NewRecord(ClassRecord* cls, uint32_t exStyle, const char* text, uint32_t style,
                        int32_t x, int32_t y, int32_t width, int32_t height,
                        WindowHandle parent, int32_t id) {
  CoreState& s = State();
  auto record = std::make_unique<WindowRecord>();
  WindowRecord* r = record.get();
  r->handle = MakeHandle(s.nextId++);
  r->windowClass = cls;
  r->procedure = cls->procedure;
  r->style = style & ~WS_VISIBLE;
  r->exStyle = exStyle;
  r->text = text ? text : "";
  r->x = x;
  r->y = y;
  r->width = std::max(width, 0);
  r->height = std::max(height, 0);
  r->cursor = cls->cursor;
  r->topmost = (exStyle & WS_EX_TOPMOST) != 0;
  if (style & WS_CHILD) {
    r->parent = parent;
    r->childId = id;
    Find(parent)->children.push_back(r->handle);
  } else {
    r->owner = RootOf(parent);
    s.topLevels.push_back(r->handle);
  }
  cls->windows++;
  s.windows[reinterpret_cast<uintptr_t>(r->handle)] = std::move(record);
  return r;
}

}  // namespace

WindowHandle CreateSystemWindow(uint32_t exStyle, const char* className, const char* text,
                                uint32_t style, int32_t x, int32_t y, int32_t width,
                                int32_t height, WindowHandle parent, int32_t id,
                                void* createParams) {
  CoreState& s = State();
  if (!s.running || className == nullptr) return nullptr;
  auto cls = s.classes.find(className);
  if (cls == s.classes.end()) return nullptr;
  if ((style & WS_CHILD) && Find(parent) == nullptr) return nullptr;
  WindowRecord* r = NewRecord(cls->second.get(), exStyle, text, style, x, y, width, height,
                              parent, id);
  WindowHandle handle = r->handle;
  s.ops->createWindow(r);
  if (!(style & WS_CHILD)) SendMinMaxHints(r);

  CreateStruct cs{createParams, parent, id, height, width, y, x, style, text, className, exStyle};
  if (SendWindowMessage(handle, WM_NCCREATE, 0, reinterpret_cast<LParam>(&cs)) == 0 ||
      SendWindowMessage(handle, WM_CREATE, 0, reinterpret_cast<LParam>(&cs)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (Find(handle) == nullptr) return nullptr;
  if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
  return Find(handle) ? handle : nullptr;
}

bool DestroyWindow(WindowHandle window) {
  CoreState& s = State();
  WindowRecord* r = Find(window);
  if (r == nullptr || r->destroying) return false;

  // Owned windows go first, then the window leaves the screen.
  std::vector<WindowHandle> owned;
  for (WindowHandle top : s.topLevels) {
    WindowRecord* t = Find(top);
    if (t && t->owner == window) owned.push_back(top);
  }
  for (WindowHandle o : owned) DestroyWindow(o);
  if ((r = Find(window)) == nullptr) return false;
  if (r->style & WS_VISIBLE) HideInternal(r);
  if ((r = Find(window)) == nullptr) return false;

  std::vector<WindowHandle> tree;
  CollectTree(window, &tree);
  for (WindowHandle w : tree) Find(w)->destroying = true;
  if (IsInside(window, s.capture)) ReleaseCaptureInternal(nullptr);
  ReleasePopupGrabInside(window);
  if (IsInside(window, s.focus)) s.focus = nullptr;
  if (s.active == window) ActivateAfterLoss(window);

  for (WindowHandle w : tree) SendWindowMessage(w, WM_DESTROY, 0, 0);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    SendWindowMessage(*it, WM_NCDESTROY, 0, 0);
  }
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    WindowRecord* dead = Find(*it);
    if (dead == nullptr) continue;
    s.ops->dropSelections(dead);
    if (*it == window) s.ops->destroyWindow(dead);
    ForgetReferences(*it);
    Unlink(dead);
    dead->windowClass->windows--;
    s.windows.erase(reinterpret_cast<uintptr_t>(*it));
  }
  return true;
}

bool IsWindow(WindowHandle window) { return Find(window) != nullptr; }

WindowHandle GetParent(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->parent : nullptr;
}

WindowHandle GetWindowOwner(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->owner : nullptr;
}

WindowHandle GetRootWindow(WindowHandle window) { return RootOf(window); }

bool IsChild(WindowHandle parent, WindowHandle child) {
  return parent != child && Find(parent) != nullptr && IsInside(parent, child);
}

std::vector<WindowHandle> GetChildWindows(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->children : std::vector<WindowHandle>{};
}

WindowHandle FindChildById(WindowHandle parent, int32_t id) {
  WindowRecord* r = Find(parent);
  if (r == nullptr) return nullptr;
  for (WindowHandle child : r->children) {
    if (Find(child)->childId == id) return child;
  }
  return nullptr;
}

int32_t GetWindowId(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->childId : 0;
}

const char* GetWindowClassName(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->windowClass->name.c_str() : "";
}

namespace {

uint32_t ChangeStyle(WindowHandle window, int32_t which, uint32_t value) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return 0;
  uint32_t old = which == GWL_STYLE ? r->style : r->exStyle;
  StyleStruct change{old, value};
  SendWindowMessage(window, WM_STYLECHANGING, static_cast<WParam>(which),
                    reinterpret_cast<LParam>(&change));
  if ((r = Find(window)) == nullptr) return old;
  if (which == GWL_STYLE) {
    r->style = change.newStyle;
  } else {
    r->exStyle = change.newStyle;
    r->topmost = (change.newStyle & WS_EX_TOPMOST) != 0;
  }
  SendWindowMessage(window, WM_STYLECHANGED, static_cast<WParam>(which),
                    reinterpret_cast<LParam>(&change));
  return old;
}

}  // namespace

uint32_t GetWindowStyle(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->style : 0;
}

uint32_t SetWindowStyle(WindowHandle window, uint32_t style) {
  return ChangeStyle(window, GWL_STYLE, style);
}

uint32_t GetWindowExStyle(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->exStyle : 0;
}

uint32_t SetWindowExStyle(WindowHandle window, uint32_t exStyle) {
  return ChangeStyle(window, GWL_EXSTYLE, exStyle);
}

void* GetWindowUserData(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->userData : nullptr;
}

void* SetWindowUserData(WindowHandle window, void* data) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return nullptr;
  void* old = r->userData;
  r->userData = data;
  return old;
}

WindowProc GetWindowProcedure(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r ? r->procedure : nullptr;
}

WindowProc SetWindowProcedure(WindowHandle window, WindowProc procedure) {
  WindowRecord* r = Find(window);
  if (r == nullptr || procedure == nullptr) return nullptr;
  WindowProc old = r->procedure;
  r->procedure = procedure;
  return old;
}

LResult CallWindowProcedure(WindowProc procedure, WindowHandle window, uint32_t message,
                            WParam wParam, LParam lParam) {
  if (procedure == nullptr || Find(window) == nullptr) return 0;
  return procedure(window, message, wParam, lParam);
}

bool SetWindowTextOf(WindowHandle window, const char* text) {
  if (Find(window) == nullptr) return false;
  return SendWindowMessage(window, WM_SETTEXT, 0, reinterpret_cast<LParam>(text ? text : "")) != 0;
}

int32_t GetWindowTextOf(WindowHandle window, char* buffer, int32_t size) {
  if (Find(window) == nullptr || buffer == nullptr || size <= 0) return 0;
  return static_cast<int32_t>(SendWindowMessage(window, WM_GETTEXT, static_cast<WParam>(size),
                                                reinterpret_cast<LParam>(buffer)));
}

int32_t GetWindowTextLengthOf(WindowHandle window) {
  if (Find(window) == nullptr) return 0;
  return static_cast<int32_t>(SendWindowMessage(window, WM_GETTEXTLENGTH, 0, 0));
}

std::string GetWindowTextString(WindowHandle window) {
  int32_t length = GetWindowTextLengthOf(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int32_t got = GetWindowTextOf(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

bool SetWindowIconPixels(WindowHandle window, int32_t width, int32_t height,
                         const uint32_t* pixels) {
  const IconPixels image{width, height, pixels};
  return SetWindowIconImages(window, &image, 1);
}

bool SetWindowIconImages(WindowHandle window, const IconPixels* images, int32_t count) {
  WindowRecord* r = Find(window);
  if (r == nullptr || r->parent != nullptr || images == nullptr || count <= 0) return false;
  for (int32_t i = 0; i < count; ++i) {
    if (images[i].pixels == nullptr || images[i].width <= 0 || images[i].height <= 0) return false;
  }
  State().ops->setIcon(r, images, count);
  return true;
}
