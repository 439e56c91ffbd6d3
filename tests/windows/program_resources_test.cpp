// ambrel.exe carries the program's pictures as Windows resources too: icons
// 1 to 19 and the 232 x 55 32-bit banner bitmap 1000, the same pixels as the
// copies the program draws with, and a manifest asking for version 6.0.0.0
// of the common controls.
#include <gtest/gtest.h>

#include <string>

#include "support/test_os.h"
#include "ui/render/image.h"
#include "ui/render/resources.h"
#include "ambrel_app_resources.h"

#include <windows.h>

namespace {

class ProgramResources : public testing::Test {
 protected:
  void SetUp() override {
    std::string exe = testos::OwnProgramFolder() + "\\ambrel.exe";
    module_ = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << exe;
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  std::string Bytes(const char* type, int id) {
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return {};
    HGLOBAL data = LoadResource(module_, found);
    return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(module_, found));
  }
  HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, IconsOneToNineteenAreSixteenPixelIcons) {
  for (int id = 1; id <= 19; ++id) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(Bytes(MAKEINTRESOURCEA(14), id).empty());  // RT_GROUP_ICON
    HICON icon = static_cast<HICON>(LoadImageA(module_, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 16);
    EXPECT_EQ(colour.bmHeight, 16);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  EXPECT_TRUE(Bytes(MAKEINTRESOURCEA(14), 20).empty());
}

TEST_F(ProgramResources, BannerBitmapHasTheDrawnPixels) {
  std::string dib = Bytes(MAKEINTRESOURCEA(2), 1000);  // RT_BITMAP: header and rows
  ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  memcpy(&header, dib.data(), sizeof header);
  EXPECT_EQ(header.biWidth, 232);
  EXPECT_EQ(header.biHeight, 55);  // bottom-up rows
  EXPECT_EQ(header.biBitCount, 32);
  ASSERT_EQ(dib.size(), sizeof header + 232u * 55u * 4u);
  Image* drawn = LoadImageResource(&kAppResources, 1000);
  ASSERT_NE(drawn, nullptr);
  int differing = 0;
  for (int y = 0; y < 55; ++y) {
    for (int x = 0; x < 232; ++x) {
      uint32_t stored;
      memcpy(&stored, dib.data() + sizeof header + ((54 - y) * 232 + x) * 4, 4);
      differing += stored != *PixelAddress(drawn, x, y);
    }
  }
  EXPECT_EQ(differing, 0);
  FreeImage(&drawn);
}

TEST_F(ProgramResources, ManifestAsksForCommonControlsSix) {
  std::string manifest = Bytes(MAKEINTRESOURCEA(24), 1);  // RT_MANIFEST, the process's own
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
}

}  // namespace
