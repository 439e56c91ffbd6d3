// Invalidation, WM_PAINT and the way pixels reach a window.
#include <algorithm>
#include <vector>

#include "window/core/core.h"

namespace wscore {

namespace {

WinRect Clip(const WinRect& rect, const WindowRecord* r) {
  return WinRect{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, r->width),
                 std::min(rect.bottom, r->height)};
}

bool IsEmpty(const WinRect& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

void AddDirty(WindowRecord* r, const WinRect& rect, bool erase) {
  WinRect clipped = Clip(rect, r);
  if (IsEmpty(clipped)) return;
  if (!r->needsPaint) {
    r->dirty = clipped;
  } else {
    r->dirty = WinRect{std::min(r->dirty.left, clipped.left), std::min(r->dirty.top, clipped.top),
                       std::max(r->dirty.right, clipped.right),
                       std::max(r->dirty.bottom, clipped.bottom)};
  }
  r->needsPaint = true;
  r->erasePending = r->erasePending || erase;
}

bool Paintable(const WindowRecord* r) {
  if (!IsWindowVisible(r->handle)) return false;
  WindowRecord* root = Find(RootOf(r->handle));
  return root != nullptr && !root->minimized;
}

// The first window (pre-order over the top-level windows) that needs paint.
WindowHandle FirstToPaint(const std::vector<WindowHandle>& list) {
  for (WindowHandle w : list) {
    WindowRecord* r = Find(w);
    if (r->needsPaint && Paintable(r)) return w;
    if (WindowHandle inner = FirstToPaint(r->children)) return inner;
  }
  return nullptr;
}

}  // namespace

void InvalidateAll(WindowRecord* r, bool erase) {
  AddDirty(r, WinRect{0, 0, r->width, r->height}, erase);
}

void OnExpose(WindowRecord* r, const WinRect& rect) { AddDirty(r, rect, false); }

bool TakePaint(WindowMessage* out) {
  CoreState& s = State();
  WindowHandle w = FirstToPaint(s.topLevels);
  if (w == nullptr) return false;
  *out = WindowMessage{w, WM_PAINT, 0, 0, static_cast<uint32_t>(NowMs()), s.pointer};
  return true;
}

}  // namespace wscore

using namespace wscore;

bool InvalidateRect(WindowHandle window, const WinRect* rect, bool erase) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  if (rect == nullptr) {
    InvalidateAll(r, erase);
  } else {
    AddDirty(r, *rect, erase);
  }
  return true;
}

bool ValidateRect(WindowHandle window, const WinRect* rect) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  // A partial validation keeps the whole bounding box dirty unless it covers it.
  if (rect == nullptr || (rect->left <= r->dirty.left && rect->top <= r->dirty.top &&
                          rect->right >= r->dirty.right && rect->bottom >= r->dirty.bottom)) {
    r->needsPaint = false;
    r->erasePending = false;
  }
  return true;
}

bool UpdateWindow(WindowHandle window) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  if (r->needsPaint && Paintable(r)) SendWindowMessage(window, WM_PAINT, 0, 0);
  return true;
}

bool BeginPaint(WindowHandle window, PaintInfo* info) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  PaintInfo result{r->needsPaint ? r->dirty : WinRect{0, 0, 0, 0}, false};
  bool erase = r->erasePending;
  r->needsPaint = false;
  r->erasePending = false;
  if (erase) result.erase = SendWindowMessage(window, WM_ERASEBKGND, 0, 0) == 0;
  if (info) *info = result;
  return true;
}

bool EndPaint(WindowHandle window, const PaintInfo*) { return Find(window) != nullptr; }

bool BlitPixels(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
                const uint32_t* pixels, int32_t stride) {
  WindowRecord* r = Find(window);
  if (r == nullptr || pixels == nullptr || width <= 0 || height <= 0 || stride < width) {
    return false;
  }
  // Clip to the client area, moving the source start along with it.
  int32_t left = std::max(x, 0), top = std::max(y, 0);
  int32_t right = std::min(x + width, r->width), bottom = std::min(y + height, r->height);
  if (left >= right || top >= bottom) return true;
  const uint32_t* start = pixels + static_cast<size_t>(top - y) * static_cast<size_t>(stride) +
                          static_cast<size_t>(left - x);
  return State().ops->blit(r, left, top, right - left, bottom - top, start, stride);
}

bool CaptureWindowPixels(WindowHandle window, WindowPixels* out) {
  WindowRecord* r = Find(window);
  if (r == nullptr || out == nullptr) return false;
  return State().ops->capturePixels(r, out);
}
