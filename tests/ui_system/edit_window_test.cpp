// The EDIT window on the headless window system: real key and pointer input
// routed by the window system, the clipboard verbs, notifications to the
// parent, the length limit, auto-scroll and the blinking caret.
#include <cstring>

#include "controls_fixture.h"
#include "image_dump.h"
#include "platform/text.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/edit_paint.h"
#include "window/window_test_hooks.h"

namespace {

class EditWindowTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    edit_ = MakeChild(kEditClassName, "", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 6, 10, 10, 200, 25);
    SetFocus(edit_);
    Pump();
    g_parent_log.commands.clear();
  }
  std::string Text() const { return GetWindowTextString(edit_); }
  std::pair<uint32_t, uint32_t> Selection() const {
    uint32_t start = 0, end = 0;
    SendWindowMessage(edit_, EM_GETSEL, reinterpret_cast<WParam>(&start),
                      reinterpret_cast<LParam>(&end));
    return {start, end};
  }
  // Client column of the boundary before byte `pos` of the current text.
  int ColumnOf(int pos) const {
    std::string text = Text();
    EditLook look;
    look.font = font_;
    look.client_edge = true;
    EditTextArea area = GetEditTextArea(look, 200, 25);
    std::vector<int> columns = MeasureBoundaryColumns(font_, text);
    std::vector<int> bounds = CodePointBoundaries(text);
    for (size_t i = 0; i < bounds.size(); ++i)
      if (bounds[i] == pos) return area.left + columns[i];
    return -1;
  }
  WindowHandle edit_ = nullptr;
};

TEST_F(EditWindowTest, TypingEditingKeysAndNotifications) {
  InjectText("hello world");
  Pump();
  EXPECT_EQ(Text(), "hello world");
  // One EN_CHANGE per character, each carrying the field's identifier.
  EXPECT_EQ(g_parent_log.Count(EN_CHANGE), 11);
  EXPECT_EQ(g_parent_log.commands.back().first, 6);

  Press(VK_HOME);
  InjectKey(VK_SHIFT, true);
  for (int i = 0; i < 5; ++i) Press(VK_RIGHT);
  InjectKey(VK_SHIFT, false);
  EXPECT_EQ(Selection(), (std::pair<uint32_t, uint32_t>{0, 5}));
  InjectText("Hi");
  Pump();
  EXPECT_EQ(Text(), "Hi world");
  Press(VK_END);
  Press(VK_BACK);
  Press(VK_LEFT);
  Press(VK_DELETE);
  EXPECT_EQ(Text(), "Hi wor");
  // Tab and Enter never reach the text (the parent or its hook owns them).
  Press(VK_TAB);
  Press(VK_RETURN);
  EXPECT_EQ(Text(), "Hi wor");

  // A typed "é" goes in as the system's bytes of it (two in UTF-8, one in
  // the ANSI code page 1252) and the caret steps over it whole.
  char e_acute[4];
  const std::string typed(e_acute, static_cast<size_t>(EncodeTextCharacter(0xE9, e_acute)));
  ASSERT_FALSE(typed.empty());
  InjectText("\xC3\xA9");
  Pump();
  EXPECT_EQ(Text(), "Hi wor" + typed);
  Press(VK_LEFT);
  Press(VK_LEFT);
  Press(VK_DELETE);
  EXPECT_EQ(Text(), "Hi wo" + typed);
}

TEST_F(EditWindowTest, TextAndSelectionMessages) {
  g_parent_log.commands.clear();
  EXPECT_EQ(SendWindowMessage(edit_, WM_SETTEXT, 0, reinterpret_cast<LParam>("C:/www/site")), 1);
  EXPECT_EQ(g_parent_log.Count(EN_CHANGE), 1);  // the program's own change is reported too
  EXPECT_EQ(SendWindowMessage(edit_, WM_GETTEXTLENGTH, 0, 0), 11);
  char small[5];
  EXPECT_EQ(SendWindowMessage(edit_, WM_GETTEXT, sizeof small, reinterpret_cast<LParam>(small)), 4);
  EXPECT_STREQ(small, "C:/w");
  EXPECT_EQ(Selection(), (std::pair<uint32_t, uint32_t>{0, 0}));
  SendWindowMessage(edit_, EM_SETSEL, 3, 6);
  EXPECT_EQ(Selection(), (std::pair<uint32_t, uint32_t>{3, 6}));
  EXPECT_EQ(SendWindowMessage(edit_, EM_GETSEL, 0, 0), 3 | (6 << 16));
  SendWindowMessage(edit_, EM_SETSEL, 0, static_cast<LParam>(-1));
  EXPECT_EQ(Selection(), (std::pair<uint32_t, uint32_t>{0, 11}));
  SendWindowMessage(edit_, EM_REPLACESEL, 0, reinterpret_cast<LParam>("/srv"));
  EXPECT_EQ(Text(), "/srv");
}

