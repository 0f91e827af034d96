// Glyphs of one face at one size and rendering: rasterised once, reused by
// every font handle and device context that asks for them.
#pragma once

#include "text/Font.h"
#include "text/FontDatabase.h"

#include FT_SIZES_H

#include <hb.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace text_detail {

struct TLaidOutText; // text/Layout.h

// A rasterised glyph: coverage 0..255 per pixel (monochrome glyphs use only
// 0 and 255), placed relative to the pen on the baseline.
struct TGlyph {
  int Advance = 0; // pixels
  int Left = 0;    // pen x to the first column
  int Top = 0;     // baseline up to the first row
  int Width = 0;
  int Rows = 0;
  std::vector<std::uint8_t> Coverage;
  // A picture (a colour emoji): blue, green, red, alpha per pixel, the colours
  // premultiplied by alpha; empty for a glyph drawn in the text colour.
  std::vector<std::uint8_t> Color;
};

// Glyphs are kept by code point, and those a shaper chose by glyph index
// under keys above every code point.
constexpr char32_t GlyphIndexKey = 0x80000000u;

// Variation selectors asking for a character's colour (emoji) or text form.
constexpr char32_t EmojiSelector = 0xFE0F;
constexpr char32_t TextSelector = 0xFE0E;

struct TInstanceKey {
  std::string File;
  int Index = 0;
  long Ppem26_6 = 0; // em size, 26.6 fixed point
  bool Mono = false;
  bool Embolden = false;
  bool Slant = false;
  friend bool operator==(const TInstanceKey&, const TInstanceKey&) = default;
};

class TFontInstance {
public:
  TFontInstance(TInstanceKey key, std::shared_ptr<TFaceFile> face);
  ~TFontInstance();
  TFontInstance(const TFontInstance&) = delete;
  TFontInstance& operator=(const TFontInstance&) = delete;

  const TInstanceKey& Key() const { return FKey; }
  FT_Face Face() const { return FFace->Face.get(); }
  // Makes this instance's size the face's current one.
  void Activate() const { FT_Activate_Size(FSize); }

  // Valid until the next call on this instance. Callers hold the database's
  // mutex.
  const TGlyph& Glyph(char32_t ch);
  int Advance(char32_t ch);
  // Whether the face has a glyph of its own for the code point.
  bool HasChar(char32_t ch) const {
    if (ch >= 0x100) return GlyphIndex(ch) != 0;
    if (FHasLatin[ch] == 0) FHasLatin[ch] = GlyphIndex(ch) != 0 ? 1 : -1;
    return FHasLatin[ch] > 0;
  }
  // Whether its glyphs may be pictures (colour emoji).
  bool HasColour() const { return FT_HAS_COLOR(Face()); }
  // The shaper's view of this face at this size: positions in 26.6 pixels.
  hb_font_t* ShapingFont();
  // What one pixel of the face's own glyphs becomes: below 1 for a colour
  // bitmap face, whose pictures come in one size and are scaled to the line.
  double BitmapScale() const { return FBitmapScale; }

  std::size_t CachedBytes() const { return FBytes; }
  void DropBitmaps();

private:
  FT_UInt GlyphIndex(char32_t ch) const;
  void Rasterise(char32_t ch, TGlyph& glyph);

  TInstanceKey FKey;
  std::shared_ptr<TFaceFile> FFace;
  FT_Size FSize = nullptr;
  bool FSymbol = false;
  std::array<const TGlyph*, 256> FLatin{};
  mutable std::array<std::int8_t, 256> FHasLatin{}; // 0 not asked yet, 1 has it, -1 lacks it
  std::unordered_map<char32_t, TGlyph> FGlyphs;
  std::unordered_map<char32_t, int> FAdvances;
  TGlyph FScratch; // a glyph too large to keep
  std::size_t FBytes = 0;
  double FBitmapScale = 1;
  hb_font_t* FShaping = nullptr;
};

} // namespace text_detail

struct TFont::TImpl {
  std::shared_ptr<text_detail::TFontInstance> Instance;
  int Weight = FW_NORMAL; // as asked, for the faces that stand in
  bool Italic = false;
  std::string FaceName;
  std::string StyleName;
  bool SyntheticBold = false;
  bool SyntheticItalic = false;
  bool AntiAliased = true;
  int Height = 0; // cell height
  int Ascent = 0;
  int Descent = 0;
  int UnderlineTop = 0; // from the baseline, downwards positive
  int UnderlineThickness = 1;
  int StrikeOutTop = 0; // from the baseline, downwards positive (so negative)
  int StrikeOutThickness = 1;
  // Faces that stood in for characters this one lacks, at its size; filled
  // as text asks for them, under the database's mutex.
  struct TFallbacks {
    std::vector<std::shared_ptr<text_detail::TFontInstance>> Faces;
    std::unordered_map<char32_t, int> Chosen; // index into Faces, -1 for none
  };
  mutable TFallbacks Fallbacks;
  // The last text shaped in this font: measuring, the shadow and the text
  // of one rendering shape it once.
  mutable std::shared_ptr<text_detail::TLaidOutText> LastLaidOut;
  // The face drawing a code point: this one when it has the character or
  // when no installed face has it, else the face fontconfig finds best.
  text_detail::TFontInstance& FaceFor(char32_t ch) const;
  // The face drawing a code point followed by a variation selector: for
  // U+FE0F a colour face (this one when it is one and has the character),
  // for U+FE0E this one when it has the character, else a face without
  // colour glyphs; as FaceFor(ch) when no face has that form.
  text_detail::TFontInstance& FaceFor(char32_t ch, char32_t selector) const;
};
