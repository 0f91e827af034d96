#include "support/Programs.h"
#include "text/DC.h"
#include "text/FontDatabase.h"
#include "text/Glyphs.h"
#include "text/Layout.h"
#include "text/TextSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace text_test;

namespace {

constexpr TColor White = RGB(255, 255, 255);
constexpr TTextOptions Plain{};
constexpr TTextOptions Shaped{true, false};
constexpr TTextOptions WithFallback{false, true};
constexpr TTextOptions ShapedWithFallback{true, true};

std::u32string Utf32(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t ch = n == 1 ? c : c & (0x3F >> (n - 1));
    for (int k = 1; k < n; ++k)
      ch = (ch << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(ch);
    i += std::size_t(n);
  }
  return out;
}

struct TLaidOut {
  std::vector<text_detail::TPlacedGlyph> Glyphs;
  long long Width = 0;
  std::vector<std::string> Files; // the font file of each glyph
};

TLaidOut LayOut(const TFontHandle& font, std::string_view line, TTextOptions options) {
  std::lock_guard lock(text_detail::TFontDatabase::Instance().Mutex());
  text_detail::TLineLayout layout;
  text_detail::LayOutLine(font->Impl(), Utf32(line), options, layout);
  TLaidOut out{layout.Glyphs, layout.Width, {}};
  for (const auto& glyph : layout.Glyphs)
    out.Files.push_back(glyph.Face->Key().File);
  return out;
}

// Draws in black on white with the options, on a surface of the measured size.
TTestSurface RenderWith(const LOGFONT& lf, std::string_view text, TTextOptions options) {
  TDC measure;
  measure.SelectFont(CreateFontIndirect(lf));
  measure.SetTextOptions(options);
  TRect r = Measure(measure, text);
  TTestSurface surface(std::max(1, r.Right), r.Bottom);
  TDC dc(surface.View());
  dc.SelectFont(measure.Font());
  dc.SetTextOptions(options);
  FillRect(dc, r, White);
  dc.SetBkMode(TRANSPARENT);
  DrawTextEx(dc, text, r, DT_LEFT | DT_NOCLIP | DT_NOPREFIX);
  return surface;
}

struct THbGlyph {
  unsigned Glyph;
  long X, Y; // pen plus offset, 26.6
};

// HarfBuzz's own answer: hb-shape at the em size in 26.6 units.
std::vector<THbGlyph> HbShape(const std::string& file, int ppem, const std::string& text) {
  const std::string command =
      Program("hb-shape") +
      " --no-glyph-names --output-format=json --font-size=" + std::to_string(ppem * 64) + " '" +
      file + "' '" + text + "'";
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
  std::string json;
  char buffer[4096];
  while (pipe && fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
    json += buffer;
  std::vector<THbGlyph> glyphs;
  long pen = 0;
  for (std::size_t at = json.find("{\"g\":"); at != std::string::npos;
       at = json.find("{\"g\":", at + 1)) {
    unsigned glyph = 0, cluster = 0;
    long dx = 0, dy = 0, ax = 0, ay = 0;
    if (std::sscanf(json.c_str() + at,
                    "{\"g\":%u,\"cl\":%u,\"dx\":%ld,\"dy\":%ld,\"ax\":%ld,\"ay\":%ld", &glyph,
                    &cluster, &dx, &dy, &ax, &ay) != 6)
      break;
    glyphs.push_back({glyph, pen + dx, dy});
    pen += ax;
  }
  return glyphs;
}

bool HasColour(const TTestSurface& s) {
  for (TColor c : s.Colours())
    if (GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c)) return true;
  return false;
}

} // namespace

