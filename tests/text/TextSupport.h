// A pixel buffer laid out as a bottom-up DIB, with guard bytes around it so
// that a write outside the surface shows.
#pragma once

#include "text/DC.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace text_test {

constexpr std::uint8_t Guard = 0xA5;
constexpr std::size_t GuardBytes = 64;

class TTestSurface {
public:
  TTestSurface(int width, int height, int bitsPerPixel = 24)
      : FWidth(width), FHeight(height), FBpp(bitsPerPixel),
        FStride((std::size_t(width) * std::size_t(bitsPerPixel / 8) + 3) & ~std::size_t(3)),
        FMemory(FStride * std::size_t(height) + 2 * GuardBytes, Guard) {
    for (std::size_t i = 0; i < FStride * std::size_t(height); ++i)
      FMemory[GuardBytes + i] = 0;
  }

  TPixelView View() {
    return {FMemory.data() + GuardBytes, FWidth, FHeight, std::ptrdiff_t(FStride), FBpp};
  }

  // (x, y) with y = 0 the top row; the first stored row is the bottom one.
  TColor At(int x, int y) const {
    const std::uint8_t* p = FMemory.data() + GuardBytes + std::size_t(FHeight - 1 - y) * FStride +
                            std::size_t(x) * (FBpp / 8);
    return RGB(p[2], p[1], p[0]);
  }

  bool GuardsIntact() const {
    for (std::size_t i = 0; i < GuardBytes; ++i)
      if (FMemory[i] != Guard || FMemory[FMemory.size() - 1 - i] != Guard) return false;
    return true;
  }

  std::set<TColor> Colours() const {
    std::set<TColor> colours;
    for (int y = 0; y < FHeight; ++y)
      for (int x = 0; x < FWidth; ++x)
        colours.insert(At(x, y));
    return colours;
  }

  // Columns and rows holding a pixel other than `background`.
  TRect Ink(TColor background) const {
    TRect ink{FWidth, FHeight, -1, -1};
    for (int y = 0; y < FHeight; ++y)
      for (int x = 0; x < FWidth; ++x)
        if (At(x, y) != background) {
          ink.Left = std::min(ink.Left, x);
          ink.Top = std::min(ink.Top, y);
          ink.Right = std::max(ink.Right, x + 1);
          ink.Bottom = std::max(ink.Bottom, y + 1);
        }
    return ink;
  }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

private:
  int FWidth, FHeight, FBpp;
  std::size_t FStride;
  std::vector<std::uint8_t> FMemory;
};

inline LOGFONT Font(const std::string& face, int height, bool bold = false, bool italic = false,
                    bool antiAlias = true) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfQuality = antiAlias ? ANTIALIASED_QUALITY : DEFAULT_QUALITY;
  lf.lfFaceName = face;
  return lf;
}

// The measuring call of the renderer and the export.
inline TRect Measure(TDC& dc, std::string_view text) {
  TRect r{0, 0, 1, 1};
  DrawTextEx(dc, text, r, DT_CALCRECT | DT_NOPREFIX);
  return r;
}

// Draws `text` on a white surface of its own size (or `width`) in black.
inline TTestSurface Render(const LOGFONT& lf, std::string_view text, unsigned align = DT_LEFT,
                           int width = 0) {
  TDC measure;
  measure.SelectFont(CreateFontIndirect(lf));
  TRect r = Measure(measure, text);
  if (width > 0) r.Right = width;
  TTestSurface surface(r.Right, r.Bottom);
  TDC dc(surface.View());
  dc.SelectFont(measure.Font());
  FillRect(dc, r, RGB(255, 255, 255));
  dc.SetBkMode(TRANSPARENT);
  DrawTextEx(dc, text, r, align | DT_NOCLIP | DT_NOPREFIX);
  return surface;
}

} // namespace text_test
