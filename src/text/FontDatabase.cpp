#include "text/FontDatabase.h"

#include "text/Font.h"

#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <set>

namespace text_detail {

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

std::string DecodeName(const FT_SfntName& name) {
  std::string out;
  const bool utf16 =
      name.platform_id == TT_PLATFORM_MICROSOFT || name.platform_id == TT_PLATFORM_APPLE_UNICODE;
  if (!utf16) {
    // Mac Roman: only its ASCII half is common in family names.
    for (FT_UInt i = 0; i < name.string_len; ++i)
      AppendUtf8(out, name.string[i]);
    return out;
  }
  for (FT_UInt i = 0; i + 1 < name.string_len; i += 2) {
    char32_t c = char32_t(name.string[i] << 8 | name.string[i + 1]);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < name.string_len) {
      const char32_t low = char32_t(name.string[i + 2] << 8 | name.string[i + 3]);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c == 0) break;
    AppendUtf8(out, c);
  }
  return out;
}

// The name record Windows would show an English user: Windows platform,
// US English first.
std::string SfntName(FT_Face face, FT_UShort nameId) {
  int bestScore = 0;
  std::string best;
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != nameId) continue;
    int score = 0;
    if (name.platform_id == TT_PLATFORM_MICROSOFT)
      score = name.language_id == TT_MS_LANGID_ENGLISH_UNITED_STATES ? 4
              : (name.language_id & 0x3FF) == 0x09                   ? 3
                                                                     : 2;
    else if (name.platform_id == TT_PLATFORM_APPLE_UNICODE)
      score = 2;
    else if (name.platform_id == TT_PLATFORM_MACINTOSH && name.language_id == TT_MAC_LANGID_ENGLISH)
      score = 1;
    if (score > bestScore) {
      std::string decoded = DecodeName(name);
      if (decoded.empty()) continue;
      bestScore = score;
      best = std::move(decoded);
    }
  }
  return best;
}

std::uint8_t CharSetOf(const TT_OS2* os2, FT_Face face) {
  for (int i = 0; i < face->num_charmaps; ++i)
    if (face->charmaps[i]->encoding == FT_ENCODING_MS_SYMBOL) return SYMBOL_CHARSET;
  if (os2 == nullptr || os2->version == 0) return ANSI_CHARSET;
  static constexpr std::pair<int, std::uint8_t> ranges[] = {
      {0, ANSI_CHARSET},    {1, EASTEUROPE_CHARSET},   {2, RUSSIAN_CHARSET},
      {3, GREEK_CHARSET},   {4, TURKISH_CHARSET},      {5, HEBREW_CHARSET},
      {6, ARABIC_CHARSET},  {7, BALTIC_CHARSET},       {8, VIETNAMESE_CHARSET},
      {16, THAI_CHARSET},   {17, SHIFTJIS_CHARSET},    {18, GB2312_CHARSET},
      {19, HANGUL_CHARSET}, {20, CHINESEBIG5_CHARSET}, {21, JOHAB_CHARSET},
      {31, SYMBOL_CHARSET}};
  for (auto [bit, charset] : ranges)
    if (os2->ulCodePageRange1 & (1ul << bit)) return charset;
  return DEFAULT_CHARSET;
}

std::uint8_t PitchAndFamilyOf(const TT_OS2* os2, FT_Face face) {
  const std::uint8_t pitch = FT_IS_FIXED_WIDTH(face) ? FIXED_PITCH : VARIABLE_PITCH;
  if (FT_IS_FIXED_WIDTH(face)) return pitch | FF_MODERN;
  if (os2 == nullptr) return pitch | FF_DONTCARE;
  const FT_Byte familyKind = os2->panose[0], serif = os2->panose[1];
  if (familyKind == 3) return pitch | FF_SCRIPT;
  if (familyKind == 4 || familyKind == 5) return pitch | FF_DECORATIVE;
  if (familyKind == 2 && serif >= 11 && serif <= 13) return pitch | FF_SWISS;
  if (familyKind == 2 && serif >= 2) return pitch | FF_ROMAN;
  return pitch | FF_DONTCARE;
}

std::string FcString(FcPattern* pattern, const char* object, int n = 0) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, n, &value) != FcResultMatch || value == nullptr)
    return {};
  return reinterpret_cast<const char*>(value);
}

int FcInt(FcPattern* pattern, const char* object, int fallback) {
  int value = 0;
  return FcPatternGetInteger(pattern, object, 0, &value) == FcResultMatch ? value : fallback;
}

int FcWeightAsOpenType(FcPattern* pattern) {
  double weight = 0;
  if (FcPatternGetDouble(pattern, FC_WEIGHT, 0, &weight) != FcResultMatch) {
    int w = 0;
    if (FcPatternGetInteger(pattern, FC_WEIGHT, 0, &w) != FcResultMatch) return FW_NORMAL;
    weight = w;
  }
  return std::clamp(FcWeightToOpenType(int(weight)), 1, 1000);
}

