// The classic three-dimensional frames that controls draw when no visual
// style is active: the push-button face, sunken and raised edges and the
// dotted focus rectangle, drawn into a 32-bit image in the system colours.
#pragma once

#include <cstdint>

#include "ui/render/image.h"

// DrawFrameControl types and button states.
constexpr uint32_t DFC_BUTTON = 4;
constexpr uint32_t DFCS_BUTTONPUSH = 0x0010;
constexpr uint32_t DFCS_INACTIVE = 0x0100;
constexpr uint32_t DFCS_PUSHED = 0x0200;
constexpr uint32_t DFCS_CHECKED = 0x0400;
constexpr uint32_t DFCS_FLAT = 0x4000;

// DrawEdge edges and border flags.
constexpr uint32_t BDR_RAISEDOUTER = 0x0001;
constexpr uint32_t BDR_SUNKENOUTER = 0x0002;
constexpr uint32_t BDR_RAISEDINNER = 0x0004;
constexpr uint32_t BDR_SUNKENINNER = 0x0008;
constexpr uint32_t EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr uint32_t EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr uint32_t EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr uint32_t EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr uint32_t BF_LEFT = 0x0001;
constexpr uint32_t BF_TOP = 0x0002;
constexpr uint32_t BF_RIGHT = 0x0004;
constexpr uint32_t BF_BOTTOM = 0x0008;
constexpr uint32_t BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr uint32_t BF_MIDDLE = 0x0800;
constexpr uint32_t BF_ADJUST = 0x2000;

// Draws a frame control of `type` with `state` on `rect`. Only DFC_BUTTON with
// DFCS_BUTTONPUSH is drawn (the face is filled with COLOR_BTNFACE); other
// types return false.
bool DrawFrameControl(Image* image, PixelRect rect, uint32_t type, uint32_t state);

// Draws the edge kinds of `edge` on the sides named by `flags`. With BF_ADJUST
// *rect is shrunk to the area inside the edge; BF_MIDDLE fills that area with
// COLOR_BTNFACE. Rect is in/out. False for a null image or rectangle.
bool DrawEdge(Image* image, PixelRect* rect, uint32_t edge, uint32_t flags);

// Inverts every other pixel of a one-pixel frame on `rect` (exclusive right
// and bottom), starting with the top-left pixel; drawing it twice restores
// the picture, as the platform's focus rectangle does.
void DrawFocusRect(Image* image, PixelRect rect);
