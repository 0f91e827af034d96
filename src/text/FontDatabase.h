// What is installed, as faces and members: fontconfig lists the files once
// per process, FreeType reads the names Windows would show.
#pragma once

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace text_detail {

struct TFtLibrary {
  FT_Library Library = nullptr;
  TFtLibrary();
  ~TFtLibrary();
  TFtLibrary(const TFtLibrary&) = delete;
  TFtLibrary& operator=(const TFtLibrary&) = delete;
};

struct TFtFaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using TFtFacePtr = std::unique_ptr<FT_FaceRec_, TFtFaceDeleter>;

// An open font file. Keeps the library alive as long as the face lives.
struct TFaceFile {
  std::shared_ptr<TFtLibrary> Library;
  TFtFacePtr Face;
};

// One installed font as the enumeration reports it.
struct TFaceMember {
  std::string File;
  int Index = 0;
  std::string Face;     // name ID 1, or fontconfig's family
  std::string Style;    // name ID 2; empty for fonts without one
  std::string FullName; // name ID 4, or face and style
  int Weight = 400;     // usWeightClass
  bool Italic = false;
  std::uint8_t CharSet = 0;
  std::uint8_t PitchAndFamily = 0;
  int FontType = 0;
};

// Case-insensitive (ASCII) equality, as Windows compares face names.

class TFontAnswers;

class TFontDatabase {
public:
  // The process-wide database over fontconfig's current configuration
  // (FONTCONFIG_FILE is honoured).
  static TFontDatabase& Instance();
  // Lets the process-wide database keep fontconfig's answers in File for
  // later runs (see TFontAnswers); to be called before its first use.
  static void KeepAnswersIn(std::string File);
  // A database over one configuration file; empty means the default one.
  // fontconfig is loaded when first asked.
  explicit TFontDatabase(const std::string& configFile, std::string answersFile = {});
  ~TFontDatabase();
  TFontDatabase(const TFontDatabase&) = delete;
  TFontDatabase& operator=(const TFontDatabase&) = delete;

  // Every face once, sorted without regard to case.
  std::vector<TFaceMember> Faces();
  // The members of one face, the regular one first; empty when not installed.
  std::vector<TFaceMember> Members(const std::string& face);
  // fontconfig's substitute for a face that is not installed.
  std::optional<TFaceMember> BestMatch(const std::string& face, int weight, bool italic);
  // The installed font fontconfig finds best for a character among those that
  // have it, nearest to the weight and slant; nothing when none has it.
  std::optional<TFaceMember> FaceFor(char32_t ch, int weight, bool italic);
  // As FaceFor, among the colour emoji faces (fontconfig's colour property or
  // emoji language) or among the faces without colour glyphs.
  std::optional<TFaceMember> FaceInForm(char32_t ch, int weight, bool italic, bool colour);
  // Opens (or reuses) a font file; throws ETextError when it cannot be loaded.
  std::shared_ptr<TFaceFile> Open(const std::string& file, int index);

  // Guards everything here and every FreeType object made from it.
  std::recursive_mutex& Mutex() { return FMutex; }

private:
  TFaceMember Describe(FcPattern* pattern);
  FcConfig* Config();
  std::vector<TFaceMember> Ask(const std::string& question,
                               const std::function<std::vector<TFaceMember>()>& fontconfig);

  std::recursive_mutex FMutex;
  std::shared_ptr<TFtLibrary> FLibrary;
  std::string FConfigFile;
  FcConfig* FConfig = nullptr;
  long long FLoadedAt = 0;
  std::unique_ptr<TFontAnswers> FAnswers;
  std::map<std::pair<std::string, int>, TFaceMember> FDescribed;
  std::map<std::string, std::vector<TFaceMember>> FMembers; // by lower-case face
  std::optional<std::vector<TFaceMember>> FFaces;
  std::map<std::pair<std::string, int>, std::weak_ptr<TFaceFile>> FOpen;
  std::map<std::tuple<char32_t, int, bool>, std::optional<TFaceMember>> FFaceFor;
  std::map<std::tuple<char32_t, int, bool, bool>, std::optional<TFaceMember>> FFaceInForm;
};

} // namespace text_detail
