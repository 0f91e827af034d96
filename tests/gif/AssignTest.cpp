// Our writer then our reader give back the model they started from; Assign
// copies through exactly that road.
#include "CodecErrors.h"
#include "WriteHelpers.h"
#include "gif/Gif.h"

#include <gtest/gtest.h>

#include <random>

namespace {

void ExpectSameExtensions(const std::optional<std::vector<TGifExtension>>& Have,
                          const std::optional<std::vector<TGifExtension>>& Want) {
  ASSERT_EQ(Have.has_value(), Want.has_value());
  if (!Have) return;
  ASSERT_EQ(Have->size(), Want->size());
  for (std::size_t i = 0; i < Have->size(); ++i) {
    const TGifExtension& h = (*Have)[i];
    const TGifExtension& w = (*Want)[i];
    EXPECT_EQ(h.Kind, w.Kind);
    EXPECT_EQ(h.Disposal, w.Disposal);
    EXPECT_EQ(h.UserInput, w.UserInput);
    EXPECT_EQ(h.Transparent, w.Transparent);
    EXPECT_EQ(h.Delay, w.Delay);
    EXPECT_EQ(h.TransparentIndex, w.TransparentIndex);
    EXPECT_EQ(h.Data.size(), w.Data.size());
    EXPECT_TRUE(h.Data == w.Data) << "sub-blocks of extension " << i;
  }
}

// The screen a stream declares for a model: its own, or for 0 x 0 one that
// holds every image.
std::pair<int, int> DeclaredScreen(TGif& Gif) {
  if (Gif.Width() != 0 || Gif.Height() != 0) return {Gif.Width(), Gif.Height()};
  int width = 0, height = 0;
  for (int i = 0; i < Gif.ImageCount(); ++i) {
    width = std::max(width, Gif.GetImage(i).Left + Gif.GetImage(i).Width);
    height = std::max(height, Gif.GetImage(i).Top + Gif.GetImage(i).Height);
  }
  return {width, height};
}

// Have was read back from Want's stream (or is Want's copy).
void ExpectSameModel(TGif& Have, TGif& Want) {
  EXPECT_EQ(Have.Signature(), Want.Signature());
  EXPECT_EQ(DeclaredScreen(Have), DeclaredScreen(Want));
  EXPECT_EQ(Have.Screen().HasGlobalColorTable, Want.Screen().HasGlobalColorTable);
  EXPECT_EQ(Have.Screen().ColorResolution, Want.Screen().ColorResolution);
  EXPECT_EQ(Have.Screen().BackgroundIndex, Want.Screen().BackgroundIndex);
  EXPECT_EQ(Have.Screen().AspectRatio, Want.Screen().AspectRatio);
  ASSERT_EQ(Have.ColorTableCount(), Want.ColorTableCount());
  for (int t = 0; t < Have.ColorTableCount(); ++t) {
    EXPECT_EQ(Have.GetColorTable(t).Count, Want.GetColorTable(t).Count) << "table " << t;
    EXPECT_EQ(Have.GetColorTable(t).Colors, Want.GetColorTable(t).Colors) << "table " << t;
  }
  ASSERT_EQ(Have.ImageCount(), Want.ImageCount());
  for (int i = 0; i < Have.ImageCount(); ++i) {
    SCOPED_TRACE("image " + std::to_string(i));
    const TGifImageRecord& h = Have.GetImage(i);
    const TGifImageRecord& w = Want.GetImage(i);
    EXPECT_EQ(h.Left, w.Left);
    EXPECT_EQ(h.Top, w.Top);
    EXPECT_EQ(h.Width, w.Width);
    EXPECT_EQ(h.Height, w.Height);
    EXPECT_EQ(h.HasLocalColorTable, w.HasLocalColorTable);
    EXPECT_EQ(h.ColorTableIndex, w.ColorTableIndex);
    EXPECT_EQ(h.CodeSize, w.CodeSize);
    EXPECT_EQ(h.PixelIndices, w.PixelIndices);
    ExpectSameExtensions(h.Extensions, w.Extensions);
  }
}

TBitmap Noise(int Width, int Height, int Colors, unsigned Seed) {
  std::mt19937 random(Seed);
  TBitmap bitmap(Width, Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const unsigned c = random() % unsigned(Colors);
      bitmap.SetPixel(x, y, RGB(std::uint8_t(c * 37), std::uint8_t(c * 11), std::uint8_t(c)));
    }
  return bitmap;
}

TEST(RoundTrip, BitmapsOfEveryTableSize) {
  for (int colors : {1, 2, 3, 16, 100, 256}) {
    SCOPED_TRACE(std::to_string(colors) + " colours");
    auto gif = TGif::CreateFromBitmap(Noise(45, 23, colors, unsigned(colors)));
    TGif back;
    back.LoadFromBytes(gif->SaveToBytes());
    ExpectSameModel(back, *gif);
  }
}

TEST(RoundTrip, SeveralImagesWithTransparencyAndLocalTables) {
  auto gif = TGif::CreateFromBitmap(Noise(30, 20, 5, 1));
  gif->AddBitmap(Noise(7, 9, 40, 2));
  gif->AddBitmap(Noise(1, 1, 1, 3));
  gif->SetTransparent(true);
  gif->SetWidth(30);
  gif->SetHeight(20);
  TGif back;
  back.LoadFromBytes(gif->SaveToBytes());
  ExpectSameModel(back, *gif);
  EXPECT_TRUE(back.Transparent());
}

TEST(RoundTrip, InterlacedAndUncompressedImages) {
  for (int height : {1, 2, 3, 5, 8, 9, 17}) {
    for (int codeSize : {0, 2, 8}) {
      SCOPED_TRACE("height " + std::to_string(height) + " code size " + std::to_string(codeSize));
      std::vector<std::uint8_t> pixels;
      for (int i = 0; i < 11 * height; ++i)
        pixels.push_back(std::uint8_t(i * 7 / 5 % 4));
      auto gif = MakeIndexedGif(11, height, pixels, codeSize, 4, codeSize != 0);
      TGif back;
      back.LoadFromBytes(gif->SaveToBytes());
      EXPECT_EQ(back.GetImage(0).PixelIndices, pixels);
    }
  }
}

TEST(Assign, CopiesTheWholeModelAndLeavesTheSourceAsItWas) {
  auto source = TGif::CreateFromBitmap(Noise(12, 12, 9, 4));
  source->AddBitmap(Noise(3, 4, 2, 5));
  source->SetTransparentColor(source->GetColorTable(0).Colors[2]);
  const std::vector<std::uint8_t> before = source->SaveToBytes();
  TGif copy;
  copy.LoadFromBytes(MakeIndexedGif(2, 2, {1, 1, 1, 1}, 2, 4)->SaveToBytes()); // replaced
  copy.Assign(source.get());
  ExpectSameModel(copy, *source);
  EXPECT_EQ(source->SaveToBytes(), before);
  EXPECT_EQ(copy.SaveToBytes(), before);
}

TEST(Assign, FromItselfKeepsEverything) {
  auto gif = TGif::CreateFromBitmap(Noise(6, 6, 4, 6));
  const std::vector<std::uint8_t> before = gif->SaveToBytes();
  gif->Assign(gif.get());
  EXPECT_EQ(gif->SaveToBytes(), before);
}

TEST(Assign, FromAnEmptyGifGivesAnEmptyOne) {
  auto gif = TGif::CreateFromBitmap(Noise(6, 6, 4, 7));
  TGif empty;
  gif->Assign(&empty);
  EXPECT_TRUE(gif->Empty());
  EXPECT_EQ(gif->Signature(), "------");
}

TEST(Assign, FromABitmapAddsItToACleanObject) {
  auto gif = TGif::CreateFromBitmap(Noise(6, 6, 4, 8));
  const TBitmap bitmap = Noise(4, 3, 3, 9);
  gif->Assign(&bitmap);
  ASSERT_EQ(gif->ImageCount(), 1);
  EXPECT_EQ(gif->ColorTableCount(), 1);
  EXPECT_EQ(gif->GetImage(0).Width, 4);
  EXPECT_EQ(gif->GetBitmap(0), bitmap);
}

TEST(Assign, NullSourcesClearAndRaiseError22) {
  auto gif = TGif::CreateFromBitmap(Noise(6, 6, 4, 10));
  EXPECT_EQ(ErrorCode([&] { gif->Assign(static_cast<const TGif*>(nullptr)); }), 22);
  EXPECT_TRUE(gif->Empty());
  gif->AddBitmap(Noise(2, 2, 2, 11));
  EXPECT_EQ(ErrorCode([&] { gif->Assign(static_cast<const TBitmap*>(nullptr)); }), 22);
  EXPECT_TRUE(gif->Empty());
}

} // namespace
