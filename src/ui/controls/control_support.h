// What the toolkit's controls share: the font they fall back on, the
// unsigned inside test of their pointer handling, and painting a client
// area off-screen with one copy to the window.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "window/window_system.h"
#include "ui/render/image.h"

// The font a control measures and draws with when it was given none: the
// toolkit's normal font, or Tahoma 12 pixels made once for the process.
FontHandle ControlFallbackFont();

// The cell height (tmHeight) of `font`, or of the fallback font when null.
int32_t FontCellHeight(FontHandle font);

// Whether the point packed in lParam lies in a width x height client area,
// its 16-bit words compared unsigned (so negative coordinates under capture
// count as outside).
bool InsideUnsigned(LParam lParam, int32_t width, int32_t height);

// Invalidates the whole client area and paints it now.
void RepaintNow(WindowHandle window);

// Answers WM_PAINT: paints a width x height image with paint(image, context)
// and copies it to the window in one step. False, after EndPaint, when the
// image cannot be made.
bool PaintOffscreen(WindowHandle window, int32_t width, int32_t height,
                    void (*paint)(Image* image, const void* context), const void* context);

// The opening every control's window procedure shares: WM_CREATE makes the
// record (`onCreate`); any other message goes with the window's record (its
// user data) to `withRecord`, or, while the window has none, to
// `withoutRecord` (the default procedure unless the control answers some
// messages itself before it has a record).
template <typename Record>
LResult DispatchControlMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam,
                               LResult (*onCreate)(WindowHandle window, LParam lParam),
                               LResult (*withRecord)(WindowHandle window, Record* record,
                                                     uint32_t message, WParam wParam, LParam lParam),
                               WindowProc withoutRecord = DefaultWindowProc) {
  if (message == WM_CREATE) return onCreate(window, lParam);
  Record* record = static_cast<Record*>(GetWindowUserData(window));
  if (record == nullptr) return withoutRecord(window, message, wParam, lParam);
  return withRecord(window, record, message, wParam, lParam);
}
