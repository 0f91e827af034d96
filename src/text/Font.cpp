#include "text/Font.h"

#include "text/FontDatabase.h"
#include "text/Glyphs.h"

#include FT_BITMAP_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <hb-ft.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <optional>

using text_detail::EmojiSelector;
using text_detail::TextSelector;
using text_detail::TFaceMember;
using text_detail::TFontDatabase;
using text_detail::TFontInstance;
using text_detail::TGlyph;
using text_detail::TInstanceKey;

namespace {

// Bounds on what glyph bitmaps may hold in memory, whatever is drawn.
constexpr std::size_t MaxCachedBytes = std::size_t(96) << 20;
constexpr std::size_t MaxGlyphBytes = std::size_t(16) << 20;
// Font instances kept alive after their last handle went, so that measuring
// on one surface and drawing on the next share one set of glyphs.
constexpr std::size_t KeptInstances = 8;
// Synthetic italic: a 12 degree shear, in 16.16 fixed point.
constexpr FT_Fixed SlantShear = 0x366A;

std::size_t gCachedBytes = 0;
std::list<std::shared_ptr<TFontInstance>> gRecent; // most recently used first

std::shared_ptr<TFontInstance> FindInstance(const TInstanceKey& key) {
  for (auto it = gRecent.begin(); it != gRecent.end(); ++it)
    if ((*it)->Key() == key) {
      auto found = *it;
      gRecent.splice(gRecent.begin(), gRecent, it);
      return found;
    }
  return nullptr;
}

void KeepInstance(std::shared_ptr<TFontInstance> instance) {
  gRecent.push_front(std::move(instance));
  while (gRecent.size() > KeptInstances)
    gRecent.pop_back();
}

// Frees cached bitmaps, least recently used instances first, until `needed`
// more bytes fit.
void MakeRoom(TFontInstance* current, std::size_t needed) {
  for (auto it = gRecent.rbegin(); it != gRecent.rend(); ++it) {
    if (gCachedBytes + needed <= MaxCachedBytes) return;
    if (it->get() != current) (*it)->DropBitmaps();
  }
  if (gCachedBytes + needed > MaxCachedBytes && current != nullptr) current->DropBitmaps();
}

bool IsAntiAliased(std::uint8_t quality) {
  return quality >= ANTIALIASED_QUALITY;
}

int ClampWeight(int weight) {
  return weight <= 0 ? FW_NORMAL : std::min(weight, 1000);
}

// How far a member is from what was asked: the slant counts first, as the
// font mapper has it, then the weight.
int Distance(const TFaceMember& member, int weight, bool italic) {
  return (member.Italic != italic ? 10000 : 0) + std::abs(member.Weight - weight);
}

void CopyCoverage(const FT_Bitmap& bitmap, bool mono, TGlyph& glyph, FT_Library library) {
  glyph.Width = int(bitmap.width);
  glyph.Rows = int(bitmap.rows);
  glyph.Coverage.assign(std::size_t(glyph.Width) * std::size_t(glyph.Rows), 0);
  if (glyph.Coverage.empty()) return;

  FT_Bitmap converted;
  FT_Bitmap_Init(&converted);
  const FT_Bitmap* source = &bitmap;
  const bool direct = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ||
                      bitmap.pixel_mode == FT_PIXEL_MODE_GRAY ||
                      bitmap.pixel_mode == FT_PIXEL_MODE_BGRA;
  if (!direct) {
    if (FT_Bitmap_Convert(library, &bitmap, &converted, 1) != 0) {
      FT_Bitmap_Done(library, &converted);
      glyph.Coverage.assign(glyph.Coverage.size(), 0);
      return;
    }
    source = &converted;
  }
  const int pitch = source->pitch;
  const unsigned char* top =
      pitch < 0 ? source->buffer - std::ptrdiff_t(pitch) * (glyph.Rows - 1) : source->buffer;
  const int grays = source->num_grays > 1 ? source->num_grays - 1 : 1;
  for (int y = 0; y < glyph.Rows; ++y) {
    const unsigned char* row = top + std::ptrdiff_t(pitch) * y;
    std::uint8_t* out = glyph.Coverage.data() + std::size_t(y) * std::size_t(glyph.Width);
    for (int x = 0; x < glyph.Width; ++x) {
      int value = 0;
      switch (source->pixel_mode) {
      case FT_PIXEL_MODE_MONO:
        value = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        break;
      case FT_PIXEL_MODE_BGRA:
        value = row[x * 4 + 3];
        break;
      default:
        value = source == &bitmap && grays == 255 ? row[x] : row[x] * 255 / grays;
        break;
      }
      if (mono) value = value >= 128 ? 255 : 0;
      out[x] = std::uint8_t(value);
    }
  }
  FT_Bitmap_Done(library, &converted);
  if (bitmap.pixel_mode != FT_PIXEL_MODE_BGRA) return;
  // A picture keeps its colours; its alpha stays the coverage, unrounded.
  glyph.Color.resize(glyph.Coverage.size() * 4);
  for (int y = 0; y < glyph.Rows; ++y) {
    const unsigned char* row = top + std::ptrdiff_t(pitch) * y;
    std::memcpy(glyph.Color.data() + std::size_t(y) * std::size_t(glyph.Width) * 4, row,
                std::size_t(glyph.Width) * 4);
    for (int x = 0; x < glyph.Width; ++x)
      glyph.Coverage[std::size_t(y) * std::size_t(glyph.Width) + std::size_t(x)] = row[x * 4 + 3];
  }
}

// A colour bitmap face: its pictures come in fixed sizes and are scaled to
// the size asked, as its outlines would be.
bool ScalesBitmaps(FT_Face face) {
  return !FT_IS_SCALABLE(face) && FT_HAS_COLOR(face) && face->num_fixed_sizes > 0;
}

// The glyph's pixels scaled by `scale`, each new pixel the average of the
// old ones under it (premultiplied colours average without fringes).
void ScaleGlyph(TGlyph& glyph, double scale) {
  const int width = std::max(1, int(std::ceil(glyph.Width * scale)));
  const int rows = std::max(1, int(std::ceil(glyph.Rows * scale)));
  const int channels = glyph.Color.empty() ? 1 : 4;
  const std::vector<std::uint8_t>& in = glyph.Color.empty() ? glyph.Coverage : glyph.Color;
  std::vector<std::uint8_t> out(std::size_t(width) * std::size_t(rows) * std::size_t(channels));
  // The part of old pixel i that new pixel o covers, along one axis.
  const auto overlap = [scale](int o, int i) {
    const double from = std::max(o / scale, double(i)), to = std::min((o + 1) / scale, i + 1.0);
    return std::max(0.0, to - from);
  };
  for (int oy = 0; oy < rows; ++oy)
    for (int ox = 0; ox < width; ++ox) {
      double sum[4] = {0, 0, 0, 0}, area = 0;
      const int y0 = int(oy / scale), y1 = std::min(glyph.Rows, int(std::ceil((oy + 1) / scale)));
      const int x0 = int(ox / scale), x1 = std::min(glyph.Width, int(std::ceil((ox + 1) / scale)));
      for (int y = y0; y < y1; ++y) {
        const double wy = overlap(oy, y);
        for (int x = x0; x < x1; ++x) {
          const double w = wy * overlap(ox, x);
          const std::uint8_t* px =
              in.data() + (std::size_t(y) * std::size_t(glyph.Width) + std::size_t(x)) * channels;
          for (int c = 0; c < channels; ++c)
            sum[c] += w * px[c];
          area += w;
        }
      }
      std::uint8_t* px =
          out.data() + (std::size_t(oy) * std::size_t(width) + std::size_t(ox)) * channels;
      for (int c = 0; c < channels; ++c)
        px[c] = area > 0 ? std::uint8_t(std::lround(sum[c] / area)) : 0;
    }
  glyph.Width = width;
  glyph.Rows = rows;
  glyph.Left = int(std::floor(glyph.Left * scale));
  glyph.Top = int(std::lround(glyph.Top * scale));
  if (channels == 4) {
    glyph.Color = std::move(out);
    glyph.Coverage.resize(std::size_t(width) * std::size_t(rows));
    for (std::size_t i = 0; i < glyph.Coverage.size(); ++i)
      glyph.Coverage[i] = glyph.Color[i * 4 + 3];
  } else {
    glyph.Coverage = std::move(out);
  }
}

} // namespace

