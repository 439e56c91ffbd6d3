// AmbrelCombo_WndClass: the toolkit's drop-down selector. A one-line box that
// shows the chosen item of its list (icon and text) with a down arrow; a click
// or Enter opens the list as a popup menu under the box, the arrow keys step
// through the items without opening it, and every choice is sent to the
// parent as TKM_ITEMCHOSEN (id, user data).
#pragma once

#include <cstdint>
#include <string>

#include "platform/text.h"
#include "ui/controls/menu_items.h"
#include "window/window_system.h"

struct Image;

constexpr const char* kSelectorClassName = "AmbrelCombo_WndClass";

// The per-window record, kept in the user-data slot; it owns `items`, whose
// current item is the chosen one.
struct SelectorData {
  WindowHandle window;
  WindowHandle parent;  // every notification goes here
  WindowHandle popup;   // the open list, or null
  int32_t width;
  int32_t height;
  int32_t focused;
  int32_t hover;
  FontHandle font;
  MenuItemList items;
};

// Registers AmbrelCombo_WndClass and sets the default selector font (`font`,
// or Tahoma 12 pixels when null). 0 when registration fails, else 1.
int RegisterSelectorClass(FontHandle font);

// Replaces the selector's items by a deep copy of `list` (the caller keeps its
// own); the first item becomes the chosen one without a notification. 1, or 0
// when the window has no selector record.
int SetSelectorItems(WindowHandle selector, const MenuItemList* list);

// The chosen item's id; -1 for an empty list, 0 without a selector record.
int32_t GetSelectedItemId(WindowHandle selector);

// The class procedure.
LResult SelectorWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Paints the whole selector into `image` (its client size).
void PaintSelector(Image* image, const SelectorData* selector);

// `text` cut to fit `width` pixels in `font`: unchanged when it fits, else the
// longest prefix that fits with "..." appended, else empty.
std::string FitTextToWidth(FontHandle font, const char* text, int32_t width);
