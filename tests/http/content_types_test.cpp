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
      "# a comment line\n"
      "application/x-other\t\tjs\n"            // never over the built-in type
      "text/x-python\t\t\tpy PYW # trailing comment\n"
      "text/x-sh\tsh\r\n"
      "application/x-sh\tsh\n"                  // a second listing: the first holds
      "application/no-extension\n"
      "\n");
  const std::string too_long(80, 'a');
  struct Case {
    const char* extension;
    const char* type;  // null: no type
  } cases[] = {
      {"html", "text/html"},      {"HTM", "text/html"},      {"css", "text/css"},
      {"js", "text/javascript"},  {"Mjs", "text/javascript"}, {"svg", "image/svg+xml"},
      {"SVG", "image/svg+xml"},   {"wasm", "application/wasm"}, {"json", "application/json"},
      {"woff2", "font/woff2"},    {"txt", "text/plain"},     {"py", "text/x-python"},
      {"pyw", "text/x-python"},   {"sh", "text/x-sh"},       {"xyz", nullptr},
      {"", nullptr},              {"no-extension", nullptr}, {too_long.c_str(), nullptr},
  };
  for (const Case& c : cases) {
    const char* type = FindContentType(c.extension, system);
    EXPECT_STREQ(type, c.type) << c.extension;
  }
  EXPECT_EQ(FindContentType("py", ContentTypeTable{}), nullptr);
}

TEST(ContentTypes, AFileNameIsTypedByItsLastComponentsExtension) {
  const std::string folder = std::string("site.v2") + kPathSeparator;
  EXPECT_STREQ(ContentTypeForFile((folder + "logo.Svg").c_str()), "image/svg+xml");
  EXPECT_STREQ(ContentTypeForFile((folder + "app.min.mjs").c_str()), "text/javascript");
  EXPECT_EQ(ContentTypeForFile((folder + "Makefile").c_str()), nullptr);  // the folder's dot is not it
  EXPECT_EQ(ContentTypeForFile((folder + "ends-in-dot.").c_str()), nullptr);
}

}  // namespace
