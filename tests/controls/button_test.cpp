// The button on the headless window system: its message table, pointer and
// key sequences, the notifications its parent receives and its painting.
#include "control_harness.h"
#include "ui/controls/control_support.h"
#include "ui/render/image.h"

std::vector<Received>* ControlHarness::log = nullptr;

namespace {

class ButtonTest : public ControlHarness {
 protected:
  void SetUp() override {
    ControlHarness::SetUp();
    button_ = Child(kButtonClassName, "OK", 0x10012, 20, 20, 80, 25);
    ASSERT_NE(button_, nullptr);
    other_ = Child(kButtonClassName, "Cancel", 19, 120, 20, 80, 25);
  }
  ButtonData* Data() const { return static_cast<ButtonData*>(GetWindowUserData(button_)); }
  LResult Send(uint32_t message, WParam wParam, LParam lParam = 0) {
    return SendWindowMessage(button_, message, wParam, lParam);
  }
  size_t Clicks() const { return Taken(WM_COMMAND).size(); }
  WindowHandle button_ = nullptr;
  WindowHandle other_ = nullptr;
};

TEST_F(ButtonTest, CreationTakesCaptionSizeAndTheLowWordOfTheId) {
  ButtonData* b = Data();
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->text, "OK");
  EXPECT_EQ(b->width, 80);
  EXPECT_EQ(b->height, 25);
  EXPECT_EQ(b->id, 0x0012);
  EXPECT_EQ(b->state, 1);
  EXPECT_EQ(b->theme, nullptr);  // no visual styles on this platform
}

TEST_F(ButtonTest, MessageTableResults) {
  struct Row {
    uint32_t message;
    WParam wParam;
    LParam lParam;
    LResult result;
  } rows[] = {
      {BBM_GETSTATE, 0, 0, 1},        {BBM_SETSTATE, 2, 0, -1},     {BBM_GETSTATE, 0, 0, 1},
      {BBM_SETSTATE, 0, 0, 1},        {BBM_GETSTATE, 0, 0, 0},      {BBM_SETTOGGLE, 1, 0, 1},
      {BBM_SETPANEL, 0, 0, 1},        {BBM_SETLOCKED, 1, 0, 1},     {BBM_SHOWICON, 1, 0, 1},
      {BBM_SETICON, 0, 0, 1},         {BBM_SETFLAT, 1, 0, 0},       {TKM_ISTABSTOP, 0, 0, 1},
      {WM_GETDLGCODE, 0, 0, DLGC_WANTALLKEYS}, {WM_ERASEBKGND, 0, 0, 1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Send(row.message, row.wParam, row.lParam), row.result) << std::hex << row.message;
  }
  ButtonData* b = Data();
  EXPECT_EQ(b->toggle, 1);
  EXPECT_EQ(b->locked, 1);
  EXPECT_EQ(b->showIcon, 1);
  EXPECT_EQ(b->flat, 1);
  EXPECT_EQ(Send(BBM_SHOWICON, 2), 1);
  EXPECT_EQ(b->showIcon, 0);  // only 1 shows
}

TEST_F(ButtonTest, IconNeedsBothParametersAndSetButtonIconUsesSixteen) {
  Image* pixels = NewImage(16, 16);
  Icon* icon = CreateIconFromImages(pixels, nullptr);
  ButtonData* b = Data();
  EXPECT_EQ(Send(BBM_SETICON, reinterpret_cast<WParam>(icon), 0), 1);
  EXPECT_EQ(b->icon, nullptr);
  EXPECT_EQ(Send(BBM_SETICON, 0, MakeLParam(16, 16)), 1);
  EXPECT_EQ(b->icon, nullptr);
  SetButtonIcon(button_, icon, 1);
  EXPECT_EQ(b->icon, icon);
  EXPECT_EQ(b->iconWidth, 16);
  EXPECT_EQ(b->iconHeight, 16);
  EXPECT_EQ(b->showIcon, 1);
  DestroyWindow(button_);
  DestroyIcon(&icon);
  FreeImage(&pixels);
}

TEST_F(ButtonTest, WithoutARecordTheSettersAnswerAsTheTableSays) {
  WindowHandle bare = CreateSystemWindow(0, "ControlsTestParent", "", WS_OVERLAPPED, 0, 0, 10, 10,
                                         nullptr, 0, nullptr);
  EXPECT_EQ(ButtonWindowProc(bare, BBM_SETLOCKED, 1, 0), -1);
  EXPECT_EQ(ButtonWindowProc(bare, BBM_GETSTATE, 0, 0), -1);
  EXPECT_EQ(ButtonWindowProc(bare, BBM_SETFLAT, 1, 0), 0);
  EXPECT_EQ(ButtonWindowProc(bare, BBM_SETSTATE, 1, 0), 1);
  EXPECT_EQ(ButtonWindowProc(bare, BBM_SETICON, 1, 1), 1);
  EXPECT_EQ(ButtonWindowProc(bare, WM_ENABLE, 0, 0), -1);
  EXPECT_EQ(ButtonWindowProc(bare, WM_CAPTURECHANGED, 0, 0), -1);
}

