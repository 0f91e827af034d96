#include "export/Export.h"
#include "export/ExportTestUtil.h"
#include "export/FakeRendering.h"
#include "support/PlantedLinks.h"
#include "support/UnattendedPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using TFiles = std::set<std::string>;

struct TSaveRun {
  TTempDir Dir;
  TUnattendedPlatform Platform;
  TCTable Table;
  TSaveResult Result;
};

// Saves the rendering's lines into a fresh folder with Mask.
void SaveLines(TSaveRun& Run, const TFakeRendering& R, const std::string& Mask) {
  Run.Table.Choices.Save = TSaveKind::Lines;
  Run.Table.Choices.Mask = Mask;
  Run.Table.Prepare(R.Source);
  Run.Platform.Folder = Run.Dir.Folder();
  Run.Result = Run.Table.BSaveClick(Run.Platform);
}

void SaveHtml(TSaveRun& Run, const TFakeRendering& R, const std::string& Page = "page.html") {
  Run.Table.Choices.Save = TSaveKind::Html;
  Run.Table.Prepare(R.Source);
  Run.Platform.SaveFileName = Run.Dir.Folder() + Page;
  Run.Result = Run.Table.BSaveClick(Run.Platform);
}

} // namespace

TEST(LineExport, NamesFromTheMask) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    const char* mask;
    TFiles files;
  };
  const Case cases[] = {
      {"text", {"Hello", "World"}, "%t.gif", {"Hello.gif", "World.gif"}},
      {"number around an empty line",
       {"Hello", "", "World"},
       "line%n.gif",
       {"line1.gif", "line3.gif"}},
      {"no extension is added", {"Hello"}, "%n_%t", {"1_Hello"}},
      {"second %t stays", {"Hi", "Ho"}, "%t-%t.gif", {"Hi-%t.gif", "Ho-%t.gif"}},
      {"names keep their case", {"A", "a"}, "%t.gif", {"A.gif", "a.gif"}},
  };
  for (const Case& c : cases) {
    TSaveRun run;
    const TFakeRendering r(c.lines);
    SaveLines(run, r, c.mask);
    EXPECT_EQ(run.Dir.Files(), c.files) << c.name;
    EXPECT_TRUE(run.Platform.Errors.empty()) << c.name;
  }
}

TEST(LineExport, EachFileShowsItsOwnLine) {
  TSaveRun run;
  const TFakeRendering r({"A", "", "a"});
  SaveLines(run, r, "line%n.gif");
  const TSavedGif first = ReadSavedGif(run.Dir.Folder() + "line1.gif");
  const TSavedGif third = ReadSavedGif(run.Dir.Folder() + "line3.gif");
  EXPECT_EQ(first.At(3, 5), TFakeFont::GlyphColor('A'));
  EXPECT_EQ(third.At(3, 5), TFakeFont::GlyphColor('a')) << "not the empty second line";
}

TEST(LineExport, RectanglesFollowWidthModeAndAlignment) {
  struct Case {
    const char* name;
    TAlign align;
    TWidthMode widthMode;
    int userWidth;
    int width;      // of the second line's file
    char32_t glyph; // at (1, 5) of that file
  };
  // The first line is 101 pixels wide, the second ("abcde") 40.
  const Case cases[] = {
      {"to string, left", TAlign::Left, TWidthMode::ToString, 0, 40, 'a'},
      {"to string, centred at x = 30", TAlign::Center, TWidthMode::ToString, 0, 40, 'a'},
      {"to string, right", TAlign::Right, TWidthMode::ToString, 0, 40, 'a'},
      {"to max string", TAlign::Center, TWidthMode::ToMaxString, 0, 101, 0},
      {"user width", TAlign::Left, TWidthMode::UserWidth, 150, 150, 'a'},
  };
  for (const Case& c : cases) {
    TSaveRun run;
    const TFakeRendering r({"WWWWWWWWi.", "abcde"}, c.align, c.widthMode, 0, c.userWidth);
    SaveLines(run, r, "%n.gif");
    const TSavedGif second = ReadSavedGif(run.Dir.Folder() + "2.gif");
    EXPECT_EQ(second.Width, c.width) << c.name;
    EXPECT_EQ(second.Height, 16) << c.name;
    if (c.glyph) {
      EXPECT_EQ(second.At(1, 5), TFakeFont::GlyphColor(c.glyph)) << c.name;
    } else {
      EXPECT_EQ(second.At(31, 5), TFakeFont::GlyphColor('a')) << c.name;
    }
  }
}

