// The window system's message model on the headless backend: queue order,
// timers, capture, focus and activation, subclassing, paint, injected input.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/message_box.h"
#include "window/window_test_hooks.h"

namespace {

struct Seen {
  WindowHandle window;
  uint32_t message;
  WParam wParam;
  LParam lParam;
};
std::vector<Seen> g_seen;
MinMaxInfo g_limits{};  // non-zero track sizes are answered to WM_GETMINMAXINFO

bool Interesting(uint32_t m) {
  return m != WM_NCCREATE && m != WM_NCDESTROY && m != WM_GETMINMAXINFO &&
         m != WM_WINDOWPOSCHANGING && m != WM_WINDOWPOSCHANGED && m != WM_SHOWWINDOW &&
         m != WM_ERASEBKGND && m != WM_GETTEXT && m != WM_GETTEXTLENGTH && m != WM_MOVE;
}

LResult RecordingProc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (Interesting(m)) g_seen.push_back({w, m, wp, lp});
  if (m == WM_GETMINMAXINFO && g_limits.maxTrackSize.x != 0) {
    auto* info = reinterpret_cast<MinMaxInfo*>(lp);
    info->minTrackSize = g_limits.minTrackSize;
    info->maxTrackSize = g_limits.maxTrackSize;
    return 0;
  }
  return DefaultWindowProc(w, m, wp, lp);
}

std::vector<uint32_t> Messages(WindowHandle w) {
  std::vector<uint32_t> out;
  for (const Seen& s : g_seen) {
    if (w == nullptr || s.window == w) out.push_back(s.message);
  }
  return out;
}

const Seen* Last(WindowHandle w, uint32_t message) {
  for (auto it = g_seen.rbegin(); it != g_seen.rend(); ++it) {
    if (it->window == w && it->message == message) return &*it;
  }
  return nullptr;
}

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    WindowClass cls{"Recorder", RecordingProc, CS_DBLCLKS, 0x00FF0000};
    ASSERT_TRUE(RegisterWindowClass(cls));
    g_seen.clear();
    g_limits = MinMaxInfo{};
  }
  void TearDown() override { ShutdownWindowSystem(); }

  WindowHandle TopLevel(int x, int y, int w, int h, WindowHandle owner = nullptr,
                        uint32_t style = WS_OVERLAPPEDWINDOW) {
    WindowHandle t = CreateSystemWindow(0, "Recorder", "top", style, x, y, w, h, owner, 0, nullptr);
    ShowWindow(t, SW_SHOW);
    return t;
  }
  WindowHandle Child(WindowHandle parent, int id, int x, int y, int w, int h) {
    return CreateSystemWindow(0, "Recorder", "", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, id,
                              nullptr);
  }
};

TEST_F(HeadlessTest, PostedBeforeInputBeforePaintBeforeTimers) {
  WindowHandle w = TopLevel(0, 0, 100, 100);
  ProcessPendingMessages();
  SetTimer(w, 7, 10);
  AdvanceHeadlessClock(10);
  InvalidateRect(w, nullptr, false);
  InjectMouseMove(5, 5);
  PostWindowMessage(w, WM_USER + 1, 1, 0);
  PostWindowMessage(w, WM_USER + 2, 2, 0);
  g_seen.clear();
  ProcessPendingMessages();
  EXPECT_EQ(Messages(w), (std::vector<uint32_t>{WM_USER + 1, WM_USER + 2, WM_MOUSEMOVE, WM_PAINT,
                                                WM_TIMER}));
  // Sent messages run at once, inside the sender.
  g_seen.clear();
  EXPECT_EQ(SendWindowMessage(w, WM_SETTEXT, 0, reinterpret_cast<LParam>("title")), 1);
  EXPECT_EQ(Messages(w), std::vector<uint32_t>{WM_SETTEXT});
  EXPECT_EQ(GetWindowTextString(w), "title");
}

