#include "export/Export.h"
#include "export/ExportTestUtil.h"
#include "export/FakeRendering.h"
#include "support/UnattendedPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

// A bitmap of Count vertical stripes, colour i at column i; the background
// (white) last, so it is not entry 0.
TBitmap Stripes(int Count) {
  TBitmap bmp(Count, 2);
  for (int x = 0; x < Count; ++x)
    for (int y = 0; y < 2; ++y)
      bmp.SetPixel(x, y, x == Count - 1 ? 0xFFFFFF : RGB(std::uint8_t(10 * x), 0, 0));
  return bmp;
}

TExportSource SourceOf(const TBitmap& Bmp, std::vector<std::string> Lines = {"x"}) {
  TExportSource source;
  source.Preview = &Bmp;
  source.SurfaceWidth = Bmp.Width();
  source.Lines = std::move(Lines);
  source.Measure = &TFakeFont::Measure;
  return source;
}

// A fake platform that records what the user would see.
struct TRecordingPlatform : TUnattendedPlatform {
  int Beeps = 0;
  std::optional<TColor> Chosen;
  void Beep() override { ++Beeps; }
  std::optional<TColor> ChooseColor(TColor) override { return Chosen; }
};

} // namespace

TEST(ColourTable, GridRowsCellsAndBackgroundMark) {
  struct Case {
    const char* name;
    int colors;
    int rows;
  };
  for (Case c : {Case{"8 colours fill one row", 8, 1}, Case{"9 colours need two rows", 9, 2}}) {
    const TBitmap bmp = Stripes(c.colors);
    TCTable table;
    table.Prepare(SourceOf(bmp));
    EXPECT_EQ(table.GridRowCount(), c.rows) << c.name;
    EXPECT_EQ(table.ColorCount(), c.colors) << c.name;
    EXPECT_EQ(table.Label1Caption(), "Uses color (total " + std::to_string(c.colors) + "):");
    EXPECT_EQ(table.CellText(0, 0), "0") << c.name << ": the top-left pixel's colour comes first";
    EXPECT_EQ(table.CellText((c.colors - 1) % 8, (c.colors - 1) / 8), "16777215") << c.name;
    EXPECT_EQ(table.BackIndex(), c.colors - 1) << c.name;
    EXPECT_TRUE(table.IsBackCell((c.colors - 1) % 8, (c.colors - 1) / 8)) << c.name;
    for (int i = c.colors; i < 8 * c.rows; ++i)
      EXPECT_EQ(table.CellText(i % 8, i / 8), "") << c.name << ": cell " << i << " is crossed";
  }
  EXPECT_EQ(TCTable::BackMarkColor(0xFFFFFF), 0u) << "BG is drawn inverted";
}

TEST(ColourTable, LaterPreparationShowsOnlyItsOwnColours) {
  const TBitmap many = Stripes(24), fewer = Stripes(17);
  TCTable table;
  table.Prepare(SourceOf(many));
  table.Prepare(SourceOf(fewer));
  int coloured = 0, crossed = 0;
  for (int row = 0; row < table.GridRowCount(); ++row)
    for (int col = 0; col < 8; ++col)
      (table.CellColor(col, row) ? coloured : crossed)++;
  EXPECT_EQ(coloured, 17);
  EXPECT_EQ(crossed, 7);
}

TEST(ColourTable, DoubleClickRecoloursOrBeeps) {
  const TBitmap bmp = Stripes(9);
  TCTable table;
  table.Prepare(SourceOf(bmp));
  TRecordingPlatform platform;
  platform.Chosen = RGB(1, 2, 3);
  table.BChColorClick(3, 1, platform); // entry 11: crossed
  EXPECT_EQ(platform.Beeps, 1);
  table.BChColorClick(1, 0, platform);
  EXPECT_EQ(platform.Beeps, 1);
  EXPECT_EQ(table.CellColor(1, 0), RGB(1, 2, 3));
  EXPECT_EQ(table.Gif().GetBitmap(0).GetPixel(1, 1), RGB(1, 2, 3)) << "the preview follows";
  platform.Chosen.reset();
  table.BChColorClick(2, 0, platform);
  EXPECT_EQ(table.CellColor(2, 0), RGB(20, 0, 0)) << "a cancelled dialog changes nothing";
}

