// The headless backend: windows exist only as records, pixels land in one
// memory buffer per window, the screen is a size, and the clipboard is two
// strings. Tests read what was painted with CaptureWindowPixels.

#include <algorithm>

#include "window/core/core.h"
#include "window/tray_core.h"

namespace wscore {

namespace {

bool Open() { return true; }
void Close() {}
void Nothing(WindowRecord*) {}
void ShowNothing(WindowRecord*, bool) {}
void HintsNothing(WindowRecord*, const MinMaxInfo&) {}
void IconNothing(WindowRecord*, const IconPixels*, int32_t) {}

// Keeps the buffer the size of the client area; a new size starts black.
void FitPixels(WindowRecord* r) {
  if (r->pixelWidth == r->width && r->pixelHeight == r->height) return;
  r->pixelWidth = r->width;
  r->pixelHeight = r->height;
  r->pixels.assign(static_cast<size_t>(r->width) * static_cast<size_t>(r->height), 0);
}

bool Blit(WindowRecord* r, int32_t x, int32_t y, int32_t w, int32_t h, const uint32_t* pixels,
          int32_t stride) {
  FitPixels(r);
  for (int32_t row = 0; row < h; ++row) {
    const uint32_t* from = pixels + static_cast<size_t>(row) * static_cast<size_t>(stride);
    uint32_t* to = r->pixels.data() + static_cast<size_t>(y + row) * static_cast<size_t>(r->width) +
                   static_cast<size_t>(x);
    for (int32_t col = 0; col < w; ++col) to[col] = from[col] & 0x00FFFFFF;
  }
  return true;
}

// Copies a window's pixels, then its visible children's over them, into
// `out` at (ox, oy), clipped to the rectangle `clip` of `out`.
void Compose(WindowRecord* r, WindowPixels* out, int32_t ox, int32_t oy, WinRect clip) {
  FitPixels(r);
  clip = WinRect{std::max(clip.left, ox), std::max(clip.top, oy),
                 std::min(clip.right, ox + r->width), std::min(clip.bottom, oy + r->height)};
  for (int32_t y = clip.top; y < clip.bottom; ++y) {
    for (int32_t x = clip.left; x < clip.right; ++x) {
      out->pixels[static_cast<size_t>(y) * static_cast<size_t>(out->width) + static_cast<size_t>(x)] =
          r->pixels[static_cast<size_t>(y - oy) * static_cast<size_t>(r->width) +
                    static_cast<size_t>(x - ox)];
    }
  }
  for (WindowHandle child : r->children) {
    WindowRecord* c = Find(child);
    if (c->style & WS_VISIBLE) Compose(c, out, ox + c->x, oy + c->y, clip);
  }
}

bool CapturePixels(WindowRecord* r, WindowPixels* out) {
  out->width = r->width;
  out->height = r->height;
  out->pixels.assign(static_cast<size_t>(r->width) * static_cast<size_t>(r->height), 0);
  Compose(r, out, 0, 0, WinRect{0, 0, r->width, r->height});
  return true;
}

void Pump() {}

void Wait(int32_t timeoutMs) {
  WaitForWake(timeoutMs);
}

bool QueryPointer(WinPoint* out) {
  *out = State().pointer;
  return true;
}

void ScreenSize(int32_t* w, int32_t* h) {
  *w = State().screenWidth;
  *h = State().screenHeight;
}

void WorkArea(WinRect* out) { *out = State().workArea; }

bool SetSelection(ClipboardSelection which, WindowRecord*, const std::string& text) {
  int i = which == ClipboardSelection::kClipboard ? 0 : 1;
  State().headlessSelection[i] = text;
  State().headlessSelectionHeld[i] = true;
  return true;
}

bool GetSelection(ClipboardSelection which, std::string* out) {
  int i = which == ClipboardSelection::kClipboard ? 0 : 1;
  if (!State().headlessSelectionHeld[i]) return false;
  *out = State().headlessSelection[i];
  return true;
}

// Each top-level window of this process is the whole "display".
bool FindTopLevel(const char* className, const char* title) {
  for (WindowHandle w : State().topLevels) {
    WindowRecord* r = Find(w);
    if (r->windowClass->name == className && r->text == title) return true;
  }
  return false;
}

const BackendOps kHeadlessOps = {
    .open = Open,
    .close = Close,
    .createWindow = Nothing,
    .destroyWindow = Nothing,
    .showWindow = ShowNothing,
    .iconify = ShowNothing,
    .configure = Nothing,
    .restack = Nothing,
    .activate = Nothing,
    .setTitle = Nothing,
    .setSizeHints = HintsNothing,
    .setIcon = IconNothing,
    .setCursor = Nothing,
    .setCapture = Nothing,
    .blit = Blit,
    .capturePixels = CapturePixels,
    .pump = Pump,
    .wait = Wait,
    .queryPointer = QueryPointer,
    .screenSize = ScreenSize,
    .workArea = WorkArea,
    .setSelection = SetSelection,
    .getSelection = GetSelection,
    .dropSelections = Nothing,
    .findTopLevel = FindTopLevel,
    .setPopupGrab = Nothing,
    .tray = HeadlessTray(),
};

}  // namespace

const BackendOps* HeadlessBackend() { return &kHeadlessOps; }

}  // namespace wscore
