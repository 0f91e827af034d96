#include "text/FontDatabase.h"

#include "base/Strings.h"
#include "text/Font.h"
#include "text/FontAnswers.h"

#include "text/SfntInfo.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <set>
#include <tuple>

#include <utf8proc.h>

namespace text_detail {

namespace {

std::uint8_t CharSetOf(const TSfntInfo& info) {
  if (info.Symbol) return SYMBOL_CHARSET;
  static constexpr std::pair<int, std::uint8_t> ranges[] = {
      {0, ANSI_CHARSET},    {1, EASTEUROPE_CHARSET},   {2, RUSSIAN_CHARSET},
      {3, GREEK_CHARSET},   {4, TURKISH_CHARSET},      {5, HEBREW_CHARSET},
      {6, ARABIC_CHARSET},  {7, BALTIC_CHARSET},       {8, VIETNAMESE_CHARSET},
      {16, THAI_CHARSET},   {17, SHIFTJIS_CHARSET},    {18, GB2312_CHARSET},
      {19, HANGUL_CHARSET}, {20, CHINESEBIG5_CHARSET}, {21, JOHAB_CHARSET},
      {31, SYMBOL_CHARSET}};
  for (auto [bit, charset] : ranges)
    if (info.CodePages & (1u << bit)) return charset;
  return DEFAULT_CHARSET;
}

std::uint8_t PitchAndFamilyOf(const TSfntInfo& info) {
  if (info.FixedPitch) return FIXED_PITCH | FF_MODERN;
  const std::uint8_t kind = info.Panose[0], serif = info.Panose[1];
  if (kind == 3) return VARIABLE_PITCH | FF_SCRIPT;
  if (kind == 4 || kind == 5) return VARIABLE_PITCH | FF_DECORATIVE;
  if (kind == 2 && serif >= 11 && serif <= 13) return VARIABLE_PITCH | FF_SWISS;
  if (kind == 2 && serif >= 2) return VARIABLE_PITCH | FF_ROMAN;
  return VARIABLE_PITCH | FF_DONTCARE;
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

// The language fontconfig gives emoji faces.
const FcChar8* const EmojiLanguage = reinterpret_cast<const FcChar8*>("und-zsye");

// Every face, best first, for one character at a weight and slant; with a
// form, the colour emoji faces (or those without colour) come first.
TFcFontSetPtr SortedFor(FcConfig* config, char32_t ch, int weight, bool italic,
                        std::optional<bool> colour) {
  std::unique_ptr<FcCharSet, decltype(&FcCharSetDestroy)> wanted(FcCharSetCreate(),
                                                                 &FcCharSetDestroy);
  FcCharSetAddChar(wanted.get(), FcChar32(ch));
  TFcPatternPtr pattern(FcPatternCreate());
  FcPatternAddCharSet(pattern.get(), FC_CHARSET, wanted.get());
  FcPatternAddInteger(pattern.get(), FC_WEIGHT,
                      FcWeightFromOpenType(weight <= 0 ? FW_NORMAL : std::min(weight, 1000)));
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (colour) {
    FcPatternAddBool(pattern.get(), FC_COLOR, *colour ? FcTrue : FcFalse);
    if (*colour) FcPatternAddString(pattern.get(), FC_LANG, EmojiLanguage);
  }
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  return TFcFontSetPtr(FcFontSort(config, pattern.get(), FcFalse, nullptr, &result));
}

TFcFontSetPtr List(FcConfig* config, FcPattern* pattern) {
  TFcObjectSetPtr objects(FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_STYLE, FC_WEIGHT,
                                           FC_SLANT, FC_VARIABLE, FC_SCALABLE, FC_SPACING,
                                           nullptr));
  return TFcFontSetPtr(FcFontList(config, pattern, objects.get()));
}

} // namespace

TFtLibrary::TFtLibrary() {
  if (FT_Init_FreeType(&Library) != 0) throw ETextError("FreeType cannot be initialised");
}

TFtLibrary::~TFtLibrary() {
  FT_Done_FreeType(Library);
}

namespace {
std::string gAnswersFile;
}

void TFontDatabase::KeepAnswersIn(std::string File) {
  gAnswersFile = std::move(File);
}

TFontDatabase& TFontDatabase::Instance() {
  // Never destroyed: fonts held by other static objects may still need it at
  // exit, and tearing down fontconfig's structures would only slow the exit.
  static TFontDatabase* const instance = new TFontDatabase("", gAnswersFile);
  return *instance;
}

TFontDatabase::TFontDatabase(const std::string& configFile, std::string answersFile)
    : FLibrary(std::make_shared<TFtLibrary>()), FConfigFile(configFile) {
  if (!answersFile.empty()) FAnswers = std::make_unique<TFontAnswers>(std::move(answersFile));
}

TFontDatabase::~TFontDatabase() {
  if (FConfig != nullptr) FcConfigDestroy(FConfig);
}

FcConfig* TFontDatabase::Config() {
  if (FConfig != nullptr) return FConfig;
  FLoadedAt = static_cast<long long>(std::time(nullptr));
  // Loading the configuration ourselves skips the scan of every available
  // configuration snippet that FcInit does, a good part of start-up time.
  FConfig = FcConfigCreate();
  if (FConfig != nullptr) {
    FcChar8* file = FConfigFile.empty()
                        ? FcConfigGetFilename(FConfig, nullptr)
                        : FcStrCopy(reinterpret_cast<const FcChar8*>(FConfigFile.c_str()));
    const bool loaded = file != nullptr && FcConfigParseAndLoad(FConfig, file, FcTrue) &&
                        FcConfigBuildFonts(FConfig);
    FcStrFree(file);
    if (!loaded) {
      FcConfigDestroy(FConfig);
      FConfig = nullptr;
    }
  }
  // Without a readable configuration fontconfig still knows where fonts lie.
  if (FConfig == nullptr && FConfigFile.empty()) FConfig = FcInitLoadConfigAndFonts();
  if (FConfig == nullptr) throw ETextError("fontconfig cannot be initialised");
  return FConfig;
}

// An earlier run's answer when it still holds; fontconfig's otherwise, kept.
std::vector<TFaceMember>
TFontDatabase::Ask(const std::string& question,
                   const std::function<std::vector<TFaceMember>()>& fontconfig) {
  if (FAnswers)
    if (const std::vector<TFaceMember>* known = FAnswers->Find(question)) return *known;
  std::vector<TFaceMember> answer = fontconfig();
  if (FAnswers) FAnswers->Add(question, answer, FConfig, FLoadedAt);
  return answer;
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
  const bool namedInstance = member.Index >> 16 != 0;

  if (auto info = ReadSfntInfo(member.File, member.Index)) {
    if (!info->Family.empty()) member.Face = info->Family;
    member.Style = info->Style;
    member.FullName = info->FullName;
    if (!namedInstance) {
      member.Weight = info->Weight;
      member.Italic = info->Italic;
    }
    member.CharSet = CharSetOf(*info);
    member.PitchAndFamily = PitchAndFamilyOf(*info);
    member.FontType = info->Outlines ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE;
  } else {
    // Type 1, PCF and the like carry no style names.
    FcBool scalable = FcFalse;
    FcPatternGetBool(pattern, FC_SCALABLE, 0, &scalable);
    member.FontType = scalable ? 0 : RASTER_FONTTYPE;
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(pattern, FC_SPACING, 0, &spacing);
    if (spacing >= FC_MONO) member.PitchAndFamily = FIXED_PITCH | FF_MODERN;
  }
  if (namedInstance) {
    // A named instance of a variable font: its instance name gives the
    // legacy face, as Windows lists "Family Light" beside "Family".
    std::string stem = FcString(pattern, FC_STYLE);
    std::string style = member.Italic ? "Italic" : "Regular";
    if (member.Italic && stem.size() > 7 && stem.ends_with(" Italic")) stem.resize(stem.size() - 7);
    if (SameText(stem, "Regular") || SameText(stem, "Italic")) {
      stem.clear();
    } else if (SameText(stem, "Bold")) {
      stem.clear();
      style = member.Italic ? "Bold Italic" : "Bold";
    }
    if (!stem.empty()) member.Face += " " + stem;
    member.Style = style;
    member.FullName.clear();
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
  FFaces = Ask("faces", [this] {
    TFcPatternPtr all(FcPatternCreate());
    TFcFontSetPtr set = List(Config(), all.get());
    std::vector<TFaceMember> faces;
    std::set<std::string> seen;
    for (int i = 0; set != nullptr && i < set->nfont; ++i) {
      FcPattern* pattern = set->fonts[i];
      TFaceMember member = Describe(pattern);
      if (seen.insert(AsciiLower(member.Face)).second) faces.push_back(std::move(member));
    }
    std::sort(faces.begin(), faces.end(), [](const TFaceMember& a, const TFaceMember& b) {
      return AsciiLower(a.Face) < AsciiLower(b.Face);
    });
    return faces;
  });
  return *FFaces;
}

std::vector<TFaceMember> TFontDatabase::Members(const std::string& face) {
  std::lock_guard lock(FMutex);
  const std::string key = AsciiLower(face);
  if (auto it = FMembers.find(key); it != FMembers.end()) return it->second;
  std::vector<TFaceMember> members;
  if (!face.empty())
    members = Ask("members\t" + key, [&] {
      std::vector<TFaceMember> found;
      // fontconfig knows a font by all its family names, so this finds every
      // candidate; the names in the files decide.
      TFcPatternPtr pattern(FcPatternCreate());
      FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
      TFcFontSetPtr set = List(Config(), pattern.get());
      for (int i = 0; set != nullptr && i < set->nfont; ++i) {
        TFaceMember member = Describe(set->fonts[i]);
        if (SameText(member.Face, face)) found.push_back(std::move(member));
      }
      // Members that carry style names come before those that carry none (a
      // face installed both as OpenType and as Type 1), then the file decides:
      // the list never depends on the order fontconfig reports files in.
      std::stable_sort(found.begin(), found.end(), [](const TFaceMember& a, const TFaceMember& b) {
        const auto rank = [](const TFaceMember& m) {
          return std::make_tuple(m.Italic, std::abs(m.Weight - FW_NORMAL), m.Weight,
                                 m.Style.empty(), m.File, m.Index);
        };
        return rank(a) < rank(b);
      });
      // The same font installed twice is one member, and so is the nameless
      // copy of a named one.
      std::vector<TFaceMember> kept;
      for (TFaceMember& member : found) {
        const bool twice = std::any_of(kept.begin(), kept.end(), [&](const TFaceMember& m) {
          return m.Weight == member.Weight && m.Italic == member.Italic &&
                 (m.Style == member.Style || member.Style.empty());
        });
        if (!twice) kept.push_back(std::move(member));
      }
      found = std::move(kept);
      return found;
    });
  FMembers.emplace(key, members);
  return members;
}

std::optional<TFaceMember> TFontDatabase::BestMatch(const std::string& face, int weight,
                                                    bool italic) {
  std::lock_guard lock(FMutex);
  const std::string question =
      "match\t" + face + "\t" + std::to_string(weight) + "\t" + (italic ? "italic" : "upright");
  std::vector<TFaceMember> found = Ask(question, [&]() -> std::vector<TFaceMember> {
    TFcPatternPtr pattern(FcPatternCreate());
    if (!face.empty())
      FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    // As the font mapper does, an unknown face becomes a sans-serif one.
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT,
                        FcWeightFromOpenType(weight <= 0 ? FW_NORMAL : std::min(weight, 1000)));
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(Config(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    TFcPatternPtr match(FcFontMatch(Config(), pattern.get(), &result));
    if (match == nullptr || FcString(match.get(), FC_FILE).empty()) return {};
    return {Describe(match.get())};
  });
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::optional<TFaceMember> TFontDatabase::FaceFor(char32_t ch, int weight, bool italic) {
  // No font draws a control, a noncharacter or a code point not assigned yet:
  // looking for one would go through every installed face in vain.
  const utf8proc_category_t category = utf8proc_category(utf8proc_int32_t(ch));
  if (category == UTF8PROC_CATEGORY_CC || category == UTF8PROC_CATEGORY_CN ||
      category == UTF8PROC_CATEGORY_CS)
    return std::nullopt;
  std::lock_guard lock(FMutex);
  const auto key = std::make_tuple(ch, weight, italic);
  if (auto it = FFaceFor.find(key); it != FFaceFor.end()) return it->second;
  const TFcFontSetPtr sorted = SortedFor(Config(), ch, weight, italic, std::nullopt);
  std::optional<TFaceMember> found;
  for (int i = 0; sorted != nullptr && i < sorted->nfont && !found; ++i) {
    FcCharSet* has = nullptr;
    if (FcPatternGetCharSet(sorted->fonts[i], FC_CHARSET, 0, &has) == FcResultMatch &&
        FcCharSetHasChar(has, FcChar32(ch)) && !FcString(sorted->fonts[i], FC_FILE).empty())
      found = Describe(sorted->fonts[i]);
  }
  FFaceFor.emplace(key, found);
  return found;
}

std::optional<TFaceMember> TFontDatabase::FaceInForm(char32_t ch, int weight, bool italic,
                                                     bool colour) {
  std::lock_guard lock(FMutex);
  // What no face has, no face has in a form.
  if (!FaceFor(ch, weight, italic)) return std::nullopt;
  const auto key = std::make_tuple(ch, weight, italic, colour);
  if (auto it = FFaceInForm.find(key); it != FFaceInForm.end()) return it->second;
  const TFcFontSetPtr sorted = SortedFor(Config(), ch, weight, italic, colour);
  std::optional<TFaceMember> found;
  for (int i = 0; sorted != nullptr && i < sorted->nfont && !found; ++i) {
    FcPattern* font = sorted->fonts[i];
    FcCharSet* has = nullptr;
    FcBool isColour = FcFalse;
    FcPatternGetBool(font, FC_COLOR, 0, &isColour);
    FcLangSet* languages = nullptr;
    const bool emoji = FcPatternGetLangSet(font, FC_LANG, 0, &languages) == FcResultMatch &&
                       FcLangSetHasLang(languages, EmojiLanguage) == FcLangEqual;
    if ((colour ? isColour || emoji : !isColour) &&
        FcPatternGetCharSet(font, FC_CHARSET, 0, &has) == FcResultMatch &&
        FcCharSetHasChar(has, FcChar32(ch)) && !FcString(font, FC_FILE).empty())
      found = Describe(font);
  }
  FFaceInForm.emplace(key, found);
  return found;
}

} // namespace text_detail

std::string DefaultFaceName() {
  const auto match =
      text_detail::TFontDatabase::Instance().BestMatch("sans-serif", FW_NORMAL, false);
  return match ? match->Face : std::string();
}

std::string ClosestInstalledFace(const std::string& faceName) {
  auto& fonts = text_detail::TFontDatabase::Instance();
  if (!faceName.empty()) {
    const std::vector<text_detail::TFaceMember> members = fonts.Members(faceName);
    if (!members.empty()) return members.front().Face;
  }
  const auto match = fonts.BestMatch(faceName, FW_NORMAL, false);
  return match ? match->Face : std::string();
}

void KeepFontAnswers(bool keep) {
  text_detail::TFontDatabase::KeepAnswersIn(keep ? text_detail::TFontAnswers::DefaultFile()
                                                 : std::string());
}