namespace text_detail {

TFontInstance::TFontInstance(TInstanceKey key, std::shared_ptr<TFaceFile> face)
    : FKey(std::move(key)), FFace(std::move(face)) {
  FT_Face ft = Face();
  if (FT_Select_Charmap(ft, FT_ENCODING_UNICODE) != 0) {
    if (FT_Select_Charmap(ft, FT_ENCODING_MS_SYMBOL) == 0)
      FSymbol = true;
    else if (ft->num_charmaps > 0)
      FT_Set_Charmap(ft, ft->charmaps[0]);
  }
  if (FT_New_Size(ft, &FSize) != 0) throw ETextError("FreeType cannot make a font size");
  FT_Activate_Size(FSize);
  FT_Error error = 0;
  if (FT_IS_SCALABLE(ft)) {
    error = FT_Set_Char_Size(ft, 0, FKey.Ppem26_6, 72, 72);
  } else {
    // Bitmap fonts come in fixed sizes: the nearest one.
    int best = 0;
    for (int i = 1; i < ft->num_fixed_sizes; ++i)
      if (std::labs(ft->available_sizes[i].y_ppem - FKey.Ppem26_6) <
          std::labs(ft->available_sizes[best].y_ppem - FKey.Ppem26_6))
        best = i;
    error = ft->num_fixed_sizes > 0 ? FT_Select_Size(ft, best) : 1;
    if (error == 0 && ScalesBitmaps(ft) && ft->available_sizes[best].y_ppem > 0)
      FBitmapScale = double(FKey.Ppem26_6) / double(ft->available_sizes[best].y_ppem);
  }
  if (error != 0) {
    FT_Done_Size(FSize);
    throw ETextError("The font \"" + FKey.File + "\" cannot be set to that size (FreeType error " +
                     std::to_string(error) + ")");
  }
}

TFontInstance::~TFontInstance() {
  if (FShaping != nullptr) hb_font_destroy(FShaping);
  gCachedBytes -= FBytes;
  FT_Done_Size(FSize);
}

void TFontInstance::DropBitmaps() {
  FLatin.fill(nullptr);
  FGlyphs.clear();
  gCachedBytes -= FBytes;
  FBytes = 0;
}

FT_UInt TFontInstance::GlyphIndex(char32_t ch) const {
  FT_UInt index = FT_Get_Char_Index(Face(), ch);
  // Symbol fonts keep their 8-bit characters in the private use area.
  if (index == 0 && FSymbol && ch < 0x100) index = FT_Get_Char_Index(Face(), 0xF000 + ch);
  return index;
}

hb_font_t* TFontInstance::ShapingFont() {
  if (FShaping != nullptr) return FShaping;
  FT_Face ft = Face();
  if (FT_IS_SFNT(ft)) {
    // OpenType's own metrics, unhinted, at this em size in 26.6 pixels.
    hb_face_t* face = hb_ft_face_create_referenced(ft);
    FShaping = hb_font_create(face);
    hb_face_destroy(face);
    const int scale = int(std::min<long>(FKey.Ppem26_6, INT_MAX));
    hb_font_set_scale(FShaping, scale, scale);
  } else {
    // Type 1 and the like: FreeType answers for the face at this size.
    Activate();
    FShaping = hb_ft_font_create_referenced(ft);
  }
  return FShaping;
}

void TFontInstance::Rasterise(char32_t ch, TGlyph& glyph) {
  glyph = TGlyph{};
  FT_Face ft = Face();
  FT_Activate_Size(FSize);
  FT_Int32 flags = FT_LOAD_DEFAULT | (FKey.Mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FKey.Embolden || FKey.Slant) flags |= FT_LOAD_NO_BITMAP;
  if (FT_HAS_COLOR(ft)) flags |= FT_LOAD_COLOR;
  const FT_UInt index = (ch & GlyphIndexKey) ? FT_UInt(ch & ~GlyphIndexKey) : GlyphIndex(ch);
  // A code point the face lacks draws the missing-glyph shape, glyph 0.
  if (FT_Load_Glyph(ft, index, flags) != 0 && (index == 0 || FT_Load_Glyph(ft, 0, flags) != 0))
    return;
  FT_GlyphSlot slot = ft->glyph;
  glyph.Advance = int((slot->advance.x + 32) >> 6);
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (FKey.Embolden) {
      // Thicker by a 24th of the em; the advance grows by one pixel, as
      // Windows widens an emboldened face.
      FT_Outline_EmboldenXY(&slot->outline, FKey.Ppem26_6 / 24, 0);
      glyph.Advance += 1;
    }
    if (FKey.Slant) {
      FT_Matrix shear{0x10000, SlantShear, 0, 0x10000};
      FT_Outline_Transform(&slot->outline, &shear);
    }
  }
  if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(slot, FKey.Mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
    return;
  if (std::size_t(slot->bitmap.width) * slot->bitmap.rows > MaxGlyphBytes * 4) return;
  glyph.Left = slot->bitmap_left;
  glyph.Top = slot->bitmap_top;
  CopyCoverage(slot->bitmap, FKey.Mono, glyph, FFace->Library->Library);
  if (FBitmapScale != 1) {
    glyph.Advance = int(std::lround(slot->advance.x * FBitmapScale / 64));
    // A picture scaled past what a glyph may hold is left out, as an
    // outline that large would be.
    const double pixels =
        std::ceil(glyph.Width * FBitmapScale) * std::ceil(glyph.Rows * FBitmapScale);
    if (pixels * (glyph.Color.empty() ? 1 : 5) > double(MaxGlyphBytes) * 4) {
      glyph.Coverage.clear();
      glyph.Color.clear();
      glyph.Width = glyph.Rows = 0;
    } else if (!glyph.Coverage.empty()) {
      ScaleGlyph(glyph, FBitmapScale);
    }
  }
}

const TGlyph& TFontInstance::Glyph(char32_t ch) {
  if (ch < 0x100 && FLatin[ch] != nullptr) return *FLatin[ch];
  if (auto it = FGlyphs.find(ch); it != FGlyphs.end()) return it->second;
  Rasterise(ch, FScratch);
  FAdvances[ch] = FScratch.Advance;
  const std::size_t bytes = FScratch.Coverage.size() + FScratch.Color.size();
  if (bytes > MaxGlyphBytes) return FScratch;
  MakeRoom(this, bytes);
  TGlyph& kept = FGlyphs[ch];
  kept = std::move(FScratch);
  FScratch = TGlyph{};
  FBytes += bytes;
  gCachedBytes += bytes;
  if (ch < 0x100) FLatin[ch] = &kept;
  return kept;
}

int TFontInstance::Advance(char32_t ch) {
  if (ch < 0x100 && FLatin[ch] != nullptr) return FLatin[ch]->Advance;
  if (auto it = FAdvances.find(ch); it != FAdvances.end()) return it->second;
  return Glyph(ch).Advance;
}

} // namespace text_detail

