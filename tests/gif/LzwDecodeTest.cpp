#include "ReadGifBytes.h"

#include <gtest/gtest.h>

using namespace read_gif_bytes;

namespace {

struct TDecodeCase {
  const char* Name;
  int Width, Height, CodeSize;
  TBytes Data;
  bool Interlaced;
  TBytes Want; // pixels in display order
};

TBytes WithoutLastByte(TBytes Bytes) {
  Bytes.pop_back();
  return Bytes;
}

std::string CaseName(const testing::TestParamInfo<TDecodeCase>& Info) {
  return Info.param.Name;
}

class LzwDecodePixels : public testing::TestWithParam<TDecodeCase> {};

TEST_P(LzwDecodePixels, GivesThePixelsOfTheData) {
  const TDecodeCase& c = GetParam();
  TGif gif;
  gif.LoadFromBytes(OneImage(c.Width, c.Height, c.CodeSize, c.Data, c.Interlaced));
  EXPECT_EQ(gif.GetImage(0).PixelIndices, c.Want);
}

INSTANTIATE_TEST_SUITE_P(
    Data, LzwDecodePixels,
    testing::Values(
        // codes 4 1 6 1 2 5, widths 3 3 3 3 4 4; 6 is the previous string plus its first pixel
        TDecodeCase{
            "WidensAfterTheFourthCode", 5, 1, 2, {0x8C, 0x23, 0x05}, false, {1, 1, 1, 1, 2}},
        TDecodeCase{"OnePixelOfCodeSize8", 1, 1, 8, {0x00, 0x01, 0x04, 0x04}, false, {0}},
        TDecodeCase{"EndCodeFirstLeavesZeros", 3, 1, 2, PackCodes({{5, 3}}), false, {0, 0, 0}},
        TDecodeCase{"EmptyDataLeavesZeros", 2, 2, 2, {}, false, {0, 0, 0, 0}},
        // codes 4 1 6 2 1 fill exactly two bytes
        TDecodeCase{"DataEndingEarlyLeavesTheRestZero",
                    8,
                    1,
                    2,
                    PackCodes({{4, 3}, {1, 3}, {6, 3}, {2, 3}, {1, 4}}),
                    false,
                    {1, 1, 1, 2, 1, 0, 0, 0}},
        TDecodeCase{"MissingEndCodeIsNoError", 5, 1, 2, {0x8C, 0x23}, false, {1, 1, 1, 1, 2}},
        // the third code keeps 6 of its 9 bits; zero-filled it would read as 5
        TDecodeCase{"CodeCutShortIsNotDecoded",
                    3,
                    1,
                    8,
                    WithoutLastByte(PackCodes({{256, 9}, {5, 9}, {5, 9}})),
                    false,
                    {5, 0, 0}},
        TDecodeCase{"SurplusOfAPlainImageIsDropped", 2, 1, 2, {0x8C, 0x23, 0x05}, false, {1, 1}},
        TDecodeCase{"SurplusOfARunIsDropped", 3, 1, 2, {0x8C, 0x23, 0x05}, false, {1, 1, 1}},
        // stream rows 0 2 1 of an interlaced 3-row image; rows 0 and 2 again are not decoded
        TDecodeCase{"SurplusOfAnInterlacedImageIsDropped",
                    1,
                    3,
                    2,
                    RootCodes(2, {1, 2, 3, 0, 2}),
                    true,
                    {1, 3, 2}},
        TDecodeCase{"RepeatedClearCodesAreReadOver",
                    2,
                    1,
                    2,
                    PackCodes({{4, 3}, {4, 3}, {4, 3}, {3, 3}, {2, 3}, {5, 3}}),
                    false,
                    {3, 2}},
        TDecodeCase{"FirstCodeAfterClearBeyondTheTableIsTakenAs0",
                    2,
                    1,
                    2,
                    PackCodes({{4, 3}, {7, 3}, {1, 3}, {5, 3}}),
                    false,
                    {0, 1}},
        // as giflib reads it: the code after the first pixel is already 3 bits
        TDecodeCase{"CodeSize1",
                    5,
                    1,
                    1,
                    PackCodes({{2, 2}, {1, 2}, {1, 3}, {4, 3}, {0, 3}, {3, 3}}),
                    false,
                    {1, 1, 1, 1, 0}},
        // stream order 0..7 lands in rows 0 4 2 6 1 3 5 7
        TDecodeCase{"InterlacedEightRows",
                    1,
                    8,
                    3,
                    RootCodes(3, {0, 1, 2, 3, 4, 5, 6, 7}),
                    true,
                    {0, 4, 2, 5, 1, 6, 3, 7}},
        TDecodeCase{"InterlacedTwoRows", 2, 2, 2, RootCodes(2, {1, 2, 3, 0}), true, {1, 2, 3, 0}},
        TDecodeCase{
            "InterlacedFiveRows", 1, 5, 3, RootCodes(3, {0, 1, 2, 3, 4}), true, {0, 3, 2, 4, 1}},
        TDecodeCase{"ZeroWidthImageIsEmpty", 0, 3, 2, {0x8C, 0x23, 0x05}, false, {}},
        TDecodeCase{"ZeroHeightInterlacedImageIsEmpty", 4, 0, 2, {0x8C, 0x23, 0x05}, true, {}}),
    CaseName);

TEST(LzwDecode, FullTableKeepsTwelveBitCodesAndAddsNothing) {
  // After a clear code, 4091 codes of pixel 1 fill entries 6 to 4095 ("1 1");
  // then 4095 must still be "1 1" and 2 a single pixel, both in 12 bits.
  std::vector<std::pair<int, int>> codes{{4, 3}};
  for (int j = 0; j < 4091; ++j) {
    const int next = 6 + (j > 0 ? j - 1 : 0);
    int width = 3;
    while (width < 12 && next >= (1 << width))
      ++width;
    codes.emplace_back(1, width);
  }
  codes.insert(codes.end(), {{4095, 12}, {2, 12}, {5, 12}});
  // 4093 ones, then the 2. Made whole rather than appended to: GCC 12 at -O3
  // takes an insert into a 4091-byte vector for a copy out of its bounds.
  TBytes want(4094, 1);
  want.back() = 2;
  TGif gif;
  gif.LoadFromBytes(OneImage(int(want.size()), 1, 2, PackCodes(codes)));
  EXPECT_EQ(gif.GetImage(0).PixelIndices, want);
}

struct TErrorCase {
  const char* Name;
  int CodeSize;
  TBytes Data;
  int Want;
};

std::string ErrorName(const testing::TestParamInfo<TErrorCase>& Info) {
  return Info.param.Name;
}

class LzwDecodeErrors : public testing::TestWithParam<TErrorCase> {};

TEST_P(LzwDecodeErrors, RaisesTheCodecError) {
  TGif gif;
  EXPECT_EQ(LoadError(gif, OneImage(4, 4, GetParam().CodeSize, GetParam().Data)), GetParam().Want);
  EXPECT_EQ(GifLastError, GetParam().Want);
}

INSTANTIATE_TEST_SUITE_P(
    Data, LzwDecodeErrors,
    testing::Values(TErrorCase{"ClearCodeThenEndCode", 2, PackCodes({{4, 3}, {5, 3}}), 13},
                    TErrorCase{"FirstCodeNotAClearCode", 2, PackCodes({{1, 3}, {5, 3}}), 13},
                    TErrorCase{"CodeBeyondTheNextFreeCode", 2,
                               PackCodes({{4, 3}, {1, 3}, {7, 3}, {5, 3}}), 13},
                    TErrorCase{"CodeSize12", 12, {0x00, 0x10, 0x00}, 12},
                    TErrorCase{"CodeSize255", 255, {0x01}, 12},
                    TErrorCase{"SimpleDecodeWithNoBits", 0, {0x00, 0xFF}, 13},
                    TErrorCase{"SimpleDecodeWithNineBits", 0, {0x09, 0xFF}, 13}),
    ErrorName);

TEST(SimpleDecode, UnpacksLeastSignificantBitFirstAndDropsTheFill) {
  TGif gif;
  gif.LoadFromBytes(OneImage(2, 2, 0, {0x01, 0x0D}));
  EXPECT_EQ(gif.GetImage(0).PixelIndices, (TBytes{1, 0, 1, 1}));
}

TEST(SimpleDecode, IsAlwaysInRowOrder) {
  TGif gif;
  gif.LoadFromBytes(OneImage(1, 3, 0, {0x02, 0b00'10'01'11}, true));
  EXPECT_FALSE(gif.GetImage(0).Interlaced);
  EXPECT_EQ(gif.GetImage(0).PixelIndices, (TBytes{3, 1, 2}));
}

TEST(SimpleDecode, ShortDataLeavesTheRestZero) {
  TGif gif;
  gif.LoadFromBytes(OneImage(3, 1, 0, {0x08, 7}));
  EXPECT_EQ(gif.GetImage(0).PixelIndices, (TBytes{7, 0, 0}));
  gif.LoadFromBytes(OneImage(3, 1, 0, {}));
  EXPECT_EQ(gif.GetImage(0).PixelIndices, (TBytes{0, 0, 0}));
}

TEST(SimpleDecode, BadBitCountStoresNothing) {
  TGif gif;
  EXPECT_EQ(LoadError(gif, OneImage(2, 1, 0, {0x09, 0xFF, 0xFF})), 13);
  EXPECT_EQ(gif.GetImage(0).PixelIndices, (TBytes{0, 0}));
}

} // namespace
