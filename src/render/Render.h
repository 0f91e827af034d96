// The rendering of the whole text: measured in the chosen font, drawn with
// its shadow onto a surface of exactly the measured size, copied into a
// 24-bit bitmap for the preview and the export.
//
// A window keeps one TTextRasteriser and the last TRenderResult: the preview
// paints FPreview, and "Convert" hands ExportSourceOf(result)
// (export/RenderSource.h) to TCTable::Prepare, which reads FPreview and
// measures on FSurface.
#pragma once

#include "raster/Bitmap.h"
#include "render/RenderSettings.h"
#include "surface/FastDIB.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The most pixels a rendering may have. The preview holds 3 bytes a pixel
// (the surface lets its own go once copied), the colour table's image 4 with
// its indices, and a line drawn alone for its file 4 a pixel of the line; a
// command-line run lets the preview go once the table is made. So 2^25 pixels
// (8192 x 4096, say) keep a run within some 340 MB.
constexpr std::int64_t MaxRenderPixels = std::int64_t(1) << 25;
// The largest width or height a GIF can hold.
constexpr int MaxGifSide = 65535;

struct TRenderLimits {
  std::int64_t MaxPixels = MaxRenderPixels;
  int MaxSide = INT_MAX; // MaxGifSide when the whole rendering becomes one GIF
};

// A rendering past its limits, found by measuring before any surface is made.
class ERenderTooLarge : public std::length_error {
public:
  ERenderTooLarge(const std::string& What, int Width, int Height)
      : std::length_error(What), FWidth(Width), FHeight(Height) {}
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

private:
  int FWidth, FHeight;
};

struct TRenderResult {
  // (W + d) x (H + d) pixels at 24 bits: W the widest line (or the user
  // width), H all lines, d the shadow distance; wider and taller by the ink
  // outside the cells when overhangs are kept. Its pixels are released once
  // copied into FPreview; its DC keeps the rendering font and text options
  // selected, so that text measured on it gets the rendering's metrics.
  std::unique_ptr<TFastDIB> FSurface;
  TBitmap FPreview; // the surface's pixels, top row first
  TAlign FAlign = TAlign::Left;
  std::vector<std::string> Lines; // as rendered; the last may be empty
  std::string Text;               // what was drawn: the lines joined by CR LF
  TWidthMode WidthMode = TWidthMode::ToMaxString;
  int UserWidth = 0;
  bool Shadow = false;
  int ShadowDistance = 0; // d: 0 without a shadow
  bool Shaped = false;    // drawn with kerning and shaping
  TColor BackColor = 0;
  TColor TextColor = 0;
  TColor ShadowColor = 0;
  bool KeptOverhangs = false; // the surface grew by the ink outside the cells
  unsigned DrawFlags = 0;     // what the lines were drawn with
  TRect TextRect; // (0, 0, W, H), moved by kept overhangs: where the text lies, shadow aside
  // What it was made from, so that it can be made again larger or in other
  // colours (RenderAgain).
  TRenderSettings Settings;
  int LogPixelsY = 0;
  int Scale = 1;
};

constexpr int MaxRenderScale = 3;

// The same text again, Scale times larger and in Colors, with the same face
// (ETextError if it has gone). The limits hold for the new size.
TRenderResult RenderAgain(const TRenderResult& Rendering, int Scale, const TRenderColors& Colors,
                          const TRenderLimits& Limits = {});

// Line Index of Lines drawn alone, shadow and all, as the rendering drew it,
// over the background: Image's (0, 0) lies at (Left, Top) of FPreview. No ink
// of another line reaches it; what falls outside Image is cut.
void DrawLineAlone(const TRenderResult& Rendering, std::size_t Index, TBitmap& Image, int Left,
                   int Top);
// The box in FPreview of every pixel line Index inks, its shadow's included;
// empty (all zero) when it inks none.
TRect LineInk(const TRenderResult& Rendering, std::size_t Index);

// The rasteriser of one window: "Update" and "Convert" call RenderText with
// the settings read from the controls. It keeps the font template of the last
// face it found, so a face that has gone since keeps that description.
class TTextRasteriser {
public:
  // Renders every line of the settings. No lines: nothing to render, nullopt.
  // Lines that are all empty give a surface of zero width (or the user width).
  // Throws std::invalid_argument for a setting out of its range,
  // ERenderTooLarge when the measured rendering passes Limits (nothing is
  // allocated for it then), std::length_error when it cannot be allocated,
  // and ETextError when no font can be loaded.
  // Scale (1 to MaxRenderScale) draws it that many times larger: the pixel
  // size, the shadow distance and the user width are multiplied after the
  // settings are checked, so a scaled rendering of any valid settings is made.
  std::optional<TRenderResult> RenderText(const TRenderSettings& settings, int logPixelsY,
                                          const TRenderLimits& Limits = {}, int Scale = 1);

  TFontTemplate& FontTemplate() { return FTemplate; }

private:
  TFontTemplate FTemplate;
};