TEST_F(ButtonTest, ClickOnReleaseInsideTakesFocusAndPostsTheCommand) {
  MoveTo(button_, 10, 10);
  EXPECT_EQ(Data()->hover, 1);
  EXPECT_EQ(GetCaptureWindow(), button_);
  Press(true);
  EXPECT_EQ(Data()->pressed, 1);
  EXPECT_EQ(GetFocusWindow(), button_);
  EXPECT_EQ(Clicks(), 0u);
  Press(false);
  ASSERT_EQ(Clicks(), 1u);
  const Received r = Taken(WM_COMMAND)[0];
  EXPECT_EQ(LoWord(r.wParam), 0x12);
  EXPECT_EQ(HiWord(r.wParam), BN_CLICKED);
  EXPECT_EQ(r.lParam, reinterpret_cast<LParam>(button_));
  EXPECT_EQ(Data()->pressed, 0);
}

TEST_F(ButtonTest, ReleaseOutsideSendsNothingAndPressOutsideDoesNothing) {
  MoveTo(button_, 10, 10);
  Press(true);
  MoveTo(button_, 200, 10);  // still captured, the point is outside
  EXPECT_EQ(Data()->hover, 0);
  EXPECT_EQ(Data()->pressed, 1);
  Press(false);
  EXPECT_EQ(Clicks(), 0u);
  EXPECT_EQ(Data()->pressed, 0);
  EXPECT_NE(GetCaptureWindow(), button_);

  // the pointer comes back outside the button and presses on the parent
  MoveTo(parent_, 300, 250);
  Press(true);
  Press(false);
  EXPECT_EQ(Clicks(), 0u);
  EXPECT_EQ(Data()->pressed, 0);
}

TEST_F(ButtonTest, ToggleFlipsOnEachClickUnlessLocked) {
  Send(BBM_SETTOGGLE, 1);
  ClickAt(button_, 5, 5);
  EXPECT_EQ(Send(BBM_GETSTATE, 0), 0);
  ClickAt(button_, 5, 5);
  EXPECT_EQ(Send(BBM_GETSTATE, 0), 1);
  Send(BBM_SETLOCKED, 1);
  ClickAt(button_, 5, 5);
  EXPECT_EQ(Send(BBM_GETSTATE, 0), 1);
  EXPECT_EQ(Clicks(), 3u);  // a locked button still reports its clicks
}

TEST_F(ButtonTest, PanelClickNotifiesWithoutTakingTheFocus) {
  Send(BBM_SETPANEL, 1);
  SetFocus(other_);
  ClickAt(button_, 5, 5);
  EXPECT_EQ(Clicks(), 1u);
  EXPECT_EQ(GetFocusWindow(), other_);
}

TEST_F(ButtonTest, EnterAndSpaceClickAndTabOnlyAsksForTheNextControl) {
  SetFocus(button_);
  Key(VK_RETURN);
  Key(VK_SPACE);
  EXPECT_EQ(Clicks(), 2u);
  Key(VK_TAB);
  EXPECT_EQ(Clicks(), 2u);
  ASSERT_EQ(Taken(TKM_TABNEXT).size(), 1u);
  EXPECT_EQ(Taken(TKM_TABNEXT)[0].wParam, 0u);
  Key('A');
  EXPECT_EQ(Clicks(), 2u);
}

TEST_F(ButtonTest, FocusLossDisablingAndHidingClearTheirFlags) {
  SetFocus(button_);
  EXPECT_EQ(Data()->focused, 1);
  MoveTo(button_, 5, 5);
  Press(true);
  SetFocus(other_);
  EXPECT_EQ(Data()->focused, 0);
  EXPECT_EQ(Data()->pressed, 0);
  EXPECT_EQ(Data()->hover, 1);  // the pointer is still over it
  Press(false);
  EXPECT_EQ(Clicks(), 0u);

  EnableWindow(button_, false);
  EXPECT_EQ(Data()->disabled, 1);
  EXPECT_EQ(Data()->hover, 0);
  EnableWindow(button_, true);
  EXPECT_EQ(Data()->disabled, 0);
  SetFocus(button_);
  SetWindowStyle(button_, GetWindowStyle(button_) & ~WS_VISIBLE);
  EXPECT_EQ(Data()->focused, 0);
}

TEST_F(ButtonTest, SetTextReplacesTheCaptionButANullTextKeepsIt) {
  EXPECT_EQ(Send(WM_SETTEXT, 0, 0), 0);
  EXPECT_STREQ(Data()->text, "OK");
  EXPECT_EQ(Send(WM_SETTEXT, 0, reinterpret_cast<LParam>("Apply")), 0);
  EXPECT_STREQ(Data()->text, "Apply");
}

TEST_F(ButtonTest, TheWindowShowsWhatThePaintFunctionDraws) {
  Send(BBM_SETFLAT, 1);
  for (int hover = 0; hover < 2; ++hover) {
    if (hover) MoveTo(button_, 5, 5);
    InvalidateRect(button_, nullptr, false);
    Pump();
    WindowPixels shown;
    ASSERT_TRUE(CaptureWindowPixels(button_, &shown));
    Image* expected = NewImage(80, 25);
    ButtonData b = *Data();
    PaintButton(expected, &b, b.font != nullptr ? b.font : ControlFallbackFont());
    int differing = 0;
    for (int32_t y = 0; y < 25; ++y)
      for (int32_t x = 0; x < 80; ++x)
        differing += (shown.At(x, y) & 0xFFFFFF) != (*PixelAddress(expected, x, y) & 0xFFFFFF);
    EXPECT_EQ(differing, 0) << hover;
    FreeImage(&expected);
  }
}

}  // namespace
