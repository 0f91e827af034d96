// Every stream the writer makes must decode in giflib to our own indices and tables.
#include "WriteHelpers.h"
#include "support/GiflibDecode.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::uint32_t> TableColors(TGif& gif, int index, int entries) {
  const TGifColorTable& t = gif.GetColorTable(index);
  return std::vector<std::uint32_t>(t.Colors.begin(), t.Colors.begin() + entries);
}

// Compares what giflib read with the model the stream was written from.
void ExpectGiflibAgrees(TGif& gif, const std::string& name) {
  const Bytes out = gif.SaveToBytes();
  const GiflibGif got = GiflibDecode(out);
  ASSERT_EQ(got.Error, "") << name;
  EXPECT_EQ(got.Version, gif.Signature()) << name;
  if (gif.Screen().HasGlobalColorTable) {
    EXPECT_EQ(got.GlobalColors,
              TableColors(gif, gif.Screen().GlobalColorTable, gif.Screen().GlobalColorTableSize))
        << name;
  }
  ASSERT_EQ(int(got.Images.size()), gif.ImageCount()) << name;
  for (int i = 0; i < gif.ImageCount(); ++i) {
    const TGifImageRecord& have = gif.GetImage(i);
    const GiflibImage& want = got.Images[std::size_t(i)];
    EXPECT_EQ(want.Width, have.Width) << name << " image " << i;
    EXPECT_EQ(want.Height, have.Height) << name << " image " << i;
    EXPECT_EQ(want.Interlaced, have.Interlaced) << name << " image " << i;
    // A whole-buffer compare would print megabytes; report the first difference.
    ASSERT_EQ(want.Pixels.size(), have.PixelIndices.size()) << name;
    const auto diff =
        std::mismatch(want.Pixels.begin(), want.Pixels.end(), have.PixelIndices.begin());
    EXPECT_TRUE(diff.first == want.Pixels.end())
        << name << " image " << i << ": first differing pixel at "
        << (diff.first - want.Pixels.begin()) << ", have " << int(*diff.second) << " want "
        << int(*diff.first);
    if (have.HasLocalColorTable) {
      EXPECT_EQ(want.LocalColors, TableColors(gif, have.ColorTableIndex, have.ColorTableSize))
          << name << " image " << i;
    } else {
      EXPECT_TRUE(want.LocalColors.empty()) << name << " image " << i;
    }
    const std::size_t exts = have.Extensions ? have.Extensions->size() : 0;
    EXPECT_EQ(want.Extensions.size(), exts) << name << " image " << i;
  }
}

// A bitmap of `colors` distinct colours, placed at random.
TBitmap RandomBitmap(int w, int h, int colors, unsigned seed) {
  std::mt19937 rng(seed);
  TBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned k = rng() % unsigned(colors);
      b.SetPixel(x, y, RGB(std::uint8_t(k * 37), std::uint8_t(k), std::uint8_t(255 - k)));
    }
  return b;
}

// Background with strokes of ink and anti-aliased edges, like a rendering.
TBitmap TextBitmap(int w, int h, int shades) {
  TBitmap b(w, h);
  b.Fill(RGB(255, 255, 255));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int cell = (x % 11) + (y % 17);
      if ((y / 17) % 2 == 0 && cell > 8 && cell < 8 + shades) {
        const std::uint8_t v = std::uint8_t(255 - 255 * (cell - 8) / shades);
        b.SetPixel(x, y, RGB(v, v, v));
      }
    }
  return b;
}

TEST(WriteGiflib, BitmapsOfEverySizeAndColourCount) {
  struct Row {
    const char* name;
    TBitmap bitmap;
  } rows[] = {
      {"1x1", RandomBitmap(1, 1, 1, 1)},
      {"2 colours 3x2", RandomBitmap(3, 2, 2, 2)},
      {"3 colours", RandomBitmap(17, 9, 3, 3)},
      {"16 colours", RandomBitmap(64, 40, 16, 4)},
      {"129 colours", RandomBitmap(100, 100, 129, 5)},
      {"256 colours", RandomBitmap(300, 200, 256, 6)},
      {"700 colours, masked", RandomBitmap(120, 80, 700, 7)},
      {"text 2 shades", TextBitmap(640, 200, 1)},
      {"text 16 shades", TextBitmap(640, 200, 15)},
      {"one row", RandomBitmap(5000, 1, 40, 8)},
      {"one column", RandomBitmap(1, 3000, 40, 9)},
  };
  for (Row& row : rows) {
    auto gif = TGif::CreateFromBitmap(row.bitmap);
    ExpectGiflibAgrees(*gif, row.name);
  }
}

