// How a text control asks its parent for colours (WM_CTLCOLORSTATIC and
// WM_CTLCOLOREDIT), without a device context:
//   wParam: ControlColors* that the parent may change (SetTextColor /
//           SetBkColor on the context, in the platform's terms);
//   lParam: the control's window handle;
//   result: a SolidBrush* whose colour fills the control's background, or 0
//           for the default (the button-face colour for STATIC, the window
//           colour for EDIT), as the default window procedure gives.
// A parent keeps the brush it returns alive; controls never release it.
#pragma once

#include "window/window_system.h"
#include "ui/render/image.h"

struct ControlColors {
  Color text;
  Color background;  // behind the text's character cells
};

// A brush of one colour (CreateSolidBrush).
struct SolidBrush {
  Color colour;
};

// Sets the colours on the record passed in wParam (null is ignored).
void SetControlTextColor(ControlColors* colors, Color colour);
void SetControlBackColor(ControlColors* colors, Color colour);

// A new brush of `colour`, or null when memory runs out; released with
// DeleteSolidBrush, which clears the slot.
SolidBrush* CreateSolidBrush(Color colour);
void DeleteSolidBrush(SolidBrush** slot);

// The colours a control paints with: sends `message` to the control's parent
// with *colors prefilled with the defaults, and returns the fill colour (the
// returned brush's, or `default_fill` when the parent returned 0).
Color QueryControlColors(WindowHandle control, uint32_t message, ControlColors* colors,
                         Color default_fill);