// ---------------------------------------------------------------------------

TFont::TFont(LOGFONT description, std::shared_ptr<TImpl> impl)
    : FDescription(std::move(description)), FImpl(std::move(impl)) {}

// The last handle may free FreeType objects that other fonts share.
TFont::~TFont() {
  std::lock_guard lock(TFontDatabase::Instance().Mutex());
  FImpl.reset();
}

const std::string& TFont::FaceName() const {
  return FImpl->FaceName;
}
const std::string& TFont::StyleName() const {
  return FImpl->StyleName;
}
bool TFont::SyntheticBold() const {
  return FImpl->SyntheticBold;
}
bool TFont::SyntheticItalic() const {
  return FImpl->SyntheticItalic;
}
int TFont::Height() const {
  return FImpl->Height;
}
int TFont::Ascent() const {
  return FImpl->Ascent;
}
int TFont::Descent() const {
  return FImpl->Descent;
}
bool TFont::AntiAliased() const {
  return FImpl->AntiAliased;
}

namespace {

// Keys of Fallbacks.Chosen for a character asked in a form, above every
// code point.
constexpr char32_t ColourFormKey = 0x40000000u;
constexpr char32_t TextFormKey = 0x20000000u;

// An instance of a face standing in for `font`, at its size; null when the
// file will not load.
std::shared_ptr<TFontInstance> StandIn(const TFont::TImpl& font, const TFaceMember& member) {
  const TInstanceKey& own = font.Instance->Key();
  TInstanceKey key{member.File,
                   member.Index,
                   own.Ppem26_6,
                   own.Mono,
                   font.Weight >= FW_SEMIBOLD && font.Weight - member.Weight >= 200,
                   font.Italic && !member.Italic};
  std::shared_ptr<TFontInstance> face = FindInstance(key);
  try {
    if (face == nullptr) {
      face = std::make_shared<TFontInstance>(
          key, TFontDatabase::Instance().Open(member.File, member.Index));
      KeepInstance(face);
    }
  } catch (const ETextError&) {
    return nullptr; // a file that will not load: the box, as without it
  }
  return face;
}

} // namespace

