// Painting of the button, selector and link, checked on the pixels whose
// colours and places are fixed: faces by state, arrow rows, focus dashes,
// fitted captions.
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "ui/controls/button.h"
#include "ui/controls/link.h"
#include "ui/controls/selector.h"
#include "ui/render/image.h"
#include "ui/render/sys_colors.h"

namespace {

struct ImageSlot {
  Image* image;
  ImageSlot(int32_t w, int32_t h) : image(NewImage(w, h)) {}
  ~ImageSlot() { FreeImage(&image); }
  Pixel At(int32_t x, int32_t y) const { return *PixelAddress(image, x, y) & 0xFFFFFF; }
};

Pixel Rgb(Color c) { return ColorToPixel(c); }
Pixel Sys(int index) { return SysPixel(index); }

FontHandle g_font = nullptr;

FontHandle TestFont() {
  if (g_font == nullptr) g_font = CreateTextFont("Tahoma", -12, 400);
  return g_font;
}

class FontRelease : public testing::Environment {
 public:
  void TearDown() override { DeleteTextFont(&g_font); }
};
const auto* const kFontRelease = testing::AddGlobalTestEnvironment(new FontRelease);

bool SamePixels(const ImageSlot& a, const ImageSlot& b) {
  for (int32_t y = 0; y < a.image->height; ++y) {
    for (int32_t x = 0; x < a.image->width; ++x) {
      if (a.At(x, y) != b.At(x, y)) return false;
    }
  }
  return true;
}

// Columns holding at least one pixel that differs from a reference picture.
void ChangedColumns(const ImageSlot& a, const ImageSlot& b, int32_t* first, int32_t* last) {
  *first = -1;
  *last = -1;
  for (int32_t x = 0; x < a.image->width; ++x) {
    for (int32_t y = 0; y < a.image->height; ++y) {
      if (a.At(x, y) != b.At(x, y)) {
        if (*first < 0) *first = x;
        *last = x;
        break;
      }
    }
  }
}

ButtonData FlatButton(int32_t w, int32_t h) {
  ButtonData b{};
  b.width = w;
  b.height = h;
  b.flat = 1;
  b.state = 1;
  return b;
}

struct FlatCase {
  const char* name;
  int hover, pressed, disabled;
  int face;
  bool outline;
};

TEST(ButtonPaint, FlatFaceFollowsTheStateTable) {
  const FlatCase cases[] = {
      {"idle", 0, 0, 0, COLOR_BTNFACE, false},
      {"pressed outside", 0, 1, 0, COLOR_BTNFACE, false},
      {"hover", 1, 0, 0, COLOR_BTNHIGHLIGHT, false},
      {"hover and pressed", 1, 1, 0, COLOR_HIGHLIGHT, false},
      {"disabled under the pointer", 1, 1, 1, COLOR_BTNFACE, true},
  };
  for (const FlatCase& c : cases) {
    SCOPED_TRACE(c.name);
    ButtonData b = FlatButton(40, 20);
    b.hover = c.hover;
    b.pressed = c.pressed;
    b.disabled = c.disabled;
    ImageSlot painted(40, 20);
    PaintButton(painted.image, &b, TestFont());
    ImageSlot expected(40, 20);
    FillRect(expected.image, 0, 0, 40, 20, Sys(COLOR_WINDOW));
    DrawTwoToneFace(expected.image, GetSysColor(c.face), 0, 0, 40, 20, true, c.outline);
    EXPECT_TRUE(SamePixels(painted, expected));
    EXPECT_EQ(painted.At(0, 0), c.outline ? ShadeColorToPixel(GetSysColor(c.face), -40)
                                          : Sys(COLOR_BTNSHADOW));
  }
}

TEST(ButtonPaint, FlatNothingDrawnAtZeroSizeAndFocusIsDashedTwoPixelsIn) {
  ButtonData empty = FlatButton(0, 20);
  ImageSlot untouched(10, 20);
  PaintButton(untouched.image, &empty, TestFont());
  EXPECT_EQ(untouched.At(5, 5), 0u);

  ButtonData b = FlatButton(40, 20);
  b.focused = 1;
  ImageSlot painted(40, 20);
  PaintButton(painted.image, &b, TestFont());
  const Pixel text = Sys(COLOR_BTNTEXT);
  // top side from x = 2: two on, two off
  EXPECT_EQ(painted.At(2, 2), text);
  EXPECT_EQ(painted.At(3, 2), text);
  EXPECT_NE(painted.At(4, 2), text);
  EXPECT_NE(painted.At(5, 2), text);
  EXPECT_EQ(painted.At(6, 2), text);
  // bottom side on row height - 3, right side on column width - 3
  EXPECT_EQ(painted.At(2, 17), text);
  EXPECT_EQ(painted.At(37, 2), text);
  EXPECT_NE(painted.At(1, 1), text);
}

TEST(ButtonPaint, FlatCaptionIsCentredAndMovesWhenPressedUnderThePointer) {
  ASSERT_NE(TestFont(), nullptr);
  char caption[] = "Apply";
  int32_t textWidth = 0;
  int32_t textHeight = 0;
  GetTextExtent(TestFont(), caption, -1, &textWidth, &textHeight);
  for (int down = 0; down < 2; ++down) {
    SCOPED_TRACE(down);
    ButtonData b = FlatButton(80, 25);
    b.text = caption;
    b.textHeight = textHeight;
    b.hover = down;
    b.pressed = down;
    ImageSlot painted(80, 25);
    PaintButton(painted.image, &b, TestFont());
    b.text = nullptr;
    ImageSlot face(80, 25);
    PaintButton(face.image, &b, TestFont());
    int32_t first = 0;
    int32_t last = 0;
    ChangedColumns(painted, face, &first, &last);
    const int32_t x = 80 / 2 - textWidth / 2 - 1 + down;
    // the caption's ink (and its shadow one pixel right) lies within its box
    EXPECT_GE(first, x);
    EXPECT_LE(last, x + textWidth + 1);
    EXPECT_LE(first, x + 2);
  }
}

TEST(ButtonPaint, ClassicAndPanelLooksCoverTheirFacesAndDrawTheFocusRectangle) {
  ButtonData b{};
  b.width = 40;
  b.height = 20;
  b.state = 1;
  b.focused = 1;
  ImageSlot classic(40, 20);
  PaintButton(classic.image, &b, TestFont());
  EXPECT_EQ(classic.At(0, 0), Sys(COLOR_3DDKSHADOW));  // focused: dark frame first
  EXPECT_EQ(classic.At(20, 10), Sys(COLOR_BTNFACE));
  EXPECT_NE(classic.At(4, 4), Sys(COLOR_BTNFACE));  // focus rectangle inverts its pixels

  b.panel = 1;
  b.focused = 0;
  ImageSlot panel(40, 20);
  PaintButton(panel.image, &b, TestFont());
  EXPECT_EQ(panel.At(1, 1), Sys(COLOR_BTNFACE));
  EXPECT_EQ(panel.At(38, 18), Sys(COLOR_BTNFACE));
  EXPECT_NE(panel.At(39, 19), Sys(COLOR_BTNFACE));  // the raised edge's dark side
}

SelectorData Selector(int32_t w, int32_t h) {
  SelectorData s{};
  s.width = w;
  s.height = h;
  s.font = TestFont();
  return s;
}

TEST(SelectorPaint, ArrowRowsInTheColourOfEachState) {
  struct Case {
    const char* name;
    bool open;
    int hover;
    Color arrow;
  } cases[] = {
      {"closed", false, 0, GetSysColor(COLOR_BTNSHADOW)},
      {"hover", false, 1, ShadeColor(GetSysColor(COLOR_BTNSHADOW), 20)},
      {"open", true, 1, GetSysColor(COLOR_BTNHIGHLIGHT)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SelectorData s = Selector(140, 25);
    s.hover = c.hover;
    s.popup = c.open ? reinterpret_cast<WindowHandle>(&s) : nullptr;
    ImageSlot painted(140, 25);
    PaintSelector(painted.image, &s);
    const int32_t arrowX = 140 - 19;
    const int32_t arrowY = 25 / 2 - 3;
    for (int32_t k = 0; k <= 5; ++k) {
      EXPECT_EQ(painted.At(arrowX + k, arrowY + k), Rgb(c.arrow)) << k;
      EXPECT_EQ(painted.At(arrowX + 10 - k, arrowY + k), Rgb(c.arrow)) << k;
      EXPECT_NE(painted.At(arrowX + k - 1, arrowY + k), Rgb(c.arrow)) << k;
      EXPECT_NE(painted.At(arrowX + 11 - k, arrowY + k), Rgb(c.arrow)) << k;
    }
    EXPECT_NE(painted.At(arrowX + 5, arrowY + 6), Rgb(c.arrow));
  }
}

TEST(SelectorPaint, TooLowToDrawAndEmptyListShowsOnlyTheBox) {
  SelectorData low = Selector(100, 5);
  ImageSlot untouched(100, 5);
  PaintSelector(untouched.image, &low);
  EXPECT_EQ(untouched.At(50, 2), 0u);

  SelectorData s = Selector(100, 25);
  ImageSlot painted(100, 25);
  PaintSelector(painted.image, &s);
  ImageSlot face(100, 25);
  DrawTwoToneFace(face.image, GetSysColor(COLOR_BTNFACE), 0, 0, 100, 25, true, false);
  DrawDownGlyph(face.image, 81, 9, 11, 7, GetSysColor(COLOR_BTNSHADOW));
  EXPECT_TRUE(SamePixels(painted, face));
}

TEST(SelectorPaint, FittingCutsWithDotsOrGivesUp) {
  FontHandle font = TestFont();
  ASSERT_NE(font, nullptr);
  const char* text = "Logging Disabled";
  int32_t full = 0;
  int32_t h = 0;
  GetTextExtent(font, text, -1, &full, &h);
  EXPECT_EQ(FitTextToWidth(font, text, full), text);
  const std::string cut = FitTextToWidth(font, text, full - 1);
  ASSERT_GE(cut.size(), 4u);
  EXPECT_EQ(cut.substr(cut.size() - 3), "...");
  int32_t cutWidth = 0;
  GetTextExtent(font, cut.c_str(), -1, &cutWidth, &h);
  EXPECT_LE(cutWidth, full - 1);
  // one character more would not have fitted
  std::string longer = std::string(text, cut.size() - 3 + 1) + "...";
  int32_t longerWidth = 0;
  GetTextExtent(font, longer.c_str(), -1, &longerWidth, &h);
  EXPECT_GT(longerWidth, full - 1);
  int32_t oneAndDots = 0;
  GetTextExtent(font, "L...", -1, &oneAndDots, &h);
  EXPECT_EQ(FitTextToWidth(font, text, oneAndDots), "L...");
  EXPECT_EQ(FitTextToWidth(font, text, oneAndDots - 1), "");
  // a multi-byte character is never split
  EXPECT_EQ(FitTextToWidth(font, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 0), "");
  const std::string accented = FitTextToWidth(font, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9x", 30);
  EXPECT_EQ((accented.size() - 3) % 2, 0u);
}

TEST(SelectorPaint, CaptionStaysLeftOfTheArrowAndVanishesWhenNothingFits) {
  MenuItemList items{};
  AddMenuItem(&items, 0, 5, "Internet Server Internet Server", nullptr, 0);
  for (int32_t width : {90, 35}) {
    SCOPED_TRACE(width);
    SelectorData s = Selector(width, 25);
    s.items = items;
    ImageSlot painted(width, 25);
    PaintSelector(painted.image, &s);
    SelectorData bare = Selector(width, 25);
    ImageSlot face(width, 25);
    PaintSelector(face.image, &bare);
    int32_t first = 0;
    int32_t last = 0;
    ChangedColumns(painted, face, &first, &last);
    if (width == 90) {
      EXPECT_GE(first, 5);             // text at x = 6 - 1 (and its shadow at 6)
      EXPECT_LT(last, width - 19);     // everything left of the arrow
    } else {
      EXPECT_EQ(first, -1);  // 35 - 19 - 6 = 10 pixels: not even "I..." fits
    }
  }
  FreeMenuItems(&items);
}

TEST(LinkPaint, BackgroundCaptionColoursAndFocus) {
  char caption[] = "Report Bug";
  LinkData l{};
  l.text = caption;
  l.width = 90;
  l.height = 20;
  l.normalColour = kLinkNormalColour;
  l.hoverColour = kLinkHoverColour;
  l.ownBackground = 1;
  l.backColour = MakeColor(10, 20, 30);
  for (int hover = 0; hover < 2; ++hover) {
    l.hover = hover;
    ImageSlot painted(90, 20);
    PaintLink(painted.image, &l, TestFont());
    EXPECT_EQ(painted.At(0, 0), Rgb(l.backColour));
    bool sawLinkColour = false;
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 90; ++x)
        sawLinkColour |= painted.At(x, y) == Rgb(hover ? kLinkHoverColour : kLinkNormalColour);
    EXPECT_TRUE(sawLinkColour) << hover;
  }
  l.ownBackground = 0;
  l.focused = 1;
  ImageSlot focused(90, 20);
  PaintLink(focused.image, &l, TestFont());
  EXPECT_EQ(focused.At(85, 18), Sys(COLOR_BTNFACE));
  EXPECT_NE(focused.At(0, 0), Sys(COLOR_BTNFACE));  // the focus rectangle starts at the corner
  EXPECT_EQ(focused.At(1, 0), Sys(COLOR_BTNFACE));
}

}  // namespace
