// The options that decide a rendering, and the conversions they go through
// before they reach the text layer: the size unit, the font description and
// the drawing flags.
#pragma once

#include "raster/Bitmap.h"
#include "text/DC.h"
#include "text/Font.h"

#include <string>
#include <vector>

// The values are the controls' own numbers: the line of CBUnit, the line of
// CBWidth, the Tag of the alignment buttons. A window converts them with a
// cast; RenderText refuses a value outside the enumerators.
enum class TSizeUnit { Pixels = 0, Points = 1 };
enum class TWidthMode { ToString = 0, ToMaxString = 1, UserWidth = 2 };
enum class TAlign { Left = 0, Center = 1, Right = 2 };

// The shadow swatch starts with the system's button-shadow grey.
constexpr TColor clBtnShadow = RGB(0xA0, 0xA0, 0xA0);

constexpr double MinFontSize = 1;
constexpr double MaxFontSize = 1000;
constexpr int MaxUserWidth = 32000;
constexpr int MinShadowDistance = 1;
constexpr int MaxShadowDistance = 20;

struct TRenderSettings {
  std::string FaceName;
  bool Bold = false;
  bool Italic = false;
  double Size = 30; // in SizeUnit
  TSizeUnit SizeUnit = TSizeUnit::Pixels;
  bool Underline = false;
  bool AntiAlias = true;
  TWidthMode WidthMode = TWidthMode::ToMaxString;
  int UserWidth = 0; // pixels
  bool Shadow = false;
  int ShadowDistance = 1; // pixels
  TColor TextColor = RGB(0, 0, 0);
  TColor BackColor = RGB(0xFF, 0xFF, 0xFF);
  TColor ShadowColor = clBtnShadow;
  TAlign Align = TAlign::Left;
  std::vector<std::string> Lines; // UTF-8, without line breaks
  // "Kerning and shaping": lines shaped and shown in their own direction.
  bool Shaping = false;
  // A character the face lacks comes from an installed face that has it.
  bool Fallback = true;
  // "Keep overhangs": the surface grows by whatever ink reaches outside the
  // cells (tall accents, italic overhangs), so none of it is cut off.
  bool KeepOverhangs = false;
};

// The colours a rendering is drawn in.
struct TRenderColors {
  TColor Back = 0xFFFFFF;
  TColor Text = 0;
  TColor Shadow = clBtnShadow;
  friend bool operator==(const TRenderColors&, const TRenderColors&) = default;
};

// How the text layer sets the lines of these settings.
TTextOptions TextOptionsOf(const TRenderSettings& settings);

// The cell height in pixels that a size asks for; halves go to the even
// neighbour. logPixelsY is the screen's vertical dots per inch.
int PixelSize(double size, TSizeUnit sizeUnit, int logPixelsY);

// The size shown after switching unit, kept within MinFontSize..MaxFontSize;
// not rounded, so a switch there and back gives the same pixel size.
double ConvertSizeUnit(double size, TSizeUnit fromUnit, TSizeUnit toUnit, int logPixelsY);

// The font lookups of one window: the description of the first installed
// font of a face, with a width of 0. A face that is not installed gives the
// template of this object's previous lookup (all zeros before the first).
class TFontTemplate {
public:
  LOGFONT GetFontTemplate(const std::string& faceName);

private:
  LOGFONT FLast{};
};

LOGFONT BuildFontDescription(const LOGFONT& fontTemplate, const TRenderSettings& settings,
                             int logPixelsY);

// Drawing flags for an alignment: DT_LEFT, DT_CENTER or DT_RIGHT with
// DT_NOCLIP and DT_NOPREFIX.
unsigned DrawFlags(TAlign align);
// Measuring flags: DT_CALCRECT and DT_NOPREFIX, from the rectangle (0, 0, 1, 1).
constexpr unsigned MeasureFlags = DT_CALCRECT | DT_NOPREFIX;

// The bounds of the user width field after a rendering whose surface is
// surfaceWidth wide (0 before the first): fixed at that width unless the
// width mode is "User width", where they run from that width (at most
// MaxUserWidth) to MaxUserWidth. A rendering accepts every value they allow;
// outside "User width" the width is not used.
struct TWidthBounds {
  int Min = 0;
  int Max = MaxUserWidth;
};
TWidthBounds UserWidthBounds(TWidthMode widthMode, int surfaceWidth);

// Where a line lineWidth pixels wide starts within an area areaWidth wide:
// where the drawing puts it, so the export cuts it from there.
int LineStart(TAlign align, int areaWidth, int lineWidth);
