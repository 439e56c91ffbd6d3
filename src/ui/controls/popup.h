// AmbrelPopup_WndClass: the toolkit's popup menu. A top-most borderless window
// showing its own copy of a MenuItemList as rows of icon and text; the user
// highlights and chooses with the pointer, the wheel or the keyboard; items
// with children open child popups; a list taller than the work area scrolls
// between two arrow bands. Every outcome is sent to the owner window, and the
// popup destroys itself when it is chosen from, cancelled or closed.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "ui/controls/menu_items.h"
#include "window/window_system.h"
#include "ui/render/image.h"

constexpr const char* kPopupClassName = "AmbrelPopup_WndClass";

constexpr uint32_t TKM_ITEMCHOSEN = 0xBD0;
constexpr uint32_t TKM_SUBMENUHOVER = 0xBD1;
constexpr uint32_t TKM_CLOSEPOPUP = 0xBD2;
constexpr uint32_t TKM_BACKOUT = 0xBD3;
constexpr uint32_t TKM_FORWARDOUT = 0xBD4;
constexpr uint32_t TKM_POPUPCLOSED = 0xBD5;
constexpr uint32_t TKM_POPUPCANCELLED = 0xBD6;

// Timer identifiers of a popup.
constexpr uintptr_t kPopupTimerScrollUp = 1;
constexpr uintptr_t kPopupTimerScrollDown = 2;
constexpr uintptr_t kPopupTimerCloseChild = 3;
constexpr uintptr_t kPopupTimerOpenChild = 4;
constexpr uint32_t kPopupScrollInterval = 120;

// The per-window record, made by OpenPopup and kept in the user-data slot.
// It owns `items` (a deep copy whose `current` is the highlight).
struct PopupData {
  WindowHandle window;
  WindowHandle owner;
  WindowHandle child;
  MenuItem* childItem;
  int32_t width;
  int32_t height;
  int32_t scrollOffset;
  int32_t maxScroll;  // non-zero: the popup scrolls
  int32_t scrollingDown;
  int32_t scrollingUp;
  int32_t wheelRest;
  int32_t itemHeight;
  int32_t viewHeight;
  int32_t openPending;
  int32_t closePending;
  FontHandle font;
  MenuItemList items;
};

// Registers AmbrelPopup_WndClass and keeps the default popup font (`font`, or
// Tahoma 12 pixels bold when null) and the four mark icons. 0 on failure.
int RegisterPopupClass(FontHandle font, const Icon* checkOnIcon, const Icon* checkOffIcon,
                       const Icon* radioOnIcon, const Icon* radioOffIcon);

// Opens a popup showing a copy of `list`, owned by `owner` (which receives
// every notification), drawn in `font`, placed against `anchor` (screen
// coordinates): mode 1 below or above it, mode 0 beside it. The popup is shown
// top-most at once. Null for an empty list or when no window can be made.
WindowHandle OpenPopup(const MenuItemList* list, WindowHandle owner, FontHandle font,
                       WinRect anchor, int mode);

// OpenPopup below the screen point (x, y).
WindowHandle OpenPopupAtPoint(const MenuItemList* list, WindowHandle owner, FontHandle font,
                              int32_t x, int32_t y);

// The class procedure.
LResult PopupWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// --- Pure layout, placement, hit testing and scrolling (popup_layout.cpp) ---

// Lays out the items of `popup` with its font: fills `itemHeight` and every
// item's rectangle. Returns the content size (width at least 180) through the
// two slots.
void LayoutPopupItems(PopupData* popup, int32_t* contentWidth, int32_t* contentHeight);

// Where a w x h popup goes against `anchor` inside `workArea`: mode 1 below
// (or above) the anchor with left edges aligned, mode 0 beside it.
PixelRect PlacePopup(PixelRect anchor, int32_t w, int32_t h, PixelRect workArea, int mode);

// Decides scrolling from the placed height: sets `viewHeight` and `maxScroll`
// when the content (plus the 4-pixel frame) does not fit.
void SetPopupScrolling(PopupData* popup, int32_t contentHeight, int32_t placedHeight);

// The y at which item rows start inside the window: 19 below the top band
// when scrollable, else 2.
int32_t PopupItemOrigin(const PopupData* popup);

// True when `item` lies wholly inside the view (always true when not scrollable).
bool PopupItemInView(const PopupData* popup, const MenuItem* item);

enum class PopupZone { kNone, kItems, kScrollUp, kScrollDown };

// The item under client point (x, y) (null for none, separators and disabled
// items) and the zone the point is in.
MenuItem* HitTestPopup(const PopupData* popup, int32_t x, int32_t y, PopupZone* zone);

// Scrolls so that `item` is wholly in view (scrollable popups only).
void BringPopupItemIntoView(PopupData* popup, const MenuItem* item);
// Scrolls one item up / down; true when the offset changed.
bool ScrollPopupUp(PopupData* popup);
bool ScrollPopupDown(PopupData* popup);
// Adds a wheel delta and scrolls one item per whole notch of 120. True when
// the offset changed.
bool ApplyPopupWheel(PopupData* popup, int32_t delta);

// Keyboard navigation over the highlight (`items.current`): the next / previous
// item that is not disabled, wrapping once; type-ahead on a folded first letter.
MenuItem* NextPopupItem(const PopupData* popup);
MenuItem* PreviousPopupItem(const PopupData* popup);
MenuItem* TypeAheadPopupItem(const PopupData* popup, char typed);

// --- Painting (popup_paint.cpp) ---

// The mark icons registered with the class (any may be null).
struct PopupMarkIcons {
  const Icon* checkOn;
  const Icon* checkOff;
  const Icon* radioOn;
  const Icon* radioOff;
};

// Paints the whole popup (frame, gradients, icon column, scroll bands, items)
// into `image` of the popup's client size.
void PaintPopup(Image* image, const PopupData* popup, const PopupMarkIcons* marks);
