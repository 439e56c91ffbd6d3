// The "EDIT" window class: a single-line editor over the editing model.
// The procedure is a dispatch to small handlers; every handler changes the
// model, then Commit() scrolls the caret into view, repaints and tells the
// parent what changed.
#include <algorithm>
#include <new>
#include <string>

#include "platform/text.h"
#include "ui/render/image.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/control_colors.h"
#include "window/builtin/control_window.h"
#include "window/builtin/edit_model.h"
#include "window/builtin/edit_paint.h"
#include "window/builtin/system_controls.h"

namespace {

constexpr uintptr_t kBlinkTimer = 1;

struct EditWindow {
  EditModel model;
  FontHandle font = nullptr;
  bool focused = false;
  bool caret_on = false;
  bool dragging = false;  // left button held after a click in the field
};

EditWindow* StateOf(WindowHandle window) {
  return static_cast<EditWindow*>(GetWindowUserData(window));
}

FontHandle FontOf(const EditWindow* state) {
  return state->font ? state->font : GetSystemControlFont();
}

EditLook LookOf(WindowHandle window, const EditWindow* state) {
  EditLook look;
  look.font = FontOf(state);
  look.client_edge = (GetWindowExStyle(window) & WS_EX_CLIENTEDGE) != 0;
  look.enabled = IsWindowEnabled(window);
  look.read_only = (GetWindowStyle(window) & ES_READONLY) != 0;
  look.focused = state->focused;
  look.caret_on = state->caret_on;
  return look;
}

void Notify(WindowHandle window, uint16_t code) {
  WindowHandle parent = GetParent(window);
  if (!parent) return;
  WParam wParam = static_cast<WParam>(static_cast<uint16_t>(GetWindowId(window))) |
                  (static_cast<WParam>(code) << 16);
  SendWindowMessage(parent, WM_COMMAND, wParam, reinterpret_cast<LParam>(window));
}

// Width of the area the text scrolls in.
int ViewWidth(WindowHandle window, const EditWindow* state) {
  WinRect client{};
  GetClientRect(window, &client);
  EditTextArea area = GetEditTextArea(LookOf(window, state), client.right, client.bottom);
  return area.right - area.left;
}

void ScrollToCaret(WindowHandle window, EditWindow* state) {
  std::vector<int> boundaries = CodePointBoundaries(state->model.text);
  std::vector<int> columns = MeasureBoundaryColumns(FontOf(state), state->model.text);
  size_t caret = static_cast<size_t>(
      std::lower_bound(boundaries.begin(), boundaries.end(), state->model.caret) - boundaries.begin());
  EditScrollToCaret(state->model, columns[std::min(caret, columns.size() - 1)], columns.back(),
                    ViewWidth(window, state));
}

// The caret restarts its blink in the visible phase after every change, so it
// never vanishes while the user types or moves it.
void RestartBlink(WindowHandle window, EditWindow* state) {
  if (!state->focused) return;
  state->caret_on = true;
  SetTimer(window, kBlinkTimer, kCaretBlinkMs);
}

// Offers a new selection to other programs as the X primary selection.
void PublishPrimary(WindowHandle window, const EditWindow* state) {
  if (!EditHasSelection(state->model)) return;
  std::string selected = EditSelectedText(state->model);
  SetSelectionText(ClipboardSelection::kPrimary, window, selected.data(), selected.size());
}

void Commit(WindowHandle window, EditWindow* state, EditResult result) {
  if (!result.changed && !result.moved && !result.truncated) return;
  ScrollToCaret(window, state);
  RestartBlink(window, state);
  InvalidateRect(window, nullptr, false);
  if (result.changed) {
    Notify(window, EN_UPDATE);
    Notify(window, EN_CHANGE);
  }
  if (result.truncated) Notify(window, EN_MAXTEXT);
}

bool Editable(WindowHandle window) { return (GetWindowStyle(window) & ES_READONLY) == 0; }

// Text entry honours ES_AUTOHSCROLL: without it, input that would run past
// the right edge is refused as if the field were full.
EditResult Insert(WindowHandle window, EditWindow* state, const std::string& input) {
  if (!Editable(window)) return {};
  EditModel before = state->model;
  EditResult result = EditReplaceSelection(state->model, input);
  if (result.changed && (GetWindowStyle(window) & ES_AUTOHSCROLL) == 0) {
    std::vector<int> columns = MeasureBoundaryColumns(FontOf(state), state->model.text);
    if (columns.back() >= ViewWidth(window, state)) {
      state->model = before;
      result = {};
      result.truncated = true;
    }
  }
  return result;
}

// --- clipboard ---

void CopySelection(WindowHandle window, const EditWindow* state) {
  if (!EditHasSelection(state->model)) return;
  std::string selected = EditSelectedText(state->model);
  SetSelectionText(ClipboardSelection::kClipboard, window, selected.data(), selected.size());
}

void CutSelection(WindowHandle window, EditWindow* state) {
  if (!EditHasSelection(state->model) || !Editable(window)) return;
  CopySelection(window, state);
  EditResult result;
  EditCutSelection(state->model, &result);
  Commit(window, state, result);
}

void PasteFrom(WindowHandle window, EditWindow* state, ClipboardSelection selection) {
  std::string text;
  if (!GetSelectionText(selection, &text)) return;
  Commit(window, state, Insert(window, state, text));
}

// --- keyboard ---

// A typed character as the system's 8-bit text; none when it has no such character.
std::string EncodeCharacter(uint32_t code) {
  char bytes[4];
  return std::string(bytes, static_cast<size_t>(EncodeTextCharacter(code, bytes)));
}

// Movement and deletion keys; Shift+Delete cuts, Ctrl+Insert copies and
// Shift+Insert pastes. Returns false for keys the field leaves alone.
bool OnKeyDown(WindowHandle window, EditWindow* state, uint32_t key) {
  EditModifiers mods{IsKeyDown(VK_SHIFT), IsKeyDown(VK_CONTROL)};
  EditKey edit_key;
  switch (key) {
    case VK_LEFT: edit_key = EditKey::kLeft; break;
    case VK_RIGHT: edit_key = EditKey::kRight; break;
    case VK_HOME: edit_key = EditKey::kHome; break;
    case VK_END: edit_key = EditKey::kEnd; break;
    case VK_DELETE:
      if (mods.shift) return CutSelection(window, state), true;
      if (!Editable(window)) return true;
      edit_key = EditKey::kDelete;
      break;
    case VK_INSERT:
      if (mods.ctrl) CopySelection(window, state);
      else if (mods.shift) PasteFrom(window, state, ClipboardSelection::kClipboard);
      return true;
    default: return false;
  }
  Commit(window, state, EditApplyKey(state->model, edit_key, mods));
  if (mods.shift) PublishPrimary(window, state);
  return true;
}

// Characters: Backspace, the Control+letter commands, and text.
void OnChar(WindowHandle window, EditWindow* state, uint32_t code) {
  switch (code) {
    case 1:  // Ctrl+A
      Commit(window, state, EditSelectAll(state->model));
      PublishPrimary(window, state);
      return;
    case 3: CopySelection(window, state); return;  // Ctrl+C
    case 22: PasteFrom(window, state, ClipboardSelection::kClipboard); return;  // Ctrl+V
    case 24: CutSelection(window, state); return;  // Ctrl+X
    case 8:
      if (Editable(window)) Commit(window, state, EditApplyKey(state->model, EditKey::kBackspace, {}));
      return;
    default: break;
  }
  if (code < 0x20 || code == 0x7F) return;  // Tab, Enter, Escape and other controls
  const std::string typed = EncodeCharacter(code);
  if (!typed.empty()) Commit(window, state, Insert(window, state, typed));
}

// --- pointer ---

// The boundary under client column `x` (which may lie outside the field).
int PositionAt(WindowHandle window, const EditWindow* state, int x) {
  WinRect client{};
  GetClientRect(window, &client);
  EditTextArea area = GetEditTextArea(LookOf(window, state), client.right, client.bottom);
  std::vector<int> columns = MeasureBoundaryColumns(FontOf(state), state->model.text);
  return EditPositionFromColumn(CodePointBoundaries(state->model.text), columns,
                                x - area.left + state->model.scroll);
}

void OnLeftDown(WindowHandle window, EditWindow* state, LParam lParam, WParam keys) {
  if (GetFocusWindow() != window) SetFocus(window);
  int pos = PositionAt(window, state, SignedLoWord(static_cast<uintptr_t>(lParam)));
  Commit(window, state, EditPlaceCaret(state->model, pos, (keys & MK_SHIFT) != 0));
  state->dragging = true;
  SetCapture(window);
}

void OnMouseMove(WindowHandle window, EditWindow* state, LParam lParam) {
  if (!state->dragging) return;
  // Dragging past either edge moves the caret there, which scrolls the text.
  int pos = PositionAt(window, state, SignedLoWord(static_cast<uintptr_t>(lParam)));
  Commit(window, state, EditPlaceCaret(state->model, pos, true));
}

void OnLeftUp(WindowHandle window, EditWindow* state) {
  if (!state->dragging) return;
  state->dragging = false;
  if (GetCaptureWindow() == window) ReleaseMouseCapture();
  PublishPrimary(window, state);
}

void OnDoubleClick(WindowHandle window, EditWindow* state, LParam lParam) {
  int pos = PositionAt(window, state, SignedLoWord(static_cast<uintptr_t>(lParam)));
  Commit(window, state, EditSelectWord(state->model, pos));
  PublishPrimary(window, state);
}

// Middle click pastes the primary selection where the pointer is.
void OnMiddleDown(WindowHandle window, EditWindow* state, LParam lParam) {
  if (GetFocusWindow() != window) SetFocus(window);
  if (!Editable(window)) return;
  int pos = PositionAt(window, state, SignedLoWord(static_cast<uintptr_t>(lParam)));
  EditPlaceCaret(state->model, pos, false);
  PasteFrom(window, state, ClipboardSelection::kPrimary);
}

// --- focus, painting, text messages ---

void OnFocus(WindowHandle window, EditWindow* state, bool focused) {
  state->focused = focused;
  if (focused) {
    RestartBlink(window, state);
  } else {
    state->caret_on = false;
    KillTimer(window, kBlinkTimer);
    OnLeftUp(window, state);
  }
  InvalidateRect(window, nullptr, false);
  Notify(window, focused ? EN_SETFOCUS : EN_KILLFOCUS);
}

void OnPaint(WindowHandle window, EditWindow* state) {
  PaintThroughSurface(window, [&](Image* image) {
    PaintEdit(image, state->model, LookOf(window, state));
  });
}

void OnSetText(WindowHandle window, EditWindow* state, const char* text) {
  EditSetText(state->model, text ? text : "");
  EditResult result;
  result.changed = result.moved = true;
  Commit(window, state, result);
}

LResult OnGetSel(const EditWindow* state, WParam start_out, LParam end_out) {
  uint32_t start = static_cast<uint32_t>(EditSelectionStart(state->model));
  uint32_t end = static_cast<uint32_t>(EditSelectionEnd(state->model));
  if (start_out) *reinterpret_cast<uint32_t*>(start_out) = start;
  if (end_out) *reinterpret_cast<uint32_t*>(end_out) = end;
  return static_cast<LResult>((start & 0xFFFF) | ((end & 0xFFFF) << 16));
}

LResult OnCreate(WindowHandle window, const CreateStruct* create) {
  EditWindow* state = new (std::nothrow) EditWindow;
  if (!state) return -1;
  if (create && create->name) EditSetText(state->model, create->name);
  SetWindowUserData(window, state);
  return 0;
}

void OnDestroy(WindowHandle window, EditWindow* state) {
  KillTimer(window, kBlinkTimer);
  SetWindowUserData(window, nullptr);
  delete state;
}

// Messages that read or set the text and the selection.
LResult TextMessage(WindowHandle window, EditWindow* state, uint32_t message, WParam wParam,
                    LParam lParam) {
  switch (message) {
    case WM_SETTEXT: OnSetText(window, state, reinterpret_cast<const char*>(lParam)); return 1;
    case WM_GETTEXT: return CopyWindowText(state->model.text, wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LResult>(state->model.text.size());
    case EM_GETSEL: return OnGetSel(state, wParam, lParam);
    case EM_SETSEL:
      Commit(window, state, EditSetSelection(state->model, static_cast<int>(static_cast<intptr_t>(wParam)),
                                             static_cast<int>(lParam)));
      return 0;
    case EM_REPLACESEL: {
      const char* text = reinterpret_cast<const char*>(lParam);
      Commit(window, state, EditReplaceSelection(state->model, text ? text : ""));
      return 0;
    }
    case EM_LIMITTEXT: EditSetLimit(state->model, static_cast<int>(static_cast<intptr_t>(wParam))); return 0;
    case EM_GETLIMITTEXT: return state->model.limit;
    case WM_CUT: CutSelection(window, state); return 0;
    case WM_COPY: CopySelection(window, state); return 0;
    case WM_PASTE: PasteFrom(window, state, ClipboardSelection::kClipboard); return 0;
    case WM_CLEAR:
      if (Editable(window)) Commit(window, state, EditReplaceSelection(state->model, ""));
      return 0;
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}

}  // namespace

LResult EditWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<const CreateStruct*>(lParam));
  EditWindow* state = StateOf(window);
  if (!state) return DefaultWindowProc(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY: OnDestroy(window, state); return 0;
    case WM_PAINT: OnPaint(window, state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETFONT:
      state->font = reinterpret_cast<FontHandle>(wParam);
      if (LoWord(static_cast<uintptr_t>(lParam))) InvalidateRect(window, nullptr, false);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LResult>(state->font);
    case WM_SETFOCUS: OnFocus(window, state, true); return 0;
    case WM_KILLFOCUS: OnFocus(window, state, false); return 0;
    case WM_TIMER:
      if (wParam != kBlinkTimer) return 0;
      state->caret_on = !state->caret_on;
      InvalidateRect(window, nullptr, false);
      return 0;
    case WM_KEYDOWN:
      return OnKeyDown(window, state, static_cast<uint32_t>(wParam))
                 ? 0 : DefaultWindowProc(window, message, wParam, lParam);
    case WM_CHAR: OnChar(window, state, static_cast<uint32_t>(wParam)); return 0;
    case WM_LBUTTONDOWN: OnLeftDown(window, state, lParam, wParam); return 0;
    case WM_LBUTTONDBLCLK: OnDoubleClick(window, state, lParam); return 0;
    case WM_MOUSEMOVE: OnMouseMove(window, state, lParam); return 0;
    case WM_LBUTTONUP: OnLeftUp(window, state); return 0;
    case WM_CAPTURECHANGED: state->dragging = false; return 0;
    case WM_MBUTTONDOWN: OnMiddleDown(window, state, lParam); return 0;
    case WM_SIZE:
    case WM_ENABLE:
    case WM_STYLECHANGED:
      ScrollToCaret(window, state);
      InvalidateRect(window, nullptr, false);
      return DefaultWindowProc(window, message, wParam, lParam);
    default: return TextMessage(window, state, message, wParam, lParam);
  }
}
