// Fonts as the rest of Glyptika sees them: Windows-style font descriptions,
// enumeration and creation, served by fontconfig (what is installed) and
// FreeType (names, metrics, glyphs).
//
// Glossary (all sizes in whole pixels unless a name says otherwise):
//   baseline     the line the glyphs of a line stand on
//   ascent       cell top to baseline; for TrueType/OpenType fonts the scaled
//                usWinAscent, as Windows measures it
//   descent      baseline to cell bottom; the scaled usWinDescent
//   cell height  ascent + descent: the line height (no external leading)
//   advance      how far the pen moves after a glyph; kerning is never
//                applied, so a line is as wide as the sum of its advances
//
// Faces and styles are those a Windows user sees: a face is a font's legacy
// family name (OpenType name ID 1), a style its subfamily name (name ID 2).
// Fonts without those names (Type 1, bitmap fonts) use fontconfig's family
// and have no style name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// Any failure of the text layer the caller should show: a font that cannot be
// loaded, a size out of range, a surface it cannot draw on.
class ETextError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Weights.
constexpr int FW_DONTCARE = 0;
constexpr int FW_THIN = 100;
constexpr int FW_EXTRALIGHT = 200;
constexpr int FW_LIGHT = 300;
constexpr int FW_NORMAL = 400;
constexpr int FW_MEDIUM = 500;
constexpr int FW_SEMIBOLD = 600;
constexpr int FW_BOLD = 700;
constexpr int FW_EXTRABOLD = 800;
constexpr int FW_HEAVY = 900;

// Quality: anti-aliased grey levels or monochrome glyphs.
constexpr std::uint8_t DEFAULT_QUALITY = 0;
constexpr std::uint8_t DRAFT_QUALITY = 1;
constexpr std::uint8_t PROOF_QUALITY = 2;
constexpr std::uint8_t NONANTIALIASED_QUALITY = 3;
constexpr std::uint8_t ANTIALIASED_QUALITY = 4;

// Character sets, from the font's code page ranges.
constexpr std::uint8_t ANSI_CHARSET = 0;
constexpr std::uint8_t DEFAULT_CHARSET = 1;
constexpr std::uint8_t SYMBOL_CHARSET = 2;
constexpr std::uint8_t SHIFTJIS_CHARSET = 128;
constexpr std::uint8_t HANGUL_CHARSET = 129;
constexpr std::uint8_t JOHAB_CHARSET = 130;
constexpr std::uint8_t GB2312_CHARSET = 134;
constexpr std::uint8_t CHINESEBIG5_CHARSET = 136;
constexpr std::uint8_t GREEK_CHARSET = 161;
constexpr std::uint8_t TURKISH_CHARSET = 162;
constexpr std::uint8_t VIETNAMESE_CHARSET = 163;
constexpr std::uint8_t HEBREW_CHARSET = 177;
constexpr std::uint8_t ARABIC_CHARSET = 178;
constexpr std::uint8_t BALTIC_CHARSET = 186;
constexpr std::uint8_t RUSSIAN_CHARSET = 204;
constexpr std::uint8_t THAI_CHARSET = 222;
constexpr std::uint8_t EASTEUROPE_CHARSET = 238;
constexpr std::uint8_t OEM_CHARSET = 255;

// Precision, pitch and family: carried along, not used for matching.
constexpr std::uint8_t OUT_DEFAULT_PRECIS = 0;
constexpr std::uint8_t OUT_STRING_PRECIS = 1;
constexpr std::uint8_t OUT_STROKE_PRECIS = 3;
constexpr std::uint8_t CLIP_DEFAULT_PRECIS = 0;
constexpr std::uint8_t CLIP_STROKE_PRECIS = 2;
constexpr std::uint8_t DEFAULT_PITCH = 0;
constexpr std::uint8_t FIXED_PITCH = 1;
constexpr std::uint8_t VARIABLE_PITCH = 2;
constexpr std::uint8_t FF_DONTCARE = 0x00;
constexpr std::uint8_t FF_ROMAN = 0x10;
constexpr std::uint8_t FF_SWISS = 0x20;
constexpr std::uint8_t FF_MODERN = 0x30;
constexpr std::uint8_t FF_SCRIPT = 0x40;
constexpr std::uint8_t FF_DECORATIVE = 0x50;