TEST_F(HeadlessTest, TimersFireWhenDueOnceWhenLateAndStopWhenKilled) {
  WindowHandle w = TopLevel(0, 0, 50, 50);
  ProcessPendingMessages();
  g_seen.clear();
  SetTimer(w, 1, 100);
  AdvanceHeadlessClock(99);
  ProcessPendingMessages();
  EXPECT_TRUE(Messages(w).empty());
  AdvanceHeadlessClock(1);
  ProcessPendingMessages();
  ASSERT_EQ(Messages(w), std::vector<uint32_t>{WM_TIMER});
  EXPECT_EQ(g_seen[0].wParam, 1u);
  AdvanceHeadlessClock(450);  // four periods late: one message
  ProcessPendingMessages();
  EXPECT_EQ(Messages(w).size(), 2u);
  EXPECT_TRUE(KillTimer(w, 1));
  EXPECT_FALSE(KillTimer(w, 1));
  AdvanceHeadlessClock(1000);
  ProcessPendingMessages();
  EXPECT_EQ(Messages(w).size(), 2u);
}

TEST_F(HeadlessTest, WaitingLoopJumpsTheHeadlessClockToTheNextTimer) {
  WindowHandle w = TopLevel(0, 0, 50, 50);
  ProcessPendingMessages();
  uint32_t start = WindowSystemTime();
  SetTimer(w, 3, 250);
  WindowMessage m;
  ASSERT_TRUE(GetNextMessage(&m));
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_EQ(WindowSystemTime() - start, 250u);
  PostQuit(4);
  EXPECT_FALSE(GetNextMessage(&m));
  EXPECT_EQ(m.wParam, 4u);
}

TEST_F(HeadlessTest, CaptureGetsPointerOutsideWithNegativeCoordinates) {
  WindowHandle top = TopLevel(100, 100, 300, 200);
  WindowHandle a = Child(top, 1, 10, 10, 50, 20);
  WindowHandle b = Child(top, 2, 100, 10, 50, 20);
  ProcessPendingMessages();
  InjectMouseMove(115, 115);  // over a
  ProcessPendingMessages();
  EXPECT_EQ(SetCapture(a), nullptr);
  g_seen.clear();
  InjectMouseMove(105, 105);  // left of and above a, over the top-level
  ProcessPendingMessages();
  InjectMouseMove(205, 115);  // over b
  ProcessPendingMessages();
  ASSERT_EQ(Messages(nullptr), (std::vector<uint32_t>{WM_MOUSEMOVE, WM_MOUSEMOVE}));
  EXPECT_EQ(g_seen[0].window, a);
  EXPECT_EQ(SignedLoWord(g_seen[0].lParam), -5);
  EXPECT_EQ(SignedHiWord(g_seen[0].lParam), -5);
  EXPECT_EQ(g_seen[1].window, a);
  // Taking the capture away tells the old holder who has it now.
  g_seen.clear();
  EXPECT_EQ(SetCapture(b), a);
  ASSERT_NE(Last(a, WM_CAPTURECHANGED), nullptr);
  EXPECT_EQ(Last(a, WM_CAPTURECHANGED)->lParam, reinterpret_cast<LParam>(b));
  ReleaseMouseCapture();
  EXPECT_EQ(GetCaptureWindow(), nullptr);
  EXPECT_NE(Last(b, WM_CAPTURECHANGED), nullptr);
  InjectMouseMove(206, 116);
  g_seen.clear();
  ProcessPendingMessages();
  EXPECT_EQ(Messages(b), std::vector<uint32_t>{WM_MOUSEMOVE});
}

TEST_F(HeadlessTest, FocusMovesWithKillThenSetAndAvoidsDisabledWindows) {
  WindowHandle top = TopLevel(0, 0, 300, 200);
  WindowHandle a = Child(top, 1, 0, 0, 10, 10);
  WindowHandle b = Child(top, 2, 20, 0, 10, 10);
  ProcessPendingMessages();
  EXPECT_EQ(GetFocusWindow(), top);  // showing activated it
  SetFocus(a);
  g_seen.clear();
  EXPECT_EQ(SetFocus(b), a);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].window, a);
  EXPECT_EQ(g_seen[0].message, WM_KILLFOCUS);
  EXPECT_EQ(g_seen[0].wParam, reinterpret_cast<WParam>(b));
  EXPECT_EQ(g_seen[1].window, b);
  EXPECT_EQ(g_seen[1].message, WM_SETFOCUS);
  EXPECT_EQ(g_seen[1].wParam, reinterpret_cast<WParam>(a));

  EnableWindow(a, false);
  EXPECT_EQ(SetFocus(a), nullptr);
  EXPECT_EQ(GetFocusWindow(), b);
  EnableWindow(b, false);  // disabling the focus takes it away
  EXPECT_EQ(GetFocusWindow(), nullptr);
  EXPECT_EQ(Last(b, WM_ENABLE)->wParam, 0u);

  EnableWindow(a, true);
  SetFocus(a);
  ShowWindow(a, SW_HIDE);  // hiding the focus hands it to the parent
  EXPECT_EQ(GetFocusWindow(), top);
}

