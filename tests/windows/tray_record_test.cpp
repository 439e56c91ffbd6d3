// The record the tray icon hands to Shell_NotifyIconA: the version-2 layout
// (488 bytes in a 32-bit program, 504 in this 64-bit one, both ending before
// guidItem), the hidden window and the icon's number, the callback, the
// picture, and the tip cut to fit its 128 bytes with the terminating zero.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "window/win32/win32_tray.h"

namespace {

using wscore::StatusIcon;
using wscore::win32::FillNotifyIconData;
using wscore::win32::kTrayCallback;

TEST(TrayRecord, VersionTwoLayoutOfTheAnsiRecord) {
  EXPECT_EQ(NOTIFYICONDATAA_V2_SIZE, offsetof(NOTIFYICONDATAA, guidItem));
  EXPECT_EQ(NOTIFYICONDATAA_V2_SIZE, sizeof(void*) == 4 ? 488u : 504u);
  EXPECT_EQ(sizeof(NOTIFYICONDATAA::szTip), 128u);

  StatusIcon icon;
  icon.tip = "Ambrel HTTP Server - Running";
  NOTIFYICONDATAA data;
  memset(&data, 0x5A, sizeof data);
  HWND window = reinterpret_cast<HWND>(0x1234);
  HICON picture = reinterpret_cast<HICON>(0x5678);
  FillNotifyIconData(icon, window, 3, picture, &data);
  EXPECT_EQ(data.cbSize, NOTIFYICONDATAA_V2_SIZE);
  EXPECT_EQ(data.hWnd, window);
  EXPECT_EQ(data.uID, 3u);
  EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(data.uCallbackMessage, kTrayCallback);
  EXPECT_EQ(data.hIcon, picture);
  EXPECT_STREQ(data.szTip, "Ambrel HTTP Server - Running");
  // Nothing of the earlier contents survives past the tip.
  EXPECT_EQ(data.dwState, 0u);
  EXPECT_EQ(data.szInfo[0], '\0');
}

TEST(TrayRecord, ALongTipIsCutToOneHundredTwentySevenBytes) {
  StatusIcon icon;
  icon.tip = std::string(300, 'x');
  NOTIFYICONDATAA data;
  FillNotifyIconData(icon, nullptr, 1, nullptr, &data);
  EXPECT_EQ(std::string(data.szTip), std::string(127, 'x'));
  icon.tip.clear();
  FillNotifyIconData(icon, nullptr, 1, nullptr, &data);
  EXPECT_STREQ(data.szTip, "");
}

}  // namespace
