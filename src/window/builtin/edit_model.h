// The single-line editor behind the built-in "EDIT" class, as a plain record
// and free functions: text, caret, selection, horizontal scroll and the
// editing operations. Nothing here knows about windows, fonts or the
// clipboard, so every behaviour can be exercised by feeding it operations.
//
// Text is the system's 8-bit text (UTF-8 on Linux, the ANSI code page on
// Windows). Positions are byte offsets that always sit on a character
// boundary; a byte that does not start a valid sequence counts as one
// character of its own.
#pragma once

#include <string>
#include <vector>

// The default length limit of a new field, in bytes (the system's own).
inline constexpr int kEditDefaultLimit = 30000;
// The limit that EM_LIMITTEXT / EM_SETLIMITTEXT with 0 sets: as good as none.
inline constexpr int kEditMaximumLimit = 0x7FFFFFFE;

struct EditModel {
  std::string text;
  int caret = 0;   // byte offset of the caret; the moving end of the selection
  int anchor = 0;  // fixed end of the selection; anchor == caret means none
  int scroll = 0;  // pixels of text hidden at the left edge
  int limit = kEditDefaultLimit;
};

// Keys the editor understands; the window procedure maps virtual keys onto them.
enum class EditKey { kLeft, kRight, kHome, kEnd, kDelete, kBackspace };

// Modifier state that accompanies a key.
struct EditModifiers {
  bool shift = false;
  bool ctrl = false;
};

// What an operation did, so the caller can notify the parent and repaint.
struct EditResult {
  bool changed = false;    // text changed: the parent gets EN_CHANGE
  bool moved = false;      // caret or selection changed: repaint
  bool truncated = false;  // input was cut at the length limit: EN_MAXTEXT
};

// Code-point stepping: the offset of the next / previous boundary from `pos`.
int NextCodePoint(const std::string& text, int pos);
int PrevCodePoint(const std::string& text, int pos);

// Every code-point boundary of `text`, from 0 to its length, in order.
std::vector<int> CodePointBoundaries(const std::string& text);

// Selection in increasing order (start <= end).
int EditSelectionStart(const EditModel& model);
int EditSelectionEnd(const EditModel& model);
bool EditHasSelection(const EditModel& model);
std::string EditSelectedText(const EditModel& model);

// Replaces the whole text (WM_SETTEXT): no selection, caret at the start,
// scroll reset. The limit does not apply to text set by the program.
void EditSetText(EditModel& model, const std::string& text);

// Replaces the selection by `input` as the user typed or pasted it: the input
// ends at its first line break (a single line), and is cut on a code-point
// boundary where the limit would be exceeded.
EditResult EditReplaceSelection(EditModel& model, const std::string& input);

// Applies an editing or movement key.
EditResult EditApplyKey(EditModel& model, EditKey key, EditModifiers modifiers);

// Ctrl+A: selects the whole text with the caret at its end.
EditResult EditSelectAll(EditModel& model);

// Cut: removes the selection and returns it (empty when there was none).
std::string EditCutSelection(EditModel& model, EditResult* result);

// EM_SETSEL: start -1 removes the selection (the caret stays); end -1 or
// beyond the text means the end of the text. Offsets are clamped and moved
// back onto code-point boundaries. The caret goes to `end`.
EditResult EditSetSelection(EditModel& model, int start, int end);

// EM_LIMITTEXT / EM_SETLIMITTEXT: 0 or less lifts the limit to the maximum.
// Text already longer than the new limit is kept.
void EditSetLimit(EditModel& model, int limit);

// Pointer: places the caret at `pos` (already a boundary), extending the
// selection from the anchor when `extend` is set.
EditResult EditPlaceCaret(EditModel& model, int pos, bool extend);

// Double-click: selects the word (or run of blanks, or single punctuation
// character) around `pos`.
EditResult EditSelectWord(EditModel& model, int pos);

// The boundary nearest to pixel column `x` of the text (0 = the text's left
// edge), given each boundary's pixel column as `columns` (same order and
// count as CodePointBoundaries).
int EditPositionFromColumn(const std::vector<int>& boundaries,
                           const std::vector<int>& columns, int x);

// Adjusts `scroll` so that the caret column `caret_x` is inside a view
// `view_width` pixels wide, jumping a quarter view at a time, and so that no
// more than a jump of blank space shows right of a text `text_width` wide.
void EditScrollToCaret(EditModel& model, int caret_x, int text_width, int view_width);