TEST(LineExport, ShadowRowsBelongToNoLine) {
  TSaveRun run;
  const TFakeRendering r({"ab", "cd"}, TAlign::Left, TWidthMode::ToMaxString, 3);
  SaveLines(run, r, "%n.gif");
  for (const char* name : {"1.gif", "2.gif"}) {
    const TSavedGif gif = ReadSavedGif(run.Dir.Folder() + name);
    EXPECT_EQ(gif.Width, r.Preview.Width()) << name << ": the wider surface";
    EXPECT_EQ(gif.Height, 16) << name << ": the plain line height";
  }
  // The second line's file ends at row 32 of the 35-row image.
  const TSavedGif second = ReadSavedGif(run.Dir.Folder() + "2.gif");
  EXPECT_EQ(second.At(3 + 3, 15), TFakeRendering::ShadowColor) << "shadow of the first row";
}

TEST(LineExport, TextNeverLeavesTheFolder) {
  TSaveRun run;
  const TFakeRendering r({"a/b", "..", "ok"});
  SaveLines(run, r, "%t");
  EXPECT_EQ(run.Dir.Files(), TFiles{"ok"});
  EXPECT_EQ(run.Platform.Errors,
            (std::vector<std::string>{"File name [" + run.Dir.Folder() + "a/b] is not correct!",
                                      "File name [" + run.Dir.Folder() + "..] is not correct!"}));
}

TEST(LineExport, NothingIsSavedWithoutPlaceholderOrFolder) {
  {
    TSaveRun run;
    const TFakeRendering r({"Hello"});
    SaveLines(run, r, "image.gif");
    EXPECT_EQ(run.Platform.Warnings, std::vector<std::string>{"Not find mask blank"});
    EXPECT_TRUE(run.Result.Cancelled);
    EXPECT_TRUE(run.Dir.Files().empty());
  }
  TCTable table;
  const TFakeRendering r({"Hello"});
  table.Choices.Save = TSaveKind::Lines;
  table.Prepare(r.Source);
  TUnattendedPlatform cancelled;
  EXPECT_TRUE(table.BSaveClick(cancelled).Cancelled);
}

TEST(LineExport, ZeroWidthLineIsReportedAndLeavesNoEmptyFile) {
  TSaveRun run;
  const TFakeRendering r({"\xE2\x80\x8B", "ab"}, TAlign::Left, TWidthMode::ToString);
  SaveLines(run, r, "%n.gif");
  EXPECT_EQ(run.Dir.Files(), TFiles{"2.gif"});
  ASSERT_EQ(run.Platform.Errors.size(), 1u);
  EXPECT_NE(run.Platform.Errors[0].find("has no pixels"), std::string::npos);
}

TEST(SolidExport, GifNameGetsItsExtension) {
  struct Case {
    const char* name;
    const char* chosen;
    const char* file;
  };
  const Case cases[] = {
      {"no extension", "banner", "banner.gif"},
      {"own extension kept", "banner.GIF", "banner.GIF"},
      {"hidden name without extension", ".banner", ".banner.gif"},
  };
  for (const Case& c : cases) {
    TSaveRun run;
    const TFakeRendering r({"Hi"});
    run.Table.Choices.Save = TSaveKind::Solid;
    run.Table.Prepare(r.Source);
    run.Platform.SaveFileName = run.Dir.Folder() + c.chosen;
    run.Result = run.Table.BSaveClick(run.Platform);
    EXPECT_EQ(run.Dir.Files(), TFiles{c.file}) << c.name;
    const TSavedGif gif = ReadSavedGif(run.Dir.Folder() + c.file);
    EXPECT_EQ(gif.Width, r.Preview.Width()) << c.name;
  }
}

