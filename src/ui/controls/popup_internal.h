// Shared between the popup's window procedure (popup.cpp) and its pointer and
// key handling (popup_input.cpp).
#pragma once

#include "ui/controls/popup.h"

// Posted to itself on focus loss; the cancel happens when it is taken from
// the queue, unless the popup is gone or has the focus again by then.
constexpr uint32_t kPopupCancelPending = WM_APP + 0x0BD6;

void StartPopupTimer(PopupData* popup, uintptr_t id);
void StopPopupTimer(PopupData* popup, uintptr_t id);

// True while a child popup is open (a child that closed itself is forgotten).
bool PopupChildOpen(PopupData* popup);
// Sends TKM_CLOSEPOPUP to the open child and forgets it.
void CloseChildPopup(PopupData* popup);
// Opens the child list of `item` beside it and remembers it (timer 4's way).
void ShowChildPopup(PopupData* popup, MenuItem* item);
// Opens it at once (click, Enter, Right): nothing when it is already open.
void OpenChildPopupNow(PopupData* popup, MenuItem* item);
// Chooses `item` (null: nothing) and destroys the popup. Touches nothing of
// the record after telling the owner, which may destroy the popup itself.
void ChoosePopupItem(WindowHandle window, PopupData* popup, MenuItem* item);

void OnPopupMouseMove(WindowHandle window, PopupData* popup, LParam lParam);
void OnPopupLeftDown(PopupData* popup);
// A press outside the popup's client area (the menu grab brings presses on
// the desktop too) cancels it, unless it lies on one of its child popups.
// True when it cancelled.
bool OnPopupPressOutside(WindowHandle window, PopupData* popup, LParam lParam);
void OnPopupLeftUp(WindowHandle window, PopupData* popup);
LResult OnPopupKeyDown(WindowHandle window, PopupData* popup, WParam key, LParam lParam);
void OnPopupChar(WindowHandle window, PopupData* popup, WParam character);
