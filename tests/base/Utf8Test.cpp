#include "base/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every character decodes back to what was encoded, at its full length.
TEST(Utf8, EncodesAndDecodesEachLengthAtItsEdges) {
  struct Case {
    char32_t Code;
    std::string Bytes;
  };
  const std::vector<Case> cases = {
      {U'\0', std::string(1, '\0')},
      {U'A', "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0xE9, "\xC3\xA9"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x20AC, "\xE2\x82\xAC"},
      {0xD7FF, "\xED\x9F\xBF"},
      {0xE000, "\xEE\x80\x80"},
      {0xFFFD, "\xEF\xBF\xBD"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(std::uint32_t(c.Code)));
    EXPECT_EQ(Utf8(c.Code), c.Bytes);
    const TUtf8Char d = DecodeUtf8(c.Bytes + "tail");
    EXPECT_EQ(d.Code, c.Code);
    EXPECT_EQ(d.Length, c.Bytes.size());
    EXPECT_EQ(FindInvalidUtf8(c.Bytes), std::string::npos);
  }
}

TEST(Utf8, ValuesThatAreNoCharacterEncodeAsTheReplacement) {
  for (char32_t code : {char32_t(0xD800), char32_t(0xDFFF), char32_t(0x110000), char32_t(-1)})
    EXPECT_EQ(Utf8(code), "\xEF\xBF\xBD") << std::uint32_t(code);
}

// Malformed bytes decode to nothing (length 0, U+FFFD); FindInvalidUtf8
// points at the first byte of the bad sequence.
TEST(Utf8, MalformedSequencesAreRefusedWhereTheyStart) {
  struct Case {
    const char* Name;
    std::string Bytes;
    std::size_t FirstBad;
  };
  const std::vector<Case> cases = {
      {"a lone continuation byte", "ab\x80", 2},
      {"an overlong slash in two bytes", "\xC0\xAF", 0},
      {"an overlong C1 lead", "\xC1\xBF", 0},
      {"an overlong in three bytes", "x\xE0\x80\xAF", 1},
      {"an overlong in four bytes", "\xF0\x80\x80\xAF", 0},
      {"a high surrogate", "\xED\xA0\x80", 0},
      {"a low surrogate", "\xED\xBF\xBF", 0},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 0},
      {"a lead that cannot start anything", "ok\xF8\x88\x80\x80\x80", 2},
      {"FF", "\xFF", 0},
      {"cut short at the end", "\xE2\x82", 0},
      {"cut short before ASCII",
       "\xE2\x82"
       "A",
       0},
      {"four bytes cut to three", "\xF0\x9F\x98", 0},
      {"valid then cut short", "\xC3\xA9\xC3", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(FindInvalidUtf8(c.Bytes), c.FirstBad);
    const TUtf8Char d = DecodeUtf8(std::string_view(c.Bytes).substr(c.FirstBad));
    EXPECT_EQ(d.Length, 0u);
    EXPECT_EQ(d.Code, char32_t(0xFFFD));
  }
  EXPECT_EQ(DecodeUtf8("").Length, 0u);
}

TEST(Utf8, EveryCharacterRoundTrips) {
  std::string all;
  std::vector<char32_t> codes;
  for (char32_t c = 0; c <= 0x10FFFF; c += (c < 0x20000 ? 1 : 0x3F1)) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    codes.push_back(c);
    AppendUtf8(all, c);
  }
  ASSERT_EQ(FindInvalidUtf8(all), std::string::npos);
  std::string_view rest = all;
  for (char32_t c : codes) {
    const TUtf8Char d = DecodeUtf8(rest);
    ASSERT_EQ(d.Code, c);
    rest.remove_prefix(d.Length);
  }
  EXPECT_TRUE(rest.empty());
}

} // namespace
