#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/blocks.h"
#include "core/paths.h"
#include "support/test_os.h"

namespace fs = std::filesystem;

namespace {

using testos::Native;

class TempDir {
 public:
  TempDir() : path_(testos::MakeTempFolder("ambrel-paths")) {}
  ~TempDir() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(Paths, StripAndEnsureTrailingSeparator) {
  std::string separators = Native("///");
  char* three = separators.data();
  EXPECT_TRUE(StripTrailingBackslashes(three));
  EXPECT_STREQ(three, "");
  EXPECT_FALSE(StripTrailingBackslashes(nullptr));

  char www[8];
  std::strcpy(www, Native("/a/www").c_str());  // length 6
  EXPECT_FALSE(EnsureTrailingBackslash(www, 7));  // length is capacity - 1: no room
  EXPECT_TRUE(EnsureTrailingBackslash(www, 8));
  EXPECT_EQ(std::string(www), Native("/a/www/"));
  EXPECT_TRUE(EnsureTrailingBackslash(www, 9));  // already there: unchanged
  EXPECT_EQ(std::string(www), Native("/a/www/"));
  EXPECT_FALSE(EnsureTrailingBackslash(www, 0));
}

TEST(Paths, CreateDirectoryPathCreatesOnlyComponentsEndingInASeparator) {
  TempDir temp;
  std::string a = temp.path() + Native("/a");
  fs::create_directory(a);
  EXPECT_EQ(CreateDirectoryPath((a + Native("/b/c/")).c_str()), 0u);
  EXPECT_TRUE(fs::is_directory(a + Native("/b/c")));
  EXPECT_EQ(CreateDirectoryPath((a + Native("/b/c/")).c_str()), 183u);
  EXPECT_EQ(CreateDirectoryPath((a + Native("/x/y")).c_str()), 0u);
  EXPECT_TRUE(fs::is_directory(a + Native("/x")));
  EXPECT_FALSE(fs::exists(a + Native("/x/y")));

  std::FILE* f = std::fopen((a + Native("/file")).c_str(), "w");
  std::fclose(f);
  EXPECT_EQ(CreateDirectoryPath((a + Native("/file/sub/")).c_str()), 3u);
  EXPECT_EQ(CreateDirectoryPath(nullptr), 3u);
  EXPECT_EQ(CreateDirectoryPath(""), 183u);
}

TEST(Paths, ProgramFilePathIsBesideTheProgram) {
  char* path = nullptr;
  ASSERT_TRUE(GetProgramFilePath(&path, "settings.dat"));
  std::string expected = testos::OwnProgramFolder() + Native("/settings.dat");
  EXPECT_EQ(std::string(path), expected);
  FreeAndClear(&path);
  EXPECT_FALSE(GetProgramFilePath(nullptr, "x"));
  EXPECT_FALSE(GetProgramFilePath(&path, std::string(300, 'n').c_str()));
}

TEST(Paths, CountedStringsRoundTripAndRespectTheCapacity) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(WriteCountedString(stream, nullptr), 4u);
  EXPECT_EQ(WriteCountedString(stream, "/srv/www"), 12u);
  EXPECT_EQ(WriteCountedString(stream, std::string(260, 'a').c_str()), 264u);
  EXPECT_EQ(WriteCountedString(stream, std::string(259, 'b').c_str()), 263u);
  std::rewind(stream);

  unsigned char raw[4];
  ASSERT_EQ(std::fread(raw, 1, 4, stream), 4u);
  EXPECT_EQ(raw[0] | raw[1] | raw[2] | raw[3], 0);  // null text: four zero bytes
  std::rewind(stream);

  char buffer[260];
  uint32_t length = 99;
  ASSERT_TRUE(ReadCountedString(stream, buffer, sizeof buffer, &length));
  EXPECT_EQ(length, 0u);
  EXPECT_STREQ(buffer, "");
  ASSERT_TRUE(ReadCountedString(stream, buffer, sizeof buffer, &length));
  EXPECT_STREQ(buffer, "/srv/www");
  EXPECT_FALSE(ReadCountedString(stream, buffer, sizeof buffer, &length));  // 260 into 260
  std::fseek(stream, 4 + 12 + 264, SEEK_SET);
  ASSERT_TRUE(ReadCountedString(stream, buffer, sizeof buffer, nullptr));
  EXPECT_EQ(std::strlen(buffer), 259u);
  EXPECT_FALSE(ReadCountedString(stream, buffer, sizeof buffer, nullptr));  // end of file
  std::fclose(stream);
}

}  // namespace