TEST_F(EditWindowTest, LengthLimitStopsTypingAndPaste) {
  SendWindowMessage(edit_, EM_LIMITTEXT, 5, 0);
  EXPECT_EQ(SendWindowMessage(edit_, EM_GETLIMITTEXT, 0, 0), 5);
  InjectText("abcdefgh");
  Pump();
  EXPECT_EQ(Text(), "abcde");
  EXPECT_GE(g_parent_log.Count(EN_MAXTEXT), 1);
  EXPECT_EQ(g_parent_log.Count(EN_CHANGE), 5);
  // A paste is cut to the room left.
  Press(VK_BACK);
  Press(VK_BACK);
  std::string clip = "XYZW";
  ASSERT_TRUE(SetSelectionText(ClipboardSelection::kClipboard, parent_, clip.data(), clip.size()));
  Chord(VK_CONTROL, 'V');
  EXPECT_EQ(Text(), "abcXY");
}

TEST_F(EditWindowTest, ClipboardCopyCutPasteThroughTheSelections) {
  InjectText("alpha beta");
  Pump();
  Chord(VK_CONTROL, 'A');
  EXPECT_EQ(Selection(), (std::pair<uint32_t, uint32_t>{0, 10}));
  Chord(VK_CONTROL, 'C');
  std::string got;
  ASSERT_TRUE(GetSelectionText(ClipboardSelection::kClipboard, &got));
  EXPECT_EQ(got, "alpha beta");
  // Selecting also offers the text as the primary selection.
  ASSERT_TRUE(GetSelectionText(ClipboardSelection::kPrimary, &got));
  EXPECT_EQ(got, "alpha beta");

  InjectKey(VK_SHIFT, true);
  Press(VK_LEFT);
  Press(VK_LEFT);
  Press(VK_LEFT);
  Press(VK_LEFT);
  InjectKey(VK_SHIFT, false);
  // Shift+Left from a full selection moves the caret end: "alpha " stays selected.
  Chord(VK_CONTROL, 'X');
  EXPECT_EQ(Text(), "beta");
  ASSERT_TRUE(GetSelectionText(ClipboardSelection::kClipboard, &got));
  EXPECT_EQ(got, "alpha ");
  Press(VK_END);
  Chord(VK_CONTROL, 'V');
  Chord(VK_SHIFT, VK_INSERT);
  EXPECT_EQ(Text(), "betaalpha alpha ");
}

TEST_F(EditWindowTest, MouseSelectionDragAndMiddleClickPaste) {
  SetWindowTextOf(edit_, "/var/www/site");
  Pump();
  // Press before "www", drag to after it, release: "www" is selected.
  PointAt(edit_, ColumnOf(5) + 1, 12);
  InjectMouseButton(MouseButton::kLeft, true);
  Pump();
  EXPECT_EQ(GetCaptureWindow(), edit_);
  PointAt(edit_, ColumnOf(8), 12);
  Pump();
  InjectMouseButton(MouseButton::kLeft, false);
  Pump();
  EXPECT_EQ(GetCaptureWindow(), nullptr);
  EXPECT_EQ(Selection(), (std::pair<uint32_t, uint32_t>{5, 8}));
  std::string got;
  ASSERT_TRUE(GetSelectionText(ClipboardSelection::kPrimary, &got));
  EXPECT_EQ(got, "www");

  // Dragging far past the left edge (with capture) selects to the start.
  AdvanceHeadlessClock(2000);  // a later press, not a double click
  PointAt(edit_, ColumnOf(8), 12);
  InjectMouseButton(MouseButton::kLeft, true);
  PointAt(edit_, -300, 12);
  InjectMouseButton(MouseButton::kLeft, false);
  Pump();
  EXPECT_EQ(Selection(), (std::pair<uint32_t, uint32_t>{0, 8}));

  // Middle click at the end inserts the primary selection there.
  std::string primary = "/x";
  ASSERT_TRUE(SetSelectionText(ClipboardSelection::kPrimary, parent_, primary.data(), primary.size()));
  PointAt(edit_, 190, 12);
  Click(MouseButton::kMiddle);
  EXPECT_EQ(Text(), "/var/www/site/x");
}