struct TFcPatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct TFcFontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
struct TFcObjectSetDeleter {
  void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
using TFcPatternPtr = std::unique_ptr<FcPattern, TFcPatternDeleter>;
using TFcFontSetPtr = std::unique_ptr<FcFontSet, TFcFontSetDeleter>;
using TFcObjectSetPtr = std::unique_ptr<FcObjectSet, TFcObjectSetDeleter>;

TFcFontSetPtr List(FcConfig* config, FcPattern* pattern) {
  TFcObjectSetPtr objects(FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_STYLE, FC_WEIGHT,
                                           FC_SLANT, FC_VARIABLE, nullptr));
  return TFcFontSetPtr(FcFontList(config, pattern, objects.get()));
}

bool IsVariableDefault(FcPattern* pattern) {
  FcBool variable = FcFalse;
  return FcPatternGetBool(pattern, FC_VARIABLE, 0, &variable) == FcResultMatch && variable;
}

} // namespace

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

TFtLibrary::TFtLibrary() {
  if (FT_Init_FreeType(&Library) != 0) throw ETextError("FreeType cannot be initialised");
}

TFtLibrary::~TFtLibrary() {
  FT_Done_FreeType(Library);
}

TFontDatabase& TFontDatabase::Instance() {
  static TFontDatabase instance("");
  return instance;
}

TFontDatabase::TFontDatabase(const std::string& configFile)
    : FLibrary(std::make_shared<TFtLibrary>()) {
  if (configFile.empty()) {
    FConfig = FcInitLoadConfigAndFonts();
  } else {
    FConfig = FcConfigCreate();
    if (FConfig != nullptr &&
        (!FcConfigParseAndLoad(FConfig, reinterpret_cast<const FcChar8*>(configFile.c_str()),
                               FcTrue) ||
         !FcConfigBuildFonts(FConfig))) {
      FcConfigDestroy(FConfig);
      FConfig = nullptr;
    }
  }
  if (FConfig == nullptr) throw ETextError("fontconfig cannot be initialised");
}

TFontDatabase::~TFontDatabase() {
  FcConfigDestroy(FConfig);
}

std::shared_ptr<TFaceFile> TFontDatabase::Open(const std::string& file, int index) {
  std::lock_guard lock(FMutex);
  const auto key = std::make_pair(file, index);
  if (auto it = FOpen.find(key); it != FOpen.end())
    if (auto open = it->second.lock()) return open;
  FT_Face face = nullptr;
  const FT_Error error = FT_New_Face(FLibrary->Library, file.c_str(), index, &face);
  if (error != 0)
    throw ETextError("Cannot load the font file \"" + file + "\" (FreeType error " +
                     std::to_string(error) + ")");
  auto open = std::make_shared<TFaceFile>(TFaceFile{FLibrary, TFtFacePtr(face)});
  FOpen[key] = open;
  return open;
}

// A face name without opening the file: when fontconfig knows the font by
// one family name only, that name is its name ID 1.
std::optional<std::string> TFontDatabase::QuickFace(FcPattern* pattern) {
  const std::string first = FcString(pattern, FC_FAMILY, 0);
  if (first.empty() || FcInt(pattern, FC_INDEX, 0) >> 16 != 0) return std::nullopt;
  for (int n = 1;; ++n) {
    const std::string other = FcString(pattern, FC_FAMILY, n);
    if (other.empty()) return first;
    if (!SameName(first, other)) return std::nullopt;
  }
}

