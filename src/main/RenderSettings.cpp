#include "main/RenderSettings.h"

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

// The template of the last face found, kept for the life of the process so
// that a face that has gone keeps the previous description.
LOGFONT& LastTemplate() {
  static LOGFONT lastTemplate{};
  return lastTemplate;
}

} // namespace

int PixelSize(double size, int sizeUnit, int logPixelsY) {
  if (sizeUnit == suPoints) size = size / 72 * logPixelsY;
  return int(RoundHalfEven(size));
}

double ConvertSizeUnit(double size, int fromUnit, int toUnit, int logPixelsY) {
  if (fromUnit == toUnit) return size;
  if (fromUnit == suPoints)
    size = size / 72 * logPixelsY;
  else
    size = size / logPixelsY * 72;
  return std::clamp(size, MinFontSize, MaxFontSize);
}

LOGFONT GetFontTemplate(const std::string& faceName) {
  LOGFONT& kept = LastTemplate();
  if (faceName.empty()) return kept;
  EnumFonts(faceName, [&kept](const LOGFONT& font, int) {
    kept = font;
    return 0;
  });
  kept.lfWidth = 0;
  return kept;
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

unsigned DrawFlags(int align) {
  // The alignments are DT_LEFT, DT_CENTER and DT_RIGHT in that order.
  return unsigned(align) | DT_NOCLIP | DT_NOPREFIX;
}

TWidthBounds UserWidthBounds(int widthMode, int surfaceWidth) {
  if (widthMode == wmUserWidth) return {surfaceWidth, std::max(surfaceWidth, MaxUserWidth)};
  return {surfaceWidth, surfaceWidth};
}
