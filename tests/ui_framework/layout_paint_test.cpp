// The anchor layout and the picture of a toolkit window, computed without a
// display: layout rectangles from the descriptions, pixels from the painter.
#include <gtest/gtest.h>

#include "core/blocks.h"
#include "framework_test_resources.h"
#include "ui/framework/gui_window.h"
#include "ui/render/resources.h"
#include "ui/render/sys_colors.h"

namespace {

Pixel Shade(int index, int delta) { return ShadeColorToPixel(GetSysColor(index), delta); }

TEST(Layout, AnchorsAndModes) {
  LayoutRect parent{11, 40, 300, 200};
  struct Case {
    LayoutSpec spec;
    LayoutRect expected;
  } cases[] = {
      // Right-anchored, stretching to a 4-pixel margin: x 227, width 80.
      {{2, 1, 2, 1, 84, 5, 4, 20}, {227, 45, 80, 20}},
      {{1, 2, 1, 2, 10, 30, 50, 6}, {21, 210, 50, 24}},
      {{1, 1, 2, 2, 0, 0, 0, 0}, {11, 40, 300, 200}},
      // Unknown modes keep what was there.
      {{3, 0, 9, 1, 5, 5, 5, 7}, {-1, -2, -3, 7}},
  };
  for (const Case& c : cases) {
    LayoutRect r{-1, -2, -3, -4};
    ApplyLayoutSpec(c.spec, parent, &r);
    EXPECT_EQ(r.x, c.expected.x);
    EXPECT_EQ(r.y, c.expected.y);
    EXPECT_EQ(r.width, c.expected.width);
    EXPECT_EQ(r.height, c.expected.height);
  }
}

struct WindowGuard {
  GuiWindow* window;
  WindowGuard(int w, int h) : window(NewGuiWindow(w, h, 0, 0, 0, nullptr)) {}
  ~WindowGuard() {
    FreeLayoutGroup(window->groups.first);
    FreeAndClear(&window);
  }
};

TEST(Layout, ContentRectanglesOfTheThreeGroupKinds) {
  WindowGuard g(350, 400);
  LayoutGroup* framed = AddLayoutGroup(g.window, nullptr, "", 1, 1, 0, 1, 74, 2, 0, 1, 120);
  LayoutGroup* captioned = AddLayoutGroup(g.window, nullptr, "Server Control", 2, 1, 0, 1, 74, 2, 0, 1, 120);
  LayoutGroup* plain = AddLayoutGroup(g.window, nullptr, nullptr, 3, 1, 0, 1, 74, 2, 0, 1, 120);
  LayoutGroup* inner = AddLayoutGroup(g.window, captioned, "Inner", 4, 1, 5, 1, 5, 2, 5, 2, 5);
  LayoutControl* control = AddLayoutControl(inner, "x", "STATIC", 0, 0, 9, 2, 84, 1, 0, 2, 4, 1, 20);
  RunLayoutPass(g.window, 350, 400);
  auto expect = [](const LayoutRect& r, LayoutRect e) {
    EXPECT_EQ(r.x, e.x);
    EXPECT_EQ(r.y, e.y);
    EXPECT_EQ(r.width, e.width);
    EXPECT_EQ(r.height, e.height);
  };
  expect(framed->contentRect, {11, 85, 328, 98});
  expect(captioned->contentRect, {11, 108, 328, 75});
  expect(plain->contentRect, {0, 74, 350, 120});
  // A child group lays out inside its parent's content rectangle.
  expect(inner->rect, {16, 113, 318, 65});
  expect(inner->contentRect, {27, 147, 296, 20});
  expect(control->rect, {239, 147, 80, 20});
  EXPECT_FALSE(g.window->inLayout);
  expect(g.window->clientRect, {0, 0, 350, 400});
}

TEST(Layout, SiblingsAndChildrenAreVisitedInPreOrder) {
  WindowGuard g(100, 100);
  LayoutGroup* a = AddLayoutGroup(g.window, nullptr, nullptr, 1, 1, 0, 1, 0, 1, 1, 1, 1);
  AddLayoutGroup(g.window, a, nullptr, 2, 1, 0, 1, 0, 1, 1, 1, 1);
  LayoutGroup* a2 = AddLayoutGroup(g.window, a, nullptr, 3, 1, 0, 1, 0, 1, 1, 1, 1);
  AddLayoutGroup(g.window, a2, nullptr, 4, 1, 0, 1, 0, 1, 1, 1, 1);
  AddLayoutGroup(g.window, nullptr, nullptr, 5, 1, 0, 1, 0, 1, 1, 1, 1);
  std::vector<int> order;
  ForEachGroup(g.window->groups.first, [&order](LayoutGroup* group) { order.push_back(group->id); });
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

struct Painted {
  Image* image;
  Painted(const GuiWindow* window, int w, int h) : image(NewImage(w, h)) {
    PaintGuiWindow(image, window, w, h);
  }
  ~Painted() { FreeImage(&image); }
  Pixel At(int x, int y) const { return *PixelAddress(image, x, y) & 0x00FFFFFF; }
};

TEST(Paint, BannerBandLineHalvesAndBackground) {
  Image* banner = LoadImageResource(&kFrameworkTestResources, 1000);
  ASSERT_NE(banner, nullptr);
  ASSERT_EQ(banner->width, 232);
  ASSERT_EQ(banner->height, 55);
  for (int width : {400, 401}) {
    WindowGuard g(width, 300);
    SetWindowBanner(g.window, banner);
    Painted p(g.window, width, 300);
    EXPECT_EQ(p.At(0, 69), Shade(COLOR_HIGHLIGHT, 20)) << width;
    EXPECT_EQ(p.At(200, 73), Shade(COLOR_HIGHLIGHT, 60)) << width;  // the right half starts at 200
    EXPECT_NE(p.At(199, 69), Shade(COLOR_HIGHLIGHT, 60)) << width;
    EXPECT_EQ(p.At(width - 1, 0), Shade(COLOR_HIGHLIGHT, -10)) << width;
    EXPECT_EQ(p.At(width - 1, 74), Shade(COLOR_BTNFACE, 40)) << width;
  }
  // The banner's transparent corner shows the band; its emblem covers it.
  WindowGuard g(300, 100);
  SetWindowBanner(g.window, banner);
  Painted p(g.window, 300, 100);
  Pixel band_row_10 = p.At(299, 10);
  EXPECT_EQ(p.At(4, 10), band_row_10);
  int changed = 0;
  for (int x = 4; x < 236; ++x) changed += p.At(x, 30) != p.At(299, 30);
  EXPECT_GT(changed, 50);
  FreeImage(&banner);
}

TEST(Paint, NoBannerIsOneGradient) {
  WindowGuard g(50, 4);
  Painted p(g.window, 50, 4);
  Pixel c1 = Shade(COLOR_BTNFACE, 40);
  EXPECT_EQ(p.At(10, 0), c1);
  EXPECT_NE(p.At(10, 3), c1);
}

TEST(Paint, GroupsFramesCaptionBarsAndInvisibleGroups) {
  WindowGuard g(300, 300);
  AddLayoutGroup(g.window, nullptr, "Logging Options", 1, 1, 0, 1, 0, 1, 200, 1, 100);
  AddLayoutGroup(g.window, nullptr, "", 2, 1, 0, 1, 150, 1, 200, 1, 100);
  AddLayoutGroup(g.window, nullptr, nullptr, 3, 1, 210, 1, 0, 1, 80, 1, 300);
  ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
  InitGuiToolkit(nullptr);
  RunLayoutPass(g.window, 300, 300);
  Painted p(g.window, 300, 300);
  Painted empty_window(WindowGuard(300, 300).window, 300, 300);
  // Frame: shadow outline at +10, highlight at +11 (covered by the bar's first column on top).
  EXPECT_EQ(p.At(10, 50), Shade(COLOR_BTNSHADOW, 0));
  EXPECT_EQ(p.At(11, 60), Shade(COLOR_BTNHIGHLIGHT, 0));
  EXPECT_EQ(p.At(190, 89), Shade(COLOR_BTNSHADOW, 0));  // 10 + 181 - 1
  // Caption bar: 23 rows from highlight + 40, then the window-coloured content.
  EXPECT_EQ(p.At(150, 11), Shade(COLOR_HIGHLIGHT, 40));
  EXPECT_EQ(p.At(150, 34), Shade(COLOR_WINDOW, 0));
  int text_pixels = 0;
  for (int y = 15; y < 30; ++y)
    for (int x = 19; x < 120; ++x) text_pixels += p.At(x, y) == Shade(COLOR_HIGHLIGHTTEXT, 0);
  EXPECT_GT(text_pixels, 30);
  // Empty caption: frame, no bar.
  EXPECT_EQ(p.At(10, 200), Shade(COLOR_BTNSHADOW, 0));
  EXPECT_EQ(p.At(100, 165), Shade(COLOR_WINDOW, 0));
  // No caption: nothing at all.
  for (int y = 0; y < 300; y += 7) EXPECT_EQ(p.At(250, y), empty_window.At(250, y)) << y;
  ReleaseGuiToolkit();
  ShutdownWindowSystem();
}

}  // namespace
