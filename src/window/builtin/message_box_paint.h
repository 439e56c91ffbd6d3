// Layout and painting of the toolkit's message box as functions of its
// state: the sign and the wrapped text on the window colour, a button strip
// in the face colour below a separator, and the OK push button drawn with
// the classic frame functions.
#pragma once

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/render/image.h"
#include "window/builtin/text_wrap.h"

// Where everything of one box goes, in client coordinates.
struct MessageBoxLayout {
  int width = 0;
  int height = 0;
  PixelRect icon{};
  int text_left = 0;
  int text_top = 0;
  int line_height = 0;
  std::vector<WrappedLine> lines;
  int strip_top = 0;  // the button strip runs from here to the bottom
  PixelRect button{};
};

// The box's state while it is shown.
struct MessageBoxLook {
  FontHandle font = nullptr;
  MessageBoxIcon icon = MessageBoxIcon::kInformation;
  bool button_pressed = false;  // pointer held down on the button
  bool focused = true;          // the box has the keyboard: focus rectangle shown
};

// Longest line of text before it wraps, in pixels.
inline constexpr int kMessageTextMaxWidth = 380;

// Lays out `text` for the box: the client size follows the text, with room
// for the sign and the button.
MessageBoxLayout LayoutMessageBox(const std::string& text, FontHandle font);

// Paints the whole client area of the box into `image` (layout size).
void PaintMessageBox(Image* image, const MessageBoxLayout& layout, const std::string& text,
                     const MessageBoxLook& look, const Image* sign);

// True when client point (x, y) lies on the OK button.
bool MessageBoxButtonHit(const MessageBoxLayout& layout, int x, int y);
