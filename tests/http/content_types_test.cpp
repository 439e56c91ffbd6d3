// Media types by extension: the built-in table wins in any letter case, a
// mime.types text fills in the rest (its first listing of an extension
// holds), and what neither knows has no type.
#include <gtest/gtest.h>

#include <string>

#include "http/content_types.h"
#include "platform/platform_table.h"

namespace {

TEST(ContentTypes, BuiltInTableWinsThenTheSystemsThenNone) {
  const ContentTypeTable system = ParseContentTypeTable(
      "# comment\napplication/x-other\tjs\ntext/x-python\t\tpy PYW # comment\n"
      "text/x-sh sh\r\napplication/x-sh sh\napplication/no-extension\n\n");
  const char* cases[][2] = {
      {"HTM", "text/html"},      {"Mjs", "text/javascript"}, {"js", "text/javascript"},
      {"SVG", "image/svg+xml"},  {"pyw", "text/x-python"},   {"sh", "text/x-sh"},
      {"xyz", nullptr},          {"", nullptr},              {"no-extension", nullptr},
  };
  for (const auto& c : cases) EXPECT_STREQ(FindContentType(c[0], system), c[1]) << c[0];
  EXPECT_EQ(FindContentType(std::string(80, 'a'), system), nullptr);

  const std::string folder = std::string("site.v2") + kPathSeparator;
  EXPECT_STREQ(ContentTypeForFile((folder + "app.min.CSS").c_str()), "text/css");
  EXPECT_EQ(ContentTypeForFile((folder + "Makefile").c_str()), nullptr);  // not the folder's dot
}

}  // namespace