TFaceMember TFontDatabase::Describe(FcPattern* pattern) {
  TFaceMember member;
  member.File = FcString(pattern, FC_FILE);
  member.Index = FcInt(pattern, FC_INDEX, 0);
  const auto key = std::make_pair(member.File, member.Index);
  if (auto it = FDescribed.find(key); it != FDescribed.end()) return it->second;

  // What fontconfig knows stands in wherever the file says nothing.
  member.Face = FcString(pattern, FC_FAMILY);
  member.Weight = FcWeightAsOpenType(pattern);
  member.Italic = FcInt(pattern, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN;
  member.CharSet = ANSI_CHARSET;
  member.PitchAndFamily = VARIABLE_PITCH;

  FT_Face raw = nullptr;
  if (FT_New_Face(FLibrary->Library, member.File.c_str(), member.Index, &raw) == 0) {
    TFtFacePtr face(raw);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face.get(), FT_SFNT_OS2));
    if (os2 != nullptr && os2->version == 0xFFFF) os2 = nullptr;
    member.CharSet = CharSetOf(os2, face.get());
    member.PitchAndFamily = PitchAndFamilyOf(os2, face.get());
    member.FontType = !FT_IS_SCALABLE(face.get()) ? RASTER_FONTTYPE
                      : FT_IS_SFNT(face.get())    ? TRUETYPE_FONTTYPE
                                                  : 0;
    const bool namedInstance = member.Index >> 16 != 0;
    if (FT_IS_SFNT(face.get())) {
      if (std::string id1 = SfntName(face.get(), TT_NAME_ID_FONT_FAMILY); !id1.empty())
        member.Face = id1;
      member.Style = SfntName(face.get(), TT_NAME_ID_FONT_SUBFAMILY);
      member.FullName = SfntName(face.get(), TT_NAME_ID_FULL_NAME);
      if (!namedInstance) {
        if (os2 != nullptr) {
          int weight = os2->usWeightClass;
          if (weight >= 1 && weight <= 9) weight *= 100;
          member.Weight = std::clamp(weight, 1, 1000);
          member.Italic = (os2->fsSelection & 1) != 0;
        } else {
          member.Weight = (face->style_flags & FT_STYLE_FLAG_BOLD) ? FW_BOLD : FW_NORMAL;
          member.Italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
        }
      }
    }
    if (namedInstance) {
      // A named instance of a variable font: its instance name gives the
      // legacy face, as Windows lists "Family Light" beside "Family".
      std::string instance = FcString(pattern, FC_STYLE);
      std::string style = member.Italic ? "Italic" : "Regular";
      std::string stem = instance;
      if (member.Italic && stem.size() > 7 && stem.ends_with(" Italic"))
        stem.resize(stem.size() - 7);
      if (SameName(stem, "Regular") || SameName(stem, "Italic")) {
        stem.clear();
      } else if (SameName(stem, "Bold")) {
        stem.clear();
        style = member.Italic ? "Bold Italic" : "Bold";
      }
      if (!stem.empty()) member.Face += " " + stem;
      member.Style = style;
      member.FullName.clear();
    }
  }
  if (member.Face.empty()) member.Face = member.File;
  if (member.FullName.empty())
    member.FullName = member.Style.empty() ? member.Face : member.Face + " " + member.Style;
  FDescribed.emplace(key, member);
  return member;
}

std::vector<TFaceMember> TFontDatabase::Faces() {
  std::lock_guard lock(FMutex);
  if (FFaces) return *FFaces;
  TFcPatternPtr all(FcPatternCreate());
  TFcFontSetPtr set = List(FConfig, all.get());
  std::vector<TFaceMember> faces;
  std::set<std::string> seen;
  for (int i = 0; set != nullptr && i < set->nfont; ++i) {
    FcPattern* pattern = set->fonts[i];
    if (IsVariableDefault(pattern)) continue;
    TFaceMember member;
    if (auto quick = QuickFace(pattern)) {
      member.Face = *quick;
      member.File = FcString(pattern, FC_FILE);
      member.Index = FcInt(pattern, FC_INDEX, 0);
      if (seen.contains(Lower(member.Face))) continue;
      member = Describe(pattern);
    } else {
      member = Describe(pattern);
    }
    if (seen.insert(Lower(member.Face)).second) faces.push_back(std::move(member));
  }
  std::sort(faces.begin(), faces.end(), [](const TFaceMember& a, const TFaceMember& b) {
    return Lower(a.Face) < Lower(b.Face);
  });
  FFaces = faces;
  return faces;
}

std::vector<TFaceMember> TFontDatabase::Members(const std::string& face) {
  std::lock_guard lock(FMutex);
  const std::string key = Lower(face);
  if (auto it = FMembers.find(key); it != FMembers.end()) return it->second;
  std::vector<TFaceMember> members;
  if (!face.empty()) {
    // fontconfig knows a font by all its family names, so this finds every
    // candidate; the names in the files decide.
    TFcPatternPtr pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    TFcFontSetPtr set = List(FConfig, pattern.get());
    for (int i = 0; set != nullptr && i < set->nfont; ++i) {
      if (IsVariableDefault(set->fonts[i])) continue;
      TFaceMember member = Describe(set->fonts[i]);
      if (!SameName(member.Face, face)) continue;
      // The same font installed twice is one member.
      const bool twice = std::any_of(members.begin(), members.end(), [&](const TFaceMember& m) {
        return m.Style == member.Style && m.Weight == member.Weight && m.Italic == member.Italic;
      });
      if (!twice) members.push_back(std::move(member));
    }
    std::stable_sort(
        members.begin(), members.end(), [](const TFaceMember& a, const TFaceMember& b) {
          const auto rank = [](const TFaceMember& m) {
            return std::make_tuple(m.Italic, std::abs(m.Weight - FW_NORMAL), m.Weight, m.File);
          };
          return rank(a) < rank(b);
        });
  }
  FMembers.emplace(key, members);
  return members;
}

std::optional<TFaceMember> TFontDatabase::BestMatch(const std::string& face, int weight,
                                                    bool italic) {
  std::lock_guard lock(FMutex);
  TFcPatternPtr pattern(FcPatternCreate());
  if (!face.empty())
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
  // As the font mapper does, an unknown face becomes a sans-serif one.
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT,
                      FcWeightFromOpenType(weight <= 0 ? FW_NORMAL : std::min(weight, 1000)));
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(FConfig, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  TFcPatternPtr match(FcFontMatch(FConfig, pattern.get(), &result));
  if (match == nullptr || FcString(match.get(), FC_FILE).empty()) return std::nullopt;
  return Describe(match.get());
}

} // namespace text_detail
