#include "render/FontCatalogue.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using TMembers = std::vector<TFamilyMember>;

// A font world of its own: each face reports its members in the order given.
TFamilyEnumerator FakeFonts(std::map<std::string, TMembers> faces) {
  return
      [faces](const std::string& face, const std::function<bool(const TFamilyMember&)>& callback) {
        const auto it = faces.find(face);
        if (it == faces.end()) return;
        for (const TFamilyMember& m : it->second)
          if (!callback(m)) return;
      };
}

const TFamilyMember Regular{"Regular", 400, 0};
const TFamilyMember Italic{"Italic", 400, 1};
const TFamilyMember Bold{"Bold", 700, 0};
const TFamilyMember BoldItalic{"Bold Italic", 700, 1};

} // namespace

TEST(FontCatalogue, FacesAreSortedWithoutRegardToCase) {
  EXPECT_EQ(SortFaces({"liberation Serif", "DejaVu Sans", "Liberation Mono", "dejavu sans mono",
                       "DejaVu Sans"}),
            (std::vector<std::string>{"DejaVu Sans", "dejavu sans mono", "Liberation Mono",
                                      "liberation Serif"}));
}

TEST(FontCatalogue, StylesComeInTheOrderRegularItalicBoldBoldItalic) {
  struct Row {
    const char* Name;
    TMembers Reported;
    std::vector<std::string> Listed;
    std::vector<TStyleFlags> Flags;
  };
  const Row rows[] = {
      {"four members in a scrambled order",
       {BoldItalic, Regular, Bold, Italic},
       {"Regular", "Italic", "Bold", "Bold Italic"},
       {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
      {"a style reported once per character set is listed once",
       {Regular, Regular, Regular, Bold, Bold},
       {"Regular", "Bold"},
       {{0, 0}, {1, 0}}},
      {"members without style names get the standard four",
       {{"", 400, 0}, {"", 700, 0}},
       {"Normal", "Italic", "Bold", "Bold Italic"},
       {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
      {"a weight other than 700 is not bold",
       {{"Black", 900, 0}, {"Semibold", 600, 0}},
       {"Black", "Semibold"},
       {{0, 0}, {0, 0}}},
      {"a single style keeps its entry as reported", {{"Oblique", 700, 1}}, {"Oblique"}, {{1, 1}}},
      {"never more than four lines",
       {Regular, Italic, Bold, BoldItalic, {"Light", 300, 0}, {"", 400, 0}},
       {"Regular", "Italic", "Bold", "Bold Italic"},
       {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
      {"a nameless member after named ones adds nothing",
       {Bold, {"", 400, 0}, Regular},
       {"Regular", "Bold"},
       {{0, 0}, {1, 0}}},
  };
  for (const Row& r : rows) {
    TStyleList styles;
    styles.SelectFace("Face", FakeFonts({{"Face", r.Reported}}));
    EXPECT_EQ(styles.FontStyle, r.Listed) << r.Name;
    for (std::size_t i = 0; i < r.Flags.size(); ++i)
      EXPECT_EQ(styles.FStyleTable[i], r.Flags[i]) << r.Name << ", line " << i;
  }
}

TEST(FontCatalogue, SelectedStyleIsKeptOrClampedWhenTheFaceChanges) {
  const TFamilyEnumerator fonts = FakeFonts(
      {{"Four", {Regular, Italic, Bold, BoldItalic}}, {"Two", {Regular, Bold}}, {"None", {}}});
  TStyleList styles;
  styles.SelectFace("Four", fonts);
  EXPECT_EQ(styles.ItemIndex, 0) << "nothing selected yet becomes the first line";
  styles.ItemIndex = 2;
  styles.SelectFace("Four", fonts);
  EXPECT_EQ(styles.ItemIndex, 2);
  EXPECT_EQ(styles.Selected(), (TStyleFlags{1, 0}));
  styles.SelectFace("Two", fonts);
  EXPECT_EQ(styles.ItemIndex, 1) << "beyond the last line becomes the last line";
  EXPECT_EQ(styles.Selected(), (TStyleFlags{1, 0}));
  styles.SelectFace("None", fonts);
  EXPECT_TRUE(styles.FontStyle.empty());
  EXPECT_EQ(styles.Selected(), (TStyleFlags{0, 0})) << "no style renders regular";
  styles.SelectFace("", fonts);
  EXPECT_EQ(styles.ItemIndex, -1);
}