TEST(Shaping, GlyphsAndPositionsAreHarfBuzzsOwn) {
  struct Row {
    const char* what;
    const char* face;
    const char* file;
    const char* text;
  } rows[] = {
      {"kerned Latin", "DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
       "AVATAR Type"},
      {"ligatures", "DejaVu Serif", "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
       "office fly"},
      {"Arabic", "DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
       "\u0633\u0644\u0627\u0645 \u0639\u0644\u064A\u0643\u0645"},
      {"Hebrew", "DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
       "\u05E9\u05C1\u05B8\u05DC\u05D5\u05B9\u05DD"},
      {"Devanagari", "Lohit Devanagari",
       "/usr/share/fonts/truetype/lohit-devanagari/Lohit-Devanagari.ttf",
       "\u0915\u094D\u0937\u0924\u094D\u0930\u093F\u092F"},
      {"Thai marks", "Loma", "/usr/share/fonts/opentype/tlwg/Loma.otf",
       "\u0E17\u0E35\u0E48\u0E19\u0E35\u0E48"},
  };
  for (const Row& row : rows)
    for (int ppem : {13, 32, 75}) {
      SCOPED_TRACE(std::string(row.what) + " at " + std::to_string(ppem));
      const TFontHandle font = CreateFontIndirect(Font(row.face, -ppem));
      ASSERT_EQ(font->FaceName(), row.face);
      const TLaidOut ours = LayOut(font, row.text, Shaped);
      const std::vector<THbGlyph> theirs = HbShape(row.file, ppem, row.text);
      ASSERT_FALSE(theirs.empty()) << "hb-shape (libharfbuzz-bin) gave no answer";
      ASSERT_EQ(ours.Glyphs.size(), theirs.size());
      for (std::size_t i = 0; i < theirs.size(); ++i) {
        EXPECT_EQ(ours.Glyphs[i].Key & ~text_detail::GlyphIndexKey, theirs[i].Glyph) << i;
        EXPECT_EQ(ours.Glyphs[i].X26, theirs[i].X) << i;
        EXPECT_EQ(ours.Glyphs[i].Y26, theirs[i].Y) << i;
      }
    }
}

