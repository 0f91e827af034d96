#include "CodecErrors.h"
#include "gif/Gif.h"

#include <gtest/gtest.h>

namespace {

constexpr TColor White = RGB(255, 255, 255);
constexpr TColor Black = RGB(0, 0, 0);
constexpr TColor Red = RGB(255, 0, 0);
constexpr TColor Blue = RGB(0, 0, 255);

TBitmap Filled(int w, int h, TColor c) {
  TBitmap b(w, h);
  b.Fill(c);
  return b;
}

TEST(Model, FreshObjectIsEmpty) {
  TGif gif;
  EXPECT_TRUE(gif.Empty());
  EXPECT_EQ(gif.Width(), 0);
  EXPECT_EQ(gif.Height(), 0);
  EXPECT_EQ(gif.Palette(), nullptr);
  EXPECT_EQ(gif.Signature(), "------");
  EXPECT_FALSE(gif.Transparent());
}

TEST(Model, ClearReturnsToEmptyAndStaysUsable) {
  TGif gif;
  gif.AddBitmap(Filled(3, 2, Red));
  gif.Clear();
  EXPECT_TRUE(gif.Empty());
  EXPECT_EQ(gif.Signature(), "------");
  EXPECT_EQ(gif.ColorTableCount(), 0);
  EXPECT_FALSE(gif.Screen().HasGlobalColorTable);
  gif.AddBitmap(Filled(1, 1, Blue));
  EXPECT_EQ(gif.GetColorTable(0).Colors[0], Blue);
  EXPECT_FALSE(gif.GetImage(0).HasLocalColorTable);
}

TEST(Model, CreateFromBitmapKeepsZeroScreen) {
  auto gif = TGif::CreateFromBitmap(Filled(10, 4, White));
  const TGifImageRecord& image = gif->GetImage(0);
  EXPECT_EQ(image.Left, 0);
  EXPECT_EQ(image.Top, 0);
  EXPECT_EQ(image.Width, 10);
  EXPECT_EQ(image.Height, 4);
  EXPECT_EQ(gif->Width(), 0);
  EXPECT_EQ(gif->Height(), 0);
  EXPECT_EQ(gif->Signature(), "GIF89a");
  ASSERT_NE(gif->Palette(), nullptr);
  EXPECT_EQ(gif->Palette()->Colors[0], White);
}

TEST(Model, OutOfRangeAccessRaisesValueOutOfRange) {
  auto gif = TGif::CreateFromBitmap(Filled(4, 3, White));
  gif->GetBitmap(0);
  struct Case {
    const char* name;
    std::function<void()> call;
  } cases[] = {
      {"image -1", [&] { gif->GetImage(-1); }},
      {"image past end", [&] { gif->GetImage(1); }},
      {"bitmap past end", [&] { gif->GetBitmap(1); }},
      {"second table", [&] { gif->GetColorTable(1); }},
      {"x = width", [&] { gif->GetPixelIndex(0, 4, 0); }},
      {"y = height", [&] { gif->GetPixelIndex(0, 0, 3); }},
      {"negative x", [&] { gif->GetPixelIndex(0, -1, 0); }},
      {"set past table count", [&] { gif->SetPixelIndex(0, 0, 0, 2); }},
      {"set negative index", [&] { gif->SetPixelIndex(0, 0, 0, -1); }},
      {"set x = width", [&] { gif->SetPixelIndex(0, 4, 0, 0); }},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorCode(c.call), 15) << c.name;
    EXPECT_EQ(GifLastError, 15) << c.name;
    EXPECT_EQ(GifLastErrorText, "Value Out Of Range") << c.name;
  }
  TGif empty;
  EXPECT_EQ(ErrorCode([&] { empty.GetTransparentColor(); }), 15);
}

TEST(Model, ErrorMessageCarriesPrefix) {
  TGif gif;
  try {
    gif.GetImage(0);
    FAIL() << "no error";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "TGif: Value Out Of Range");
  }
}

// Background on top, text colour first met lower down, then the bottom-left pixel in a third
// colour.
TBitmap ThreeColours() {
  TBitmap b = Filled(5, 4, White);
  b.SetPixel(2, 2, Black);
  b.SetPixel(0, 3, Red);
  return b;
}

