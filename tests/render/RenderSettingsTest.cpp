#include "render/RenderSettings.h"
#include "render/FontCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(RenderSettings, SizesBecomeWholePixelsWithHalvesToEven) {
  struct Row {
    const char* Name;
    double Size;
    TSizeUnit Unit;
    int Dpi, Pixels;
  };
  const Row rows[] = {
      {"30 px", 30, TSizeUnit::Pixels, 96, 30},
      {"13.5 px left by a unit switch", 13.5, TSizeUnit::Pixels, 96, 14},
      {"12.5 px", 12.5, TSizeUnit::Pixels, 96, 12},
      {"12.6 px", 12.6, TSizeUnit::Pixels, 96, 13},
      {"10 pt at 96 dpi", 10, TSizeUnit::Points, 96, 13},
      {"22.5 pt at 96 dpi", 22.5, TSizeUnit::Points, 96, 30},
      {"9 pt at 120 dpi is 15 exactly", 9, TSizeUnit::Points, 120, 15},
      {"1000 pt at 96 dpi", 1000, TSizeUnit::Points, 96, 1333},
  };
  for (const Row& r : rows)
    EXPECT_EQ(PixelSize(r.Size, r.Unit, r.Dpi), r.Pixels) << r.Name;
}

TEST(RenderSettings, UnitSwitchRoundTripsAndKeepsTheBounds) {
  constexpr TSizeUnit px = TSizeUnit::Pixels, pt = TSizeUnit::Points;
  const double points = ConvertSizeUnit(30, px, pt, 96);
  EXPECT_DOUBLE_EQ(points, 22.5);
  EXPECT_EQ(PixelSize(ConvertSizeUnit(points, pt, px, 96), px, 96), 30);
  EXPECT_EQ(PixelSize(ConvertSizeUnit(ConvertSizeUnit(17, px, pt, 96), pt, px, 96), px, 96), 17);
  EXPECT_DOUBLE_EQ(ConvertSizeUnit(1000, pt, px, 96), 1000) << "capped at 1000";
  EXPECT_DOUBLE_EQ(ConvertSizeUnit(1, px, pt, 96), 1) << "0.75 pt held at 1";
  EXPECT_DOUBLE_EQ(ConvertSizeUnit(13.5, px, px, 96), 13.5) << "same unit: untouched";
}

TEST(RenderSettings, FontDescriptionCarriesTheChoicesOverTheTemplate) {
  LOGFONT tmpl;
  tmpl.lfFaceName = "Some Face";
  tmpl.lfCharSet = SYMBOL_CHARSET;
  tmpl.lfEscapement = 5;
  tmpl.lfStrikeOut = 1;
  tmpl.lfPitchAndFamily = FF_ROMAN | VARIABLE_PITCH;
  tmpl.lfWeight = 300;
  TRenderSettings s;
  s.Size = 10;
  s.SizeUnit = TSizeUnit::Points;
  s.Bold = true;
  s.Underline = true;
  s.AntiAlias = true;
  LOGFONT lf = BuildFontDescription(tmpl, s, 96);
  EXPECT_EQ(lf.lfHeight, 13);
  EXPECT_EQ(lf.lfWidth, 0);
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfUnderline, 1);
  EXPECT_EQ(lf.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_EQ(lf.lfCharSet, SYMBOL_CHARSET) << "a special character set is kept";
  EXPECT_EQ(lf.lfEscapement, 5);
  EXPECT_EQ(lf.lfStrikeOut, 1);
  EXPECT_EQ(lf.lfPitchAndFamily, FF_ROMAN | VARIABLE_PITCH);
  EXPECT_EQ(lf.lfFaceName, "Some Face");

  s.Bold = false;
  s.Italic = true;
  s.Underline = false;
  s.AntiAlias = false;
  lf = BuildFontDescription(tmpl, s, 96);
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(lf.lfItalic, 1);
  EXPECT_EQ(lf.lfUnderline, 0);
  EXPECT_EQ(lf.lfQuality, DEFAULT_QUALITY);
}

