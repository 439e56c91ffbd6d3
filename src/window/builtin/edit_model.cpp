#include "window/builtin/edit_model.h"

#include <algorithm>
#include <cstdlib>

#include "platform/text.h"

namespace {

int Length(const std::string& text) { return static_cast<int>(text.size()); }

unsigned char ByteAt(const std::string& text, int pos) {
  return static_cast<unsigned char>(text[static_cast<size_t>(pos)]);
}

// Length of the character starting at `pos` in the system's 8-bit text, or
// 1 for a byte that starts none.
int SequenceLength(const std::string& text, int pos) {
  return TextCharacterLength(text.data(), Length(text), pos);
}

// The last character boundary at or before `pos`.
int ClampToBoundary(const std::string& text, int pos) {
  return TextCharacterStart(text.data(), Length(text), std::clamp(pos, 0, Length(text)));
}

// Character classes for word selection and Ctrl+arrows.
enum class CharClass { kSpace, kWord, kOther };

CharClass ClassAt(const std::string& text, int pos) {
  unsigned char c = ByteAt(text, pos);
  if (c == ' ' || c == '\t') return CharClass::kSpace;
  if (c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
      (c >= 'a' && c <= 'z') || c == '_') {
    return CharClass::kWord;
  }
  return CharClass::kOther;
}

// Start of the next word right of `pos` (Ctrl+Right): skip the current run,
// then the blanks after it.
int NextWordStart(const std::string& text, int pos) {
  int n = Length(text);
  if (pos >= n) return n;
  CharClass run = ClassAt(text, pos);
  if (run != CharClass::kSpace) {
    while (pos < n && ClassAt(text, pos) == run) pos = NextCodePoint(text, pos);
  }
  while (pos < n && ClassAt(text, pos) == CharClass::kSpace) pos = NextCodePoint(text, pos);
  return pos;
}

// Start of the word left of `pos` (Ctrl+Left): skip blanks, then the run.
int PrevWordStart(const std::string& text, int pos) {
  while (pos > 0 && ClassAt(text, PrevCodePoint(text, pos)) == CharClass::kSpace) {
    pos = PrevCodePoint(text, pos);
  }
  if (pos == 0) return 0;
  CharClass run = ClassAt(text, PrevCodePoint(text, pos));
  while (pos > 0 && ClassAt(text, PrevCodePoint(text, pos)) == run) pos = PrevCodePoint(text, pos);
  return pos;
}

// Moves the caret; without `extend` the selection collapses onto it.
EditResult MoveCaret(EditModel& model, int pos, bool extend) {
  EditResult result;
  int anchor = extend ? model.anchor : pos;
  result.moved = pos != model.caret || anchor != model.anchor;
  model.caret = pos;
  model.anchor = anchor;
  return result;
}

// Removes [start, end) and leaves the caret there.
EditResult Erase(EditModel& model, int start, int end) {
  EditResult result;
  if (end > start) {
    model.text.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
    result.changed = true;
  }
  result.moved = model.caret != start || model.anchor != start || result.changed;
  model.caret = model.anchor = start;
  return result;
}

EditResult ApplyHorizontal(EditModel& model, EditKey key, EditModifiers mods) {
  const std::string& text = model.text;
  bool select = EditHasSelection(model);
  int pos = model.caret;
  if (key == EditKey::kLeft) {
    if (mods.ctrl) pos = PrevWordStart(text, pos);
    else if (select && !mods.shift) pos = EditSelectionStart(model);
    else pos = PrevCodePoint(text, pos);
  } else if (key == EditKey::kRight) {
    if (mods.ctrl) pos = NextWordStart(text, pos);
    else if (select && !mods.shift) pos = EditSelectionEnd(model);
    else pos = NextCodePoint(text, pos);
  } else if (key == EditKey::kHome) {
    pos = 0;
  } else {
    pos = Length(text);
  }
  return MoveCaret(model, pos, mods.shift);
}

}  // namespace

int NextCodePoint(const std::string& text, int pos) {
  if (pos >= Length(text)) return Length(text);
  if (pos < 0) return 0;
  return pos + SequenceLength(text, pos);
}

int PrevCodePoint(const std::string& text, int pos) {
  pos = std::min(pos, Length(text));
  if (pos <= 0) return 0;
  return ClampToBoundary(text, pos - 1);
}

std::vector<int> CodePointBoundaries(const std::string& text) {
  std::vector<int> boundaries{0};
  for (int pos = 0; pos < Length(text);) {
    pos = NextCodePoint(text, pos);
    boundaries.push_back(pos);
  }
  return boundaries;
}

int EditSelectionStart(const EditModel& model) { return std::min(model.caret, model.anchor); }
int EditSelectionEnd(const EditModel& model) { return std::max(model.caret, model.anchor); }
bool EditHasSelection(const EditModel& model) { return model.caret != model.anchor; }

