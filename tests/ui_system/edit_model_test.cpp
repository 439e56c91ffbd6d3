// The editing model on its own: key sequences against text, caret and
// selection, the length limit, EM_SETSEL rules and the scroll arithmetic.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/text.h"
#include "window/builtin/edit_model.h"

namespace {

// Bytes of "é" in the system's 8-bit text: two in UTF-8 (Linux), one in a
// single-byte ANSI code page such as Windows' 1252.
int EAcuteBytes() {
  char bytes[4];
  return EncodeTextCharacter(0xE9, bytes);
}
bool TextIsUtf8() { return EAcuteBytes() == 2; }

// Shows a model as its text with '|' at the caret and '{' at the anchor
// (when the selection is not empty): "a{bc|" is "abc" with "bc" selected.
std::string Picture(const EditModel& model) {
  std::string out;
  for (int pos = 0; pos <= static_cast<int>(model.text.size()); ++pos) {
    if (pos == model.anchor && model.anchor != model.caret) out += '{';
    if (pos == model.caret) out += '|';
    if (pos < static_cast<int>(model.text.size())) out += model.text[static_cast<size_t>(pos)];
  }
  return out;
}

// Runs a script of space-separated steps: "t:xyz" types xyz (a single "_"
// in it stands for a blank), L R H E are the arrows / Home / End, "s" and
// "c" prefixes add Shift and Ctrl, BS and DEL erase, A selects all, X cuts.
// Returns the picture and counts the change notifications.
std::string RunScript(EditModel& model, const std::string& script, int* changes) {
  std::istringstream steps(script);
  std::string step;
  while (steps >> step) {
    EditResult result;
    if (step.rfind("t:", 0) == 0) {
      std::string typed = step.substr(2);
      for (char& c : typed) c = c == '_' ? ' ' : c;
      result = EditReplaceSelection(model, typed);
    } else if (step == "BS") {
      result = EditApplyKey(model, EditKey::kBackspace, {});
    } else if (step == "DEL") {
      result = EditApplyKey(model, EditKey::kDelete, {});
    } else if (step == "A") {
      result = EditSelectAll(model);
    } else if (step == "X") {
      EditCutSelection(model, &result);
    } else {
      EditModifiers mods;
      size_t i = 0;
      for (; i + 1 < step.size(); ++i) {
        if (step[i] == 's') mods.shift = true;
        if (step[i] == 'c') mods.ctrl = true;
      }
      char k = step[i];
      EditKey key = k == 'L' ? EditKey::kLeft : k == 'R' ? EditKey::kRight
                  : k == 'H' ? EditKey::kHome : EditKey::kEnd;
      result = EditApplyKey(model, key, mods);
    }
    if (result.changed && changes) ++*changes;
  }
  return Picture(model);
}

struct KeyCase {
  const char* name;
  const char* start;   // initial text (caret at its end)
  const char* script;
  const char* picture;
  int changes;
};

TEST(EditModel, KeySequences) {
  const KeyCase cases[] = {
      {"typing appends", "", "t:a t:b t:c", "abc|", 3},
      {"typing in the middle", "ac", "L t:b", "ab|c", 1},
      {"backspace at start does nothing", "ab", "H BS", "|ab", 0},
      {"delete at end does nothing", "ab", "DEL", "ab|", 0},
      {"backspace and delete", "abcd", "L L BS DEL", "a|d", 2},
      {"home and end", "abc", "H R E L", "ab|c", 0},
      {"left stops at the start", "ab", "L L L L", "|ab", 0},
      {"shift+left selects backwards", "abcd", "sL sL", "ab|cd{", 0},
      {"shift+home selects to start", "abcd", "L sH", "|abc{d", 0},
      {"left collapses to selection start", "abcd", "sL sL L", "ab|cd", 0},
      {"right collapses to selection end", "abcd", "H sR sR R", "ab|cd", 0},
      {"shift selection reverses through the anchor", "abcd", "L L sR sR sR sL sL sL",
       "a|b{cd", 0},
      {"typing replaces the selection", "hello", "sH t:J", "J|", 1},
      {"backspace removes the selection", "hello", "L sL sL BS", "he|o", 1},
      {"delete removes the selection", "hello", "H sR sR DEL", "|llo", 1},
      {"select all then type", "old_text", "A t:new", "new|", 1},
      {"select all on empty text", "", "A", "|", 0},
      {"cut takes the selection", "abcdef", "L L sL sL X", "ab|ef", 1},
      {"cut without selection changes nothing", "abc", "X", "abc|", 0},
      {"ctrl+left jumps word starts", "one two three", "cL cL cL", "|one two three", 0},
      {"ctrl+right jumps past blanks", "one two", "H cR", "one |two", 0},
      {"ctrl+shift+left selects a word", "a b/c", "scL", "a b/|c{", 0},
      {"punctuation is its own run", "path/to", "cL cL", "path|/to", 0},
  };
  for (const KeyCase& c : cases) {
    EditModel model;
    EditSetText(model, c.start);
    EditApplyKey(model, EditKey::kEnd, {});
    int changes = 0;
    EXPECT_EQ(RunScript(model, c.script, &changes), c.picture) << c.name;
    EXPECT_EQ(changes, c.changes) << c.name;
  }
}

TEST(EditModel, CaretMovesByCodePoints) {
  if (!TextIsUtf8()) GTEST_SKIP() << "the system's 8-bit text is not UTF-8 here";
  // "é" is two bytes, "€" three, "😀" four; a stray 0xFF byte counts as one.
  EditModel model;
  EditSetText(model, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF" "b");
  std::vector<int> expected{0, 1, 3, 6, 10, 11, 12};
  EXPECT_EQ(CodePointBoundaries(model.text), expected);
  for (size_t i = 1; i < expected.size(); ++i) {
    EditApplyKey(model, EditKey::kRight, {});
    EXPECT_EQ(model.caret, expected[i]);
  }
  for (size_t i = expected.size() - 1; i-- > 0;) {
    EditApplyKey(model, EditKey::kLeft, {});
    EXPECT_EQ(model.caret, expected[i]);
  }
  // Backspace after the euro sign removes all three of its bytes.
  EditPlaceCaret(model, 6, false);
  EditApplyKey(model, EditKey::kBackspace, {});
  EXPECT_EQ(model.text, "a\xC3\xA9\xF0\x9F\x98\x80\xFF" "b");
  EXPECT_EQ(model.caret, 3);
  // A truncated sequence at the end is stepped over byte by byte.
  EditSetText(model, "x\xE2\x82");
  EXPECT_EQ(CodePointBoundaries(model.text), (std::vector<int>{0, 1, 2, 3}));
}

// In a single-byte code page every byte is a character, whatever UTF-8
// would make of it: the caret, Backspace and the limit take one at a time.
TEST(EditModel, ASingleByteCodePageStepsByteByByte) {
  if (EAcuteBytes() != 1) GTEST_SKIP() << "the system's 8-bit text is not a single-byte code page";
  EditModel model;
  EditSetText(model, "Caf\xC3\xA9\xE9");
  EXPECT_EQ(CodePointBoundaries(model.text), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  EditApplyKey(model, EditKey::kEnd, {});
  EditApplyKey(model, EditKey::kLeft, {});
  EditApplyKey(model, EditKey::kBackspace, {});
  EXPECT_EQ(model.text, "Caf\xC3\xE9");
  EXPECT_EQ(model.caret, 4);
  EditSetLimit(model, 6);
  EditApplyKey(model, EditKey::kEnd, {});
  EditReplaceSelection(model, "\xC3\xA9\xE9");
  EXPECT_EQ(model.text, "Caf\xC3\xE9\xC3");
}

TEST(EditModel, LengthLimitCutsInputOnCodePointBoundaries) {
  struct Case {
    const char* name;
    const char* start;
    int limit;
    const char* input;
    const char* picture;
    bool changed;
    bool truncated;
  };
  const Case cases[] = {
      {"fits exactly", "ab", 4, "cd", "abcd|", true, false},
      {"cut to the room left", "ab", 4, "cdef", "abcd|", true, true},
      {"full field refuses a key", "abcd", 4, "e", "abcd|", false, true},
      {"multi-byte char not split", "abc", 4, "\xC3\xA9", "abc|", false, true},
      {"replacing a selection frees room", "abcd", 4, "xy", "xy|", true, false},
      {"line break ends pasted text", "", 100, "first\r\nsecond", "first|", true, false},
  };
  for (const Case& c : cases) {
    if (std::string(c.name) == "multi-byte char not split" && !TextIsUtf8()) continue;
    EditModel model;
    EditSetText(model, c.start);
    EditSetLimit(model, c.limit);
    if (std::string(c.name) == "replacing a selection frees room") EditSelectAll(model);
    else EditApplyKey(model, EditKey::kEnd, {});
    EditResult result = EditReplaceSelection(model, c.input);
    EXPECT_EQ(Picture(model), c.picture) << c.name;
    EXPECT_EQ(result.changed, c.changed) << c.name;
    EXPECT_EQ(result.truncated, c.truncated) << c.name;
  }
}

TEST(EditModel, LimitRulesAndProgramText) {
  EditModel model;
  EXPECT_EQ(model.limit, kEditDefaultLimit);
  EditSetLimit(model, 0);
  EXPECT_EQ(model.limit, kEditMaximumLimit);
  EditSetLimit(model, 3);
  // Text set by the program is not cut; the user cannot add to it.
  EditSetText(model, "longer than three");
  EXPECT_EQ(model.text, "longer than three");
  EditApplyKey(model, EditKey::kEnd, {});
  EXPECT_FALSE(EditReplaceSelection(model, "x").changed);
  // But deleting still works.
  EXPECT_TRUE(EditApplyKey(model, EditKey::kBackspace, {}).changed);
}

TEST(EditModel, SetSelectionFollowsTheMessageRules) {
  struct Case {
    int start, end;
    const char* picture;
  };
  const Case cases[] = {
      {0, -1, "{abc\xC3\xA9|"},        // all
      {1, 2, "a{b|c\xC3\xA9"},         // anchor at start, caret at end
      {2, 1, "a|b{c\xC3\xA9"},         // reversed keeps the caret at `end`
      {0, 100, "{abc\xC3\xA9|"},       // past the end means the end
      {4, 4, "abc|\xC3\xA9"},          // inside "é": back onto its start
      {-1, 0, "abc\xC3\xA9|"},         // -1 removes the selection, caret stays
  };
  for (const Case& c : cases) {
    if (c.start == 4 && !TextIsUtf8()) continue;  // a place inside "é" in UTF-8 alone
    EditModel model;
    EditSetText(model, "abc\xC3\xA9");
    EditApplyKey(model, EditKey::kEnd, {});
    EditSetSelection(model, c.start, c.end);
    EXPECT_EQ(Picture(model), c.picture) << c.start << "," << c.end;
  }
}

TEST(EditModel, WordSelectionAndPointerPlacement) {
  EditModel model;
  EditSetText(model, "/var/www  site");
  EditSelectWord(model, 6);
  EXPECT_EQ(EditSelectedText(model), "www");
  EditSelectWord(model, 4);
  EXPECT_EQ(EditSelectedText(model), "/");
  EditSelectWord(model, 8);
  EXPECT_EQ(EditSelectedText(model), "  ");
  EditSelectWord(model, 14);  // past the end: the last word
  EXPECT_EQ(EditSelectedText(model), "site");
  EditPlaceCaret(model, 2, false);
  EditPlaceCaret(model, 7, true);
  EXPECT_EQ(Picture(model), "/v{ar/ww|w  site");
}

TEST(EditModel, PositionFromColumnPicksTheNearestBoundary) {
  std::vector<int> boundaries{0, 1, 3, 4};
  std::vector<int> columns{0, 6, 14, 20};
  EXPECT_EQ(EditPositionFromColumn(boundaries, columns, -30), 0);
  EXPECT_EQ(EditPositionFromColumn(boundaries, columns, 2), 0);
  EXPECT_EQ(EditPositionFromColumn(boundaries, columns, 4), 1);
  EXPECT_EQ(EditPositionFromColumn(boundaries, columns, 11), 3);
  EXPECT_EQ(EditPositionFromColumn(boundaries, columns, 500), 4);
}

TEST(EditModel, ScrollKeepsTheCaretInView) {
  struct Case {
    const char* name;
    int scroll, caret_x, text_width, view;
    int expected;
  };
  const Case cases[] = {
      {"fits: no scroll", 0, 50, 80, 100, 0},
      {"fitting text resets an old scroll", 40, 50, 80, 100, 0},
      {"caret past right edge jumps a quarter", 0, 130, 200, 100, 55},
      {"caret inside view stays", 55, 120, 200, 100, 55},
      {"caret left of view jumps back a quarter", 100, 90, 300, 100, 65},
      {"jump back stops at zero", 30, 10, 300, 100, 0},
      {"removed text pulls the view back", 200, 210, 210, 100, 136},
  };
  for (const Case& c : cases) {
    EditModel model;
    model.scroll = c.scroll;
    EditScrollToCaret(model, c.caret_x, c.text_width, c.view);
    EXPECT_EQ(model.scroll, c.expected) << c.name;
    EXPECT_GE(c.caret_x, model.scroll) << c.name;
    EXPECT_LT(c.caret_x, model.scroll + c.view) << c.name;
  }
}

}  // namespace