TEST(HtmlExport, PageAndImagesOfHi) {
  TSaveRun run;
  const TFakeRendering r({"Hi"});
  SaveHtml(run, r);
  EXPECT_EQ(run.Dir.Files(), (TFiles{"page.html", "img_char/72.gif", "img_char/105.gif"}));
  EXPECT_EQ(ReadFile(run.Dir.Folder() + "page.html"),
            "<html><body>\r\n"
            "<img src=\"img_char/72.gif\" ><img src=\"img_char/105.gif\" ><br>\r\n"
            "</body></html>\r\n");
  const TSavedGif h = ReadSavedGif(run.Dir.Folder() + "img_char/72.gif");
  const TSavedGif i = ReadSavedGif(run.Dir.Folder() + "img_char/105.gif");
  EXPECT_EQ(h.Width, 8);
  EXPECT_EQ(i.Width, 4);
  EXPECT_EQ(h.At(2, 5), TFakeFont::GlyphColor('H'));
  EXPECT_EQ(i.At(1, 5), TFakeFont::GlyphColor('i'));
}

TEST(HtmlExport, NamesByCharKeepCaseAndRefuseSlash) {
  TSaveRun run;
  const TFakeRendering r({"Aa/", "iA"});
  run.Table.Choices.NameAsChar = true;
  run.Table.Choices.WriteSize = true;
  SaveHtml(run, r);
  EXPECT_EQ(run.Dir.Files(),
            (TFiles{"page.html", "img_char/A.gif", "img_char/a.gif", "img_char/i.gif"}));
  EXPECT_EQ(ReadSavedGif(run.Dir.Folder() + "img_char/a.gif").At(2, 5), TFakeFont::GlyphColor('a'))
      << "a.gif is cut from the a";
  EXPECT_EQ(run.Platform.Errors, std::vector<std::string>{"File name [" + run.Dir.Folder() +
                                                          "img_char//.gif] is not correct!"});
  const std::string page = ReadFile(run.Dir.Folder() + "page.html");
  EXPECT_NE(page.find("<img src=\"img_char/%2F.gif\" width=8 height=16 >"), std::string::npos)
      << "the page still refers to the refused image";
  EXPECT_NE(page.find("<img src=\"img_char/i.gif\" width=4 height=16 >"
                      "<img src=\"img_char/A.gif\" width=8 height=16 ><br>"),
            std::string::npos);
}

TEST(HtmlExport, CellsFollowTheAlignment) {
  struct Case {
    const char* name;
    TAlign align;
  };
  for (Case c : {Case{"left", TAlign::Left}, Case{"centre, first cell at x = 30", TAlign::Center},
                 Case{"right", TAlign::Right}}) {
    TSaveRun run;
    const TFakeRendering r({"WWWWWWWWi.", "", "abcde"}, c.align);
    SaveHtml(run, r);
    for (char32_t ch : {'a', 'b', 'e'}) {
      const TSavedGif gif =
          ReadSavedGif(run.Dir.Folder() + "img_char/" + std::to_string(ch) + ".gif");
      EXPECT_EQ(gif.At(2, 5), TFakeFont::GlyphColor(ch)) << c.name << " " << char(ch);
    }
    const std::string page = ReadFile(run.Dir.Folder() + "page.html");
    EXPECT_NE(page.find("\r\n<br>\r\n"), std::string::npos) << c.name << ": the empty line";
  }
}

TEST(HtmlExport, PageIsWholeOrNotWritten) {
  {
    TSaveRun run;
    const TFakeRendering r({"Hi"});
    EXPECT_THROW(SaveHtml(run, r, "missing/page.html"), std::system_error);
    EXPECT_TRUE(run.Dir.Files().empty()) << "nothing made, not even the image folder";
    EXPECT_FALSE(std::filesystem::exists(run.Dir.Folder() + "missing"));
  }
  TSaveRun run;
  std::filesystem::create_directory(run.Dir.Folder() + "img_char");
  { std::ofstream(run.Dir.Folder() + "page.html") << "old page"; }
  const TFakeRendering r({"Hi"});
  run.Platform.OpenResult = true;
  SaveHtml(run, r);
  EXPECT_EQ(ReadFile(run.Dir.Folder() + "page.html").substr(0, 14), "<html><body>\r\n");
  EXPECT_EQ(run.Dir.Files(), (TFiles{"page.html", "img_char/72.gif", "img_char/105.gif"}))
      << "no temporary file left behind";
  EXPECT_EQ(run.Platform.Opened, std::vector<std::string>{run.Dir.Folder() + "page.html"});
}