text_detail::TFontInstance& TFont::TImpl::FaceFor(char32_t ch) const {
  if (Instance->HasChar(ch)) return *Instance;
  auto [chosen, added] = Fallbacks.Chosen.try_emplace(ch, -1);
  if (!added) return chosen->second < 0 ? *Instance : *Fallbacks.Faces[chosen->second];
  for (std::size_t i = 0; i < Fallbacks.Faces.size(); ++i)
    if (Fallbacks.Faces[i]->HasChar(ch)) {
      chosen->second = int(i);
      return *Fallbacks.Faces[i];
    }
  TFontDatabase& db = TFontDatabase::Instance();
  const std::optional<TFaceMember> member = db.FaceFor(ch, Weight, Italic);
  if (!member) return *Instance;
  std::shared_ptr<TFontInstance> face = StandIn(*this, *member);
  if (face == nullptr || !face->HasChar(ch)) return *Instance;
  chosen->second = int(Fallbacks.Faces.size());
  Fallbacks.Faces.push_back(std::move(face));
  return *Fallbacks.Faces.back();
}

text_detail::TFontInstance& TFont::TImpl::FaceFor(char32_t ch, char32_t selector) const {
  const bool colour = selector == EmojiSelector;
  if (!colour && selector != TextSelector) return FaceFor(ch);
  if (Instance->HasChar(ch) && (!colour || Instance->HasColour())) return *Instance;
  auto [chosen, added] =
      Fallbacks.Chosen.try_emplace(ch | (colour ? ColourFormKey : TextFormKey), -1);
  if (!added) return chosen->second < 0 ? FaceFor(ch) : *Fallbacks.Faces[chosen->second];
  for (std::size_t i = 0; i < Fallbacks.Faces.size(); ++i)
    if (Fallbacks.Faces[i]->HasColour() == colour && Fallbacks.Faces[i]->HasChar(ch)) {
      chosen->second = int(i);
      return *Fallbacks.Faces[i];
    }
  // No face has that form: the character as it comes without the selector.
  const std::optional<TFaceMember> member =
      TFontDatabase::Instance().FaceInForm(ch, Weight, Italic, colour);
  if (!member) return FaceFor(ch);
  std::shared_ptr<TFontInstance> face = StandIn(*this, *member);
  if (face == nullptr || !face->HasChar(ch)) return FaceFor(ch);
  chosen->second = int(Fallbacks.Faces.size());
  Fallbacks.Faces.push_back(std::move(face));
  return *Fallbacks.Faces.back();
}

