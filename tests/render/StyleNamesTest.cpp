// The style list of installed faces, through fontconfig: a face installed
// both as OpenType (with style names) and as Type 1 (without) lists the names
// its fonts carry, whatever order the files are found in.
#include "render/FontCatalogue.h"

#include <gtest/gtest.h>

TEST(StyleNames, FaceInstalledTwiceListsTheNamesItsFontsCarry) {
  struct Row {
    const char* Face;
    std::vector<std::string> Listed;
    std::array<TStyleFlags, 4> Flags;
  };
  const Row rows[] = {
      {"Nimbus Sans Narrow",
       {"Regular", "Oblique", "Bold", "Bold Oblique"},
       {{{0, 0}, {0, 1}, {1, 0}, {1, 1}}}},
      {"DejaVu Sans Mono",
       {"Book", "Oblique", "Bold", "Bold Oblique"},
       {{{0, 0}, {0, 1}, {1, 0}, {1, 1}}}},
  };
  for (const Row& row : rows) {
    TStyleList list;
    list.SelectFace(row.Face);
    EXPECT_EQ(list.FontStyle, row.Listed) << row.Face;
    EXPECT_EQ(list.FStyleTable, row.Flags) << row.Face;
    // The same answer every time: nothing depends on the order files are met.
    TStyleList again;
    again.SelectFace(row.Face);
    EXPECT_EQ(again.FontStyle, list.FontStyle) << row.Face;
  }
}

TEST(StyleNames, NamelessCopiesAreNoMembersOfTheirOwn) {
  std::vector<TFamilyMember> members;
  EnumerateFamily("Nimbus Sans Narrow", [&](const TFamilyMember& m) {
    members.push_back(m);
    return true;
  });
  ASSERT_EQ(members.size(), 4u);
  for (const TFamilyMember& m : members)
    EXPECT_FALSE(m.StyleName.empty()) << m.Weight << " " << m.Italic;
}
