// The pictures of EDIT, STATIC and the message box, painted into memory and
// checked pixel by pixel: edges, field colours, the selection band, the
// caret, scrolling, wrapping and alignment, the signs and the button.
// With AMBREL_DUMP_DIR set, each picture is also written out for a look.
#include <gtest/gtest.h>

#include <string>

#include "image_dump.h"
#include "platform/text.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/edit_paint.h"
#include "window/builtin/message_box_paint.h"
#include "window/builtin/message_icons.h"
#include "window/builtin/static_paint.h"

namespace {

class Paint : public ::testing::Test {
 protected:
  void SetUp() override {
    font_ = CreateTextFont("Tahoma", -12, 400);
    ASSERT_NE(font_, nullptr);
  }
  void TearDown() override {
    DeleteTextFont(&font_);
    FreeImage(&image_);
  }
  Image* Canvas(int width, int height) {
    FreeImage(&image_);
    image_ = NewImage(width, height);
    return image_;
  }
  Pixel At(int x, int y) const { return *PixelAddress(image_, x, y) & 0x00FFFFFFu; }
  static Pixel Sys(int index) { return ColorToPixel(GetSysColor(index)); }
  // Count of pixels in a rectangle that differ from `background`.
  int Ink(int x0, int y0, int x1, int y1, Pixel background) const {
    int count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) count += At(x, y) != background;
    return count;
  }
  int CountPixels(Pixel colour) const {
    return image_->width * image_->height - Ink(0, 0, image_->width, image_->height, colour);
  }
  // Leftmost and rightmost columns with ink in rows [y0, y1).
  std::pair<int, int> InkColumns(int y0, int y1, Pixel background) const {
    int left = image_->width, right = -1;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < image_->width; ++x)
        if (At(x, y) != background) left = std::min(left, x), right = std::max(right, x);
    return {left, right};
  }

  FontHandle font_ = nullptr;
  Image* image_ = nullptr;
};