TEST(ColourTable, CaptionsCountFilesExactly) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    const char* rs1;
    const char* rs2;
  };
  const Case cases[] = {
      {"A and a are two files", {"Aa"}, "(total 2 GIF-files)", "(total 1)"},
      {"empty line counts on RS2", {"ab", "", "ba"}, "(total 2 GIF-files)", "(total 3)"},
      {"a tab drawn with a width has its file", {"a\tb"}, "(total 3 GIF-files)", "(total 1)"},
      {"a zero-width space has none", {"a\u200Bb"}, "(total 2 GIF-files)", "(total 1)"},
      {"a letter and its mark are one", {"e\u0301e\u0301"}, "(total 1 GIF-files)", "(total 1)"},
  };
  for (const Case& c : cases) {
    const TFakeRendering r(c.lines);
    TCTable table;
    table.Prepare(r.Source);
    EXPECT_EQ(table.RS1Caption(), std::string("Save as HTML with using GIF as chars ") + c.rs1)
        << c.name;
    EXPECT_EQ(table.RS2Caption(), std::string("Save strings as GIF files ") + c.rs2) << c.name;
  }
}

TEST(ColourTable, RenderingWithoutPixelsIsRefusedClearly) {
  const TBitmap empty(0, 32);
  TCTable table;
  try {
    table.Prepare(SourceOf(empty, {"", ""}));
    FAIL() << "no error";
  } catch (const EExportError& e) {
    EXPECT_NE(std::string(e.what()).find("no pixels"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(table.Prepared());
  TUnattendedPlatform platform;
  platform.SaveFileName = "/nonexistent/x.gif";
  EXPECT_THROW(table.BSaveClick(platform), EExportError);
}

TEST(ColourTable, SaveChoiceEnablesItsOptions) {
  TCTable table;
  struct Case {
    TSaveKind kind;
    bool html, mask;
  };
  for (Case c : {Case{TSaveKind::Html, true, false}, Case{TSaveKind::Lines, false, true},
                 Case{TSaveKind::Solid, false, false}}) {
    table.Choices.Save = c.kind;
    EXPECT_EQ(table.HtmlOptionsEnabled(), c.html);
    EXPECT_EQ(table.MaskEnabled(), c.mask);
  }
}

TEST(ColourTable, CutImageCopiesPixelsAndPadsWithWhite) {
  const TFakeRendering r({"Hi"}, TAlign::Left, TWidthMode::ToMaxString, 0, 0, 0x000000);
  TCTable table;
  table.Choices.Transparent = true;
  table.Prepare(r.Source);
  const TRect cell = r.CellOf(0, 0);
  std::unique_ptr<TGif> g = table.CutImage({cell.Left - 2, 0, cell.Right, 20});
  const TBitmap& cut = g->GetBitmap(0);
  ASSERT_EQ(cut.Width(), cell.Width() + 2);
  ASSERT_EQ(cut.Height(), 20);
  EXPECT_EQ(cut.GetPixel(0, 0), 0xFFFFFFu) << "left of the image";
  EXPECT_EQ(cut.GetPixel(2, 0), 0x000000u) << "the black background, though transparent";
  EXPECT_EQ(cut.GetPixel(4, 5), TFakeFont::GlyphColor('H'));
  EXPECT_EQ(cut.GetPixel(4, 17), 0xFFFFFFu) << "below the image";
  EXPECT_TRUE(g->Transparent());
}

TEST(ColourTable, FileNameIsCorrectWhenItExistsOrCanBeMadeAndTheTestMakesNothing) {
  TTempDir dir;
  std::ofstream(dir.Folder() + "old.gif") << "x";
  std::ofstream(dir.Folder() + "plain") << "x";
  std::filesystem::create_directory(dir.Folder() + "sub");
  const struct {
    std::string name;
    bool correct;
  } cases[] = {
      {"new.gif", true},
      {"old.gif", true},
      {"sub/new.gif", true},
      {"missing/x.gif", false},
      {"plain/x.gif", false}, // a file where the folder should be
      {"sub", false},         // a folder is no file
      {"", false},
      {std::string(300, 'n'), false},
      {std::string("a\0b.gif", 7), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TCTable::IsFileNameCorrect(dir.Folder() + c.name), c.correct) << c.name.substr(0, 20);
  // An interrupted save must find no empty file under a final name.
  EXPECT_EQ(dir.Files(), (std::set<std::string>{"old.gif", "plain"}));
}
