// The file of kept font answers lies in a folder others may write into: what
// it holds is trusted only when it is what this program wrote.
#include "support/Files.h"
#include "support/PlantedLinks.h"
#include "text/FontAnswers.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using text_detail::TFaceMember;
using text_detail::TFontAnswers;

TFaceMember Member(const std::string& Face) {
  TFaceMember m;
  m.File = "/fonts/" + Face + ".ttf";
  m.Face = Face;
  m.Style = "Regular";
  m.FullName = Face + " Regular";
  return m;
}

// Written as a run would write it: the files fontconfig read are older than
// the moment it loaded them.
void Keep(const std::string& File, const std::string& Face) {
  TFontAnswers answers(File);
  FcConfig* config = FcInitLoadConfig();
  ASSERT_NE(config, nullptr);
  answers.Add("sans", {Member(Face)}, config, std::time(nullptr) + 3600);
  FcConfigDestroy(config);
}

TEST(FontAnswersFile, ALinkPlantedAtTheTemporarysNameIsNotFollowed) {
  TTempDir folder;
  const TPlantedLinks planted(folder / "victim", {folder.Path()});
  Keep(folder / "answers", "Kept Face");
  planted.ExpectUntouched();
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "answers")));
  const TFontAnswers kept(folder / "answers");
  const std::vector<TFaceMember>* found = kept.Find("sans");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->at(0).Face, "Kept Face");
}

TEST(FontAnswersFile, AnyChangedByteDropsEveryAnswer) {
  TTempDir folder;
  Keep(folder / "answers", "Kept Face");
  const std::string whole = ReadFile(folder / "answers");
  ASSERT_NE(TFontAnswers(folder / "answers").Find("sans"), nullptr);
  // Two bytes changed anywhere, the file still well formed or not.
  for (std::size_t at = 0; at + 9 < whole.size(); at += 7) {
    std::string spoilt = whole;
    spoilt[at] ^= 0x01;
    spoilt[at + 9] ^= 0x20;
    WriteFile(folder / "answers", spoilt);
    EXPECT_EQ(TFontAnswers(folder / "answers").Find("sans"), nullptr) << "bytes " << at;
  }
}

} // namespace