TEST_F(Paint, EditFieldWithClientEdgeSelectionAndCaret) {
  EditModel model;
  EditSetText(model, "/var/www/site");
  EditSetSelection(model, 5, 8);  // "www"
  EditLook look{font_, true, true, false, true, true};
  PaintEdit(Canvas(200, 25), model, look);
  DumpImage(image_, "edit_selected");
  // Sunken edge: shadow on the outer top-left, highlight on the outer bottom-right.
  EXPECT_EQ(At(0, 0), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(At(199, 24), Sys(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(At(1, 1), Sys(COLOR_3DDKSHADOW));
  // Field colour inside, text ink present, selection band of the highlight colour.
  EXPECT_EQ(At(190, 12), Sys(COLOR_WINDOW));
  EXPECT_GT(CountPixels(Sys(COLOR_HIGHLIGHT)), 60);
  EditTextArea area = GetEditTextArea(look, 200, 25);
  std::vector<int> columns = MeasureBoundaryColumns(font_, model.text);
  int band_left = area.left + columns[5];
  int band_right = area.left + columns[8];
  EXPECT_EQ(At(band_left, area.text_top), Sys(COLOR_HIGHLIGHT));
  EXPECT_EQ(At(band_right - 1, area.text_top + area.line_height - 1), Sys(COLOR_HIGHLIGHT));
  EXPECT_NE(At(band_right, area.text_top), Sys(COLOR_HIGHLIGHT));
  // The caret at the selection's end inverts the column it stands on.
  EXPECT_NE(At(band_right, area.text_top + 1), Sys(COLOR_WINDOW));

  // Without the focus neither the band nor the caret shows.
  look.focused = false;
  PaintEdit(Canvas(200, 25), model, look);
  EXPECT_EQ(CountPixels(Sys(COLOR_HIGHLIGHT)), 0);
  EXPECT_EQ(At(band_right, area.text_top + 1), Sys(COLOR_WINDOW));
}

TEST_F(Paint, EditCaretBlinkPhaseAndDisabledLook) {
  EditModel model;
  EditSetText(model, "abc");
  EditLook look{font_, true, true, false, true, true};
  EditTextArea area = GetEditTextArea(look, 120, 24);
  PaintEdit(Canvas(120, 24), model, look);
  std::vector<Pixel> lit;
  for (int y = 0; y < 24; ++y) lit.push_back(At(area.left, y));
  look.caret_on = false;
  PaintEdit(Canvas(120, 24), model, look);
  // The caret inverts exactly the line's rows of the column before "a".
  for (int y = 0; y < 24; ++y) {
    bool in_line = y >= area.text_top && y < area.text_top + area.line_height;
    EXPECT_EQ(lit[static_cast<size_t>(y)] == (At(area.left, y) ^ 0xFFFFFFu), in_line) << y;
  }

  look.enabled = false;
  PaintEdit(Canvas(120, 24), model, look);
  DumpImage(image_, "edit_disabled");
  EXPECT_EQ(At(100, 12), Sys(COLOR_BTNFACE));
  EXPECT_GT(CountPixels(Sys(COLOR_GRAYTEXT)), 0);
  EXPECT_EQ(CountPixels(Sys(COLOR_WINDOWTEXT)), 0);
}

TEST_F(Paint, EditScrollMovesTheTextAndClipsAtTheEdge) {
  EditModel model;
  EditSetText(model, "Wide text that runs past the field's right edge");
  EditLook look{font_, true, true, false, false, false};
  EditTextArea area = GetEditTextArea(look, 100, 24);
  PaintEdit(Canvas(100, 24), model, look);
  std::vector<Pixel> before;
  for (int x = 0; x < 100; ++x) before.push_back(At(x, area.text_top + 5));
  model.scroll = 7;
  PaintEdit(Canvas(100, 24), model, look);
  DumpImage(image_, "edit_scrolled");
  // Inside the text area the picture is the unscrolled one moved 7 pixels left.
  for (int x = area.left; x + 7 < area.right; ++x) {
    EXPECT_EQ(At(x, area.text_top + 5), before[static_cast<size_t>(x + 7)]) << x;
  }
  // Nothing is drawn over the margins.
  Pixel field = Sys(COLOR_WINDOW);
  EXPECT_EQ(Ink(2, 2, area.left, 22, field), 0);
  EXPECT_EQ(Ink(area.right, 2, 98, 22, field), 0);
  EXPECT_GT(Ink(area.left, 2, area.right, 22, field), 30);
}

TEST_F(Paint, StaticWrapsAndTakesTheParentsColours) {
  StaticLook look;
  look.font = font_;
  look.text_colour = MakeColor(0, 0, 128);
  look.background_colour = MakeColor(240, 240, 200);
  std::string text = "Thank you for using Ambrel HTTP Server. We hope that you find it useful.";
  PaintStatic(Canvas(150, 80), text, look);
  DumpImage(image_, "static_wrapped");
  Pixel background = ColorToPixel(look.background_colour);
  EXPECT_EQ(At(149, 79), background);
  EXPECT_GT(CountPixels(ColorToPixel(look.text_colour)), 20);
  TextMetrics metrics{};
  ASSERT_TRUE(GetFontMetrics(font_, &metrics));
  int h = metrics.tmHeight;
  // Three or more lines: ink in each of the first three line bands.
  for (int line = 0; line < 3; ++line) EXPECT_GT(Ink(0, line * h, 150, (line + 1) * h, background), 0);

  // Centred: the single line's ink is balanced within a pixel or two.
  look.align = StaticAlign::kCenter;
  PaintStatic(Canvas(200, 20), "Centred", look);
  auto [left, right] = InkColumns(0, 20, background);
  EXPECT_LE(std::abs(left - (199 - right)), 2);
  look.align = StaticAlign::kLeft;
  PaintStatic(Canvas(200, 20), "Left", look);
  EXPECT_LE(InkColumns(0, 20, background).first, 1);
}

TEST_F(Paint, MessageBoxLayoutAndPicture) {
  std::string text =
      "A file operation has locked the logging thread.  To be sure the system remains "
      "stable, you should restart the server.";
  MessageBoxLayout layout = LayoutMessageBox(text, font_);
  EXPECT_GT(layout.lines.size(), 1u);
  EXPECT_LE(WidestLine(layout.lines), kMessageTextMaxWidth);
  EXPECT_LE(layout.button.right, layout.width);
  EXPECT_LE(layout.button.bottom, layout.height);
  EXPECT_GE(layout.button.top, layout.strip_top);
  EXPECT_TRUE(MessageBoxButtonHit(layout, layout.button.left, layout.button.top));
  EXPECT_FALSE(MessageBoxButtonHit(layout, layout.button.right, layout.button.top));

  Image* sign = NewMessageIcon(MessageBoxIcon::kInformation);
  ASSERT_NE(sign, nullptr);
  MessageBoxLook look{font_, MessageBoxIcon::kInformation, false, true};
  PaintMessageBox(Canvas(layout.width, layout.height), layout, text, look, sign);
  DumpImage(image_, "message_box_information");
  // The sign's middle is blue; the corners of its square stay the window colour.
  Pixel middle = At(layout.icon.left + 7, layout.icon.top + 20);
  EXPECT_GT(PixelBlue(middle), PixelRed(middle) + 60);
  EXPECT_EQ(At(layout.icon.left, layout.icon.top), Sys(COLOR_WINDOW));
  EXPECT_EQ(At(4, layout.strip_top + 4), Sys(COLOR_BTNFACE));
  // The default button's dark outline.
  EXPECT_EQ(At(layout.button.left, layout.button.top + 5), Sys(COLOR_3DDKSHADOW));
  FreeImage(&sign);

  sign = NewMessageIcon(MessageBoxIcon::kError);
  look.icon = MessageBoxIcon::kError;
  layout = LayoutMessageBox("Couldn't Create Window", font_);
  EXPECT_EQ(layout.lines.size(), 1u);
  PaintMessageBox(Canvas(layout.width, layout.height), layout, "Couldn't Create Window", look, sign);
  DumpImage(image_, "message_box_error");
  middle = At(layout.icon.left + 6, layout.icon.top + 16);
  EXPECT_GT(PixelRed(middle), PixelBlue(middle) + 60);
  FreeImage(&sign);
}

}  // namespace
