// Fields a reader relies on, each with a value no default gives: the screen's
// background index, aspect ratio and sort flags as written, the logical
// screen a file declares, the last entry of a full code table, the
// transparent colour found under the coarsest mask, and the phase texts.
#include "ReadGifBytes.h"
#include "WriteHelpers.h"

#include <gtest/gtest.h>

using namespace read_gif_bytes;

TEST(WrittenFields, ScreenAndImageFieldsAreWrittenAsTheModelHoldsThem) {
  struct Row {
    const char* Name;
    int Background, Aspect;
    bool ScreenSorted, ImageSorted;
  };
  const Row rows[] = {
      {"all set", 7, 49, true, true},
      {"only the image sorted", 255, 1, false, true},
      {"only the screen sorted", 1, 255, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    auto gif = MakeIndexedGif(3, 2, {0, 1, 2, 3, 4, 5}, 8, 8);
    gif->Screen().BackgroundIndex = row.Background;
    gif->Screen().AspectRatio = row.Aspect;
    gif->Screen().Sorted = row.ScreenSorted;
    gif->GetImage(0).Sorted = row.ImageSorted;
    const std::vector<std::uint8_t> out = gif->SaveToBytes();
    EXPECT_EQ(out[10] & 0x08, row.ScreenSorted ? 0x08 : 0);
    EXPECT_EQ(out[11], row.Background);
    EXPECT_EQ(out[12], row.Aspect);
    const std::size_t descriptor = 13 + 3 * 8; // no extensions: the image follows the table
    ASSERT_EQ(out[descriptor], 0x2C);
    EXPECT_EQ(out[descriptor + 9] & 0x20, row.ImageSorted ? 0x20 : 0);
    TGif back;
    back.LoadFromBytes(out);
    EXPECT_EQ(back.Screen().BackgroundIndex, row.Background);
    EXPECT_EQ(back.Screen().AspectRatio, row.Aspect);
    EXPECT_EQ(back.Screen().Sorted, row.ScreenSorted);
    EXPECT_EQ(back.GetImage(0).Sorted, row.ImageSorted);
  }
}

TEST(WrittenFields, ScreenOfNoSizeIsWrittenAsTheUnionOfTheImages) {
  struct Place {
    int Left, Top, Width, Height;
  };
  struct Row {
    const char* Name;
    int ScreenW, ScreenH;
    std::vector<Place> Images;
    int WantW, WantH;
  };
  const Row rows[] = {
      {"one image", 0, 0, {{0, 0, 20, 10}}, 20, 10},
      {"images apart", 0, 0, {{0, 0, 5, 5}, {30, 2, 4, 40}}, 34, 42},
      {"a screen of its own is kept", 100, 50, {{0, 0, 20, 10}}, 100, 50},
      {"so is a screen smaller than the image", 3, 2, {{0, 0, 20, 10}}, 3, 2},
      {"only one side zero is a size", 0, 7, {{0, 0, 20, 10}}, 0, 7},
      {"reaching past 65535 stops there", 0, 0, {{65000, 0, 1000, 1}}, 65535, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TGif gif;
    for (const Place& p : row.Images) {
      gif.AddBitmap(TBitmap(p.Width, p.Height));
      gif.GetImage(gif.ImageCount() - 1).Left = p.Left;
      gif.GetImage(gif.ImageCount() - 1).Top = p.Top;
    }
    gif.SetWidth(row.ScreenW);
    gif.SetHeight(row.ScreenH);
    const std::vector<std::uint8_t> out = gif.SaveToBytes();
    EXPECT_EQ(out[6] | out[7] << 8, row.WantW);
    EXPECT_EQ(out[8] | out[9] << 8, row.WantH);
    EXPECT_EQ(gif.Width(), row.ScreenW) << "the model keeps its own screen";
    EXPECT_EQ(gif.Height(), row.ScreenH);
  }
}

// Every code a root pixel after a clear code, so each one adds an entry, until
// the table is full (entries 258 to 4095); then codes of the last entries.
TEST(FullTable, TheLastEntryHoldsItsOwnString) {
  std::vector<std::pair<int, int>> codes{{256, 9}};
  TBytes want;
  for (int j = 0; j <= 4095 - 258 + 1; ++j) {
    const int next = 258 + (j > 0 ? j - 1 : 0);
    int width = 9;
    while (width < 12 && next >= (1 << width))
      ++width;
    const auto pixel = std::uint8_t((j * 37 + j / 256) % 256);
    codes.emplace_back(pixel, width);
    want.push_back(pixel);
  }
  const std::size_t n = want.size();
  // Entry 4095 is the last two pixels, 4094 the two before them.
  const TBytes last{want[n - 2], want[n - 1]}, beforeLast{want[n - 3], want[n - 2]};
  codes.insert(codes.end(), {{4095, 12}, {7, 12}, {9, 12}, {4095, 12}, {4094, 12}, {257, 12}});
  for (const TBytes& piece : {last, TBytes{7}, TBytes{9}, last, beforeLast})
    want.insert(want.end(), piece.begin(), piece.end());
  ASSERT_NE(want[n - 2], want[n - 1]) << "the test needs two different pixels there";

  TGif gif;
  gif.LoadFromBytes(OneImage(int(want.size()), 1, 8, PackCodes(codes)));
  EXPECT_EQ(gif.GetImage(0).PixelIndices, want);
}

namespace {

// 512 colours that fit a table only under $C0E0E0; the first is black.
TBitmap Coarse() {
  TBitmap b(512, 1);
  for (int i = 0; i < 512; ++i)
    b.SetPixel(i, 0,
               RGB(std::uint8_t((i & 7) << 5), std::uint8_t((i >> 3 & 7) << 5),
                   std::uint8_t((i >> 6) << 5 | 0x1F)));
  return b;
}

int IndexOf(TGif& Gif, TColor Color) {
  const TGifColorTable& t = Gif.GetColorTable(0);
  for (int i = 0; i < t.Count; ++i)
    if (t.Colors[std::size_t(i)] == Color) return i;
  return -1;
}

} // namespace

TEST(TransparentLookup, ColourFoundOnlyUnderTheCoarsestMask) {
  // Blue 0xFF: under $E0E0E0 it is 0xE0, which no entry of a $C0E0E0 table holds.
  const TColor wanted = RGB(0xE0, 0xA0, 0xFF);
  const TColor entry = wanted & 0xC0E0E0;
  struct Row {
    const char* Name;
    void (*Make)(TGif&, TColor);
  };
  const Row rows[] = {
      {"AddBitmap of a transparent bitmap",
       [](TGif& Gif, TColor Color) {
         TBitmap b = Coarse();
         b.Transparent = true;
         b.TransparentColor = Color;
         Gif.AddBitmap(b);
       }},
      {"SetTransparentColor",
       [](TGif& Gif, TColor Color) {
         Gif.AddBitmap(Coarse());
         Gif.SetTransparentColor(Color);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TGif gif;
    row.Make(gif, wanted);
    const int index = IndexOf(gif, entry);
    ASSERT_GT(index, 0) << "the coarse entry is in the table, not first";
    ASSERT_EQ(IndexOf(gif, wanted & 0xE0E0E0), -1);
    EXPECT_EQ(gif.FindGraphicControl(0)->TransparentIndex, index);
  }
}

TEST(Phases, EveryPhaseReportsUnderItsOwnText) {
  struct Row {
    const char* Name;
    void (*Work)(TGif&);
    std::vector<std::string> Phases;
  };
  const Row rows[] = {
      {"make color-table", [](TGif& Gif) { Gif.AddBitmap(TBitmap(4, 4)); }, {"make color-table"}},
      {"LZW encode",
       [](TGif& Gif) {
         Gif.Assign(MakeIndexedGif(2, 2, {0, 1, 1, 0}, 8, 2).get());
         Gif.SaveToBytes();
       },
       {"LZW decode image", "LZW encode image"}},
      {"simple encode",
       [](TGif& Gif) {
         Gif.Assign(MakeIndexedGif(2, 2, {0, 1, 1, 0}, 0, 2).get());
         Gif.SaveToBytes();
       },
       {"simple decode image", "simple encode image"}},
      {"LZW decode",
       [](TGif& Gif) {
         Gif.LoadFromBytes(OneImage(2, 1, 2, RootCodes(2, {1, 2})));
       },
       {"LZW decode image"}},
      {"simple decode",
       [](TGif& Gif) { Gif.LoadFromBytes(OneImage(2, 1, 0, {0x02})); },
       {"simple decode image"}},
      {"make bitmap",
       [](TGif& Gif) {
         Gif.LoadFromBytes(OneImage(2, 1, 2, RootCodes(2, {1, 2})));
         Gif.GetBitmap(0);
       },
       {"LZW decode image", "make bitmap"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TGif gif;
    std::vector<std::string> started;
    gif.OnProgress = [&](TGif&, TProgressStage Stage, std::uint8_t, bool, const TRect&,
                         const std::string& Message) {
      if (Stage == TProgressStage::psStarting) started.push_back(Message);
    };
    row.Work(gif);
    EXPECT_EQ(started, row.Phases);
  }
}
