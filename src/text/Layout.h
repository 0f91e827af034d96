// Where the glyphs of one line go: one code point after another in the
// selected face, or, with the text options, shaped by HarfBuzz in the order
// the bidirectional algorithm gives, with characters the face lacks taken
// from the installed face that has them.
#pragma once

#include "text/DC.h"
#include "text/Glyphs.h"

#include <string>
#include <string_view>
#include <vector>

namespace text_detail {

struct TPlacedGlyph {
  TFontInstance* Face = nullptr;
  char32_t Key = 0;        // a code point, or GlyphIndexKey | a glyph index
  int X = 0;               // the pen, in pixels from the line's left edge
  int Y = 0;               // the pen below the baseline, in pixels
  std::size_t Cluster = 0; // the first character of the line it draws
  // The shaper's own position and advance, 26.6 pixels, y upwards (shaped
  // lines only).
  long X26 = 0, Y26 = 0, Advance26 = 0;
};

struct TLineLayout {
  std::vector<TPlacedGlyph> Glyphs; // left to right
  long long Width = 0;              // pixels
};

// The lines of a text, laid out with the options.
struct TLaidOutText {
  std::string Text;
  TTextOptions Options;
  std::vector<TLineLayout> Lines;
};

// Lays out a line. Characters no face can draw (controls and invisible
// format characters aside) are appended to *missing, once each, when given.
// Callers hold the font database's mutex.
void LayOutLine(const TFont::TImpl& font, std::u32string_view line, const TTextOptions& options,
                TLineLayout& layout, std::u32string* missing = nullptr);

inline bool IsFormSelector(char32_t ch) {
  return ch == EmojiSelector || ch == TextSelector;
}

// The face drawing line[i] beside a variation selector: the selector asks
// for its character's colour or text form, and goes with it where that face
// has the selector.
TFontInstance& SelectedFaceAt(const TFont::TImpl& font, std::u32string_view line, std::size_t i);

// The face drawing line[i] with fallback. Inline: every character of every
// line asks, and few have a selector.
inline TFontInstance& FaceAt(const TFont::TImpl& font, std::u32string_view line, std::size_t i) {
  const char32_t ch = line[i];
  if (IsFormSelector(ch) || (i + 1 < line.size() && IsFormSelector(line[i + 1])))
    return SelectedFaceAt(font, line, i);
  return font.Instance->HasChar(ch) ? *font.Instance : font.FaceFor(ch);
}

// Whether a character draws nothing of its own: a control or an invisible
// format character (joiners, variation selectors, bidi marks).
bool IsInvisible(char32_t ch);

} // namespace text_detail
