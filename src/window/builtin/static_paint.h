// Painting of the built-in "STATIC" text control as a function of its
// state: the background the parent chose, and the text wrapped at blanks to
// the control's width, left-aligned, centred or right-aligned.
#pragma once

#include <string>

#include "platform/text.h"
#include "ui/render/image.h"

enum class StaticAlign { kLeft, kCenter, kRight };

struct StaticLook {
  FontHandle font = nullptr;
  StaticAlign align = StaticAlign::kLeft;
  bool enabled = true;
  Color text_colour = 0;        // what the parent set for WM_CTLCOLORSTATIC
  Color background_colour = 0;  // the parent's brush colour
  bool fill_background = true;  // false: the parent answered with no brush
};

// Paints the control into `image` (its size is the control's size).
void PaintStatic(Image* image, const std::string& text, const StaticLook& look);
