#include "render/AutoFill.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

TEST(AutoFill, SetsHaveTheirCharactersOnePerLine) {
  struct Row {
    const char* Name;
    int Tag;
    std::size_t Count;
    std::string First, Last;
  };
  for (const Row& r : {Row{"digits", afDigits, 10, "0", "9"},
                       Row{"calendar days without leading zeros", afCalendar, 31, "1", "31"},
                       Row{"capitals", afCaps, 26, "A", "Z"},
                       Row{"every code from 32 to 255", afAllChars, 224, " ", "\xC3\xBF"}}) {
    const std::vector<std::string> lines = AutoFillLines(r.Tag);
    ASSERT_EQ(lines.size(), r.Count) << r.Name;
    EXPECT_EQ(lines.front(), r.First) << r.Name;
    EXPECT_EQ(lines.back(), r.Last) << r.Name;
  }
  EXPECT_EQ(AutoFillLines(afCalendar)[8], "9");
  EXPECT_THROW(AutoFillLines(4), std::invalid_argument);
}

TEST(AutoFill, AllCharsAreWindows1252AsDistinctUtf8Characters) {
  const std::vector<std::string> lines = AutoFillLines(afAllChars);
  EXPECT_EQ(lines[0x80 - 32], "\xE2\x82\xAC") << "0x80 is the euro sign";
  EXPECT_EQ(lines[0x99 - 32], "\xE2\x84\xA2") << "0x99 is the trade mark sign";
  EXPECT_EQ(lines[0x81 - 32], "\xC2\x81") << "an undefined code is not skipped";
  EXPECT_EQ(lines[0xE9 - 32], "\xC3\xA9") << "0xE9 is e acute";
  EXPECT_EQ(lines['A' - 32], "A");
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size())
      << "no two codes give the same character";
}
