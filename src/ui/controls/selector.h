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
#include "ui/controls/pending_window_types.h"

struct Image;

constexpr const char* kSelectorClassName = "AmbrelCombo_WndClass";

// The per-window record, kept in the user-data slot; it owns `items`, whose
// current item is the chosen one.
struct SelectorData {
  HWND window;
  HWND parent;  // every notification goes here
  HWND popup;   // the open list, or null
  int32_t width;
  int32_t height;
  int32_t focused;
  int32_t hover;
  FontHandle font;
  MenuItemList items;
};

// Paints the whole selector into `image` (its client size).
void PaintSelector(Image* image, const SelectorData* selector);

// `text` cut to fit `width` pixels in `font`: unchanged when it fits, else the
// longest prefix that fits with "..." appended, else empty.
std::string FitTextToWidth(FontHandle font, const char* text, int32_t width);
