#include "text/Layout.h"

#include <fribidi.h>
#include <utf8proc.h>

#include <algorithm>
#include <memory>

namespace text_detail {

namespace {

// A character that belongs with the one before it: a mark, a joiner, a
// variation selector, a skin tone, a tag of a flag. It stays in that
// character's face, so that the shaper sees the whole cluster at once.
bool Clings(char32_t ch) {
  if (ch >= 0x1F3FB && ch <= 0x1F3FF) return true; // skin tones
  if (ch >= 0xE0020 && ch <= 0xE007F) return true; // tags
  if (ch == 0x20E3) return true;                   // keycap
  const utf8proc_property_t* p = utf8proc_get_property(utf8proc_int32_t(ch));
  return p->category == UTF8PROC_CATEGORY_MN || p->category == UTF8PROC_CATEGORY_MC ||
         p->category == UTF8PROC_CATEGORY_ME || p->ignorable;
}

void NoteMissing(char32_t ch, std::u32string* missing) {
  if (missing != nullptr && !IsInvisible(ch) && missing->find(ch) == std::u32string::npos)
    missing->push_back(ch);
}

// One code point after another, each from the face that has it.
void Unshaped(const TFont::TImpl& font, std::u32string_view line, const TTextOptions& options,
              TLineLayout& layout, std::u32string* missing) {
  long long pen = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char32_t ch = line[i];
    TFontInstance& face = options.Fallback ? FaceAt(font, line, i) : *font.Instance;
    if (!face.HasChar(ch)) NoteMissing(ch, missing);
    layout.Glyphs.push_back({&face, ch, int(pen), 0, i});
    pen += face.Advance(ch);
  }
  layout.Width = pen;
}

struct TRun {
  std::size_t Start = 0, End = 0;
  FriBidiLevel Level = 0;
  hb_script_t Script = HB_SCRIPT_COMMON;
  TFontInstance* Face = nullptr;
};

std::vector<hb_script_t> Scripts(std::u32string_view line) {
  hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
  std::vector<hb_script_t> scripts(line.size());
  const auto weak = [](hb_script_t s) {
    return s == HB_SCRIPT_COMMON || s == HB_SCRIPT_INHERITED || s == HB_SCRIPT_UNKNOWN;
  };
  hb_script_t last = HB_SCRIPT_COMMON;
  std::size_t firstStrong = line.size();
  for (std::size_t i = 0; i < line.size(); ++i) {
    const hb_script_t s = hb_unicode_script(unicode, line[i]);
    if (!weak(s)) {
      last = s;
      if (firstStrong == line.size()) firstStrong = i;
    }
    scripts[i] = last;
  }
  // What comes before the first letter belongs to that letter's script.
  for (std::size_t i = 0; i < firstStrong && firstStrong < line.size(); ++i)
    scripts[i] = scripts[firstStrong];
  return scripts;
}

// Runs in logical order, then in the order they are shown: each sequence
// of runs at a level or above is reversed, from the highest level down to
// the lowest odd one.
std::vector<TRun> VisualRuns(std::vector<TRun> runs) {
  FriBidiLevel highest = 0, lowestOdd = FRIBIDI_BIDI_MAX_EXPLICIT_LEVEL + 2;
  for (const TRun& run : runs) {
    highest = std::max(highest, run.Level);
    if (run.Level % 2 == 1) lowestOdd = std::min(lowestOdd, run.Level);
  }
  for (int level = highest; level >= int(lowestOdd); --level)
    for (std::size_t i = 0; i < runs.size();) {
      if (runs[i].Level < level) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < runs.size() && runs[end].Level >= level)
        ++end;
      std::reverse(runs.begin() + std::ptrdiff_t(i), runs.begin() + std::ptrdiff_t(end));
      i = end;
    }
  return runs;
}

struct TBufferDeleter {
  void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};