// Font types handed to enumeration callbacks.
constexpr int RASTER_FONTTYPE = 1;
constexpr int DEVICE_FONTTYPE = 2;
constexpr int TRUETYPE_FONTTYPE = 4;

// A font description. lfHeight > 0 asks for that cell height in pixels,
// lfHeight < 0 for that em height; 0 takes a default size. lfWidth,
// lfEscapement and lfOrientation are carried but not applied: glyphs keep
// their own widths and text runs horizontally.
struct LOGFONT {
  std::int32_t lfHeight = 0;
  std::int32_t lfWidth = 0;
  std::int32_t lfEscapement = 0;
  std::int32_t lfOrientation = 0;
  std::int32_t lfWeight = 0;
  std::uint8_t lfItalic = 0;
  std::uint8_t lfUnderline = 0;
  std::uint8_t lfStrikeOut = 0;
  std::uint8_t lfCharSet = 0;
  std::uint8_t lfOutPrecision = 0;
  std::uint8_t lfClipPrecision = 0;
  std::uint8_t lfQuality = 0;
  std::uint8_t lfPitchAndFamily = 0;
  std::string lfFaceName; // UTF-8

  friend bool operator==(const LOGFONT&, const LOGFONT&) = default;
};

// One member of a family as the family enumeration reports it.
struct ENUMLOGFONT {
  LOGFONT elfLogFont;
  std::string elfFullName; // face and style, e.g. "DejaVu Sans Bold"
  std::string elfStyle;    // name ID 2, e.g. "Bold"; empty when the font has none
};

// Callbacks return non-zero to go on, 0 to stop. The enumeration returns the
// last value a callback returned (1 when nothing was reported).
using FONTENUMPROC = std::function<int(const LOGFONT& font, int fontType)>;
using FONTFAMILYENUMPROC = std::function<int(const ENUMLOGFONT& font, int fontType)>;

// With no face name: one font of every face. With a face name: every member
// of that face (the regular one first).
int EnumFonts(const std::string& faceName, const FONTENUMPROC& proc);
// With no face name: one font of every face. With a face name: every member
// of that face with its style name, once each.
int EnumFontFamilies(const std::string& faceName, const FONTFAMILYENUMPROC& proc);

// A font made from a description: the face's member nearest to the asked
// weight and slant at the asked size, emboldened or slanted where the face
// has no such member. Immutable; shared by whoever selects it.
class TFont {
public:
  // Largest |lfHeight| accepted, in pixels.
  static constexpr int MaxHeight = 5000;

  const LOGFONT& Description() const { return FDescription; }
  // What was actually chosen, for display and tests.
  const std::string& FaceName() const;  // the face of the file in use
  const std::string& StyleName() const; // its style; empty when it has none
  bool SyntheticBold() const;
  bool SyntheticItalic() const;

  int Height() const; // cell height: the line height
  int Ascent() const;
  int Descent() const;
  bool AntiAliased() const;

  // Advance of one code point (the missing-glyph shape's for a code point the
  // face lacks).
  int Advance(char32_t ch) const;

  struct TImpl;
  TFont(LOGFONT description, std::shared_ptr<TImpl> impl);
  ~TFont();
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;
  const TImpl& Impl() const { return *FImpl; }

private:
  LOGFONT FDescription;
  std::shared_ptr<TImpl> FImpl;
};

using TFontHandle = std::shared_ptr<const TFont>;

// Throws ETextError when no font can be loaded or the height is out of range.
// A face that is not installed falls back to fontconfig's best match.
TFontHandle CreateFontIndirect(const LOGFONT& description);

// What a front end asks of the installed fonts besides enumeration.
//
// The face a fresh start shows first: fontconfig's choice for sans-serif.
// Empty when no font is installed.
std::string DefaultFaceName();
// The installed face that stands in for a face name: the face itself when it
// is installed, else fontconfig's substitute. Empty when no font is installed.
std::string ClosestInstalledFace(const std::string& faceName);
// Whether fontconfig's answers are kept between runs in the user's cache
// folder, so that a short process need not load fontconfig's configuration
// (off unless asked). Takes effect only before the first font is looked up.
void KeepFontAnswers(bool keep);
