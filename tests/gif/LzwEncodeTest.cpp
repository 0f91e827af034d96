#include "CodecErrors.h"
#include "WriteHelpers.h"
#include "support/GiflibDecode.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Code {
  int value, width;
  bool operator==(const Code&) const = default;
};

// The encoder written the slow, plain way: linear search of the string table.
// The product's encoder must give exactly its bytes.
struct Reference {
  Bytes bytes;
  std::vector<Code> codes;
};

Reference ReferenceLzw(const Bytes& px, int codeSize) {
  Reference out;
  std::vector<int> prefix(4096), suffix(4096);
  const int clear = 1 << codeSize, endCode = clear + 1, firstFree = clear + 2;
  int next = firstFree, width = codeSize + 1;
  bool full = false;
  std::uint32_t buffer = 0;
  int count = 0;
  auto write = [&](int code) {
    out.codes.push_back({code, width});
    while (count > 7) {
      out.bytes.push_back(std::uint8_t(buffer));
      buffer >>= 8;
      count -= 8;
    }
    buffer = (std::uint32_t(code) << count) | (buffer & 0xFF);
    count += width;
  };
  auto reset = [&] {
    next = firstFree;
    width = codeSize + 1;
    full = false;
  };
  std::size_t i = 0;
  write(clear);
  int prev = px[i++];
  write(prev);
  while (i < px.size()) {
    const int k = px[i++];
    prefix[std::size_t(next)] = prev;
    suffix[std::size_t(next)] = k;
    ++next;
    if (next == 4096)
      full = true;
    else if (next > (1 << width))
      ++width;
    int cur = k;
    while (i < px.size()) {
      int hit = -1;
      for (int c = std::max(firstFree, cur + 1); c < next; ++c)
        if (prefix[std::size_t(c)] == cur && suffix[std::size_t(c)] == px[i]) {
          hit = c;
          break;
        }
      if (hit < 0) break;
      cur = hit;
      ++i;
    }
    write(cur);
    prev = cur;
    if (full && i < px.size()) {
      write(clear);
      reset();
      prev = px[i++];
      write(prev);
    }
  }
  write(endCode);
  while (count > 0) {
    out.bytes.push_back(std::uint8_t(buffer));
    buffer >>= 8;
    count -= 8;
  }
  return out;
}

TEST(LzwEncode, WorkedExamples) {
  struct Row {
    const char* name;
    int codeSize;
    Bytes pixels;
    Bytes want;
  } rows[] = {
      {"1 1 1 1 2 at code size 2", 2, {1, 1, 1, 1, 2}, {0x8C, 0x23, 0x05}},
      {"one pixel 0 at code size 8", 8, {0}, {0x00, 0x01, 0x04, 0x04}},
  };
  for (const Row& row : rows) {
    const int w = int(row.pixels.size());
    EXPECT_EQ(EncodeImage(w, 1, row.pixels, row.codeSize), row.want) << row.name;
    EXPECT_EQ(ReferenceLzw(row.pixels, row.codeSize).bytes, row.want) << row.name;
  }
}

TEST(LzwEncode, SixteenPixelRunGrowsByOnePixelPerCode) {
  const Bytes px(16, 0);
  const Reference ref = ReferenceLzw(px, 2);
  std::vector<int> codes;
  for (const Code& c : ref.codes)
    codes.push_back(c.value);
  EXPECT_EQ(codes, (std::vector<int>{4, 0, 6, 7, 8, 9, 0, 5}));
  EXPECT_EQ(EncodeImage(4, 4, px, 2), ref.bytes);
}

TEST(LzwEncode, FullTableIsFollowedByClearAtTwelveBits) {
  std::mt19937 rng(7);
  Bytes px(40000);
  for (auto& p : px)
    p = std::uint8_t(rng() % 4);
  const Reference ref = ReferenceLzw(px, 2);
  int clears = 0;
  for (std::size_t i = 2; i + 1 < ref.codes.size(); ++i)
    if (ref.codes[i].value == 4) {
      ++clears;
      EXPECT_EQ(ref.codes[i].width, 12);
      EXPECT_EQ(ref.codes[i - 1].width, 12);
      EXPECT_EQ(ref.codes[i + 1].width, 3);
      EXPECT_LT(ref.codes[i + 1].value, 4); // a single pixel starts the new table
    }
  EXPECT_GE(clears, 2);
  EXPECT_EQ(EncodeImage(200, 200, px, 2), ref.bytes);
}

TEST(LzwEncode, LastPixelCompletingAMatchEndsTheData) {
  // 0 0 0: the second and third pixels match entry 6; nothing follows them.
  const Reference ref = ReferenceLzw({0, 0, 0}, 2);
  EXPECT_EQ(ref.codes, (std::vector<Code>{{4, 3}, {0, 3}, {6, 3}, {5, 3}}));
  EXPECT_EQ(EncodeImage(3, 1, {0, 0, 0}, 2), ref.bytes);
}

// Interlaced rows are coded in pass order; each row here is one pixel of its row number.
TEST(LzwEncode, InterlacedRowsAreCodedInPassOrder) {
  struct Row {
    const char* name;
    int height;
    Bytes order;
  } rows[] = {
      {"2 rows", 2, {0, 1}},
      {"5 rows", 5, {0, 4, 2, 1, 3}},
      {"8 rows", 8, {0, 4, 2, 6, 1, 3, 5, 7}},
      {"1 row", 1, {0}},
  };
  for (const Row& row : rows) {
    Bytes px(std::size_t(row.height));
    for (int y = 0; y < row.height; ++y)
      px[std::size_t(y)] = std::uint8_t(y);
    EXPECT_EQ(EncodeImage(1, row.height, px, 8, true), ReferenceLzw(row.order, 8).bytes)
        << row.name;
  }
}

