#include "base/ColorText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(ColorText, HexInBothLengthsAndNamesInAnyCase) {
  struct Case {
    const char* Text;
    std::optional<TColor> Want;
  };
  const Case cases[] = {
      {"#FF8000", RGB(0xFF, 0x80, 0x00)},
      {"#ff8000", RGB(0xFF, 0x80, 0x00)},
      {"#f80", RGB(0xFF, 0x88, 0x00)}, // each digit doubled, not padded
      {"#000", RGB(0, 0, 0)},
      {"#FFF", RGB(0xFF, 0xFF, 0xFF)},
      {"#123456", RGB(0x12, 0x34, 0x56)}, // red first, as CSS writes it
      {"red", RGB(0xFF, 0, 0)},
      {"Green", RGB(0, 0x80, 0)}, // CSS green, not X11's
      {"REBECCAPURPLE", RGB(0x66, 0x33, 0x99)},
      {"aliceblue", RGB(0xF0, 0xF8, 0xFF)},     // first of the list
      {"yellowgreen", RGB(0x9A, 0xCD, 0x32)},   // last of the list
      {"grey", RGB(0x80, 0x80, 0x80)},          // both spellings
      {"darkslategrey", RGB(0x2F, 0x4F, 0x4F)}, // both spellings
      {"FF8000", std::nullopt},                 // the shell ate nothing: the # is missing
      {"#FF80", std::nullopt},
      {"#FF80000", std::nullopt},
      {"#GG0000", std::nullopt},
      {"#", std::nullopt},
      {"", std::nullopt},
      {"light blue", std::nullopt},
      {" red", std::nullopt},
      {"transparent", std::nullopt}, // a GIF's transparency is --transparent
      {"#-12", std::nullopt},
      {"#+1+", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseColorText(c.Text), c.Want) << '"' << c.Text << '"';
}

TEST(ColorText, EveryOneOfTheHundredAndFortyEightNamesIsFound) {
  ASSERT_EQ(ColorNameCount(), 148);
  for (int i = 0; i < ColorNameCount(); ++i) {
    const std::string name(ColorNameAt(i));
    EXPECT_TRUE(ParseColorText(name).has_value()) << name;
    if (i > 0) {
      EXPECT_LT(ColorNameAt(i - 1), ColorNameAt(i)) << "sorted and each once";
    }
  }
}

} // namespace