int TFont::Advance(char32_t ch) const {
  std::lock_guard lock(TFontDatabase::Instance().Mutex());
  return FImpl->Instance->Advance(ch);
}

namespace {

// Cell metrics in font units: what a positive height is matched against.
void DesignCell(FT_Face face, double& ascent, double& descent) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
  } else if (face->ascender - face->descender > 0) {
    ascent = face->ascender;
    descent = -face->descender;
  } else if (face->bbox.yMax - face->bbox.yMin > 0) {
    ascent = face->bbox.yMax;
    descent = -face->bbox.yMin;
  } else {
    ascent = face->units_per_EM * 0.8;
    descent = face->units_per_EM * 0.2;
  }
}

// FreeType leaves units_per_EM unset for a face of bitmaps only (colour
// emoji); its head table still has the em its metrics are in.
double UnitsPerEm(FT_Face face) {
  if (face->units_per_EM > 0) return face->units_per_EM;
  const auto* head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
  return head != nullptr && head->Units_Per_EM > 0 ? head->Units_Per_EM : 1000;
}

struct TChoice {
  TFaceMember Member;
  std::shared_ptr<text_detail::TFaceFile> File;
};

TChoice ChooseMember(TFontDatabase& db, const LOGFONT& lf, int weight, bool italic) {
  std::vector<TFaceMember> candidates = db.Members(lf.lfFaceName);
  std::stable_sort(candidates.begin(), candidates.end(),
                   [&](const TFaceMember& a, const TFaceMember& b) {
                     return Distance(a, weight, italic) < Distance(b, weight, italic);
                   });
  std::string firstError;
  const auto open = [&](const TFaceMember& member) -> std::optional<TChoice> {
    try {
      return TChoice{member, db.Open(member.File, member.Index)};
    } catch (const ETextError& e) {
      if (firstError.empty()) firstError = e.what();
      return std::nullopt;
    }
  };
  for (const TFaceMember& member : candidates)
    if (auto choice = open(member)) return std::move(*choice);
  // Not installed (or not loadable): the font mapper's substitute.
  if (auto substitute = db.BestMatch(lf.lfFaceName, weight, italic))
    if (auto choice = open(*substitute)) return std::move(*choice);
  throw ETextError(firstError.empty() ? "No font is installed" : firstError);
}

} // namespace