TEST(WriteGiflib, LargeImage4000Square) {
  std::mt19937 rng(11);
  Bytes px(std::size_t(4000) * 4000);
  for (std::size_t i = 0; i < px.size();) {
    const std::uint8_t v = std::uint8_t(rng() % 256);
    for (std::size_t run = 1 + rng() % 40; run > 0 && i < px.size(); --run)
      px[i++] = v;
  }
  auto gif = MakeIndexedGif(4000, 4000, std::move(px), 8);
  ExpectGiflibAgrees(*gif, "4000x4000");
}

TEST(WriteGiflib, InterlacedImages) {
  for (int h : {1, 2, 3, 5, 8, 9, 16, 37}) {
    std::mt19937 rng{unsigned(h)};
    Bytes px(std::size_t(13) * std::size_t(h));
    for (auto& p : px)
      p = std::uint8_t(rng() % 6);
    auto gif = MakeIndexedGif(13, h, std::move(px), 3, 8, true);
    ExpectGiflibAgrees(*gif, "interlaced height " + std::to_string(h));
  }
}

TEST(WriteGiflib, CodeSizesTwoToEight) {
  for (int size = 2; size <= 8; ++size) {
    std::mt19937 rng{unsigned(size)};
    Bytes px(std::size_t(150) * 90);
    for (auto& p : px)
      p = std::uint8_t(rng() % (1u << size));
    auto gif = MakeIndexedGif(150, 90, std::move(px), size, 1 << size);
    ExpectGiflibAgrees(*gif, "code size " + std::to_string(size));
  }
}

TEST(WriteGiflib, SeveralImagesWithLocalTablesAndAllExtensions) {
  TGif gif;
  gif.AddBitmap(TextBitmap(50, 30, 4));
  gif.AddBitmap(RandomBitmap(20, 20, 200, 12));
  gif.AddBitmap(RandomBitmap(7, 3, 2, 13));
  gif.GetImage(2).Interlaced = true;
  gif.SetTransparent(true);

  const std::initializer_list<std::uint8_t> text{'h', 'e', 'l', 'l', 'o'};
  TGifExtension comment;
  comment.Kind = 0xFE;
  comment.Data = {text};
  TGifExtension plain;
  plain.Kind = 0x01;
  plain.BlockSize = 12;
  plain.GridWidth = 40;
  plain.GridHeight = 8;
  plain.CellWidth = 8;
  plain.CellHeight = 8;
  plain.Data = {text};
  TGifExtension app;
  app.Kind = 0xFF;
  app.BlockSize = 11;
  app.Identifier = {'G', 'L', 'Y', 'P', 'T', 'I', 'K', 'A'};
  app.AuthCode = {'1', '.', '0'};
  app.Data = {text, text};
  gif.GetImage(1).Extensions->push_back(comment);
  gif.GetImage(1).Extensions->push_back(plain);
  gif.GetImage(2).Extensions->push_back(app);

  ExpectGiflibAgrees(gif, "three images");
  const GiflibGif got = GiflibDecode(gif.SaveToBytes());
  ASSERT_EQ(got.Images.size(), 3u);
  ASSERT_EQ(got.Images[1].Extensions.size(), 3u);
  EXPECT_EQ(got.Images[1].Extensions[0].Function, 0xF9);
  EXPECT_EQ(got.Images[1].Extensions[0].Blocks[0][0], 0x01); // transparent flag
  EXPECT_EQ(got.Images[1].Extensions[1].Function, 0xFE);
  EXPECT_EQ(got.Images[1].Extensions[1].Blocks[0], Bytes({'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(got.Images[1].Extensions[2].Function, 0x01);
  EXPECT_EQ(got.Images[1].Extensions[2].Blocks[0].size(), 12u);
  const GiflibExtension& a = got.Images[2].Extensions[1];
  EXPECT_EQ(a.Function, 0xFF);
  EXPECT_EQ(std::string(a.Blocks[0].begin(), a.Blocks[0].end()), "GLYPTIKA1.0");
  EXPECT_EQ(a.Blocks.size(), 3u);
}

} // namespace