TEST_F(HeadlessTest, ClickActivatesAnotherTopLevelAndKeysFollowTheFocus) {
  WindowHandle first = TopLevel(0, 0, 100, 100);
  WindowHandle second = TopLevel(200, 0, 100, 100);
  WindowHandle field = Child(second, 5, 10, 10, 50, 20);
  ProcessPendingMessages();
  SetFocus(first);
  EXPECT_EQ(GetActiveTopLevelWindow(), first);
  g_seen.clear();
  InjectMouseMove(215, 15);
  InjectMouseButton(MouseButton::kLeft, true);
  InjectMouseButton(MouseButton::kLeft, false);
  ProcessPendingMessages();
  EXPECT_EQ(GetActiveTopLevelWindow(), second);
  EXPECT_EQ(Last(first, WM_ACTIVATE)->wParam, WA_INACTIVE);
  EXPECT_EQ(Last(second, WM_ACTIVATE)->wParam, WA_CLICKACTIVE);
  const Seen* down = Last(field, WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(LoWord(down->lParam), 5);
  EXPECT_EQ(HiWord(down->lParam), 5);
  EXPECT_EQ(down->wParam & MK_LBUTTON, MK_LBUTTON);

  SetFocus(field);
  g_seen.clear();
  InjectText("aB");
  InjectKey(VK_CONTROL, true);
  InjectKey('A', true);
  InjectKey('A', false);
  InjectKey(VK_CONTROL, false);
  ProcessPendingMessages();
  std::vector<WParam> chars;
  std::vector<WParam> keys;
  for (const Seen& s : g_seen) {
    if (s.window != field) continue;
    if (s.message == WM_CHAR) chars.push_back(s.wParam);
    if (s.message == WM_KEYDOWN) keys.push_back(s.wParam);
  }
  EXPECT_EQ(chars, (std::vector<WParam>{'a', 'B', 1}));
  EXPECT_EQ(keys, (std::vector<WParam>{'A', VK_SHIFT, 'B', VK_CONTROL, 'A'}));
}

TEST_F(HeadlessTest, DisabledWindowsGetNoPointerInputAndModalOwnersNeither) {
  WindowHandle owner = TopLevel(0, 0, 200, 200);
  WindowHandle button = Child(owner, 1, 10, 10, 50, 20);
  ProcessPendingMessages();
  EnableWindow(button, false);
  InjectMouseMove(20, 20);
  InjectMouseButton(MouseButton::kLeft, true);
  g_seen.clear();
  ProcessPendingMessages();
  EXPECT_TRUE(Messages(button).empty());
  EnableWindow(button, true);
  EnableWindow(owner, false);
  g_seen.clear();
  InjectMouseButton(MouseButton::kLeft, false);
  InjectMouseButton(MouseButton::kLeft, true);
  ProcessPendingMessages();
  EXPECT_TRUE(Messages(button).empty());
}

LResult g_hookCalls = 0;
WindowProc g_previous = nullptr;
LResult Hook(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (m == WM_USER + 9) return ++g_hookCalls * 100;
  return CallWindowProcedure(g_previous, w, m, wp, lp);
}

TEST_F(HeadlessTest, SubclassingReplacesTheProcedureAndPassesTheRestOn) {
  WindowHandle w = TopLevel(0, 0, 10, 10);
  g_previous = SetWindowProcedure(w, Hook);
  EXPECT_EQ(g_previous, RecordingProc);
  EXPECT_EQ(GetWindowProcedure(w), Hook);
  g_seen.clear();
  EXPECT_EQ(SendWindowMessage(w, WM_USER + 9, 0, 0), 100);
  EXPECT_TRUE(g_seen.empty());
  SendWindowMessage(w, WM_USER + 10, 0, 0);
  EXPECT_EQ(Messages(w), std::vector<uint32_t>{WM_USER + 10});
  EXPECT_EQ(SetWindowUserData(w, &g_hookCalls), nullptr);
  EXPECT_EQ(GetWindowUserData(w), &g_hookCalls);
}

TEST_F(HeadlessTest, InvalidationPaintsOnceAndPixelsComposeWithChildren) {
  WindowHandle top = TopLevel(0, 0, 20, 10);
  WindowHandle child = Child(top, 1, 5, 2, 4, 3);
  ProcessPendingMessages();
  g_seen.clear();
  InvalidateRect(top, nullptr, false);
  ProcessPendingMessages();
  EXPECT_EQ(Messages(top), std::vector<uint32_t>{WM_PAINT});
  ProcessPendingMessages();
  EXPECT_EQ(Messages(top).size(), 1u);  // the default validated it

  std::vector<uint32_t> grey(20 * 10, 0x808080), red(4 * 3, 0xFF0000);
  ASSERT_TRUE(BlitPixels(top, 0, 0, 20, 10, grey.data(), 20));
  ASSERT_TRUE(BlitPixels(child, -1, 0, 4, 3, red.data(), 4));  // clipped on the left
  WindowPixels shot;
  ASSERT_TRUE(CaptureWindowPixels(top, &shot));
  EXPECT_EQ(shot.At(4, 2), 0x808080u);
  EXPECT_EQ(shot.At(5, 2), 0xFF0000u);
  EXPECT_EQ(shot.At(7, 4), 0xFF0000u);
  EXPECT_EQ(shot.At(8, 2), 0x0000FFu);  // the child's last column keeps its first erase
  EXPECT_EQ(shot.At(9, 2), 0x808080u);
  // The class background (blue, 0x00BBGGRR) fills on erase.
  ASSERT_TRUE(BlitPixels(child, 0, 0, 4, 3, red.data(), 4));
  ASSERT_TRUE(CaptureWindowPixels(top, &shot));
  EXPECT_EQ(shot.At(8, 2), 0xFF0000u);
  InvalidateRect(child, nullptr, true);
  ProcessPendingMessages();
  ASSERT_TRUE(CaptureWindowPixels(top, &shot));
  EXPECT_EQ(shot.At(8, 2), 0x0000FFu);
}

TEST_F(HeadlessTest, SizeLimitsClampMovesAndTheFirstShowSendsTheSize) {
  g_limits.minTrackSize = {365, 448};
  g_limits.maxTrackSize = {600, 448};
  WindowHandle w = CreateSystemWindow(0, "Recorder", "main", WS_OVERLAPPEDWINDOW, 0, 0, 400, 448,
                                      nullptr, 0, nullptr);
  EXPECT_EQ(Last(w, WM_SIZE), nullptr);  // not before the first show
  ShowWindow(w, SW_SHOW);
  ASSERT_NE(Last(w, WM_SIZE), nullptr);
  EXPECT_EQ(Last(w, WM_SIZE)->lParam, MakeLParam(400, 448));
  struct { int w, h, expectW, expectH; } cases[] = {
      {700, 500, 600, 448}, {100, 100, 365, 448}, {500, 448, 500, 448}};
  for (auto c : cases) {
    MoveWindow(w, 0, 0, c.w, c.h, true);
    WinRect r;
    GetClientRect(w, &r);
    EXPECT_EQ(r.right, c.expectW) << c.w;
    EXPECT_EQ(r.bottom, c.expectH) << c.h;
  }
  EXPECT_EQ(Last(w, WM_SIZE)->lParam, MakeLParam(500, 448));
}

TEST_F(HeadlessTest, DestroyOrderOwnedWindowsAndDroppedPostedMessages) {
  WindowHandle top = TopLevel(0, 0, 100, 100);
  WindowHandle child = Child(top, 1, 0, 0, 10, 10);
  WindowHandle popup = TopLevel(0, 0, 30, 30, top, WS_POPUP);
  ProcessPendingMessages();
  SetFocus(child);
  SetCapture(child);
  PostWindowMessage(child, WM_USER, 0, 0);
  g_seen.clear();
  EXPECT_TRUE(DestroyWindow(top));
  std::vector<std::pair<WindowHandle, uint32_t>> destroys;
  for (const Seen& s : g_seen) {
    if (s.message == WM_DESTROY) destroys.push_back({s.window, s.message});
  }
  ASSERT_EQ(destroys.size(), 3u);
  EXPECT_EQ(destroys[0].first, popup);
  EXPECT_EQ(destroys[1].first, top);
  EXPECT_EQ(destroys[2].first, child);
  EXPECT_NE(Last(child, WM_CAPTURECHANGED), nullptr);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(GetFocusWindow(), nullptr);
  EXPECT_EQ(GetCaptureWindow(), nullptr);
  g_seen.clear();
  ProcessPendingMessages();
  EXPECT_TRUE(g_seen.empty());
  EXPECT_FALSE(DestroyWindow(top));
  EXPECT_EQ(SendWindowMessage(child, WM_USER, 0, 0), 0);
}

TEST_F(HeadlessTest, PointerLeaveTrackingDoubleClicksWheelAndWindowFromPoint) {
  SetHeadlessScreen(800, 600, nullptr);
  WindowHandle top = TopLevel(50, 50, 200, 100);
  WindowHandle a = Child(top, 1, 0, 0, 50, 50);
  WindowHandle popup = TopLevel(60, 60, 20, 20, top, WS_POPUP);
  ProcessPendingMessages();
  EXPECT_EQ(WindowFromPoint({65, 65}), popup);
  EXPECT_EQ(WindowFromPoint({95, 95}), a);
  EXPECT_EQ(WindowFromPoint({10, 10}), nullptr);
  DestroyWindow(popup);
  InjectMouseMove(60, 60);
  ProcessPendingMessages();
  TrackMouseLeave(a);
  InjectMouseMove(150, 60);
  g_seen.clear();
  ProcessPendingMessages();
  EXPECT_NE(Last(a, WM_MOUSELEAVE), nullptr);
  InjectMouseMove(60, 60);
  SetFocus(a);
  for (int i = 0; i < 2; ++i) {
    InjectMouseButton(MouseButton::kLeft, true);
    InjectMouseButton(MouseButton::kLeft, false);
  }
  InjectMouseWheel(-120);
  g_seen.clear();
  ProcessPendingMessages();
  EXPECT_EQ(Messages(a), (std::vector<uint32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                                WM_LBUTTONUP, WM_MOUSEWHEEL}));
  EXPECT_EQ(SignedHiWord(Last(a, WM_MOUSEWHEEL)->wParam), -120);
  WinRect work;
  GetWorkArea(&work);
  EXPECT_EQ(work.right, 800);
  EXPECT_TRUE(FindTopLevelWindow("Recorder", "top"));
  EXPECT_FALSE(FindTopLevelWindow("Recorder", "other"));
}

