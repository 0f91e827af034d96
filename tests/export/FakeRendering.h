// A rendering with a made-up font, for tests and benchmarks that need exact
// geometry without FreeType: every glyph is a block of its own colour inside
// its cell, so a cut-out shows which character it came from.
#pragma once

#include "export/Export.h"
#include "export/ExportText.h"

#include <algorithm>
#include <string>
#include <vector>

struct TFakeFont {
  static constexpr int LineHeight = 16;
  static int CharWidth(char32_t Code) {
    switch (Code) {
    case 'i':
      return 4;
    case 'W':
      return 12;
    case '.':
      return 1;
    case 0x200B:
      return 0; // zero width space
    default:
      return 8;
    }
  }
  static TTextSize Measure(std::string_view Text) {
    int w = 0;
    for (const TTextChar& c : SplitChars(Text))
      w += CharWidth(c.Code);
    return {w, LineHeight};
  }
  static TColor GlyphColor(char32_t Code) {
    return RGB(std::uint8_t(Code), std::uint8_t(Code >> 8), 0x40);
  }
};

struct TFakeRendering {
  static constexpr TColor ShadowColor = 0x808080;
  TBitmap Preview;
  TExportSource Source;
  int TextWidth = 0; // W, without the shadow distance

  // Non-movable: Source points at Preview.
  TFakeRendering(const TFakeRendering&) = delete;
  TFakeRendering& operator=(const TFakeRendering&) = delete;

  explicit TFakeRendering(std::vector<std::string> Lines, TAlign Align = TAlign::Left,
                          TWidthMode WidthMode = TWidthMode::ToMaxString, int Shadow = 0,
                          int UserWidth = 0, TColor Back = 0xFFFFFF) {
    for (const std::string& line : Lines)
      TextWidth = std::max(TextWidth, TFakeFont::Measure(line).Width);
    if (WidthMode == TWidthMode::UserWidth) TextWidth = std::max(TextWidth, UserWidth);
    const int height = TFakeFont::LineHeight * int(Lines.size());
    Preview.SetSize(TextWidth + Shadow, height + Shadow);
    Preview.Fill(Back);
    if (Shadow > 0) Draw(Lines, Align, Shadow, true);
    Draw(Lines, Align, 0, false);
    Source.Preview = &Preview;
    Source.SurfaceWidth = Preview.Width();
    Source.ShadowDistance = Shadow;
    Source.Align = Align;
    Source.WidthMode = WidthMode;
    Source.BackColor = Back;
    Source.Lines = std::move(Lines);
    Source.Measure = &TFakeFont::Measure;
  }

  // Where the rendering drew character Index of line Line.
  TRect CellOf(int Line, int Index) const {
    const std::vector<TTextChar> chars = SplitChars(Source.Lines[std::size_t(Line)]);
    int x = LineStart(Source.Lines[std::size_t(Line)], Source.Align);
    for (int k = 0; k < Index; ++k)
      x += TFakeFont::CharWidth(chars[std::size_t(k)].Code);
    const int y = Line * TFakeFont::LineHeight;
    return {x, y, x + TFakeFont::CharWidth(chars[std::size_t(Index)].Code),
            y + TFakeFont::LineHeight};
  }

private:
  // Lines are drawn where the real rendering puts them.
  int LineStart(const std::string& Line, TAlign Align) const {
    return ::LineStart(Align, TextWidth, TFakeFont::Measure(Line).Width);
  }

  void Draw(const std::vector<std::string>& Lines, TAlign Align, int Offset, bool Shadow) {
    for (std::size_t n = 0; n < Lines.size(); ++n) {
      int x = LineStart(Lines[n], Align) + Offset;
      const int y = int(n) * TFakeFont::LineHeight + Offset;
      for (const TTextChar& c : SplitChars(Lines[n])) {
        const int w = TFakeFont::CharWidth(c.Code);
        const TColor color = Shadow ? ShadowColor : TFakeFont::GlyphColor(c.Code);
        for (int gy = y + 3; gy < y + 13; ++gy)
          for (int gx = x + 1; gx < x + w - 1; ++gx)
            Preview.SetPixel(gx, gy, color);
        x += w;
      }
    }
  }
};
