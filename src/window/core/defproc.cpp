// The default window procedure: what a window does with a message its own
// procedure passes on.
#include <algorithm>
#include <cstring>
#include <vector>

#include "window/core/core.h"

namespace wscore {

namespace {

// Fills the client area with the class background (the default erase).
LResult EraseBackground(WindowRecord* r) {
  if (r->windowClass->background == kNoBackground) return 0;
  if (r->width <= 0 || r->height <= 0) return 1;
  uint32_t bgr = static_cast<uint32_t>(r->windowClass->background);
  uint32_t rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
  std::vector<uint32_t> fill(static_cast<size_t>(r->width) * static_cast<size_t>(r->height), rgb);
  BlitPixels(r->handle, 0, 0, r->width, r->height, fill.data(), r->width);
  return 1;
}

LResult CopyText(WindowRecord* r, WParam size, LParam buffer) {
  if (size == 0 || buffer == 0) return 0;
  size_t n = std::min<size_t>(r->text.size(), size - 1);
  std::memcpy(reinterpret_cast<char*>(buffer), r->text.data(), n);
  reinterpret_cast<char*>(buffer)[n] = '\0';
  return static_cast<LResult>(n);
}

// A resizable top-level window keeps to its WM_GETMINMAXINFO limits.
void ClampToLimits(WindowRecord* r, WindowPos* pos) {
  if (r->parent != nullptr || (pos->flags & SWP_NOSIZE)) return;
  if (!(r->style & WS_THICKFRAME) && (r->style & WS_POPUP)) return;
  MinMaxInfo info{};
  int32_t sw = 0, sh = 0;
  GetScreenSize(&sw, &sh);
  info.maxSize = {sw, sh};
  info.minTrackSize = {1, 1};
  info.maxTrackSize = {32767, 32767};
  SendWindowMessage(r->handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
  pos->cx = std::clamp(pos->cx, info.minTrackSize.x, std::max(info.minTrackSize.x, info.maxTrackSize.x));
  pos->cy = std::clamp(pos->cy, info.minTrackSize.y, std::max(info.minTrackSize.y, info.maxTrackSize.y));
}

void AfterPositionChange(WindowRecord* r, const WindowPos* pos) {
  WindowHandle window = r->handle;
  if (!(pos->flags & SWP_NOMOVE)) {
    WinPoint origin = r->parent ? WinPoint{r->x, r->y} : ScreenOrigin(r);
    SendWindowMessage(window, WM_MOVE, 0, MakeLParam(origin.x, origin.y));
  }
  if (!(pos->flags & SWP_NOSIZE) && (r = Find(window)) != nullptr) {
    SendWindowMessage(window, WM_SIZE, r->minimized ? SIZE_MINIMIZED : SIZE_RESTORED,
                      MakeLParam(r->width, r->height));
  }
}

}  // namespace

}  // namespace wscore

using namespace wscore;

LResult DefaultWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return 0;
  switch (message) {
    case WM_NCCREATE:
      return 1;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PaintInfo info;
      BeginPaint(window, &info);
      EndPaint(window, &info);
      return 0;
    }
    case WM_ERASEBKGND:
      return EraseBackground(r);
    case WM_SETTEXT:
      r->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      if (r->parent == nullptr) State().ops->setTitle(r);
      return 1;
    case WM_GETTEXT:
      return CopyText(r, wParam, lParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LResult>(r->text.size());
    case WM_ACTIVATE:
      if (LoWord(wParam) != WA_INACTIVE && !r->minimized &&
          (GetFocusWindow() == nullptr || RootOf(GetFocusWindow()) != window)) {
        SetFocus(window);
      }
      return 0;
    case WM_WINDOWPOSCHANGING:
      ClampToLimits(r, reinterpret_cast<WindowPos*>(lParam));
      return 0;
    case WM_WINDOWPOSCHANGED:
      AfterPositionChange(r, reinterpret_cast<const WindowPos*>(lParam));
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) SendWindowMessage(RootOf(window), WM_CLOSE, 0, 0);
      return 0;
    case WM_MOUSEWHEEL:
      if (r->parent) return SendWindowMessage(r->parent, message, wParam, lParam);
      return 0;
    default:
      return 0;
  }
}