TEST(Model, SetTransparentTakesBottomLeftIndexAndKeepsItWhenOff) {
  TGif gif;
  gif.AddBitmap(ThreeColours());
  gif.AddBitmap(Filled(2, 2, Blue));
  gif.SetTransparent(true);
  EXPECT_TRUE(gif.Transparent());
  EXPECT_EQ(gif.FindGraphicControl(0)->TransparentIndex, 2); // red, third seen
  EXPECT_TRUE(gif.FindGraphicControl(1)->Transparent);
  EXPECT_EQ(gif.FindGraphicControl(1)->TransparentIndex, 0);
  // An index that is not the bottom-left pixel's, so keeping it shows.
  gif.FindGraphicControl(0)->TransparentIndex = 1;
  gif.FindGraphicControl(1)->TransparentIndex = 1;
  gif.SetTransparent(false);
  EXPECT_FALSE(gif.Transparent());
  EXPECT_FALSE(gif.FindGraphicControl(0)->Transparent);
  EXPECT_FALSE(gif.FindGraphicControl(1)->Transparent);
  EXPECT_EQ(gif.FindGraphicControl(0)->TransparentIndex, 1);
  EXPECT_EQ(gif.FindGraphicControl(1)->TransparentIndex, 1);
  gif.SetTransparent(true);
  EXPECT_EQ(gif.FindGraphicControl(0)->TransparentIndex, 2) << "on again: the bottom-left index";
}

TEST(Model, SetTransparentColorLooksUpExactThenMaskedElseZero) {
  struct Row {
    const char* name;
    TColor color;
    int index;
  } rows[] = {
      {"exact", Black, 2},
      {"under $E0E0E0 mask", RGB(0xFF, 0x1F, 0x1F), 1},
      {"in no form", RGB(10, 200, 30), 0},
  };
  for (const Row& row : rows) {
    TGif gif;
    TBitmap b = ThreeColours();
    b.SetPixel(4, 0, RGB(0xE0, 0, 0)); // index 1, reachable through the mask
    gif.AddBitmap(b);
    gif.GetBitmap(0);
    gif.SetTransparentColor(row.color);
    const int want = row.index;
    EXPECT_TRUE(gif.Transparent()) << row.name;
    EXPECT_EQ(gif.FindGraphicControl(0)->TransparentIndex, want) << row.name;
    EXPECT_TRUE(gif.GetBitmap(0).Transparent) << row.name;
    EXPECT_EQ(gif.GetBitmap(0).TransparentColor, gif.GetColorTable(0).Colors[std::size_t(want)])
        << row.name;
  }
}

TEST(Model, TransparentColorIgnoresTheFlag) {
  TGif gif;
  gif.AddBitmap(ThreeColours());
  gif.FindGraphicControl(0)->TransparentIndex = 1;
  EXPECT_FALSE(gif.Transparent());
  EXPECT_EQ(gif.GetTransparentColor(), Black);
}

TEST(Model, EnsureGraphicControlsAddsOneDefaultBlock) {
  TGif gif;
  gif.AddBitmap(Filled(1, 1, Red));
  gif.GetImage(0).Extensions.reset();
  EXPECT_EQ(gif.FindGraphicControl(0), nullptr);
  gif.EnsureGraphicControls();
  gif.EnsureGraphicControls();
  ASSERT_EQ(gif.GetImage(0).Extensions->size(), 1u);
  const TGifExtension& gce = gif.GetImage(0).Extensions->front();
  EXPECT_EQ(gce.Kind, 0xF9);
  EXPECT_EQ(gce.BlockSize, 4);
  EXPECT_FALSE(gce.Transparent);
  EXPECT_EQ(gce.Delay, 0);
}

TEST(Model, FindColorGivesLowestIndexBelowCount) {
  TGifColorTable t;
  t.Count = 3;
  t.Colors = {Red, Blue, Red, White};
  EXPECT_EQ(TGif::FindColor(Red, t), 0);
  EXPECT_EQ(TGif::FindColor(Blue, t), 1);
  EXPECT_EQ(TGif::FindColor(White, t), -1); // beyond Count
}

