// Word wrapping with a fixed-pitch measure (every character 10 pixels wide,
// a UTF-8 sequence counting as one character), so expected lines can be read
// off the table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/builtin/text_wrap.h"

namespace {

int FixedPitch(std::string_view text) {
  int chars = 0;
  for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return chars * 10;
}

std::vector<std::string> Lines(const std::string& text, int width) {
  std::vector<std::string> out;
  for (const WrappedLine& line : WrapText(text, width, FixedPitch)) {
    out.push_back(text.substr(static_cast<size_t>(line.start), static_cast<size_t>(line.length)));
    EXPECT_EQ(line.width, FixedPitch(out.back())) << text;
  }
  return out;
}

using V = std::vector<std::string>;

TEST(TextWrap, Table) {
  struct Case {
    const char* name;
    const char* text;
    int width;
    V lines;
  };
  const Case cases[] = {
      {"empty text has no lines", "", 100, {}},
      {"fits on one line", "Serving Directory:", 500, {"Serving Directory:"}},
      {"breaks at the last blank that fits", "one two three four", 90, {"one two", "three", "four"}},
      {"exact fit stays on the line", "abcde fghij", 50, {"abcde", "fghij"}},
      {"blanks at the cut are dropped", "ab    cd", 30, {"ab", "cd"}},
      {"long word is cut between characters", "abcdefgh ij", 30, {"abc", "def", "gh", "ij"}},
      {"utf-8 sequences are not split", "\xC3\xA9\xC3\xA9\xC3\xA9", 20,
       {"\xC3\xA9\xC3\xA9", "\xC3\xA9"}},
      {"narrower than a character still progresses", "abc", 5, {"a", "b", "c"}},
      {"crlf, lf and cr all break", "a\r\nb\nc\rd", 100, {"a", "b", "c", "d"}},
      {"empty lines are kept", "Version 1.03\r\n\r\n\r\nMaker", 200,
       {"Version 1.03", "", "", "Maker"}},
      {"leading blanks of a paragraph are kept", "  x", 100, {"  x"}},
      {"leading blanks too wide are dropped", "     word", 40, {"word"}},
      {"double blank after a full stop", "It is.  Next one", 60, {"It is.", "Next", "one"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lines(c.text, c.width), c.lines) << c.name;
  }
}

TEST(TextWrap, WidestLine) {
  std::string text = "aaaa bb cccccc";
  std::vector<WrappedLine> lines = WrapText(text, 70, FixedPitch);
  ASSERT_EQ(lines.size(), 2u);  // "aaaa bb" and "cccccc"
  EXPECT_EQ(WidestLine(lines), 70);
  EXPECT_EQ(WidestLine({}), 0);
}

}  // namespace