TEST(Shaping, RightToLeftLinesRunFromTheRightWithJoinedForms) {
  const TFontHandle font = CreateFontIndirect(Font("DejaVu Sans", 30));
  struct Row {
    const char* what;
    const char* text;
    bool joins;
  } rows[] = {{"Arabic", "\u0633\u0644\u0627\u0645", true},
              {"Hebrew", "\u05E9\u05DC\u05D5\u05DD", false},
              {"Arabic with digits", "\u0628\u0628\u0628 123", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::u32string chars = Utf32(row.text);
    const TLaidOut shaped = LayOut(font, row.text, Shaped);
    ASSERT_FALSE(shaped.Glyphs.empty());
    // The first character is drawn rightmost, the second left of it.
    const auto at = [&](std::size_t cluster) {
      for (const auto& glyph : shaped.Glyphs)
        if (glyph.Cluster == cluster) return glyph.X;
      ADD_FAILURE() << "no glyph for character " << cluster;
      return 0;
    };
    for (const auto& glyph : shaped.Glyphs)
      EXPECT_LE(glyph.X, at(0)) << "character " << glyph.Cluster;
    EXPECT_LT(at(1), at(0));
    // Joined forms are other glyphs than the letters' own.
    std::size_t changed = 0;
    {
      std::lock_guard lock(text_detail::TFontDatabase::Instance().Mutex());
      FT_Face face = font->Impl().Instance->Face();
      for (const auto& glyph : shaped.Glyphs)
        if ((glyph.Key & ~text_detail::GlyphIndexKey) !=
            FT_Get_Char_Index(face, chars[glyph.Cluster]))
          ++changed;
    }
    if (row.joins)
      EXPECT_GE(changed, 2u);
    else
      EXPECT_EQ(changed, 0u);
  }
  // Digits in a right-to-left line keep their own order.
  const TLaidOut mixed = LayOut(font, "\u0628\u0628\u0628 123", Shaped);
  std::vector<std::size_t> digits;
  for (const auto& glyph : mixed.Glyphs)
    if (glyph.Cluster >= 4) digits.push_back(glyph.Cluster);
  EXPECT_EQ(digits, (std::vector<std::size_t>{4, 5, 6}));
}

TEST(Shaping, ConjunctsLigaturesAndKerningChangeWhatIsDrawn) {
  struct Row {
    const char* what;
    const char* face;
    const char* text;
    std::size_t plainGlyphs, shapedGlyphs;
  } rows[] = {
      {"ksha is one conjunct", "Lohit Devanagari", "\u0915\u094D\u0937", 3, 1},
      {"ksha found by fallback is one conjunct", "DejaVu Sans", "\u0915\u094D\u0937", 3, 1},
      {"ffl is one ligature", "DejaVu Serif", "ffl", 3, 1},
      {"a family is one picture", "DejaVu Sans", "\U0001F468\u200D\U0001F469\u200D\U0001F467", 5,
       1},
      {"a flag is one picture", "DejaVu Sans", "\U0001F1EB\U0001F1F7", 2, 1},
      {"a skin tone joins its hand", "DejaVu Sans", "\U0001F44D\U0001F3FD", 2, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const TFontHandle font = CreateFontIndirect(Font(row.face, 40));
    EXPECT_EQ(LayOut(font, row.text, WithFallback).Glyphs.size(), row.plainGlyphs);
    EXPECT_EQ(LayOut(font, row.text, ShapedWithFallback).Glyphs.size(), row.shapedGlyphs);
  }

  for (const char* face : {"DejaVu Sans", "Liberation Sans", "DejaVu Serif"}) {
    TDC dc;
    dc.SelectFont(CreateFontIndirect(Font(face, 40)));
    const int plain = Measure(dc, "AV").Right;
    dc.SetTextOptions(Shaped);
    EXPECT_LT(Measure(dc, "AV").Right, plain) << face;
    // Without kerning pairs a shaped word is as wide as its advances, give
    // or take the rounding of each.
    const int shapedWord = Measure(dc, "minimum").Right;
    dc.SetTextOptions(Plain);
    EXPECT_NEAR(Measure(dc, "minimum").Right, shapedWord, 4) << face;
  }
}

TEST(Shaping, MeasuringAndDrawingFollowTheShapedLine) {
  const LOGFONT lf = Font("DejaVu Sans", 30);
  for (const char* text : {"AVATAR", "\u0633\u0644\u0627\u0645", "Wave\r\nTo"}) {
    SCOPED_TRACE(text);
    const TTestSurface shaped = RenderWith(lf, text, Shaped);
    const TRect ink = shaped.Ink(White);
    EXPECT_GE(ink.Left, 0);
    EXPECT_LE(ink.Right, shaped.Width());
    EXPECT_GT(ink.Right - ink.Left, shaped.Width() * 3 / 4) << "the line fills its width";
    EXPECT_TRUE(shaped.GuardsIntact());
  }
  // Right alignment puts the shaped line's ink at the right edge.
  TDC measure;
  measure.SelectFont(CreateFontIndirect(lf));
  measure.SetTextOptions(Shaped);
  const int width = Measure(measure, "AVATAR").Right;
  TTestSurface surface(width + 40, 30);
  TDC dc(surface.View());
  dc.SelectFont(measure.Font());
  dc.SetTextOptions(Shaped);
  TRect r{0, 0, width + 40, 30};
  FillRect(dc, r, White);
  dc.SetBkMode(TRANSPARENT);
  DrawTextEx(dc, "AVATAR", r, DT_RIGHT | DT_NOCLIP | DT_NOPREFIX);
  EXPECT_GE(surface.Ink(White).Left, 38);
  EXPECT_GE(surface.Ink(White).Right, width + 40 - 3);
}

TEST(Fallback, MissingCharactersComeFromAFaceThatHasThem) {
  struct Row {
    const char* what;
    const char* text;
    const char* file; // part of the face file drawing it with fallback
  } rows[] = {
      {"Devanagari", "\u0915", "Lohit-Devanagari"},
      {"Thai", "\u0E01", "Loma"},
      {"an emoji", "\U0001F355", "NotoColorEmoji"},
  };
  const LOGFONT lf = Font("DejaVu Sans", 30);
  const TFontHandle font = CreateFontIndirect(lf);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (TTextOptions options : {WithFallback, ShapedWithFallback}) {
      const TLaidOut laid = LayOut(font, row.text, options);
      ASSERT_EQ(laid.Files.size(), 1u);
      EXPECT_NE(laid.Files[0].find(row.file), std::string::npos) << laid.Files[0];
      TDC dc;
      dc.SelectFont(font);
      dc.SetTextOptions(options);
      EXPECT_EQ(MissingCharacters(dc, row.text), U"");
    }
    // Without fallback the face's box is drawn, and the character is missing.
    TDC dc;
    dc.SelectFont(font);
    EXPECT_EQ(MissingCharacters(dc, row.text), Utf32(row.text));
    EXPECT_NE(RenderWith(lf, row.text, Plain).Ink(White),
              RenderWith(lf, row.text, WithFallback).Ink(White));
  }

  // What the face has stays its own, and what no face has stays missing.
  TDC dc;
  dc.SelectFont(font);
  dc.SetTextOptions(WithFallback);
  EXPECT_EQ(LayOut(font, "Ab", WithFallback).Files,
            (std::vector<std::string>(2, font->Impl().Instance->Key().File)));
  EXPECT_EQ(MissingCharacters(dc, "a\u4E2D\u0915\u4E2D\U000F0000b"), U"\u4E2D\U000F0000");
  EXPECT_EQ(MissingCharacters(dc, "a\u200D\uFE0F\tb"), U"") << "invisible characters";
}

TEST(Fallback, TheBoxOfAMissingDevanagariLetterIsGone) {
  // The box is the face's glyph 0: a hollow rectangle as tall as a capital.
  const LOGFONT lf = Font("DejaVu Sans", 40);
  const TTestSurface box = RenderWith(lf, "\u0915", Plain);
  const TTestSurface letter = RenderWith(lf, "\u0915", WithFallback);
  const TTestSurface lohit = RenderWith(Font("Lohit Devanagari", 40), "\u0915", Plain);
  EXPECT_NE(box.Ink(White), letter.Ink(White));
  // ka has its headline: one row inked nearly across the glyph.
  const TRect ink = letter.Ink(White);
  int longest = 0;
  for (int y = ink.Top; y < ink.Bottom; ++y) {
    int run = 0;
    for (int x = ink.Left; x < ink.Right; ++x)
      run += letter.At(x, y) == RGB(0, 0, 0);
    longest = std::max(longest, run);
  }
  EXPECT_GE(longest, (ink.Right - ink.Left) * 3 / 4);
  EXPECT_GT(lohit.Ink(White).Right, 0);
}

TEST(ColourGlyphs, EmojiAreDrawnInColourAtTheLinesSize) {
  for (int height : {16, 30, 90}) {
    SCOPED_TRACE(height);
    const LOGFONT lf = Font("DejaVu Sans", height);
    for (TTextOptions options : {WithFallback, ShapedWithFallback}) {
      const TTestSurface s = RenderWith(lf, "a\U0001F355b", options);
      EXPECT_TRUE(HasColour(s));
      const TRect ink = s.Ink(White);
      EXPECT_LE(ink.Bottom - ink.Top, height + height / 3) << "scaled to the line";
      EXPECT_GE(ink.Bottom - ink.Top, height * 2 / 3);
      EXPECT_TRUE(s.GuardsIntact());
    }
    // As ink (a shadow of it), the picture takes the text colour only.
    TTextOptions ink = WithFallback;
    ink.PicturesAsInk = true;
    EXPECT_FALSE(HasColour(RenderWith(lf, "a\U0001F355b", ink)));
  }
  // Pictures scaled past what a glyph may hold are left out, their place kept.
  TDC huge;
  huge.SelectFont(CreateFontIndirect(Font("DejaVu Sans", TFont::MaxHeight)));
  huge.SetTextOptions(WithFallback);
  const TRect line = Measure(huge, "\U0001F355");
  EXPECT_GT(line.Right, TFont::MaxHeight / 2);
  EXPECT_EQ(TextInkBounds(huge, "\U0001F355", line, DT_LEFT), TRect{});
  const TRect big = Measure(huge, "a\U0001F355");
  TDC large;
  large.SelectFont(CreateFontIndirect(Font("DejaVu Sans", 1400)));
  large.SetTextOptions(WithFallback);
  const TRect kept = TextInkBounds(large, "\U0001F355", Measure(large, "\U0001F355"), DT_LEFT);
  EXPECT_GT(kept.Bottom - kept.Top, 1000) << "the largest size a window asks for is drawn";
  EXPECT_GT(big.Right, line.Right);
  // Chosen as the face itself, the pictures are scaled too.
  const TTestSurface own = RenderWith(Font("Noto Color Emoji", 30), "\U0001F355", Plain);
  EXPECT_TRUE(HasColour(own));
  EXPECT_LE(own.Height(), 30);
}

TEST(TextInk, TheBoundsOfWhatIsDrawnReachOutsideTheCells) {
  // A tall accent above the cell, a descent below an italic's slant.
  const TFontHandle serif = CreateFontIndirect(Font("DejaVu Serif", 40));
  TDC dc;
  dc.SelectFont(serif);
  const TRect cells = Measure(dc, "\u1ED6");
  const TRect ink = TextInkBounds(dc, "\u1ED6", cells, DT_LEFT);
  EXPECT_LT(ink.Top, 0);
  EXPECT_GE(ink.Left, 0);
  EXPECT_LE(ink.Bottom, cells.Bottom);
  EXPECT_EQ(TextInkBounds(dc, "   ", cells, DT_LEFT), TRect{});
  // The ink drawn into a surface big enough is exactly that box.
  const int margin = 20;
  TTestSurface surface(cells.Right + 2 * margin, cells.Bottom + 2 * margin);
  TDC draw(surface.View());
  draw.SelectFont(serif);
  TRect r{margin, margin, margin + cells.Right, margin + cells.Bottom};
  FillRect(draw, {0, 0, surface.Width(), surface.Height()}, White);
  draw.SetBkMode(TRANSPARENT);
  DrawTextEx(draw, "\u1ED6", r, DT_LEFT | DT_NOCLIP | DT_NOPREFIX);
  const TRect drawn = surface.Ink(White);
  const TRect asked = TextInkBounds(draw, "\u1ED6", r, DT_LEFT);
  // Faint edges below the lowest level are not drawn: at most a pixel less.
  EXPECT_NEAR(drawn.Top, asked.Top, 1);
  EXPECT_NEAR(drawn.Left, asked.Left, 1);
  EXPECT_NEAR(drawn.Right, asked.Right, 1);
  EXPECT_NEAR(drawn.Bottom, asked.Bottom, 1);
}

TEST(ColourGlyphs, AVariationSelectorAsksForTheColourOrTheTextForm) {
  struct Row {
    const char* face;
    const char* text;
    bool fallback;
    bool colour;
  } rows[] = {
      {"DejaVu Sans", "\u2764\uFE0F", true, true},
      {"DejaVu Sans", "\u263A\uFE0F", true, true},
      {"DejaVu Sans", "a\u270C\uFE0Fb", true, true},
      {"DejaVu Sans", "\u2764\uFE0E\u263A\uFE0E\u270C\uFE0E", true, false},
      {"DejaVu Sans", "\u2764\u263A\u270C", true, false},
      // Another face's text form for a character the face lacks.
      {"Liberation Sans", "\u2764\uFE0E", true, false},
      // Without fallback the face draws everything.
      {"DejaVu Sans", "\u2764\uFE0F", false, false},
  };
  for (const Row& row : rows)
    for (bool shaping : {false, true}) {
      SCOPED_TRACE(std::string(row.face) + " " + row.text + (shaping ? " shaped" : ""));
      const TTestSurface s = RenderWith(Font(row.face, 40), row.text, {shaping, row.fallback});
      EXPECT_EQ(HasColour(s), row.colour);
      EXPECT_TRUE(s.GuardsIntact());
    }
}

TEST(ColourGlyphs, TheEmojiFaceChosenDrawsAtTheSizeFallbackGives) {
  for (int height : {20, 48, 90})
    for (TTextOptions options : {Plain, ShapedWithFallback}) {
      SCOPED_TRACE(std::to_string(height) + (options.Shaping ? " shaped" : ""));
      const TRect chosen =
          RenderWith(Font("Noto Color Emoji", height), "\U0001F44D", options).Ink(White);
      TTextOptions fallback = options;
      fallback.Fallback = true;
      const TRect found =
          RenderWith(Font("DejaVu Sans", height), "\U0001F44D", fallback).Ink(White);
      EXPECT_NEAR(chosen.Bottom - chosen.Top, found.Bottom - found.Top, 2);
    }
}