Bytes RandomPixels(std::size_t n, int colors, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes px(n);
  for (auto& p : px)
    p = std::uint8_t(rng() % unsigned(colors));
  return px;
}

// Runs of background and ink, as rendered text gives, with a few edge shades.
Bytes TextLikePixels(int w, int h, int colors, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes px(std::size_t(w) * std::size_t(h));
  for (int y = 0; y < h; ++y) {
    const bool blankRow = (y / 12) % 3 == 2;
    for (int x = 0; x < w;) {
      const int run = 1 + int(rng() % 9);
      const std::uint8_t ink = blankRow || rng() % 3 ? 0 : std::uint8_t(1 + rng() % (colors - 1));
      for (int k = 0; k < run && x < w; ++k, ++x)
        px[std::size_t(y) * std::size_t(w) + std::size_t(x)] = ink;
    }
  }
  return px;
}

// Background runs of any length up to thousands of pixels, broken by short
// stretches of all 256 shades, and now and then a run of a shade.
Bytes LongRunPixels(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes px;
  px.reserve(n);
  while (px.size() < n) {
    const std::size_t run = rng() % 4 == 0 ? rng() % 5000 : rng() % 60;
    const std::uint8_t value = rng() % 5 == 0 ? std::uint8_t(rng()) : 255;
    px.insert(px.end(), std::min(run, n - px.size()), value);
    for (unsigned k = rng() % 12; k > 0 && px.size() < n; --k)
      px.push_back(std::uint8_t(rng()));
  }
  return px;
}

TEST(LzwEncode, FastLookupMatchesLinearSearchOnLargeImages) {
  struct Row {
    const char* name;
    int w, h, codeSize;
    Bytes px;
  } rows[] = {
      {"random 256 colours", 700, 500, 8, RandomPixels(350000, 256, 1)},
      {"random 2 colours", 900, 400, 2, RandomPixels(360000, 2, 2)},
      {"random 16 colours at size 4", 600, 600, 4, RandomPixels(360000, 16, 3)},
      {"text-like 2 colours", 1000, 600, 8, TextLikePixels(1000, 600, 2, 4)},
      {"text-like 16 colours", 1000, 600, 8, TextLikePixels(1000, 600, 16, 5)},
      {"one colour", 3000, 1000, 8, Bytes(3000000, 3)},
      {"one colour of index 0", 2000, 1000, 8, Bytes(2000000, 0)},
      {"text-like 4 colours at size 2", 800, 500, 2, TextLikePixels(800, 500, 4, 6)},
      {"one colour of index 200", 2500, 1000, 8, Bytes(2500000, 200)},
      {"long runs among 256 shades", 1500, 800, 8, LongRunPixels(1200000, 8)},
      {"long runs among 8 shades", 1000, 1000, 3,
       [] {
         Bytes px = LongRunPixels(1000000, 9);
         for (auto& p : px)
           p &= 7;
         return px;
       }()},
  };
  for (const Row& row : rows)
    EXPECT_EQ(EncodeImage(row.w, row.h, row.px, row.codeSize),
              ReferenceLzw(row.px, row.codeSize).bytes)
        << row.name;
}

// The string table is kept between images; an encode cut short by an error must
// not leave entries behind that would change the next image's codes.
TEST(LzwEncode, EncodeCutShortLeavesNoTraceInTheNext) {
  const Bytes px = TextLikePixels(1000, 600, 4, 7);
  auto gif = MakeIndexedGif(1000, 600, px, 8);
  gif->OnProgress = [](TGif&, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                       const std::string& msg) {
    if (stage == TProgressStage::psRunning && percent >= 50 && msg == "LZW encode image")
      throw std::runtime_error("cancelled");
  };
  EXPECT_THROW(gif->SaveToBytes(), std::runtime_error);
  EXPECT_EQ(EncodeImage(1000, 600, px, 8), ReferenceLzw(px, 8).bytes);
}

TEST(LzwEncode, PixelAboveTheRootCodesIsRefused) {
  auto gif = MakeIndexedGif(2, 1, {1, 9}, 2);
  EXPECT_EQ(ErrorCode([&] { gif->SaveToBytes(); }), 15)
      << "a code size 2 image with pixel 9 was written";
}

TEST(LzwEncode, CodeSizeWithoutRoomInTheTableIsRefused) {
  for (int size : {12, 200, -1}) {
    auto gif = MakeIndexedGif(2, 1, {1, 0}, size);
    EXPECT_EQ(ErrorCode([&] { gif->SaveToBytes(); }), 12) << "code size " << size;
  }
}

TEST(SimpleEncode, PacksLowBitsAfterTheBitCount) {
  struct Row {
    const char* name;
    int colors;
    Bytes pixels;
    Bytes want;
  } rows[] = {
      {"2 entries", 2, {1, 0, 1, 1}, {0x01, 0x0D}},
      {"4 entries, pixels masked", 4, {3, 6, 1}, {0x02, 0x1B}},
      {"256 entries", 256, {200, 7}, {0x08, 200, 7}},
      {"no pixels", 2, {}, {0x01}},
  };
  for (const Row& row : rows) {
    auto gif = MakeIndexedGif(int(row.pixels.size()), 1, row.pixels, 0, row.colors);
    EXPECT_EQ(FirstImageData(gif->SaveToBytes()), row.want) << row.name;
  }
}

TEST(SimpleEncode, ClearsTheInterlaceFlag) {
  auto gif = MakeIndexedGif(2, 2, {1, 0, 1, 1}, 0, 2, true);
  const Bytes out = gif->SaveToBytes();
  EXPECT_FALSE(gif->GetImage(0).Interlaced);
  EXPECT_EQ(FirstImageData(out), (Bytes{0x01, 0x0D}));
}

} // namespace
