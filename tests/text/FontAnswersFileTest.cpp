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

TEST(FontAnswersFile, OnlyTheAnswersUsedLastAreKept) {
  TTempDir folder;
  FcConfig* config = FcInitLoadConfig();
  ASSERT_NE(config, nullptr);
  const long long loadedAt = std::time(nullptr) + 3600;
  const std::string longName(131000, 'x');
  std::uintmax_t bytesAfter100 = 0;
  {
    TFontAnswers answers(folder / "answers");
    answers.Add("sans", {Member("Used Face")}, config, loadedAt);
    for (int i = 0; i < 1000; ++i) {
      answers.Add("members\tname " + std::to_string(i), {}, config, loadedAt);
      if (i % 10 == 0) answers.Find("sans");
      if (i == 100) bytesAfter100 = fs::file_size(folder / "answers");
    }
    answers.Add("members\t" + longName, {}, config, loadedAt);
  }
  FcConfigDestroy(config);
  EXPECT_LT(fs::file_size(folder / "answers"), bytesAfter100 + 1000);
  const TFontAnswers kept(folder / "answers");
  EXPECT_NE(kept.Find("sans"), nullptr) << "used all along";
  for (int i = 980; i < 1000; ++i)
    EXPECT_NE(kept.Find("members\tname " + std::to_string(i)), nullptr) << i;
  EXPECT_EQ(kept.Find("members\tname 0"), nullptr);
  EXPECT_EQ(kept.Find("members\t" + longName), nullptr);
}

TEST(FontAnswersFile, AFolderAtTheFilesNameGivesWay) {
  TTempDir folder;
  fs::create_directory(folder / "empty");
  fs::create_directories(folder / "full/inside");
  WriteFile(folder / "full/inside/note", "kept");
  for (const char* name : {"empty", "full"}) {
    Keep(folder / name, "Kept Face");
    const TFontAnswers kept(folder / name);
    ASSERT_NE(kept.Find("sans"), nullptr) << name;
    EXPECT_EQ(kept.Find("sans")->at(0).Face, "Kept Face");
  }
  EXPECT_EQ(ReadFile(folder / "full.moved-aside-1/inside/note"), "kept");
}

} // namespace