TEST_F(EditWindowTest, DisabledFieldTakesNoInputAndLooksGrey) {
  InjectText("abc");
  Pump();
  EnableWindow(edit_, false);
  Pump();
  InjectText("def");
  PointAt(edit_, 20, 12);
  Click(MouseButton::kLeft);
  EXPECT_EQ(Text(), "abc");
  WindowPixels shown;
  ASSERT_TRUE(CaptureWindowPixels(edit_, &shown));
  EXPECT_EQ(shown.At(100, 12) & 0xFFFFFFu, ColorToPixel(GetSysColor(COLOR_BTNFACE)));
}

TEST_F(EditWindowTest, LongTextScrollsToKeepTheCaretInViewAndTheCaretBlinks) {
  InjectText("/home/someone/projects/a-rather-long-directory-name/public_html");
  Pump();
  WindowPixels at_end;
  ASSERT_TRUE(CaptureWindowPixels(edit_, &at_end));
  Press(VK_HOME);
  WindowPixels at_home;
  ASSERT_TRUE(CaptureWindowPixels(edit_, &at_home));
  // Home scrolls back to the start: the picture is the unscrolled field.
  Image* expected = NewImage(200, 25);
  EditModel model;
  EditSetText(model, Text());
  EditLook look{font_, true, true, false, true, true};
  PaintEdit(expected, model, look);
  DumpImage(expected, "edit_window_home");
  int differing = 0;
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 200; ++x)
      differing += (at_home.At(x, y) & 0xFFFFFFu) != (*PixelAddress(expected, x, y) & 0xFFFFFFu);
  EXPECT_EQ(differing, 0);
  FreeImage(&expected);
  int changed = 0;
  for (size_t i = 0; i < at_end.pixels.size(); ++i) changed += at_end.pixels[i] != at_home.pixels[i];
  EXPECT_GT(changed, 100);

  // After one blink period the caret column is gone, after two it is back.
  Press(VK_END);
  WindowPixels lit, dark, lit_again;
  CaptureWindowPixels(edit_, &lit);
  AdvanceHeadlessClock(kCaretBlinkMs);
  Pump();
  CaptureWindowPixels(edit_, &dark);
  AdvanceHeadlessClock(kCaretBlinkMs);
  Pump();
  CaptureWindowPixels(edit_, &lit_again);
  int caret_pixels = 0, caret_column = -1;
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 200; ++x)
      if (lit.At(x, y) != dark.At(x, y)) ++caret_pixels, caret_column = x;
  EXPECT_GT(caret_pixels, 8);
  EXPECT_GT(caret_column, 100);  // at the end of the scrolled text, in the right half
  EXPECT_LT(caret_column, 196);  // and inside the text area
  EXPECT_EQ(lit.pixels, lit_again.pixels);
}

TEST_F(EditWindowTest, FocusMessagesReachTheParent) {
  WindowHandle other = MakeChild(kEditClassName, "", 0, 0, 7, 10, 50, 100, 25);
  g_parent_log.commands.clear();
  SetFocus(other);
  Pump();
  ASSERT_EQ(g_parent_log.commands.size(), 2u);
  EXPECT_EQ(g_parent_log.commands[0], (std::pair<int, int>{6, EN_KILLFOCUS}));
  EXPECT_EQ(g_parent_log.commands[1], (std::pair<int, int>{7, EN_SETFOCUS}));
  // A click gives the focus to the field clicked.
  PointAt(edit_, 50, 12);
  Click(MouseButton::kLeft);
  EXPECT_EQ(GetFocusWindow(), edit_);
}

}  // namespace
