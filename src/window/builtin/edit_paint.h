// Painting of the built-in "EDIT" field as a function of its state: the
// sunken client edge, the window-coloured field, the text scrolled by the
// model's offset, the selection in the highlight colours and the caret.
#pragma once

#include <string>
#include <vector>

#include "platform/text.h"
#include "window/builtin/edit_model.h"

struct Image;

// Everything the picture depends on besides the model.
struct EditLook {
  FontHandle font = nullptr;
  bool client_edge = false;  // WS_EX_CLIENTEDGE: the two-pixel sunken edge
  bool enabled = true;
  bool read_only = false;
  bool focused = false;    // the selection shows only while focused
  bool caret_on = false;   // the caret's blink phase
};

// The area the text scrolls in, in client coordinates, and where a line of
// text starts vertically in it.
struct EditTextArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int text_top = 0;
  int line_height = 0;
};

// Where the text of a field `width` x `height` with this look goes.
EditTextArea GetEditTextArea(const EditLook& look, int width, int height);

// Pixel column of every code-point boundary of `text` (0 at the text's start),
// in the order of CodePointBoundaries.
std::vector<int> MeasureBoundaryColumns(FontHandle font, const std::string& text);

// Paints the whole field into `image` (its size is the field's size).
void PaintEdit(Image* image, const EditModel& model, const EditLook& look);
