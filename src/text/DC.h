// The device context: what text drawing and filling need to paint into a
// surface's own pixel memory (selected font, solid brush, text colour,
// background mode), and the two drawing calls, FillRect and DrawTextEx.
#pragma once

#include "base/Color.h"
#include "text/Font.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// DrawTextEx flags. Only the alignment, DT_NOCLIP, DT_NOPREFIX and
// DT_CALCRECT are provided: lines break only at line breaks, an ampersand is
// always a character and a tab is never expanded.
constexpr unsigned DT_TOP = 0x0000;
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_RIGHT = 0x0002;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_CALCRECT = 0x0400;
constexpr unsigned DT_NOPREFIX = 0x0800;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// A surface's pixel memory, lent to a device context. Rows are stored bottom
// row first when Height > 0 (a bottom-up DIB), top row first when Height < 0.
// Pixels are blue, green, red (and an unused byte at 32 bits per pixel).
struct TPixelView {
  std::uint8_t* Bits = nullptr; // first stored row
  int Width = 0;
  int Height = 0;
  std::ptrdiff_t Stride = 0; // bytes from one stored row to the next
  int BitsPerPixel = 0;      // 24 or 32; a device context refuses others
};

// How text is set beyond its font. With both off, a line is one code point
// after another in the selected face, a missing one drawn as the face's box.
struct TTextOptions {
  // Kerning, ligatures and joined forms (HarfBuzz), right-to-left runs shown
  // right to left (the bidirectional algorithm).
  bool Shaping = false;
  // A character the face lacks is drawn from the installed face that has it,
  // at the same size and nearest in weight and slant.
  bool Fallback = false;
  // Colour glyphs (emoji) drawn as ink in the text colour, as a shadow of
  // them is; otherwise they keep their own colours.
  bool PicturesAsInk = false;
  friend bool operator==(const TTextOptions&, const TTextOptions&) = default;
};

class TDC {
public:
  // A device context with no pixels: it measures, and drawing does nothing.
  TDC() = default;
  // Throws ETextError for a depth other than 24 or 32 or an inconsistent view.
  explicit TDC(const TPixelView& pixels) { SetPixels(pixels); }

  void SetPixels(const TPixelView& pixels);
  const TPixelView& Pixels() const { return FPixels; }
  int Width() const { return FPixels.Width; }
  int Height() const { return FPixels.Height < 0 ? -FPixels.Height : FPixels.Height; }
  // Row y of the image (0 = top), or nullptr when there is none.
  std::uint8_t* ScanLine(int y) const;

  // Each setter gives back what it replaces, as selecting into a DC does.
  TFontHandle SelectFont(TFontHandle font);
  const TFontHandle& Font() const { return FFont; }
  TColor SelectBrush(TColor solidBrush);
  TColor BrushColor() const { return FBrush; }
  TColor SetTextColor(TColor color);
  TColor TextColor() const { return FTextColor; }
  TColor SetBkColor(TColor color);
  TColor BkColor() const { return FBkColor; }
  int SetBkMode(int mode); // TRANSPARENT or OPAQUE
  int BkMode() const { return FBkMode; }
  TTextOptions SetTextOptions(TTextOptions options);
  const TTextOptions& TextOptions() const { return FTextOptions; }

  // The selected font, or a default one when none was selected.
  const TFont& CurrentFont() const;

private:
  TPixelView FPixels;
  TFontHandle FFont;
  TColor FBrush = 0xFFFFFF;
  TColor FTextColor = 0x000000;
  TColor FBkColor = 0xFFFFFF;
  int FBkMode = OPAQUE;
  TTextOptions FTextOptions;
};

// Fills the rectangle, clipped to the surface, with the given solid brush or
// the one selected into the device context.
void FillRect(TDC& dc, const TRect& rect, TColor solidBrush);
void FillRect(TDC& dc, const TRect& rect);

// Measures or draws UTF-8 text; a character is a code point, lines break at
// CR LF, CR or LF. With DT_CALCRECT the rectangle's right becomes its left
// plus the widest line and its bottom its top plus one cell height per line,
// and nothing is drawn. Otherwise each line is drawn one cell height below
// the previous one, placed left, centred or right within the rectangle and
// clipped to it unless DT_NOCLIP is given. Anti-aliased edges are blended
// in 17 levels over the selected brush's colour (the surface's background)
// and in 9 over any other. Returns the height of the text.
// Throws ETextError for a flag it does not provide.
int DrawTextEx(TDC& dc, std::string_view text, TRect& rect, unsigned format);

// The box of every pixel DrawTextEx would ink with the same text, rectangle
// and format (glyphs and bars), unclipped; empty (all zero) when none.
TRect TextInkBounds(TDC& dc, std::string_view text, const TRect& rect, unsigned format);

// The characters of the text that DrawTextEx draws as the face's box with
// the device context's options, once each in order of first use; controls
// and invisible format characters are not counted.
std::u32string MissingCharacters(TDC& dc, std::string_view text);

// The left edge of a line width pixels wide that DrawTextEx places within
// rect by the alignment of format; centring truncates toward zero.
int LineLeft(const TRect& rect, int width, unsigned format);
