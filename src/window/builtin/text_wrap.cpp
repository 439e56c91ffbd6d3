#include "window/builtin/text_wrap.h"

#include <algorithm>

#include "platform/text.h"

namespace {

int Size(std::string_view text) { return static_cast<int>(text.size()); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// Offset just past the character of the system's 8-bit text starting at `pos`.
int NextChar(std::string_view text, int pos) {
  return pos + TextCharacterLength(text.data(), Size(text), pos);
}

// End of the word starting at `pos` (a run of non-blank, non-break bytes).
int WordEnd(std::string_view text, int pos) {
  while (pos < Size(text) && !IsBlank(text[static_cast<size_t>(pos)]) &&
         !IsBreak(text[static_cast<size_t>(pos)])) {
    ++pos;
  }
  return pos;
}

// The longest prefix of [start, end) that fits `width`, cut between
// characters; at least one character.
int FitCharacters(std::string_view text, int start, int end, int width, const TextMeasure& measure) {
  int fit = NextChar(text, start);
  while (fit < end) {
    int next = NextChar(text, fit);
    if (measure(text.substr(static_cast<size_t>(start), static_cast<size_t>(next - start))) > width) {
      break;
    }
    fit = next;
  }
  return std::min(fit, end);
}

// Lays out one paragraph [start, end) (no breaks inside) into `lines`.
void WrapParagraph(std::string_view text, int start, int end, int width, const TextMeasure& measure,
                   std::vector<WrappedLine>& lines) {
  auto piece = [&](int a, int b) { return text.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)); };
  int line = start;
  while (true) {
    // Grow the line word by word while it fits.
    int line_end = line;
    int pos = line;
    while (pos < end) {
      int word_start = pos;
      while (word_start < end && IsBlank(text[static_cast<size_t>(word_start)])) ++word_start;
      int word_end = WordEnd(text, word_start);
      if (word_end > end) word_end = end;
      if (word_end == word_start || measure(piece(line, word_end)) > width) break;
      line_end = pos = word_end;
    }
    if (line_end == line) {
      // Nothing fits: leading blanks are dropped and the line tried again;
      // a word alone too wide is cut between characters.
      if (IsBlank(text[static_cast<size_t>(line)])) {
        while (line < end && IsBlank(text[static_cast<size_t>(line)])) ++line;
        if (line >= end) return;
        continue;
      }
      line_end = FitCharacters(text, line, std::min(WordEnd(text, line), end), width, measure);
    }
    lines.push_back({line, line_end - line, measure(piece(line, line_end))});
    // Blanks at the cut are dropped.
    line = line_end;
    while (line < end && IsBlank(text[static_cast<size_t>(line)])) ++line;
    if (line >= end) return;
  }
}

}  // namespace

std::vector<WrappedLine> WrapText(std::string_view text, int width, const TextMeasure& measure) {
  std::vector<WrappedLine> lines;
  int pos = 0;
  while (pos < Size(text)) {
    int end = pos;
    while (end < Size(text) && !IsBreak(text[static_cast<size_t>(end)])) ++end;
    size_t before = lines.size();
    WrapParagraph(text, pos, end, width, measure, lines);
    if (lines.size() == before) lines.push_back({pos, 0, 0});  // an empty line
    if (end >= Size(text)) break;
    // CR LF counts as one break.
    pos = end + ((text[static_cast<size_t>(end)] == '\r' && end + 1 < Size(text) &&
                  text[static_cast<size_t>(end) + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

int WidestLine(const std::vector<WrappedLine>& lines) {
  int widest = 0;
  for (const WrappedLine& line : lines) widest = std::max(widest, line.width);
  return widest;
}
