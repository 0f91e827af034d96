// Files written by outside encoders (giflib here, Pillow through Python) must
// read back as giflib's decoder reads them: same screen, tables, images,
// indices and extension fields.
#include "GiflibEncode.h"
#include "gif/Gif.h"
#include "support/Files.h"
#include "support/GiflibDecode.h"
#include "support/Programs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

namespace {

using giflib_encode::TExtension;
using giflib_encode::TFile;
using giflib_encode::TImage;
using giflib_encode::TRgb;
using TBytes = std::vector<std::uint8_t>;

std::vector<std::uint32_t> OurColors(TGif& Gif, int Index) {
  const TGifColorTable& table = Gif.GetColorTable(Index);
  return {table.Colors.begin(), table.Colors.begin() + table.Count};
}

std::vector<std::vector<std::uint8_t>> DataBlocks(const TGifExtension& Ext) {
  std::vector<std::vector<std::uint8_t>> out;
  for (const TGifSubBlock& b : Ext.Data)
    out.emplace_back(b.Bytes.begin(), b.Bytes.begin() + b.Length);
  return out;
}

void ExpectSameExtension(const TGifExtension& Have, const GiflibExtension& Want) {
  ASSERT_EQ(Have.Kind, Want.Function);
  auto rest = Want.Blocks;
  if (Have.Kind == 0xFE) {
    EXPECT_EQ(DataBlocks(Have), rest) << "comment sub-blocks";
    return;
  }
  ASSERT_FALSE(rest.empty());
  const std::vector<std::uint8_t> head = rest.front();
  rest.erase(rest.begin());
  EXPECT_EQ(Have.BlockSize, int(head.size()));
  auto u16 = [&](std::size_t at) { return head[at] | head[at + 1] << 8; };
  switch (Have.Kind) {
  case 0xF9:
    ASSERT_EQ(head.size(), 4u);
    EXPECT_EQ(Have.Disposal, head[0] >> 2 & 7);
    EXPECT_EQ(Have.UserInput, (head[0] & 2) != 0);
    EXPECT_EQ(Have.Transparent, (head[0] & 1) != 0);
    EXPECT_EQ(Have.Delay, u16(1));
    EXPECT_EQ(Have.TransparentIndex, head[3]);
    EXPECT_TRUE(rest.empty());
    break;
  case 0x01:
    ASSERT_EQ(head.size(), 12u);
    EXPECT_EQ(Have.GridLeft, u16(0));
    EXPECT_EQ(Have.GridTop, u16(2));
    EXPECT_EQ(Have.GridWidth, u16(4));
    EXPECT_EQ(Have.GridHeight, u16(6));
    EXPECT_EQ(Have.CellWidth, head[8]);
    EXPECT_EQ(Have.CellHeight, head[9]);
    EXPECT_EQ(Have.ForegroundIndex, head[10]);
    EXPECT_EQ(Have.BackgroundIndex, head[11]);
    EXPECT_EQ(DataBlocks(Have), rest) << "plain text sub-blocks";
    break;
  case 0xFF:
    ASSERT_EQ(head.size(), 11u);
    EXPECT_TRUE(std::equal(Have.Identifier.begin(), Have.Identifier.end(), head.begin()));
    EXPECT_TRUE(std::equal(Have.AuthCode.begin(), Have.AuthCode.end(), head.begin() + 8));
    EXPECT_EQ(DataBlocks(Have), rest) << "application sub-blocks";
    break;
  default:
    ADD_FAILURE() << "unexpected extension " << Have.Kind;
  }
}

// Reads Bytes with both decoders and compares everything giflib reports.
void ExpectSameAsGiflib(const TBytes& Bytes) {
  const GiflibGif want = GiflibDecode(Bytes);
  ASSERT_EQ(want.Error, "") << "giflib could not read the file";
  TGif gif;
  gif.LoadFromBytes(Bytes);

  EXPECT_EQ(gif.Signature(), want.Version);
  EXPECT_EQ(gif.Width(), want.ScreenWidth);
  EXPECT_EQ(gif.Height(), want.ScreenHeight);
  EXPECT_EQ(gif.Screen().BackgroundIndex, Bytes[11]);
  EXPECT_EQ(gif.Screen().AspectRatio, Bytes[12]);
  if (want.GlobalColors.empty()) {
    EXPECT_FALSE(gif.Screen().HasGlobalColorTable);
  } else {
    EXPECT_EQ(OurColors(gif, gif.Screen().GlobalColorTable), want.GlobalColors);
  }

  ASSERT_EQ(gif.ImageCount(), int(want.Images.size()));
  for (int i = 0; i < gif.ImageCount(); ++i) {
    SCOPED_TRACE("image " + std::to_string(i));
    const TGifImageRecord& have = gif.GetImage(i);
    const GiflibImage& w = want.Images[std::size_t(i)];
    EXPECT_EQ(have.Left, w.Left);
    EXPECT_EQ(have.Top, w.Top);
    EXPECT_EQ(have.Width, w.Width);
    EXPECT_EQ(have.Height, w.Height);
    EXPECT_EQ(have.Interlaced, w.Interlaced);
    EXPECT_EQ(have.HasLocalColorTable, !w.LocalColors.empty());
    if (have.HasLocalColorTable) {
      EXPECT_EQ(OurColors(gif, have.ColorTableIndex), w.LocalColors);
    }
    // One assertion for the whole array: a mismatch names the first pixel.
    const auto mismatch = std::mismatch(have.PixelIndices.begin(), have.PixelIndices.end(),
                                        w.Pixels.begin(), w.Pixels.end());
    EXPECT_TRUE(mismatch.first == have.PixelIndices.end() && mismatch.second == w.Pixels.end())
        << "pixel " << (mismatch.first - have.PixelIndices.begin()) << " of "
        << have.PixelIndices.size() << ": have "
        << (mismatch.first == have.PixelIndices.end() ? -1 : *mismatch.first) << " want "
        << (mismatch.second == w.Pixels.end() ? -1 : *mismatch.second);
    const std::size_t extensions = have.Extensions ? have.Extensions->size() : 0;
    ASSERT_EQ(extensions, w.Extensions.size());
    for (std::size_t e = 0; e < extensions; ++e)
      ExpectSameExtension((*have.Extensions)[e], w.Extensions[e]);
  }
}

std::vector<TRgb> Palette(int Count, unsigned Seed) {
  std::mt19937 random(Seed);
  std::vector<TRgb> colors;
  for (int i = 0; i < Count; ++i)
    colors.push_back({std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random())});
  return colors;
}

