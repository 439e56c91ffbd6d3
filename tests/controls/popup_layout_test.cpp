// The popup's geometry and painting: item spans, placement against the work
// area, hit testing, scroll bands, the wheel and keyboard stepping.
#include <gtest/gtest.h>

#include <vector>

#include "platform/text.h"
#include "ui/controls/popup.h"
#include "ui/render/sys_colors.h"

namespace {

FontHandle g_font = nullptr;

FontHandle TestFont() {
  if (g_font == nullptr) g_font = CreateTextFont("Tahoma", -12, 700);
  return g_font;
}

class FontRelease : public testing::Environment {
 public:
  void TearDown() override { DeleteTextFont(&g_font); }
};
const auto* const kFontRelease = testing::AddGlobalTestEnvironment(new FontRelease);

// A popup record laid out as OpenPopup does, placed at (0, 0) below a point
// inside a work area `workHeight` tall.
struct TestPopup {
  PopupData data{};
  int32_t contentWidth = 0;
  int32_t contentHeight = 0;

  TestPopup(const std::vector<const char*>& texts, int32_t workHeight) {
    data.font = TestFont();
    int32_t id = 1;
    for (const char* text : texts) {
      MenuItem* item = AddMenuItem(&data.items, 0, text[0] ? id++ : kSeparatorId, text, nullptr, 0);
      if (item != nullptr && text[0] == '\0') item->id = kSeparatorId;
    }
    data.items.current = nullptr;
    LayoutPopupItems(&data, &contentWidth, &contentHeight);
    PixelRect placed = PlacePopup(PixelRect{0, 0, 0, 0}, contentWidth, contentHeight + 4,
                                  PixelRect{0, 0, 1000, workHeight}, 1);
    data.width = placed.right - placed.left;
    data.height = placed.bottom - placed.top;
    SetPopupScrolling(&data, contentHeight, data.height);
  }
  ~TestPopup() { FreeMenuItems(&data.items); }
  MenuItem* Item(int index) {
    MenuItem* item = data.items.first;
    while (index-- > 0) item = item->next;
    return item;
  }
};

TEST(PopupLayout, ShortTextsGiveTheMinimumWidthAndItemsSpanTwoTo178) {
  ASSERT_NE(TestFont(), nullptr);
  TestPopup p({"One", "Two", "Three"}, 800);
  TextMetrics metrics{};
  GetFontMetrics(TestFont(), &metrics);
  EXPECT_EQ(p.data.itemHeight, metrics.tmHeight + 8);
  EXPECT_EQ(p.data.width, 180);
  EXPECT_EQ(p.data.height, 3 * p.data.itemHeight + 4);
  EXPECT_EQ(p.data.maxScroll, 0);
  int32_t y = 0;
  for (MenuItem* item = p.data.items.first; item != nullptr; item = item->next) {
    EXPECT_EQ(item->left, 2);
    EXPECT_EQ(item->right, 178);
    EXPECT_EQ(item->top, y);
    y = item->bottom;
  }
}

TEST(PopupLayout, LongTextWidensByFortyEightAndSeparatorsAreThreeRows) {
  const char* text = "About Ambrel HTTP Server... and a good deal more text";
  TestPopup p({"Show", "", text}, 800);
  int32_t w = 0;
  int32_t h = 0;
  GetTextExtent(TestFont(), text, -1, &w, &h);
  EXPECT_EQ(p.contentWidth, w + 48);
  EXPECT_EQ(p.Item(1)->bottom - p.Item(1)->top, 3);
  EXPECT_EQ(p.contentHeight, 2 * p.data.itemHeight + 3);
}

struct PlaceCase {
  const char* name;
  PixelRect anchor;
  int32_t w, h;
  int mode;
  PixelRect expected;
};

TEST(PopupLayout, PlacementAgainstTheWorkArea) {
  const PixelRect work{0, 0, 800, 600};
  const PlaceCase cases[] = {
      {"below a point", {100, 100, 100, 100}, 180, 90, 1, {100, 100, 280, 190}},
      {"near the bottom: opens upward", {100, 560, 100, 560}, 180, 90, 1, {100, 470, 280, 560}},
      {"more room below: cut to the work area", {100, 200, 100, 200}, 180, 500, 1, {100, 200, 280, 600}},
      {"anchor below the work area", {100, 650, 100, 650}, 180, 90, 1, {100, 510, 280, 600}},
      {"taller than everything: top raised", {100, 500, 100, 500}, 180, 700, 1, {100, 0, 280, 500}},
      {"past the right edge", {700, 10, 700, 10}, 180, 90, 1, {620, 10, 800, 100}},
      {"left of the work area", {-50, 10, -50, 10}, 180, 90, 1, {0, 10, 180, 100}},
      {"submenu to the right", {100, 100, 280, 125}, 180, 90, 0, {280, 100, 460, 190}},
      {"submenu flips left", {600, 100, 780, 125}, 180, 90, 0, {420, 100, 600, 190}},
      {"submenu rises from the bottom", {100, 550, 280, 575}, 180, 90, 0, {280, 485, 460, 575}},
      {"submenu anchor beyond the right edge", {900, 100, 950, 125}, 180, 90, 0, {620, 100, 800, 190}},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    PixelRect r = PlacePopup(c.anchor, c.w, c.h, work, c.mode);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
}

TEST(PopupLayout, HitTestingSkipsSeparatorsDisabledItemsAndTheFrame) {
  TestPopup p({"One", "", "Three", "Four"}, 800);
  p.Item(3)->disabled = 1;
  PopupZone zone;
  const int32_t o = 2;
  EXPECT_EQ(HitTestPopup(&p.data, 10, o + p.Item(0)->top, &zone), p.Item(0));
  EXPECT_EQ(zone, PopupZone::kItems);
  EXPECT_EQ(HitTestPopup(&p.data, 10, o + p.Item(1)->top + 1, &zone), nullptr);
  EXPECT_EQ(HitTestPopup(&p.data, 177, o + p.Item(2)->bottom - 1, &zone), p.Item(2));
  EXPECT_EQ(HitTestPopup(&p.data, 178, o + p.Item(2)->top, &zone), nullptr);
  EXPECT_EQ(zone, PopupZone::kNone);
  EXPECT_EQ(HitTestPopup(&p.data, 1, o + p.Item(2)->top, &zone), nullptr);
  EXPECT_EQ(HitTestPopup(&p.data, 10, o + p.Item(3)->top, &zone), nullptr);
}

std::vector<const char*> ManyItems(int n) {
  static const char* names[] = {"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot"};
  std::vector<const char*> texts;
  for (int i = 0; i < n; ++i) texts.push_back(names[i % 6]);
  return texts;
}

TEST(PopupLayout, ATallListScrollsBetweenBands) {
  TestPopup p(ManyItems(30), 300);
  ASSERT_EQ(p.data.height, 300);
  EXPECT_EQ(p.data.viewHeight, 300 - 38);
  EXPECT_EQ(p.data.maxScroll, p.contentHeight - 300 + 38);
  PopupZone zone;
  HitTestPopup(&p.data, 50, 2, &zone);
  EXPECT_EQ(zone, PopupZone::kScrollUp);
  HitTestPopup(&p.data, 50, 16, &zone);
  EXPECT_EQ(zone, PopupZone::kScrollUp);
  EXPECT_EQ(HitTestPopup(&p.data, 50, 300 - 17, &zone), nullptr);
  EXPECT_EQ(zone, PopupZone::kScrollDown);
  EXPECT_EQ(HitTestPopup(&p.data, 50, 19, &zone), p.Item(0));

  // down one item at a time until the end, never past maxScroll
  int steps = 0;
  while (ScrollPopupDown(&p.data)) ++steps;
  EXPECT_EQ(p.data.scrollOffset, p.data.maxScroll);
  EXPECT_GT(steps, 0);
  EXPECT_TRUE(ScrollPopupUp(&p.data));
  EXPECT_LT(p.data.scrollOffset, p.data.maxScroll);
  while (ScrollPopupUp(&p.data)) {
  }
  EXPECT_EQ(p.data.scrollOffset, 0);
}

TEST(PopupLayout, AWheelNotchAndTwoHalfNotchesScrollOneItem) {
  TestPopup p(ManyItems(30), 300);
  const int32_t step = p.data.itemHeight;
  p.data.scrollOffset = 3 * step;
  EXPECT_FALSE(ApplyPopupWheel(&p.data, 60));
  EXPECT_EQ(p.data.scrollOffset, 3 * step);
  EXPECT_TRUE(ApplyPopupWheel(&p.data, 60));
  EXPECT_EQ(p.data.scrollOffset, 2 * step);
  EXPECT_TRUE(ApplyPopupWheel(&p.data, 120));
  EXPECT_EQ(p.data.scrollOffset, step);
  EXPECT_EQ(p.data.wheelRest, 0);

  // two notches down (10 kept) land where two single steps land
  PopupData twoSteps = p.data;
  ScrollPopupDown(&twoSteps);
  ScrollPopupDown(&twoSteps);
  EXPECT_TRUE(ApplyPopupWheel(&p.data, -250));
  EXPECT_EQ(p.data.scrollOffset, twoSteps.scrollOffset);
  EXPECT_GT(p.data.scrollOffset, step);
  EXPECT_EQ(p.data.wheelRest, -10);

  TestPopup small({"One", "Two"}, 800);
  EXPECT_FALSE(ApplyPopupWheel(&small.data, -120));
  EXPECT_EQ(small.data.scrollOffset, 0);
}

TEST(PopupLayout, ArrowKeysSkipDisabledItemsAndWrapButStopOnSeparators) {
  TestPopup p({"One", "", "Three", "Four"}, 800);
  p.Item(3)->disabled = 1;
  EXPECT_EQ(NextPopupItem(&p.data), p.Item(0));       // nothing highlighted: first
  EXPECT_EQ(PreviousPopupItem(&p.data), p.Item(2));   // nothing highlighted: last enabled
  p.data.items.current = p.Item(0);
  EXPECT_EQ(NextPopupItem(&p.data), p.Item(1));       // the separator is a stop
  p.data.items.current = p.Item(2);
  EXPECT_EQ(NextPopupItem(&p.data), p.Item(0));       // skips Four, wraps
  p.data.items.current = p.Item(0);
  EXPECT_EQ(PreviousPopupItem(&p.data), p.Item(2));   // wraps to the last enabled
  for (MenuItem* item = p.data.items.first; item != nullptr; item = item->next) item->disabled = 1;
  EXPECT_EQ(NextPopupItem(&p.data), p.Item(0));       // nothing reachable: no change
}

TEST(PopupLayout, TypeAheadFoldsCaseWrapsAndNeverComparesItsStart) {
  TestPopup p({"Show Server Window", "Start Server", "", "About", "close Process"}, 800);
  EXPECT_EQ(TypeAheadPopupItem(&p.data, 'S'), p.Item(1));  // starts after the first item
  p.data.items.current = p.Item(1);
  EXPECT_EQ(TypeAheadPopupItem(&p.data, 's'), p.Item(0));  // wraps
  EXPECT_EQ(TypeAheadPopupItem(&p.data, 'C'), p.Item(4));
  p.data.items.current = p.Item(3);
  EXPECT_EQ(TypeAheadPopupItem(&p.data, 'a'), p.Item(3));  // only the highlight starts with it
  EXPECT_EQ(TypeAheadPopupItem(&p.data, 'z'), p.Item(3));
}

// --- painting ---

struct ImageSlot {
  Image* image;
  ImageSlot(int32_t w, int32_t h) : image(NewImage(w, h)) {}
  ~ImageSlot() { FreeImage(&image); }
  Pixel At(int32_t x, int32_t y) const { return *PixelAddress(image, x, y) & 0xFFFFFF; }
};

TEST(PopupPaint, FrameIconColumnSeparatorAndHighlight) {
  TestPopup p({"One", "", "Three"}, 800);
  p.data.items.current = p.Item(2);
  ImageSlot img(p.data.width, p.data.height);
  PaintPopup(img.image, &p.data, nullptr);
  EXPECT_EQ(img.At(0, 0), SysPixel(COLOR_3DDKSHADOW));
  EXPECT_EQ(img.At(1, 1), SysPixel(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(img.At(2, 2), ShadeColorToPixel(GetSysColor(COLOR_WINDOW), -20));  // icon column top
  EXPECT_EQ(img.At(26, 2), ShadeColorToPixel(GetSysColor(COLOR_WINDOW), 0));   // right of it
  // separator: one line on its second row, x = 2 to 177
  const int32_t sepY = 2 + p.Item(1)->top + 1;
  EXPECT_EQ(img.At(2, sepY), SysPixel(COLOR_BTNSHADOW));
  EXPECT_EQ(img.At(177, sepY), SysPixel(COLOR_BTNSHADOW));
  EXPECT_NE(img.At(178, sepY), SysPixel(COLOR_BTNSHADOW));
  EXPECT_NE(img.At(100, sepY - 1), SysPixel(COLOR_BTNSHADOW));
  EXPECT_NE(img.At(100, sepY + 1), SysPixel(COLOR_BTNSHADOW));
  // highlight: outlined face from x 2 to 177
  const int32_t hy = 2 + p.Item(2)->top;
  const Pixel outline = ShadeColorToPixel(GetSysColor(COLOR_HIGHLIGHT), -40);
  EXPECT_EQ(img.At(2, hy), outline);
  EXPECT_EQ(img.At(177, hy + 5), outline);
  EXPECT_EQ(img.At(100, hy + p.data.itemHeight - 1), outline);
  EXPECT_NE(img.At(178, hy + 5), outline);
}

TEST(PopupPaint, ScrollTrianglesAreGreyAtTheEnds) {
  TestPopup p(ManyItems(30), 300);
  const int32_t w = p.data.width;
  const Pixel grey = ColorToOpaquePixel(GetSysColor(COLOR_GRAYTEXT)) & 0xFFFFFF;
  const Pixel black = ColorToOpaquePixel(GetSysColor(COLOR_BTNTEXT)) & 0xFFFFFF;
  ImageSlot top(w, 300);
  PaintPopup(top.image, &p.data, nullptr);
  EXPECT_EQ(top.At(w / 2 - 5, 10), grey);      // up triangle's base row
  EXPECT_EQ(top.At(w / 2, 5), grey);           // its tip
  EXPECT_EQ(top.At(w / 2 - 5, 300 - 13), black);  // down triangle's top row
  EXPECT_EQ(top.At(w / 2, 300 - 8), black);

  p.data.scrollOffset = p.data.maxScroll;
  ImageSlot end(w, 300);
  PaintPopup(end.image, &p.data, nullptr);
  EXPECT_EQ(end.At(w / 2 - 5, 10), black);
  EXPECT_EQ(end.At(w / 2 - 5, 300 - 13), grey);

  p.data.scrollOffset = p.data.itemHeight;
  p.data.scrollingDown = 1;
  ImageSlot moving(w, 300);
  PaintPopup(moving.image, &p.data, nullptr);
  EXPECT_EQ(moving.At(w / 2, 300 - 8), ColorToOpaquePixel(GetSysColor(COLOR_HIGHLIGHTTEXT)) & 0xFFFFFF);
  EXPECT_EQ(moving.At(3, 300 - 17),
            ShadeColorToPixel(GetSysColor(COLOR_HIGHLIGHT), 30));  // band's first row
}

}  // namespace