TEST(Model, SetPixelIndexRepaintsTheBitmap) {
  TGif gif;
  gif.AddBitmap(ThreeColours());
  TBitmap& bitmap = gif.GetBitmap(0);
  gif.SetPixelIndex(0, 1, 1, 1);
  EXPECT_EQ(gif.GetPixelIndex(0, 1, 1), 1);
  EXPECT_EQ(bitmap.GetPixel(1, 1), Black);
  EXPECT_EQ(&gif.GetBitmap(0), &bitmap); // not rebuilt
  EXPECT_EQ(gif.GetBitmap(0).GetPixel(1, 1), Black);
}

TEST(Model, SetPixelIndexBeforeAnyBitmapShowsInTheLaterOne) {
  TGif gif;
  gif.AddBitmap(ThreeColours());
  gif.SetPixelIndex(0, 1, 1, 2);
  EXPECT_EQ(gif.GetBitmap(0).GetPixel(1, 1), Red);
}

TEST(Model, CountColorsStopsAt1024AndCallsBackPerRow) {
  TBitmap b(100, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 100; ++x)
      b.SetPixel(x, y, RGB(0, 0, 0) + TColor((y * 100 + x) % 2000));
  TGif gif;
  gif.AddBitmap(b); // masked down by AddBitmap: count the masked image instead
  gif.GetImage(0).Bitmap = std::make_unique<TBitmap>(b);
  int rows = 0;
  gif.OnProcessMessages = [&] { ++rows; };
  EXPECT_EQ(gif.CountColors(0), 1024);
  EXPECT_EQ(rows, 11); // the 1024th colour is met in row 10

  TGif few;
  few.AddBitmap(ThreeColours());
  EXPECT_EQ(few.CountColors(0), 3);
}

TEST(Model, ProgressIsThrottledAndSilentWithoutHandler) {
  TGif gif;
  std::vector<std::pair<TProgressStage, int>> events;
  std::vector<std::string> messages;
  gif.OnProgress = [&](TGif& sender, TProgressStage stage, std::uint8_t percent, bool redraw,
                       const TRect& r, const std::string& msg) {
    EXPECT_EQ(&sender, &gif);
    EXPECT_FALSE(redraw);
    EXPECT_EQ(r, TRect{});
    events.emplace_back(stage, percent);
    messages.push_back(msg);
  };
  gif.AddBitmap(Filled(25, 10, Red)); // 250 pixels: positions 0 to 249
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0], std::make_pair(TProgressStage::psStarting, 0));
  EXPECT_EQ(events[1], std::make_pair(TProgressStage::psRunning, 40));
  EXPECT_EQ(events[2], std::make_pair(TProgressStage::psRunning, 80));
  EXPECT_EQ(events[3], std::make_pair(TProgressStage::psEnding, 100));
  EXPECT_EQ(messages[0], "make color-table");

  // 150 pixels: the one report comes at position 100 exactly (66 %), not later.
  events.clear();
  gif.AddBitmap(Filled(15, 10, Red));
  EXPECT_EQ(events, (std::vector<std::pair<TProgressStage, int>>{{TProgressStage::psStarting, 0},
                                                                 {TProgressStage::psRunning, 66},
                                                                 {TProgressStage::psEnding, 100}}));

  // Large work: never two reports within 100 pixels of each other.
  std::vector<int> percents;
  TGif big;
  big.OnProgress = [&](TGif&, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                       const std::string&) {
    if (stage == TProgressStage::psRunning) percents.push_back(percent);
  };
  big.AddBitmap(Filled(100, 100, Red)); // 10000 pixels: positions 100, 200, ..., 9900
  ASSERT_EQ(percents.size(), 99u);
  for (std::size_t i = 0; i < percents.size(); ++i)
    EXPECT_EQ(percents[i], int(i) + 1);

  // Once the handler is taken away, nothing reaches it any more.
  events.clear();
  gif.OnProgress = nullptr;
  gif.AddBitmap(Filled(50, 50, Red));
  gif.SaveToBytes();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(percents.size(), 99u) << "another object's handler hears nothing either";
}

} // namespace
