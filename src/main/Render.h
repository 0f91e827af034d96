// The rendering of the whole text: measured in the chosen font, drawn with
// its shadow onto a surface of exactly the measured size, copied into a
// 24-bit bitmap for the preview and the export.
//
// A window keeps one TTextRasteriser and the last TRenderResult: the preview
// paints FPreview, and "Convert" hands ExportSourceOf(result)
// (export/RenderSource.h) to TCTable::Prepare, which reads FPreview and
// measures on FSurface.
#pragma once

#include "main/RenderSettings.h"
#include "raster/Bitmap.h"
#include "surface/FastDIB.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TRenderResult {
  // (W + d) x (H + d) pixels at 24 bits: W the widest line (or the user
  // width), H all lines, d the shadow distance. Its DC keeps the rendering
  // font selected, so that text measured on it gets the rendering's metrics.
  std::unique_ptr<TFastDIB> FSurface;
  TBitmap FPreview; // the surface's pixels, top row first
  TAlign FAlign = TAlign::Left;
  std::vector<std::string> Lines; // as rendered; the last may be empty
  std::string Text;               // what was drawn: the lines joined by CR LF
  TWidthMode WidthMode = TWidthMode::ToMaxString;
  int UserWidth = 0;
  bool Shadow = false;
  int ShadowDistance = 0; // d: 0 without a shadow
  TColor BackColor = 0;
  unsigned DrawFlags = 0; // what the lines were drawn with
  TRect TextRect;         // (0, 0, W, H): where the text lies, shadow aside
};

// The rasteriser of one window: "Update" and "Convert" call RenderText with
// the settings read from the controls. It keeps the font template of the last
// face it found, so a face that has gone since keeps that description.
class TTextRasteriser {
public:
  // Renders every line of the settings. No lines: nothing to render, nullopt.
  // Lines that are all empty give a surface of zero width (or the user width).
  // Throws std::invalid_argument for a setting out of its range,
  // std::length_error when the rendering is too large to allocate, and
  // ETextError when no font can be loaded.
  std::optional<TRenderResult> RenderText(const TRenderSettings& settings, int logPixelsY);

  TFontTemplate& FontTemplate() { return FTemplate; }

private:
  TFontTemplate FTemplate;
};