void Shaped(const TFont::TImpl& font, std::u32string_view line, const TTextOptions& options,
            TLineLayout& layout, std::u32string* missing) {
  const std::size_t n = line.size();
  if (n == 0) return;
  std::vector<TFontInstance*> faces(n, font.Instance.get());
  for (std::size_t i = 0; i < n; ++i) {
    const char32_t ch = line[i];
    if (options.Fallback) {
      // A mark after a letter from another face stays with that face, and a
      // variation selector with its character whatever the face: the
      // shaper hides one the face lacks.
      if (i > 0 && (IsFormSelector(ch) || (faces[i - 1] != font.Instance.get() && Clings(ch) &&
                                           (faces[i - 1]->HasChar(ch) || IsInvisible(ch)))))
        faces[i] = faces[i - 1];
      else
        faces[i] = &FaceAt(font, line, i);
    }
    if (!faces[i]->HasChar(ch)) NoteMissing(ch, missing);
  }

  const auto* chars = reinterpret_cast<const FriBidiChar*>(line.data());
  std::vector<FriBidiCharType> types(n);
  std::vector<FriBidiBracketType> brackets(n);
  std::vector<FriBidiLevel> levels(n, 0);
  fribidi_get_bidi_types(chars, FriBidiStrIndex(n), types.data());
  // A line with nothing right-to-left in it is one left-to-right level.
  const bool leftToRight = std::none_of(types.begin(), types.end(), [](FriBidiCharType t) {
    return FRIBIDI_IS_RTL(t) || FRIBIDI_IS_ARABIC(t) || FRIBIDI_IS_EXPLICIT(t) ||
           FRIBIDI_IS_ISOLATE(t);
  });
  FriBidiParType direction = FRIBIDI_PAR_ON; // from the line's first strong character
  if (!leftToRight)
    fribidi_get_bracket_types(chars, FriBidiStrIndex(n), types.data(), brackets.data());
  if (!leftToRight &&
      fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), FriBidiStrIndex(n),
                                          &direction, levels.data()) == 0)
    std::fill(levels.begin(), levels.end(), FriBidiLevel(0));
  const std::vector<hb_script_t> scripts = Scripts(line);

  std::vector<TRun> runs;
  for (std::size_t i = 0; i < n; ++i) {
    if (runs.empty() || runs.back().Level != levels[i] || runs.back().Script != scripts[i] ||
        runs.back().Face != faces[i])
      runs.push_back({i, i, levels[i], scripts[i], faces[i]});
    runs.back().End = i + 1;
  }

  static thread_local std::unique_ptr<hb_buffer_t, TBufferDeleter> buffer(hb_buffer_create());
  long pen = 0;
  for (const TRun& run : VisualRuns(std::move(runs))) {
    hb_buffer_clear_contents(buffer.get());
    hb_buffer_add_utf32(buffer.get(), reinterpret_cast<const std::uint32_t*>(line.data()), int(n),
                        unsigned(run.Start), int(run.End - run.Start));
    hb_buffer_set_direction(buffer.get(), run.Level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer.get(), run.Script);
    hb_buffer_set_language(buffer.get(), hb_language_get_default());
    run.Face->Activate();
    hb_shape(run.Face->ShapingFont(), buffer.get(), nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer.get(), &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer.get(), &count);
    // Synthetic bold widens each glyph by a pixel, as it does unshaped.
    const long widen = run.Face->Key().Embolden ? 64 : 0;
    for (unsigned j = 0; j < count; ++j) {
      const long x = pen + positions[j].x_offset, y = positions[j].y_offset;
      const long advance = positions[j].x_advance + (positions[j].x_advance > 0 ? widen : 0);
      TPlacedGlyph glyph{run.Face,
                         GlyphIndexKey | infos[j].codepoint,
                         int((x + 32) >> 6),
                         int(-((y + 32) >> 6)),
                         infos[j].cluster,
                         x,
                         y,
                         advance};
      layout.Glyphs.push_back(glyph);
      pen += advance;
    }
  }
  layout.Width = std::max(0L, (pen + 32) >> 6);
}

} // namespace

TFontInstance& SelectedFaceAt(const TFont::TImpl& font, std::u32string_view line, std::size_t i) {
  const char32_t ch = line[i];
  if (i + 1 < line.size() && IsFormSelector(line[i + 1]) && !IsFormSelector(ch))
    return font.FaceFor(ch, line[i + 1]);
  if (i > 0 && IsFormSelector(ch) && !IsFormSelector(line[i - 1])) {
    TFontInstance& base = FaceAt(font, line, i - 1);
    if (base.HasChar(ch)) return base;
  }
  return font.FaceFor(ch);
}

bool IsInvisible(char32_t ch) {
  const utf8proc_property_t* p = utf8proc_get_property(utf8proc_int32_t(ch));
  return p->category == UTF8PROC_CATEGORY_CC || p->ignorable;
}

void LayOutLine(const TFont::TImpl& font, std::u32string_view line, const TTextOptions& options,
                TLineLayout& layout, std::u32string* missing) {
  layout.Glyphs.clear();
  layout.Width = 0;
  if (options.Shaping)
    Shaped(font, line, options, layout, missing);
  else
    Unshaped(font, line, options, layout, missing);
}

} // namespace text_detail
