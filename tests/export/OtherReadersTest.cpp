// Every kind of file the export writes, read by the programs web sites and
// users read them with: giflib, Pillow (what PHP's getimagesize and most
// tools go by is the logical screen) and netpbm's giftopnm, which refuses an
// image that lies outside the screen.
#include "ExportTestUtil.h"
#include "export/Export.h"
#include "export/RenderSource.h"
#include "render/Render.h"
#include "support/Programs.h"
#include "support/UnattendedPlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {

std::string Run(const std::string& Command) {
  std::string output;
  if (FILE* pipe = ::popen(Command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
      output.append(buffer, n);
    if (::pclose(pipe) != 0) output += "\nEXIT FAILED";
  }
  return output;
}

std::string Quoted(const std::string& Path) {
  return "'" + Path + "'";
}

// Pillow's size, which it takes from the logical screen, as "W H".
std::string PillowSize(const std::string& File) {
  return Run(PythonWith("PIL") +
             " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
             "im.load(); print(*im.size)' " +
             Quoted(File) + " 2>&1");
}

// giftopnm's picture size from the header of the PPM it writes, as "W H".
std::string NetpbmSize(const std::string& File) {
  const std::string out = Run(Program("giftopnm") + " " + Quoted(File) + " 2>&1 | head -c 40");
  std::istringstream in(out);
  std::string magic;
  int w = -1, h = -1;
  in >> magic >> w >> h;
  if (magic != "P6" && magic != "P5" && magic != "P4") return out;
  return std::to_string(w) + " " + std::to_string(h);
}

struct TReaderCase {
  const char* Name;
  TSaveKind Save;
  int Shadow;
  TAlign Align;
};

class OtherReaders : public testing::TestWithParam<TReaderCase> {};

[[maybe_unused]] void PrintTo(const TReaderCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

} // namespace

TEST_P(OtherReaders, ReadEveryFileAtTheSizeOfItsImage) {
  const TReaderCase& c = GetParam();
  TRenderSettings s;
  s.FaceName = "DejaVu Sans";
  s.Size = 24;
  s.Lines = {"Hello", "", "wide World"};
  s.Shadow = c.Shadow > 0;
  s.ShadowDistance = c.Shadow > 0 ? c.Shadow : 1;
  s.Align = c.Align;
  s.WidthMode = TWidthMode::ToString;
  const std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(s, 96);
  ASSERT_TRUE(rendering);

  TTempDir dir;
  TCTable table;
  table.Choices.Save = c.Save;
  table.Choices.Transparent = true;
  table.Choices.Mask = "line%n.gif";
  table.Prepare(ExportSourceOf(*rendering));
  TUnattendedPlatform platform;
  platform.SaveFileName = dir.Folder() + (c.Save == TSaveKind::Html ? "page.html" : "solid.gif");
  platform.Folder = dir.Folder();
  const TSaveResult result = table.BSaveClick(platform);
  EXPECT_TRUE(platform.Errors.empty());

  int gifs = 0;
  for (const std::string& file : result.Written) {
    if (!file.ends_with(".gif")) continue;
    SCOPED_TRACE(file);
    ++gifs;
    const TSavedGif gif = ReadSavedGif(file); // giflib
    ASSERT_GT(gif.Width, 0);
    const std::string bytes = ReadFile(file);
    const int screenW = std::uint8_t(bytes[6]) | std::uint8_t(bytes[7]) << 8;
    const int screenH = std::uint8_t(bytes[8]) | std::uint8_t(bytes[9]) << 8;
    EXPECT_EQ(screenW, gif.Width) << "the logical screen holds the image";
    EXPECT_EQ(screenH, gif.Height);
    const std::string size = std::to_string(gif.Width) + " " + std::to_string(gif.Height);
    EXPECT_EQ(PillowSize(file), size + "\n");
    EXPECT_EQ(NetpbmSize(file), size);
  }
  EXPECT_EQ(gifs, c.Save == TSaveKind::Solid ? 1 : c.Save == TSaveKind::Lines ? 2 : 10);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OtherReaders,
    testing::Values(TReaderCase{"Solid", TSaveKind::Solid, 0, TAlign::Left},
                    TReaderCase{"SolidWithShadow", TSaveKind::Solid, 3, TAlign::Center},
                    TReaderCase{"PerLine", TSaveKind::Lines, 0, TAlign::Right},
                    TReaderCase{"PerLineWithShadow", TSaveKind::Lines, 2, TAlign::Left},
                    TReaderCase{"CharacterImages", TSaveKind::Html, 0, TAlign::Center}),
    [](const testing::TestParamInfo<TReaderCase>& Info) { return std::string(Info.param.Name); });
