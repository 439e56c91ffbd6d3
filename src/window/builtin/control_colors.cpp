#include "window/builtin/control_colors.h"

#include <new>

void SetControlTextColor(ControlColors* colors, Color colour) {
  if (colors) colors->text = colour;
}

void SetControlBackColor(ControlColors* colors, Color colour) {
  if (colors) colors->background = colour;
}

SolidBrush* CreateSolidBrush(Color colour) { return new (std::nothrow) SolidBrush{colour}; }

void DeleteSolidBrush(SolidBrush** slot) {
  if (!slot) return;
  delete *slot;
  *slot = nullptr;
}

Color QueryControlColors(WindowHandle control, uint32_t message, ControlColors* colors,
                         Color default_fill) {
  WindowHandle parent = GetParent(control);
  if (!parent) return default_fill;
  LResult brush = SendWindowMessage(parent, message, reinterpret_cast<WParam>(colors),
                                    reinterpret_cast<LParam>(control));
  return brush ? reinterpret_cast<const SolidBrush*>(brush)->colour : default_fill;
}