// Runs of random length and colour, as rendered text gives; RunLength 1 is noise.
TBytes Pixels(int Width, int Height, int Colors, int RunLength, unsigned Seed) {
  std::mt19937 random(Seed);
  TBytes out(std::size_t(Width) * std::size_t(Height));
  std::uint8_t value = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (int(random() % unsigned(RunLength)) == 0) value = std::uint8_t(random() % unsigned(Colors));
    out[i] = value;
  }
  return out;
}

TImage Picture(int Width, int Height, int Colors, int RunLength, unsigned Seed) {
  TImage image;
  image.Width = Width;
  image.Height = Height;
  image.Pixels = Pixels(Width, Height, Colors, RunLength, Seed);
  return image;
}

TFile OneImageFile(TImage Image, int Colors) {
  TFile file;
  file.Width = Image.Width;
  file.Height = Image.Height;
  file.GlobalColors = Palette(Colors, 7);
  file.Images.push_back(std::move(Image));
  return file;
}

struct TGiflibCase {
  const char* Name;
  std::function<TFile()> Make;
};

std::string GiflibName(const testing::TestParamInfo<TGiflibCase>& Info) {
  return Info.param.Name;
}

class GiflibWritten : public testing::TestWithParam<TGiflibCase> {};

TEST_P(GiflibWritten, ReadsAsGiflibReadsIt) {
  ExpectSameAsGiflib(giflib_encode::Encode(GetParam().Make()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, GiflibWritten,
    testing::Values(
        TGiflibCase{"OnePixel", [] { return OneImageFile(Picture(1, 1, 2, 1, 1), 2); }},
        TGiflibCase{"CodeSize2", [] { return OneImageFile(Picture(37, 11, 4, 3, 2), 4); }},
        TGiflibCase{"CodeSize5", [] { return OneImageFile(Picture(64, 9, 32, 2, 3), 32); }},
        // noise in 256 colours fills the table again and again: many clear codes
        TGiflibCase{"TableResets", [] { return OneImageFile(Picture(300, 300, 256, 1, 4), 256); }},
        TGiflibCase{"TwoColourText2000",
                    [] { return OneImageFile(Picture(2000, 2000, 2, 40, 5), 2); }},
        TGiflibCase{"SixteenColours2000",
                    [] { return OneImageFile(Picture(2000, 2000, 16, 6, 6), 16); }},
        TGiflibCase{"LongRunsLongerThanRows",
                    [] {
                      TImage image = Picture(50, 80, 4, 500, 8);
                      image.Interlaced = true;
                      return OneImageFile(image, 4);
                    }},
        TGiflibCase{"Gif87a",
                    [] {
                      TFile file = OneImageFile(Picture(20, 20, 8, 4, 9), 8);
                      file.Gif89 = false;
                      return file;
                    }},
        TGiflibCase{"LocalTablesAndSeveralImages",
                    [] {
                      TFile file;
                      file.Width = 64;
                      file.Height = 48;
                      file.Background = 3;
                      file.GlobalColors = Palette(8, 10);
                      file.Images.push_back(Picture(64, 48, 8, 5, 11));
                      TImage local = Picture(20, 10, 4, 2, 12);
                      local.Left = 7;
                      local.Top = 30;
                      local.LocalColors = Palette(4, 13);
                      file.Images.push_back(local);
                      TImage wide = Picture(33, 17, 256, 1, 14);
                      wide.Left = 31;
                      wide.Top = 31;
                      wide.Interlaced = true;
                      wide.LocalColors = Palette(256, 15);
                      file.Images.push_back(wide);
                      return file;
                    }},
        TGiflibCase{"OnlyLocalTables",
                    [] {
                      TFile file;
                      file.Width = file.Height = 10;
                      TImage image = Picture(10, 10, 2, 3, 16);
                      image.LocalColors = Palette(2, 17);
                      file.Images.push_back(image);
                      return file;
                    }},
        TGiflibCase{"AllFourExtensionKinds",
                    [] {
                      TFile file = OneImageFile(Picture(30, 20, 16, 4, 18), 16);
                      const std::vector<std::uint8_t> netscape{'N', 'E', 'T', 'S', 'C', 'A',
                                                               'P', 'E', '2', '.', '0'};
                      const std::vector<std::uint8_t> text(255, 'x');
                      file.Images[0].Extensions = {
                          {0xFF, {netscape, {1, 0, 0}}},
                          {0xFE, {text, text, {'e', 'n', 'd'}}},
                          giflib_encode::GraphicControl(2, true, true, 0x1234, 5),
                          {0x01, {{1, 0, 2, 0, 30, 0, 20, 0, 8, 16, 1, 0}, {'H', 'i'}, {'!'}}}};
                      TImage second = Picture(5, 5, 16, 1, 19);
                      second.Extensions = {giflib_encode::GraphicControl(1, false, false, 7, 0)};
                      file.Images.push_back(second);
                      return file;
                    }}),
    GiflibName);

TEST(GiflibWritten, InterlacedImagesOf1To20Rows) {
  for (int height = 1; height <= 20; ++height) {
    SCOPED_TRACE("height " + std::to_string(height));
    TImage image = Picture(13, height, 16, 3, unsigned(100 + height));
    image.Interlaced = true;
    ExpectSameAsGiflib(giflib_encode::Encode(OneImageFile(image, 16)));
  }
}

// Pillow writes its files in a script of its own; it may drop or reorder what
// we do not ask for, so the check is again against giflib's reading of them.
TEST(PillowWritten, ReadsAsGiflibReadsIt) {
  const TTempDir temp;
  const std::filesystem::path& dir = temp.Path();
  const auto script = dir / "make.py";
  std::ofstream(script) << R"(
import random, sys
from PIL import Image
out = sys.argv[1]
random.seed(3)
def picture(w, h, colours, run):
    im = Image.new('P', (w, h))
    im.putpalette([random.randrange(256) for _ in range(3 * colours)])
    v, data = 0, []
    for _ in range(w * h):
        if random.randrange(run) == 0:
            v = random.randrange(colours)
        data.append(v)
    im.putdata(data)
    return im
picture(61, 17, 2, 9).save(out + '/two.gif')
picture(100, 40, 16, 4).save(out + '/interlaced.gif', interlace=True)
picture(100, 40, 16, 4).save(out + '/plain.gif', interlace=False)
picture(64, 64, 256, 1).save(out + '/noise.gif')
frames = [picture(40, 30, 8, 3) for _ in range(3)]
frames[0].save(out + '/anim.gif', save_all=True, append_images=frames[1:], duration=[10, 20, 30],
               loop=0, comment=b'made by Pillow', transparency=0, disposal=2, optimize=False)
)";
  const std::string command = PythonWith("PIL") + " " + script.string() + " " + dir.string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".gif") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const TBytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ExpectSameAsGiflib(bytes);
    ++files;
  }
  EXPECT_EQ(files, 5);
}

} // namespace