TEST_F(HeadlessTest, OtherThreadsPostCallAndSendThroughTheLoop) {
  WindowHandle w = TopLevel(0, 0, 10, 10);
  ProcessPendingMessages();
  std::atomic<bool> ranOnUi{false};
  std::atomic<LResult> sent{0};
  std::thread worker([&] {
    struct Ctx { std::atomic<bool>* flag; } ctx{&ranOnUi};
    EXPECT_TRUE(RunOnUiThread([](void* c) {
      static_cast<Ctx*>(c)->flag->store(IsUiThread());
    }, &ctx));
    sent = SendWindowMessage(w, WM_SETTEXT, 0, reinterpret_cast<LParam>("from worker"));
    PostWindowMessage(w, WM_USER + 3, 0, 0);
  });
  WindowMessage m;
  do {
    ASSERT_TRUE(GetNextMessage(&m));
    DispatchWindowMessage(&m);
  } while (m.message != WM_USER + 3);
  worker.join();
  EXPECT_TRUE(ranOnUi);
  EXPECT_EQ(sent, 1);
  EXPECT_EQ(GetWindowTextString(w), "from worker");
}

TEST(HeadlessShutdown, WaitingCallersAreReleasedAndRunnerRemoved) {
  ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
  std::atomic<int> result{-1};
  std::thread worker([&] { result = RunOnUiThread([](void*) {}, nullptr) ? 1 : 0; });
  // The worker's call is queued (or not yet made); either way shutting down
  // must answer it with false instead of leaving it waiting.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ShutdownWindowSystem();
  worker.join();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(RunOnUiThread([](void*) {}, nullptr));
}

}  // namespace
