#include "text/Font.h"
#include "support/Files.h"
#include "text/FontDatabase.h"
#include "text/Glyphs.h"
#include "text/SfntInfo.h"
#include "text/TextSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

using namespace text_test;

namespace {

struct TStyle {
  std::string Name;
  int Weight;
  int Italic;
  friend bool operator==(const TStyle&, const TStyle&) = default;
  friend std::ostream& operator<<(std::ostream& os, const TStyle& s) {
    return os << s.Name << " " << s.Weight << "/" << s.Italic;
  }
};

std::vector<TStyle> StylesOf(const std::string& face) {
  std::vector<TStyle> styles;
  EnumFontFamilies(face, [&](const ENUMLOGFONT& f, int) {
    EXPECT_EQ(f.elfLogFont.lfFaceName, face);
    styles.push_back({f.elfStyle, f.elfLogFont.lfWeight, f.elfLogFont.lfItalic});
    return 1;
  });
  std::sort(styles.begin(), styles.end(),
            [](const TStyle& a, const TStyle& b) { return a.Name < b.Name; });
  return styles;
}

} // namespace

TEST(Enumeration, EveryFaceByItsLegacyFamilyNameOnce) {
  std::map<std::string, int> seen;
  EnumFonts("", [&](const LOGFONT& lf, int type) {
    ++seen[lf.lfFaceName];
    // Colour emoji are bitmaps, with no outlines.
    EXPECT_EQ(type, lf.lfFaceName == "Noto Color Emoji" ? RASTER_FONTTYPE : TRUETYPE_FONTTYPE)
        << lf.lfFaceName;
    return 1;
  });
  for (const char* face :
       {"DejaVu Sans", "DejaVu Sans Condensed", "DejaVu Sans Light", "DejaVu Sans Mono",
        "DejaVu Serif", "DejaVu Math TeX Gyre", "Liberation Sans", "Liberation Serif",
        "Liberation Mono", "Lohit Devanagari", "Loma", "Noto Color Emoji"})
    EXPECT_EQ(seen[face], 1) << face;
  EXPECT_EQ(seen.size(), 14u)
      << "DejaVu core and extra, Liberation 2, Nimbus Sans Narrow, Lohit, Loma, Noto Color Emoji";
}

TEST(Enumeration, StylesAreTheMembersSubfamilyNamesWithWeightAndSlant) {
  struct Row {
    const char* what;
    std::string face;
    std::vector<TStyle> styles;
  } rows[] = {
      {"four members named the DejaVu way",
       "DejaVu Sans",
       {{"Bold", 700, 0}, {"Bold Oblique", 700, 1}, {"Book", 400, 0}, {"Oblique", 400, 1}}},
      {"the condensed members are a face of their own",
       "DejaVu Sans Condensed",
       {{"Bold", 700, 0}, {"Bold Oblique", 700, 1}, {"Book", 400, 0}, {"Oblique", 400, 1}}},
      {"a light face with one member", "DejaVu Sans Light", {{"ExtraLight", 200, 0}}},
      {"four members named the usual way",
       "Liberation Sans",
       {{"Bold", 700, 0}, {"Bold Italic", 700, 1}, {"Italic", 400, 1}, {"Regular", 400, 0}}},
      {"a face with only a regular member", "DejaVu Math TeX Gyre", {{"Regular", 400, 0}}},
      {"a face that is not installed", "No Such Face", {}},
  };
  for (const Row& row : rows)
    EXPECT_EQ(StylesOf(row.face), row.styles) << row.what;
  // Face names ignore case; members come under the installed spelling.
  int members = 0;
  EnumFontFamilies("liberation mono", [&](const ENUMLOGFONT& f, int) {
    EXPECT_EQ(f.elfLogFont.lfFaceName, "Liberation Mono");
    return ++members;
  });
  EXPECT_EQ(members, 4);
}

