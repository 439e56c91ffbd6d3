// Word wrapping for the built-in text controls and the message box: a text
// is cut into lines that fit a width, at blanks where possible. Pure: the
// caller supplies the measuring function, so the rules can be tested with
// any font or none.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Pixel width of a piece of text in the font being laid out.
using TextMeasure = std::function<int(std::string_view)>;

// One laid-out line: a byte range of the source text and its pixel width.
struct WrappedLine {
  int start = 0;
  int length = 0;
  int width = 0;
};

// Cuts `text` into lines no wider than `width` pixels. Carriage return, line
// feed and the pair CR LF end a line; blanks between words where a line is
// cut are dropped; a word too long for a line is cut between characters
// (never inside a UTF-8 sequence), and every line holds at least one
// character so the wrap always ends. An empty text gives no lines.
std::vector<WrappedLine> WrapText(std::string_view text, int width, const TextMeasure& measure);

// The widest of the lines (0 for none).
int WidestLine(const std::vector<WrappedLine>& lines);