TEST(HtmlExport, ShadowedRenderingIsRefusedBeforeAnythingIsWritten) {
  TSaveRun run;
  const TFakeRendering r({"Hi"}, TAlign::Left, TWidthMode::ToMaxString, 3);
  EXPECT_THROW(SaveHtml(run, r), EExportError);
  EXPECT_TRUE(run.Dir.Files().empty());
}

TEST(HtmlExport, CancelledDialogWritesNothing) {
  TSaveRun run;
  const TFakeRendering r({"Hi"});
  run.Table.Prepare(r.Source);
  EXPECT_TRUE(run.Table.BSaveClick(run.Platform).Cancelled);
  EXPECT_TRUE(run.Dir.Files().empty());
}

// The dialog's colour edits and transparency reach every file of every save.
TEST(Export, RecolouringAndTransparencyReachEverySavedFile) {
  const TColor red = RGB(255, 0, 0);
  for (TSaveKind kind : {TSaveKind::Solid, TSaveKind::Lines, TSaveKind::Html})
    for (bool transparent : {false, true}) {
      const std::string name = std::string(kind == TSaveKind::Solid   ? "solid"
                                           : kind == TSaveKind::Lines ? "lines"
                                                                      : "html") +
                               (transparent ? ", transparent" : ", opaque");
      TSaveRun run;
      const TFakeRendering r({"Hi", "", "ab"});
      run.Table.Choices.Save = kind;
      run.Table.Choices.Mask = "%n.gif";
      run.Table.Prepare(r.Source);
      ASSERT_TRUE(run.Table.RecolorListed(0xFFFFFF, red)) << name;
      EXPECT_EQ(run.Table.CellText(0, 0), std::to_string(red)) << name;
      EXPECT_TRUE(run.Table.IsBackCell(0, 0)) << name << ": BG stays on its entry";
      run.Table.CBTransparentClick(transparent);
      run.Platform.Folder = run.Dir.Folder();
      run.Platform.SaveFileName = run.Dir.Folder() + (kind == TSaveKind::Solid ? "all" : "p.html");
      run.Result = run.Table.BSaveClick(run.Platform);
      int gifs = 0;
      for (const std::string& file : run.Result.Written) {
        if (file.ends_with(".html")) continue;
        ++gifs;
        const TSavedGif gif = ReadSavedGif(file);
        EXPECT_FALSE(gif.UsedColors().contains(0xFFFFFF)) << name << ": " << file;
        EXPECT_TRUE(gif.UsedColors().contains(red)) << name << ": " << file;
        EXPECT_EQ(gif.Transparent, transparent) << name << ": " << file;
        if (transparent) {
          EXPECT_EQ(gif.TransparentColor(), red) << name << ": " << file;
        }
      }
      EXPECT_EQ(gifs, kind == TSaveKind::Solid ? 1 : kind == TSaveKind::Lines ? 2 : 4) << name;
    }
}

TEST(LineExport, FailedSaveLeavesNoEmptyFile) {
  // A name at the file system's limit leaves no room for a temporary beside it.
  TSaveRun run;
  const TFakeRendering r({std::string(250, 'x'), "ok"});
  try {
    SaveLines(run, r, "%t");
  } catch (const std::exception&) {
    // the save may end here; what matters is what it left
  }
  for (const std::string& name : run.Dir.Files())
    EXPECT_GT(std::filesystem::file_size(run.Dir.Folder() + name), 0u) << name.substr(0, 12);
}

TEST(Export, ALinkPlantedAtATemporarysNameIsNeverFollowed) {
  for (const TSaveKind kind : {TSaveKind::Solid, TSaveKind::Lines, TSaveKind::Html}) {
    TSaveRun run;
    const TPlantedLinks planted(run.Dir / "victim.txt", {run.Dir.Path(), run.Dir / "img_char"});
    const TFakeRendering r({"Hi"});
    if (kind == TSaveKind::Lines) {
      SaveLines(run, r, "%t.gif");
    } else if (kind == TSaveKind::Html) {
      SaveHtml(run, r);
    } else {
      run.Table.Choices.Save = kind;
      run.Table.Prepare(r.Source);
      run.Platform.SaveFileName = run.Dir.Folder() + "Hi.gif";
      run.Result = run.Table.BSaveClick(run.Platform);
    }
    planted.ExpectUntouched();
    ASSERT_FALSE(run.Result.Written.empty());
    for (const std::string& written : run.Result.Written)
      EXPECT_FALSE(std::filesystem::is_symlink(written)) << written;
    const std::string image = kind == TSaveKind::Html ? run.Dir.Folder() + "img_char/72.gif"
                                                      : run.Dir.Folder() + "Hi.gif";
    EXPECT_EQ(ReadSavedGif(image).Width, kind == TSaveKind::Solid   ? r.Preview.Width()
                                         : kind == TSaveKind::Lines ? r.Source.Measure("Hi").Width
                                                                    : r.Source.Measure("H").Width);
  }
}