TEST(Enumeration, CallbackStopsItAndTheRegularMemberComesFirst) {
  int calls = 0;
  LOGFONT first;
  const int result = EnumFonts("Liberation Serif", [&](const LOGFONT& lf, int) {
    first = lf;
    ++calls;
    return 0;
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(first.lfWeight, FW_NORMAL);
  EXPECT_EQ(first.lfItalic, 0);
  EXPECT_EQ(first.lfCharSet, ANSI_CHARSET);
  EXPECT_EQ(first.lfPitchAndFamily & 0x0F, VARIABLE_PITCH);

  EnumFonts("DejaVu Sans Mono", [&](const LOGFONT& lf, int) {
    EXPECT_EQ(lf.lfPitchAndFamily & 0x0F, FIXED_PITCH);
    return 0;
  });
}

TEST(CreateFont, PicksTheMemberOrSynthesisesWhatTheFaceLacks) {
  struct Row {
    const char* what;
    LOGFONT asked;
    std::string face, style;
    bool syntheticBold, syntheticItalic;
  } rows[] = {
      {"real bold", Font("DejaVu Sans", 30, true), "DejaVu Sans", "Bold", false, false},
      {"real italic", Font("Liberation Serif", 30, false, true), "Liberation Serif", "Italic",
       false, false},
      {"no bold member", Font("DejaVu Math TeX Gyre", 30, true), "DejaVu Math TeX Gyre", "Regular",
       true, false},
      {"no italic member", Font("DejaVu Sans Light", 30, false, true), "DejaVu Sans Light",
       "ExtraLight", false, true},
      {"neither", Font("DejaVu Math TeX Gyre", 30, true, true), "DejaVu Math TeX Gyre", "Regular",
       true, true},
      {"not installed: the substitute", Font("No Such Face", 30), "DejaVu Sans", "Book", false,
       false},
      {"no face at all: the substitute", Font("", 30), "DejaVu Sans", "Book", false, false},
  };
  for (const Row& row : rows) {
    const TFontHandle font = CreateFontIndirect(row.asked);
    EXPECT_EQ(font->FaceName(), row.face) << row.what;
    EXPECT_EQ(font->StyleName(), row.style) << row.what;
    EXPECT_EQ(font->SyntheticBold(), row.syntheticBold) << row.what;
    EXPECT_EQ(font->SyntheticItalic(), row.syntheticItalic) << row.what;
    EXPECT_EQ(font->Height(), 30) << row.what;
    EXPECT_EQ(font->Description(), row.asked) << row.what;
  }
}

TEST(CreateFont, SyntheticBoldIsWiderAndDarkerSyntheticSlantLeansRight) {
  const auto regular = CreateFontIndirect(Font("DejaVu Sans Light", 40));
  const auto bold = CreateFontIndirect(Font("DejaVu Sans Light", 40, true));
  for (char32_t ch : {U'a', U'M', U'1'})
    EXPECT_EQ(bold->Advance(ch), regular->Advance(ch) + 1) << char(ch);

  const auto inkPixels = [](const TTestSurface& s) {
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x)
        n += s.At(x, y) != RGB(255, 255, 255);
    return n;
  };
  EXPECT_GT(inkPixels(Render(Font("DejaVu Sans Light", 40, true), "lll")),
            inkPixels(Render(Font("DejaVu Sans Light", 40), "lll")) * 11 / 10);

  // Slanted, the ink of a tall glyph lies further right at its top than at
  // its foot.
  const auto lean = [](const TTestSurface& s) {
    const TRect ink = s.Ink(RGB(255, 255, 255));
    const auto centre = [&](int top, int bottom) {
      double sum = 0, weight = 0;
      for (int y = top; y < bottom; ++y)
        for (int x = 0; x < s.Width(); ++x) {
          const double dark = 255 - GetRValue(s.At(x, y));
          sum += dark * x;
          weight += dark;
        }
      return sum / weight;
    };
    const int third = ink.Height() / 3;
    return centre(ink.Top, ink.Top + third) - centre(ink.Bottom - third, ink.Bottom);
  };
  const double upright = lean(Render(Font("DejaVu Sans Light", 40), "lH"));
  const double slanted = lean(Render(Font("DejaVu Sans Light", 40, false, true), "lH"));
  EXPECT_GT(slanted - upright, 3.0);
}

TEST(CreateFont, SameDescriptionSharesTheRasterisedGlyphs) {
  const auto a = CreateFontIndirect(Font("Liberation Sans", 30));
  const auto b = CreateFontIndirect(Font("Liberation Sans", 30));
  const auto mono = CreateFontIndirect(Font("Liberation Sans", 30, false, false, false));
  EXPECT_EQ(a->Impl().Instance, b->Impl().Instance);
  EXPECT_NE(a->Impl().Instance, mono->Impl().Instance);
}

TEST(CreateFont, HeightsOutOfRangeAreRefused) {
  for (int height : {TFont::MaxHeight + 1, -TFont::MaxHeight - 1, 1 << 30}) {
    try {
      CreateFontIndirect(Font("DejaVu Sans", height));
      ADD_FAILURE() << height << " was accepted";
    } catch (const ETextError& e) {
      EXPECT_NE(std::string(e.what()).find("out of range"), std::string::npos) << e.what();
    }
  }
  for (int height : {1, 2, TFont::MaxHeight, -12, 0})
    EXPECT_GE(CreateFontIndirect(Font("DejaVu Sans", height))->Height(), 1) << height;
}

TEST(FontFiles, DamagedFilesAreRefusedWithTheirName) {
  const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  std::ifstream in(dejavu, std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(whole.size(), 100000u);
  struct Row {
    const char* what;
    std::string bytes;
  } rows[] = {
      {"empty", ""},
      {"not a font", "this is not a font file at all, just text"},
      {"header only", whole.substr(0, 12)},
      {"cut inside the table directory", whole.substr(0, 200)},
      {"cut after the tables' start", whole.substr(0, 4000)},
      {"collection pointing past its end", std::string("ttcf\0\1\0\0\0\0\0\1\x7F\xFF\xFF\xFF", 16)},
  };
  auto& db = text_detail::TFontDatabase::Instance();
  const TTempDir dir;
  for (const Row& row : rows) {
    const auto path = dir / "damaged.ttf";
    WriteFile(path, row.bytes);
    EXPECT_FALSE(text_detail::ReadSfntInfo(path.string(), 0)) << row.what;
    try {
      db.Open(path.string(), 0);
      ADD_FAILURE() << row.what << " was opened";
    } catch (const ETextError& e) {
      EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
    }
  }
  const auto info = text_detail::ReadSfntInfo(dejavu, 0);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Family, "DejaVu Sans");
  EXPECT_EQ(info->Style, "Book");
  EXPECT_FALSE(text_detail::ReadSfntInfo("/nonexistent/font.ttf", 0));
}

// A database whose configuration cannot be loaded throws as soon as fontconfig
// is asked anything.
TEST(Fallback, CharactersNoFontDrawsAreNotLookedFor) {
  text_detail::TFontDatabase unloadable("/nonexistent/fonts.conf");
  const struct {
    char32_t Code;
    bool LookedFor;
  } rows[] = {
      {0x1B, false},   {0x7F, false},    {0x81, false},  {0x9B, false}, // controls
      {0x0378, false}, {0x2FE0, false},                                 // unassigned
      {0xFDD0, false}, {0x1FFFF, false},                                // noncharacters
      {'A', true},     {0xAD, true},     {0xE000, true}, {0x1F600, true},
  };
  for (const auto& row : rows) {
    if (row.LookedFor)
      EXPECT_THROW(unloadable.FaceFor(row.Code, FW_NORMAL, false), ETextError)
          << unsigned(row.Code);
    else
      EXPECT_FALSE(unloadable.FaceFor(row.Code, FW_NORMAL, false)) << unsigned(row.Code);
  }
}
