// The file of kept font answers lies in a folder others may write into: what
// it holds is trusted only when it is what this program wrote.
#include "text/FontAnswers.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using text_detail::TFaceMember;
using text_detail::TFontAnswers;

class TFolder {
public:
  TFolder() {
    std::string tmpl = (fs::temp_directory_path() / "glyptika-answers-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FPath = tmpl;
  }
  ~TFolder() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
  }
  std::string operator/(const std::string& Name) const { return (FPath / Name).string(); }

private:
  fs::path FPath;
};

std::string Read(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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
  TFolder folder;
  std::ofstream(folder / "victim") << "untouched";
  for (int k = 0; k < 8; ++k)
    fs::create_symlink(folder / "victim", folder / (".glyptika-" + std::to_string(::getpid()) +
                                                    "-" + std::to_string(k) + ".tmp"));
  Keep(folder / "answers", "Kept Face");
  EXPECT_EQ(Read(folder / "victim"), "untouched");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "answers")));
  const TFontAnswers kept(folder / "answers");
  const std::vector<TFaceMember>* found = kept.Find("sans");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->at(0).Face, "Kept Face");
}

TEST(FontAnswersFile, AnyChangedByteDropsEveryAnswer) {
  TFolder folder;
  Keep(folder / "answers", "Kept Face");
  const std::string whole = Read(folder / "answers");
  ASSERT_NE(TFontAnswers(folder / "answers").Find("sans"), nullptr);
  // Two bytes changed anywhere, the file still well formed or not.
  for (std::size_t at = 0; at + 9 < whole.size(); at += 7) {
    std::string spoilt = whole;
    spoilt[at] ^= 0x01;
    spoilt[at + 9] ^= 0x20;
    std::ofstream(folder / "answers", std::ios::binary | std::ios::trunc) << spoilt;
    EXPECT_EQ(TFontAnswers(folder / "answers").Find("sans"), nullptr) << "bytes " << at;
  }
}

} // namespace
