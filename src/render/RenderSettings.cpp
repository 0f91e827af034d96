#include "render/RenderSettings.h"

#include <algorithm>
#include <cmath>

namespace {

double RoundHalfEven(double v) {
  const double down = std::floor(v);
  const double diff = v - down;
  if (diff < 0.5) return down;
  if (diff > 0.5) return down + 1;
  return std::fmod(down, 2) == 0 ? down : down + 1;
}

} // namespace

int PixelSize(double size, TSizeUnit sizeUnit, int logPixelsY) {
  if (sizeUnit == TSizeUnit::Points) size = size / 72 * logPixelsY;
  return int(RoundHalfEven(size));
}

double ConvertSizeUnit(double size, TSizeUnit fromUnit, TSizeUnit toUnit, int logPixelsY) {
  if (fromUnit == toUnit) return size;
  if (fromUnit == TSizeUnit::Points)
    size = size / 72 * logPixelsY;
  else
    size = size / logPixelsY * 72;
  return std::clamp(size, MinFontSize, MaxFontSize);
}

LOGFONT TFontTemplate::GetFontTemplate(const std::string& faceName) {
  if (faceName.empty()) return FLast;
  EnumFonts(faceName, [this](const LOGFONT& font, int) {
    FLast = font;
    return 0;
  });
  FLast.lfWidth = 0;
  return FLast;
}

LOGFONT BuildFontDescription(const LOGFONT& fontTemplate, const TRenderSettings& settings,
                             int logPixelsY) {
  LOGFONT lf = fontTemplate;
  lf.lfHeight = PixelSize(settings.Size, settings.SizeUnit, logPixelsY);
  lf.lfWidth = 0;
  lf.lfWeight = settings.Bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = settings.Italic ? 1 : 0;
  lf.lfUnderline = settings.Underline ? 1 : 0;
  lf.lfQuality = settings.AntiAlias ? ANTIALIASED_QUALITY : DEFAULT_QUALITY;
  return lf;
}

unsigned DrawFlags(TAlign align) {
  // The alignments are DT_LEFT, DT_CENTER and DT_RIGHT in that order.
  return unsigned(align) | DT_NOCLIP | DT_NOPREFIX;
}

TWidthBounds UserWidthBounds(TWidthMode widthMode, int surfaceWidth) {
  // With a shadow the surface is wider than the text: the lower bound stops
  // at what the rendering accepts, or the field could not be rendered.
  if (widthMode == TWidthMode::UserWidth)
    return {std::min(surfaceWidth, MaxUserWidth), MaxUserWidth};
  return {surfaceWidth, surfaceWidth};
}

int LineStart(TAlign align, int areaWidth, int lineWidth) {
  return LineLeft({0, 0, areaWidth, 0}, lineWidth, DrawFlags(align));
}

TTextOptions TextOptionsOf(const TRenderSettings& settings) {
  TTextOptions options;
  options.Shaping = settings.Shaping;
  options.Fallback = settings.Fallback;
  return options;
}
