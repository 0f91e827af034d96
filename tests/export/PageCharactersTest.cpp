// The HTML page's characters from real renderings: a letter and its marks are
// one image, a character that draws nothing has none, and the dialog's count
// is the number of image files the page save writes.
#include "ExportTestUtil.h"
#include "export/Export.h"
#include "export/ExportText.h"
#include "export/RenderSource.h"
#include "render/AutoFill.h"
#include "render/Render.h"
#include "support/UnattendedPlatform.h"

#include <gtest/gtest.h>

namespace {

std::optional<TRenderResult> Rendering(std::vector<std::string> Lines,
                                       const char* Face = "DejaVu Sans") {
  TRenderSettings s;
  s.FaceName = Face;
  s.Size = 20;
  s.Lines = std::move(Lines);
  return TTextRasteriser().RenderText(s, 96);
}

struct TSavedPage {
  TSaveResult Result;
  std::vector<std::string> Errors;
  std::set<std::string> Images; // file names in img_char
  int Count = 0;                // what RS1's caption announced
};

TSavedPage SavePage(const TRenderResult& R, bool NameAsChar, bool Script,
                    const std::string& PageName = "page.html") {
  TTempDir dir;
  TCTable table;
  table.Choices.NameAsChar = NameAsChar;
  table.Choices.IncludeScript = Script;
  table.Prepare(ExportSourceOf(R));
  TUnattendedPlatform platform;
  platform.SaveFileName = dir.Folder() + PageName;
  TSavedPage saved;
  saved.Count = table.DistinctCharCount();
  saved.Result = table.SaveHtml(platform);
  saved.Errors = platform.Errors;
  for (const std::string& file : dir.Files())
    if (file.starts_with("img_char/")) saved.Images.insert(file.substr(9));
  return saved;
}

} // namespace

TEST(PageCharacters, CaptionCountsTheFilesTheSaveWrites) {
  struct Case {
    const char* Name;
    std::vector<std::string> Lines;
  };
  const Case cases[] = {
      {"upper and lower case", {"Aa", "aA"}},
      {"a tab is drawn, so it has its file", {"a\tb"}},
      {"combining acute after e", {"e\xCC\x81t\xC3\xA9"}},
      {"zero-width space and BOM", {"x\xE2\x80\x8By\xEF\xBB\xBFz"}},
      {"a mark with nothing to sit on",
       {"\xCC\x81"
        "ab"}},
      {"all 224 characters", AutoFillLines(afAllChars)},
  };
  for (const Case& c : cases)
    for (bool byChar : {false, true})
      for (bool script : {false, true}) {
        SCOPED_TRACE(std::string(c.Name) + (byChar ? ", by char" : ", by code") +
                     (script ? ", script" : ", plain"));
        const auto r = Rendering(c.Lines);
        ASSERT_TRUE(r);
        const TSavedPage saved = SavePage(*r, byChar, script);
        // The one name a file system refuses is "/" by its character.
        const bool slash =
            byChar && std::any_of(c.Lines.begin(), c.Lines.end(), [](const std::string& Line) {
              return Line.find('/') != std::string::npos;
            });
        EXPECT_EQ(saved.Errors.size(), slash ? 1u : 0u);
        EXPECT_EQ(saved.Count, int(saved.Images.size()) + (slash ? 1 : 0));
      }
}

TEST(PageCharacters, MarksJoinTheirLetterAndInvisibleCharactersGetNoImageOrTag) {
  const auto r = Rendering({"e\xCC\x81 x\xE2\x80\x8By\xEF\xBB\xBF\xCC\x81"});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Lines[0], "\xC3\xA9 x\xE2\x80\x8By\xEF\xBB\xBF\xCC\x81")
      << "the rendering draws the composed text";
  const TSavedPage saved = SavePage(*r, false, false);
  EXPECT_TRUE(saved.Errors.empty());
  EXPECT_EQ(saved.Images, (std::set<std::string>{"233.gif", "32.gif", "120.gif", "121.gif"}));
  TTempDir dir;
  TCTable table;
  table.Prepare(ExportSourceOf(*r));
  TUnattendedPlatform platform;
  platform.SaveFileName = dir.Folder() + "page.html";
  table.SaveHtml(platform);
  const std::string page = ReadFile(dir.Folder() + "page.html");
  EXPECT_EQ(page.find("8203"), std::string::npos) << page;
  EXPECT_EQ(page.find("65279"), std::string::npos) << page;
  EXPECT_EQ(page.find("769"), std::string::npos) << page;
  EXPECT_NE(page.find("<img src=\"img_char/233.gif\" ><img src=\"img_char/32.gif\" >"),
            std::string::npos)
      << page;

  // The script writes a tag per character of its lines: none for these either.
  table.Choices.IncludeScript = true;
  table.SaveHtml(platform);
  const std::string script = ReadFile(dir.Folder() + "page.html");
  EXPECT_NE(script.find("mywrite(\"\\u00E9 xy\");"), std::string::npos) << script;
}

TEST(PageCharacters, PageNameWithoutExtensionGetsHtml) {
  const auto r = Rendering({"Hi"});
  ASSERT_TRUE(r);
  struct Case {
    const char* Given;
    const char* Written;
  };
  const Case cases[] = {
      {"page", "page.html"},
      {"page.htm", "page.htm"},
      {"page.HTML", "page.HTML"},
      {".hidden", ".hidden.html"},
      {"my.site/index", "my.site/index.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Given);
    TTempDir dir;
    std::filesystem::create_directory(dir.Folder() + "my.site");
    TCTable table;
    table.Prepare(ExportSourceOf(*r));
    TUnattendedPlatform platform;
    platform.SaveFileName = dir.Folder() + c.Given;
    const TSaveResult result = table.SaveHtml(platform);
    EXPECT_EQ(result.Written.back(), dir.Folder() + c.Written);
    EXPECT_TRUE(std::filesystem::exists(dir.Folder() + c.Written));
    EXPECT_FALSE(std::string(c.Given) != c.Written &&
                 std::filesystem::exists(dir.Folder() + c.Given));
  }
}