TEST(RenderSettings, TemplateOfAMissingFaceIsThePreviousOne) {
  TFontTemplate fonts;
  EXPECT_EQ(fonts.GetFontTemplate("No Such Face"), LOGFONT{})
      << "all zeros before the first lookup";
  const LOGFONT mono = fonts.GetFontTemplate("DejaVu Sans Mono");
  EXPECT_EQ(mono.lfFaceName, "DejaVu Sans Mono");
  EXPECT_EQ(mono.lfWidth, 0);
  EXPECT_EQ(fonts.GetFontTemplate("No Such Face"), mono);
  EXPECT_EQ(TFontTemplate().GetFontTemplate("No Such Face"), LOGFONT{})
      << "another window's lookups are its own";
}

TEST(RenderSettings, DrawingFlagsPerAlignment) {
  EXPECT_EQ(DrawFlags(TAlign::Left), DT_LEFT | DT_NOCLIP | DT_NOPREFIX);
  EXPECT_EQ(DrawFlags(TAlign::Center), DT_CENTER | DT_NOCLIP | DT_NOPREFIX);
  EXPECT_EQ(DrawFlags(TAlign::Right), DT_RIGHT | DT_NOCLIP | DT_NOPREFIX);
  EXPECT_EQ(MeasureFlags, DT_CALCRECT | DT_NOPREFIX);
}

TEST(RenderSettings, LinesStartWhereTheAlignmentPutsThem) {
  struct Row {
    const char* Name;
    TAlign Align;
    int Area, Line, Start;
  };
  const Row rows[] = {
      {"left", TAlign::Left, 101, 40, 0},
      {"centre, the odd pixel to the right", TAlign::Center, 101, 40, 30},
      {"right", TAlign::Right, 101, 40, 61},
      {"centre of a line wider than the area", TAlign::Center, 40, 101, -30},
      {"right of a line wider than the area", TAlign::Right, 40, 101, -61},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(LineStart(r.Align, r.Area, r.Line), r.Start) << r.Name;
    const TRect area{7, 0, 7 + r.Area, 10};
    EXPECT_EQ(LineLeft(area, r.Line, DrawFlags(r.Align)), 7 + r.Start)
        << r.Name << ": drawn at the same place";
  }
}

TEST(RenderSettings, UserWidthFieldFollowsTheSurface) {
  EXPECT_EQ(UserWidthBounds(TWidthMode::ToString, 120).Min, 120);
  EXPECT_EQ(UserWidthBounds(TWidthMode::ToMaxString, 120).Max, 120)
      << "fixed: the field is disabled";
  EXPECT_EQ(UserWidthBounds(TWidthMode::UserWidth, 120).Max, MaxUserWidth);
  EXPECT_EQ(UserWidthBounds(TWidthMode::UserWidth, 0).Min, 0);
}

TEST(FontCatalogueInstalled, FacesAreListedOnceEachInOrder) {
  const std::vector<std::string> faces = ListFaces();
  for (const char* face : {"DejaVu Sans", "DejaVu Sans Condensed", "DejaVu Sans Light",
                           "Liberation Sans", "Liberation Serif"})
    EXPECT_EQ(std::count(faces.begin(), faces.end(), face), 1) << face;
  EXPECT_TRUE(std::is_sorted(faces.begin(), faces.end(), [](std::string a, std::string b) {
    for (auto* s : {&a, &b})
      std::transform(s->begin(), s->end(), s->begin(),
                     [](unsigned char c) { return std::tolower(c); });
    return a < b;
  }));
}

TEST(FontCatalogueInstalled, StylesOfRealFaces) {
  TStyleList styles;
  styles.SelectFace("Liberation Sans");
  EXPECT_EQ(styles.FontStyle,
            (std::vector<std::string>{"Regular", "Italic", "Bold", "Bold Italic"}));
  EXPECT_EQ(styles.FStyleTable[1], (TStyleFlags{0, 1}));
  EXPECT_EQ(styles.FStyleTable[3], (TStyleFlags{1, 1}));
  styles.ItemIndex = 3;
  styles.SelectFace("DejaVu Sans Light");
  EXPECT_EQ(styles.FontStyle, (std::vector<std::string>{"ExtraLight"}));
  EXPECT_EQ(styles.FStyleTable[0], (TStyleFlags{0, 0}));
  EXPECT_EQ(styles.ItemIndex, 0);
}