std::string EditSelectedText(const EditModel& model) {
  int start = EditSelectionStart(model);
  return model.text.substr(static_cast<size_t>(start),
                           static_cast<size_t>(EditSelectionEnd(model) - start));
}

void EditSetText(EditModel& model, const std::string& text) {
  model.text = text;
  model.caret = model.anchor = 0;
  model.scroll = 0;
}

EditResult EditReplaceSelection(EditModel& model, const std::string& input) {
  std::string line = input.substr(0, input.find_first_of("\r\n"));
  int start = EditSelectionStart(model);
  int end = EditSelectionEnd(model);
  int room = std::max(0, model.limit - (Length(model.text) - (end - start)));
  EditResult result;
  if (Length(line) > room) {
    line.resize(static_cast<size_t>(ClampToBoundary(line, room)));
    result.truncated = true;
  }
  // Input that does not fit at all leaves the selection as it was.
  if (line.empty() && result.truncated) return result;
  model.text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), line);
  model.caret = model.anchor = start + Length(line);
  result.changed = end > start || !line.empty();
  result.moved = true;
  return result;
}

EditResult EditApplyKey(EditModel& model, EditKey key, EditModifiers modifiers) {
  if (key == EditKey::kDelete || key == EditKey::kBackspace) {
    if (EditHasSelection(model)) {
      return Erase(model, EditSelectionStart(model), EditSelectionEnd(model));
    }
    if (key == EditKey::kDelete) {
      return Erase(model, model.caret, NextCodePoint(model.text, model.caret));
    }
    return Erase(model, PrevCodePoint(model.text, model.caret), model.caret);
  }
  return ApplyHorizontal(model, key, modifiers);
}

EditResult EditSelectAll(EditModel& model) {
  EditResult result;
  result.moved = model.anchor != 0 || model.caret != Length(model.text);
  model.anchor = 0;
  model.caret = Length(model.text);
  return result;
}

std::string EditCutSelection(EditModel& model, EditResult* result) {
  std::string cut = EditSelectedText(model);
  EditResult erased = Erase(model, EditSelectionStart(model), EditSelectionEnd(model));
  if (result) *result = erased;
  return cut;
}

EditResult EditSetSelection(EditModel& model, int start, int end) {
  if (start == -1) return MoveCaret(model, model.caret, false);
  int n = Length(model.text);
  if (end < 0 || end > n) end = n;
  if (start < 0 || start > n) start = n;
  start = ClampToBoundary(model.text, start);
  end = ClampToBoundary(model.text, end);
  EditResult result;
  result.moved = model.anchor != start || model.caret != end;
  model.anchor = start;
  model.caret = end;
  return result;
}

void EditSetLimit(EditModel& model, int limit) {
  model.limit = limit <= 0 ? kEditMaximumLimit : limit;
}

EditResult EditPlaceCaret(EditModel& model, int pos, bool extend) {
  return MoveCaret(model, ClampToBoundary(model.text, pos), extend);
}

EditResult EditSelectWord(EditModel& model, int pos) {
  const std::string& text = model.text;
  pos = ClampToBoundary(text, pos);
  if (text.empty()) return MoveCaret(model, 0, false);
  if (pos == Length(text)) pos = PrevCodePoint(text, pos);
  CharClass run = ClassAt(text, pos);
  int start = pos;
  int end = NextCodePoint(text, pos);
  if (run != CharClass::kOther) {
    while (start > 0 && ClassAt(text, PrevCodePoint(text, start)) == run) {
      start = PrevCodePoint(text, start);
    }
    while (end < Length(text) && ClassAt(text, end) == run) end = NextCodePoint(text, end);
  }
  EditResult result;
  result.moved = model.anchor != start || model.caret != end;
  model.anchor = start;
  model.caret = end;
  return result;
}

int EditPositionFromColumn(const std::vector<int>& boundaries,
                           const std::vector<int>& columns, int x) {
  if (boundaries.empty() || columns.size() != boundaries.size()) return 0;
  size_t best = 0;
  for (size_t i = 1; i < columns.size(); ++i) {
    if (std::abs(columns[i] - x) < std::abs(columns[best] - x)) best = i;
  }
  return boundaries[best];
}

void EditScrollToCaret(EditModel& model, int caret_x, int text_width, int view_width) {
  if (view_width <= 0) {
    model.scroll = std::max(0, caret_x);
    return;
  }
  int jump = std::max(1, view_width / 4);
  if (caret_x < model.scroll) {
    model.scroll = std::max(0, caret_x - jump);
  } else if (caret_x >= model.scroll + view_width) {
    model.scroll = caret_x - view_width + jump;
  }
  // A text that fits shows from its start; otherwise never show more blank
  // space right of the text than one jump (after text was removed).
  int content = std::max(text_width, caret_x + 1);
  if (content <= view_width) {
    model.scroll = 0;
  } else if (content - model.scroll < view_width - jump) {
    model.scroll = std::max(0, content - view_width + jump);
  }
}