TFontHandle CreateFontIndirect(const LOGFONT& lf) {
  if (lf.lfHeight > TFont::MaxHeight || lf.lfHeight < -TFont::MaxHeight)
    throw ETextError("The font height " + std::to_string(lf.lfHeight) +
                     " is out of range (at most " + std::to_string(TFont::MaxHeight) + " pixels)");
  TFontDatabase& db = TFontDatabase::Instance();
  std::lock_guard lock(db.Mutex());
  const int weight = ClampWeight(lf.lfWeight);
  const bool italic = lf.lfItalic != 0;
  TChoice choice = ChooseMember(db, lf, weight, italic);
  FT_Face face = choice.File->Face.get();

  auto impl = std::make_shared<TFont::TImpl>();
  impl->FaceName = choice.Member.Face;
  impl->StyleName = choice.Member.Style;
  impl->AntiAliased = IsAntiAliased(lf.lfQuality);
  impl->Weight = weight;
  impl->Italic = italic;
  impl->SyntheticBold = weight >= FW_SEMIBOLD && weight - choice.Member.Weight >= 200;
  impl->SyntheticItalic = italic && !choice.Member.Italic;

  // A positive height is the cell, a negative one the em, zero a default.
  const int asked = lf.lfHeight == 0 ? 16 : lf.lfHeight;
  const double upem = UnitsPerEm(face);
  double designAscent = 0, designDescent = 0;
  DesignCell(face, designAscent, designDescent);
  const double designCell = designAscent + designDescent;
  double ppem = 0;
  if (asked > 0) {
    impl->Height = asked;
    ppem = asked * upem / designCell;
  } else {
    ppem = -asked;
    impl->Height = std::max(1, int(std::lround(designCell * ppem / upem)));
  }
  impl->Ascent = int(std::lround(designAscent * impl->Height / designCell));
  impl->Descent = impl->Height - impl->Ascent;

  TInstanceKey key{choice.Member.File, choice.Member.Index, std::max(64L, std::lround(ppem * 64)),
                   !impl->AntiAliased, impl->SyntheticBold, impl->SyntheticItalic};
  impl->Instance = FindInstance(key);
  if (impl->Instance == nullptr) {
    impl->Instance = std::make_shared<TFontInstance>(key, choice.File);
    KeepInstance(impl->Instance);
  }

  const bool scalable = FT_IS_SCALABLE(face) || ScalesBitmaps(face);
  if (!scalable) {
    impl->Instance->Activate();
    const FT_Size_Metrics& m = face->size->metrics;
    impl->Ascent = int(m.ascender >> 6);
    impl->Height = std::max(1, int((m.ascender - m.descender) >> 6));
    impl->Descent = impl->Height - impl->Ascent;
  }

  // Underline and strike-out bars, inside the cell.
  const double scale = scalable ? ppem / upem : 0;
  if (scale > 0) {
    const double thickness = face->underline_thickness > 0 ? face->underline_thickness : upem / 20;
    impl->UnderlineThickness = std::max(1, int(std::lround(thickness * scale)));
    const double centre = -face->underline_position * scale;
    impl->UnderlineTop = int(std::lround(centre - impl->UnderlineThickness / 2.0));
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    double strikePos = upem * 0.26, strikeSize = thickness;
    if (os2 != nullptr && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
      strikePos = os2->yStrikeoutPosition;
      strikeSize = os2->yStrikeoutSize;
    }
    impl->StrikeOutThickness = std::max(1, int(std::lround(strikeSize * scale)));
    impl->StrikeOutTop = -int(std::lround(strikePos * scale));
  } else {
    impl->UnderlineThickness = 1;
    impl->UnderlineTop = std::max(1, impl->Descent / 2);
    impl->StrikeOutThickness = 1;
    impl->StrikeOutTop = -impl->Ascent / 3;
  }
  impl->UnderlineTop =
      std::max(1, std::min(impl->UnderlineTop, impl->Descent - impl->UnderlineThickness));

  return std::make_shared<const TFont>(lf, std::move(impl));
}