TEST(Export, OutputsThatNameAFolderOrAnUnusableImageFolderWriteNothing) {
  struct Case {
    const char* name;
    TSaveKind kind;
    const char* chosen;
    void (*plant)(const std::string& dir);
  };
  const Case cases[] = {
      {"solid: a folder", TSaveKind::Solid, "sub", nullptr},
      {"solid: a folder's slash", TSaveKind::Solid, "sub/", nullptr},
      {"solid: dot", TSaveKind::Solid, ".", nullptr},
      {"page: a folder", TSaveKind::Html, "sub", nullptr},
      {"page: img_char a file", TSaveKind::Html, "page.html",
       [](const std::string& d) { std::ofstream(d + "img_char") << "x"; }},
      {"page: img_char a dangling link", TSaveKind::Html, "page.html",
       [](const std::string& d) { std::filesystem::create_symlink("gone", d + "img_char"); }},
  };
  for (const Case& c : cases) {
    TSaveRun run;
    std::filesystem::create_directory(run.Dir.Folder() + "sub");
    std::ofstream(run.Dir.Folder() + "page.html") << "old page";
    if (c.plant) c.plant(run.Dir.Folder());
    const TFiles before = run.Dir.Files();
    const TFakeRendering r({"Hi"});
    run.Table.Choices.Save = c.kind;
    run.Table.Prepare(r.Source);
    run.Platform.SaveFileName = run.Dir.Folder() + c.chosen;
    EXPECT_ANY_THROW(run.Table.BSaveClick(run.Platform)) << c.name;
    EXPECT_EQ(run.Dir.Files(), before) << c.name;
    EXPECT_EQ(ReadFile(run.Dir.Folder() + "page.html"), "old page") << c.name;
  }
}

TEST(ColourTable, ManyRecolourPairsAtOnceEqualOneEditAfterAnother) {
  const TFakeRendering r({"Hi", "ab"});
  TCTable stepwise, atOnce;
  stepwise.Prepare(r.Source);
  atOnce.Prepare(r.Source);
  const TGifColorTable& table = stepwise.Gif().GetColorTable(0);
  ASSERT_GE(stepwise.ColorCount(), 3);
  const TColor a = table.Colors[0], b = table.Colors[1], c = table.Colors[2];
  // Chains and cycles: a later pair may find the colour an earlier one gave.
  std::vector<std::pair<TColor, TColor>> pairs;
  for (int i = 0; i < 3000; ++i)
    pairs.push_back(i % 2 ? std::pair{0x123456u, a} : std::pair{a, 0x123456u});
  pairs.push_back({b, c});
  pairs.push_back({c, 0x00FF00});
  for (const auto& [from, to] : pairs)
    ASSERT_TRUE(stepwise.RecolorListed(from, to));
  EXPECT_EQ(atOnce.RecolorListed(pairs), pairs.size());
  const TBitmap& x = stepwise.Gif().GetBitmap(0);
  const TBitmap& y = atOnce.Gif().GetBitmap(0);
  for (int row = 0; row < x.Height(); ++row)
    for (int col = 0; col < x.Width(); ++col)
      ASSERT_EQ(x.GetPixel(col, row), y.GetPixel(col, row)) << col << "," << row;
  for (int i = 0; i < stepwise.ColorCount(); ++i)
    EXPECT_EQ(stepwise.CellText(i % 8, i / 8), atOnce.CellText(i % 8, i / 8)) << i;
  // A colour no entry has stops the list there; those before it stay applied.
  EXPECT_EQ(atOnce.RecolorListed({{0x00FF00, 0x0000FF}, {0xABCDEF, 0}, {0x0000FF, 0}}), 1u);
}
