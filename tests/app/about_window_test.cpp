// The About window: where its controls sit with their texts, and Close
// Process while it is open.
#include <sstream>
#include <string>

#include "about_window_support.h"
#include "platform/text.h"

namespace {

// The rectangles follow from the anchors in a 350 x 470 client area: the
// upper group at 74 (120 high), the lower from 194 to 29 above the bottom,
// each with its content 11 pixels inside its frame.
TEST_F(AboutWindowTest, ControlsSitWhereTheAnchorsPutThemWithTheirTexts) {
  Run({[this] {
    ASSERT_NE(About(), nullptr);
    EXPECT_EQ(GetWindowTextString(About()), "About Ambrel HTTP Server ...");
    EXPECT_FALSE(IsWindowEnabled(owner_));
    EXPECT_EQ(GetWindowOwner(About()), owner_);
    WinRect client{};
    GetClientRect(About(), &client);
    EXPECT_EQ(client.right, 350);
    EXPECT_EQ(client.bottom, 470);
    EXPECT_EQ(RectIn(Child(1), About()), (WinRect{266, 441, 80, 25}));
    EXPECT_EQ(RectIn(Child(6), About()), (WinRect{19, 213, 312, 209}));
    EXPECT_EQ(RectIn(Child(2), About()), (WinRect{19, 93, 159, 86}));
    EXPECT_EQ(RectIn(Child(5), About()), (WinRect{200, 89, 135, 20}));
    EXPECT_EQ(RectIn(Child(4), About()), (WinRect{200, 109, 135, 20}));
    EXPECT_EQ(RectIn(Child(3), About()), (WinRect{200, 133, 135, 20}));
    EXPECT_STREQ(GetWindowClassName(Child(5)), kLinkClassName);
    EXPECT_EQ(GetWindowTextString(Child(1)), "OK");
    EXPECT_EQ(GetWindowTextString(Child(2)),
              "Ambrel HTTP Server\r\nVersion 1.03\r\nRelease Date: 1/22/2007\r\n\r\n\r\n"
              "Ambrel HTTP Server project");
    // Every line of the version text fits the control's width, so none wraps
    // below the six visible lines.
    FontHandle font = CreateTextFont("Tahoma", -12, 400);
    std::istringstream lines(GetWindowTextString(Child(2)));
    for (std::string line; std::getline(lines, line);) {
      int32_t width = 0, height = 0;
      ASSERT_TRUE(GetTextExtent(font, line.c_str(), -1, &width, &height));
      EXPECT_LE(width, 159) << line;
    }
    DeleteTextFont(&font);
    EXPECT_EQ(GetWindowTextString(Child(6)).rfind("Thank you for using Ambrel HTTP Server. We hope", 0), 0u);
    EXPECT_NE(GetWindowTextString(Child(6)).find("theres nothing against running this to help you test your work!"),
              std::string::npos);
    const LinkData* donate = static_cast<const LinkData*>(GetWindowUserData(Child(5)));
    EXPECT_STREQ(donate->target, "https://example.org/ambrel/donate");
    EXPECT_STREQ(donate->text, "Donate to this Project");
    EXPECT_EQ(donate->ownBackground, 1);
    const ButtonData* ok = static_cast<const ButtonData*>(GetWindowUserData(Child(1)));
    EXPECT_EQ(ok->icon, icons_[0]);
    EXPECT_EQ(ok->showIcon, 1);
    // The three link icons sit in the upper group at their offsets.
    const LayoutGroup* upper = AboutWindow->groups.first->children.first;
    const GroupIcon* icon = upper->icons.first;
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->icon, icons_[1]);
    EXPECT_EQ(icon->x, 170);
    EXPECT_EQ(icon->y, 5);
    EXPECT_EQ(icon->next->icon, icons_[2]);
    EXPECT_EQ(icon->next->y, 27);
    EXPECT_EQ(icon->next->next->icon, icons_[3]);
    EXPECT_EQ(icon->next->next->x, 171);
    EXPECT_EQ(icon->next->next->y, 49);
    SendWindowMessage(About(), WM_CLOSE, 0, 0);  // the close box
  }});
  EXPECT_EQ(AboutWindow->hwnd, nullptr);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_TRUE(IsWindow(owner_));
  CloseAboutWindow();
  EXPECT_EQ(AboutWindow, nullptr);
}

// "Close Process" while the window is open: the loop ends and the About
// window takes its owner with it.
TEST_F(AboutWindowTest, CloseRequestedEndsTheOwnerToo) {
  Run({[] {
    CloseRequested = true;
    PostWindowMessage(About(), TKM_ENDMODAL, 0, 0);
  }});
  EXPECT_FALSE(IsWindow(owner_));
}

}  // namespace
