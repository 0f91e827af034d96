#include "base/Strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Strings, MessagesKeepToOneLineWithControlCharactersEscaped) {
  struct Case {
    std::string In, Out;
  };
  const std::vector<Case> cases = {
      {"plain name.gif", "plain name.gif"},
      {"two\nlines\r", "two\\nlines\\r"},
      {"tab\tbed", "tab\\tbed"},
      {std::string("nul\0cut", 7), "nul\\x00cut"},
      {"\x1b[31mred\x7f", "\\x1B[31mred\\x7F"},
      {"\x01\x1f", "\\x01\\x1F"},
      {"caf\xC3\xA9 \xE2\x80\x8B", "caf\xC3\xA9 \xE2\x80\x8B"}, // UTF-8 stays whole
      {"back\\slash", "back\\slash"},
      {"\x9bm red\x85", "\\x9Bm red\\x85"},                      // C1 control bytes
      {"\xC2\x9Bm \xC2\x80\xC2\x9F", "\\u009Bm \\u0080\\u009F"}, // and characters
      {"\xC2\xA0\xE2\x9Bx\xFF", "\xC2\xA0\xE2\\x9Bx\xFF"},       // a cut sequence
  };
  for (const Case& c : cases)
    EXPECT_EQ(EscapeControls(c.In), c.Out) << c.Out;
}

TEST(Strings, NamesCompareIgnoringAsciiCaseOnly) {
  struct Case {
    std::string A, B;
    int Order; // sign of CompareText
  };
  const std::vector<Case> cases = {
      {"DejaVu Sans", "dejavu sans", 0},
      {"Bold", "BOLD", 0},
      {"", "", 0},
      {"Arial", "arial Black", -1},
      {"b", "A", 1},
      {"Z", "a", 1},               // by letter, not by code: 'Z' < 'a' in ASCII
      {"[", "A", -1},              // folded to lower case: "[" sorts before "a", after "A"
      {"\xC3\xA9", "\xC3\x89", 1}, // é and É: UTF-8 bytes are never folded
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.A + " / " + c.B);
    const int order = CompareText(c.A, c.B);
    EXPECT_EQ((order > 0) - (order < 0), c.Order);
    EXPECT_EQ(-CompareText(c.B, c.A) > 0, c.Order > 0);
    EXPECT_EQ(SameText(c.A, c.B), c.Order == 0);
  }
  EXPECT_EQ(AsciiLower("Liberation SERIF \xC3\x89"), "liberation serif \xC3\x89");
}

TEST(Strings, HexDigitsAreZeroPaddedAndNeverCut) {
  struct Case {
    unsigned Value;
    int Digits;
    bool Upper;
    const char* Text;
  };
  const std::vector<Case> cases = {
      {0, 2, true, "00"},
      {0xA, 2, true, "0A"},
      {0xab, 2, false, "ab"},
      {0xD83D, 4, true, "D83D"},
      {0x1F600, 4, true, "1F600"},
      {0x7, 1, true, "7"},
      {0xFFFFFFFF, 2, false, "ffffffff"},
  };
  for (const Case& c : cases) {
    std::string out = ">";
    AppendHex(out, c.Value, c.Digits, c.Upper);
    EXPECT_EQ(out, std::string(">") + c.Text);
  }
}

TEST(Strings, ColoursReadRedGreenBlue) {
  EXPECT_EQ(ColorToHex(RGB(0x12, 0xAB, 0xEF)), "#12ABEF");
  EXPECT_EQ(ColorToHex(0x000000), "#000000");
  EXPECT_EQ(ColorToHex(0x0000FF), "#FF0000") << "red is the low byte";
}

} // namespace