// ---------------------------------------------------------------------------

namespace {

LOGFONT Describe(const TFaceMember& member) {
  LOGFONT lf;
  lf.lfWeight = member.Weight;
  lf.lfItalic = member.Italic ? 1 : 0;
  lf.lfCharSet = member.CharSet;
  lf.lfOutPrecision = member.FontType == TRUETYPE_FONTTYPE ? OUT_STROKE_PRECIS : OUT_STRING_PRECIS;
  lf.lfClipPrecision = CLIP_STROKE_PRECIS;
  lf.lfQuality = DRAFT_QUALITY;
  lf.lfPitchAndFamily = member.PitchAndFamily;
  lf.lfFaceName = member.Face;
  return lf;
}

std::vector<TFaceMember> Listed(const std::string& faceName) {
  TFontDatabase& db = TFontDatabase::Instance();
  return faceName.empty() ? db.Faces() : db.Members(faceName);
}

} // namespace

// The callbacks run without the database locked, so they may create fonts.
int EnumFonts(const std::string& faceName, const FONTENUMPROC& proc) {
  int result = 1;
  for (const TFaceMember& member : Listed(faceName)) {
    result = proc(Describe(member), member.FontType);
    if (result == 0) break;
  }
  return result;
}

int EnumFontFamilies(const std::string& faceName, const FONTFAMILYENUMPROC& proc) {
  int result = 1;
  for (const TFaceMember& member : Listed(faceName)) {
    ENUMLOGFONT font{Describe(member), member.FullName, member.Style};
    result = proc(font, member.FontType);
    if (result == 0) break;
  }
  return result;
}
