// The LZW encoder and decoder driven directly on spans, with no GIF around them.
#include "ReadGifBytes.h"
#include "gif/Lzw.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

using read_gif_bytes::PackCodes;
using TBytes = std::vector<std::uint8_t>;

namespace {

TBytes Encode(const TBytes& Pixels, int CodeSize) {
  TLzwEncoder encoder;
  TBytes out;
  encoder.Encode(Pixels, CodeSize, out);
  return out;
}

TBytes Decode(const TBytes& Data, int CodeSize, std::size_t Count) {
  TLzwDecoder decoder;
  TBytes pixels(Count);
  decoder.Decode(Data, CodeSize, pixels);
  return pixels;
}

// The codec error a call raises with its detail, or code -1 when it raises none.
struct TRaised {
  int Code = -1;
  std::string Detail;
};
template <class F> TRaised Raised(F&& f) {
  try {
    f();
  } catch (const EInvalidGraphicOperation& e) {
    return {e.Code(), e.Detail()};
  }
  return {};
}

TBytes Random(std::size_t n, int values, unsigned seed) {
  std::mt19937 rng(seed);
  TBytes px(n);
  for (auto& p : px)
    p = std::uint8_t(rng() % unsigned(values));
  return px;
}

// Runs of one value broken by short random stretches, as rendered text gives.
TBytes Runs(std::size_t n, int values, unsigned seed) {
  std::mt19937 rng(seed);
  TBytes px;
  while (px.size() < n) {
    px.insert(px.end(), std::min<std::size_t>(rng() % 300, n - px.size()), 0);
    for (unsigned k = rng() % 6; k > 0 && px.size() < n; --k)
      px.push_back(std::uint8_t(rng() % unsigned(values)));
  }
  return px;
}

// Codes read back by the width rule of the format: the table grows by one
// entry per code after the first of a table, and the codes widen when it
// reaches 2^width, up to 12 bits.
struct TCodeRead {
  int Code, Width;
};
std::vector<TCodeRead> ReadCodes(const TBytes& Data, int CodeSize) {
  std::vector<TCodeRead> codes;
  const int clear = 1 << CodeSize;
  int width = CodeSize + 1, next = clear + 2;
  bool first = true;
  std::size_t bit = 0;
  while (bit + std::size_t(width) <= Data.size() * 8) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit)
      code |= ((Data[bit / 8] >> (bit % 8)) & 1) << i;
    codes.push_back({code, width});
    if (code == clear + 1) break;
    if (code == clear) {
      width = CodeSize + 1;
      next = clear + 2;
      first = true;
      continue;
    }
    if (!first && next < 4096) ++next;
    first = false;
    if (next >= (1 << width) && width < 12) ++width;
  }
  return codes;
}

TEST(LzwCoder, RoundTripsAtEveryCodeSize) {
  struct Row {
    const char* name;
    int codeSize;
    TBytes pixels;
  } rows[] = {
      {"size 2, random past two full tables", 2, Random(40000, 4, 2)},
      {"size 3, runs", 3, Runs(30000, 8, 3)},
      {"size 4, random", 4, Random(30000, 16, 4)},
      {"size 5, one pixel", 5, {31}},
      {"size 6, two pixels", 6, {63, 63}},
      {"size 7, runs", 7, Runs(50000, 128, 7)},
      {"size 8, random", 8, Random(100000, 256, 8)},
      {"size 8, runs", 8, Runs(200000, 256, 9)},
      {"size 8, one value", 8, TBytes(300000, 255)},
      {"size 9, bytes", 9, Random(30000, 256, 10)},
      {"size 11, bytes", 11, Runs(60000, 256, 11)},
  };
  for (const Row& row : rows) {
    const TBytes data = Encode(row.pixels, row.codeSize);
    EXPECT_EQ(Decode(data, row.codeSize, row.pixels.size()), row.pixels) << row.name;
    const std::vector<TCodeRead> codes = ReadCodes(data, row.codeSize);
    ASSERT_GE(codes.size(), 3u) << row.name;
    EXPECT_EQ(codes.front().Code, 1 << row.codeSize) << row.name << ": no clear code first";
    EXPECT_EQ(codes.back().Code, (1 << row.codeSize) + 1) << row.name << ": no end code last";
  }
}

TEST(LzwCoder, EncoderKeepsNoTraceOfTheImageBefore) {
  TLzwEncoder encoder;
  const TBytes first = Runs(40000, 4, 20), second = Random(30000, 256, 21);
  TBytes a, b, again;
  encoder.Encode(first, 8, a);
  encoder.Encode(second, 8, b);
  encoder.Encode(first, 8, again);
  EXPECT_EQ(a, Encode(first, 8));
  EXPECT_EQ(b, Encode(second, 8));
  EXPECT_EQ(again, a);
}

// Tables of an encoder gone, even one cut short, serve the next encoder made.
TEST(LzwCoder, EncoderAfterOneCutShortCodesAsAFreshOne) {
  const TBytes px = Runs(60000, 256, 22);
  const TBytes want = Encode(px, 8);
  for (int round = 0; round < 3; ++round) {
    {
      TLzwEncoder cut;
      TBytes out;
      EXPECT_THROW(cut.Encode(Random(60000, 256, 23), 8, out,
                              [](int p) {
                                if (p > 30000) throw std::runtime_error("cancelled");
                              }),
                   std::runtime_error);
    }
    EXPECT_EQ(Encode(px, 8), want) << "round " << round;
  }
}

TEST(LzwCoder, FullTableIsFollowedByAClearCodeAtTwelveBits) {
  for (int codeSize : {2, 8}) {
    const TBytes px = Random(120000, 1 << std::min(codeSize, 8), unsigned(codeSize));
    const TBytes data = Encode(px, codeSize);
    const std::vector<TCodeRead> codes = ReadCodes(data, codeSize);
    const int clear = 1 << codeSize;
    std::vector<std::size_t> clears;
    for (std::size_t i = 0; i < codes.size(); ++i)
      if (codes[i].Code == clear) clears.push_back(i);
    ASSERT_GE(clears.size(), 3u) << "code size " << codeSize;
    for (std::size_t c = 1; c < clears.size(); ++c) {
      // The clear code, one code that adds nothing, then one per entry up to 4095.
      EXPECT_EQ(clears[c] - clears[c - 1], std::size_t(2 + 4096 - (clear + 2)))
          << "code size " << codeSize << ", table " << c;
      EXPECT_EQ(codes[clears[c]].Width, 12);
      EXPECT_EQ(codes[clears[c] + 1].Width, codeSize + 1);
      EXPECT_LT(codes[clears[c] + 1].Code, clear) << "a table does not start with one pixel";
    }
    EXPECT_EQ(Decode(data, codeSize, px.size()), px) << "code size " << codeSize;
  }
}

// After the first code of a table, clear - 1 codes take the next free code to
// 2 * clear; the code after them is one bit wider.
TEST(LzwCoder, DecoderWidensWhenTheNextFreeCodeReachesThePowerOfTwo) {
  for (int codeSize : {2, 3, 5, 8, 10}) {
    const int clear = 1 << codeSize, width = codeSize + 1;
    const std::uint8_t last = 2;
    auto codes = [&](int lastWidth) {
      std::vector<std::pair<int, int>> out{{clear, width}};
      for (int i = 0; i < clear - 1; ++i)
        out.emplace_back(1, width);
      out.emplace_back(last, lastWidth);
      out.emplace_back(clear + 1, lastWidth);
      return out;
    };
    TBytes want(std::size_t(clear - 1), 1);
    want.push_back(last);
    EXPECT_EQ(Decode(PackCodes(codes(width + 1)), codeSize, want.size()), want)
        << "code size " << codeSize;
    bool misread = false;
    try {
      misread = Decode(PackCodes(codes(width)), codeSize, want.size()) != want;
    } catch (const EInvalidGraphicOperation&) {
      misread = true;
    }
    EXPECT_TRUE(misread) << "code size " << codeSize << ": read at the old width";
  }
}

// The encoder widens one code later than the decoder's table grows, since it
// adds each entry one code ahead: what it writes reads back the same.
TEST(LzwCoder, EncoderWidensAtTheSameCodeTheDecoderDoes) {
  for (int codeSize : {2, 4, 8}) {
    const int clear = 1 << codeSize;
    // Distinct pairs make one new entry per code, so each width is reached.
    for (std::size_t n : {std::size_t(clear), std::size_t(clear) + 1, std::size_t(2 * clear) - 1,
                          std::size_t(2 * clear), std::size_t(4 * clear) + 3}) {
      TBytes px(n);
      for (std::size_t i = 0; i < n; ++i)
        px[i] = std::uint8_t((i * 7 + i / std::size_t(clear)) % std::size_t(clear));
      const TBytes data = Encode(px, codeSize);
      EXPECT_EQ(Decode(data, codeSize, n), px) << "code size " << codeSize << ", " << n;
    }
  }
}

TEST(LzwCoder, EncoderRefusals) {
  struct Row {
    const char* name;
    int codeSize;
    TBytes pixels;
    int code;
    const char* detail;
  } rows[] = {
      {"code size 12", 12, {1}, 12, ""},
      {"code size -1", -1, {0}, 12, ""},
      {"pixel 4 at code size 2", 2, {1, 4}, 15, "pixel above the root codes"},
      {"pixel 1 at code size 0", 0, {0, 1}, 15, "pixel above the root codes"},
  };
  for (const Row& row : rows) {
    TBytes out;
    const TRaised r = Raised([&] { TLzwEncoder().Encode(row.pixels, row.codeSize, out); });
    EXPECT_EQ(r.Code, row.code) << row.name;
    EXPECT_EQ(r.Detail, row.detail) << row.name;
    EXPECT_TRUE(out.empty()) << row.name << ": wrote before refusing";
  }
}

TEST(LzwCoder, TruncatedAndCorruptData) {
  struct Row {
    const char* name;
    int codeSize;
    TBytes data;
    int code;           // -1: no error
    const char* detail; // with an error
    TBytes want;        // without one: the pixels
  } rows[] = {
      {"no data", 2, {}, -1, "", {0, 0, 0}},
      {"end code first", 2, PackCodes({{5, 3}, {1, 3}}), -1, "", {0, 0, 0}},
      {"less than a code", 8, {0x00}, -1, "", {0, 0, 0}},
      {"cut inside the third code", 8, {0x00, 0x0B, 0x14}, -1, "", {5, 0, 0}},
      {"no end code", 2, PackCodes({{4, 3}, {1, 3}, {2, 3}}), -1, "", {1, 2, 0}},
      {"root code first",
       2,
       PackCodes({{1, 3}, {5, 3}}),
       13,
       "data not starting with a clear code",
       {}},
      {"clear code, then end code",
       2,
       PackCodes({{4, 3}, {4, 3}, {5, 3}}),
       13,
       "clear code, then end code",
       {}},
      {"code beyond the next free one",
       2,
       PackCodes({{4, 3}, {1, 3}, {7, 3}}),
       13,
       "code beyond the next free code",
       {}},
      {"code size 12", 12, {0x00, 0x10}, 12, "", {}},
      {"code size 255", 255, {0x01}, 12, "", {}},
  };
  for (const Row& row : rows) {
    TBytes pixels(3);
    const TRaised r = Raised([&] { TLzwDecoder().Decode(row.data, row.codeSize, pixels); });
    EXPECT_EQ(r.Code, row.code) << row.name;
    if (row.code >= 0)
      EXPECT_EQ(r.Detail, row.detail) << row.name;
    else
      EXPECT_EQ(pixels, row.want) << row.name;
  }
}

// Any prefix of good data decodes to a prefix of its pixels; any bytes at all
// end in pixels or in error 13, never past the output.
TEST(LzwCoder, CutAndDamagedDataStaysInsideTheOutput) {
  const TBytes px = Runs(20000, 16, 30);
  const TBytes data = Encode(px, 4);
  for (std::size_t cut : {std::size_t(1), data.size() / 3, data.size() / 2, data.size() - 1}) {
    const TBytes got =
        Decode(TBytes(data.begin(), data.begin() + std::ptrdiff_t(cut)), 4, px.size());
    std::size_t same = 0;
    while (same < px.size() && got[same] == px[same])
      ++same;
    for (std::size_t i = same; i < px.size(); ++i)
      ASSERT_EQ(got[i], 0) << "cut at " << cut << ": pixel " << i << " after the decoded part";
    EXPECT_GT(same, cut) << "cut at " << cut;
  }
  std::mt19937 rng(31);
  for (int round = 0; round < 200; ++round) {
    TBytes damaged = data;
    for (int k = 0; k < 3; ++k)
      damaged[1 + rng() % (damaged.size() - 1)] ^= std::uint8_t(1 + rng() % 255);
    TBytes out(std::size_t(1 + rng() % 30000));
    const TRaised r = Raised([&] { TLzwDecoder().Decode(damaged, 4, out); });
    EXPECT_TRUE(r.Code == -1 || r.Code == 13) << "round " << round << ": error " << r.Code;
  }
}

TEST(LzwCoder, SurplusIsNotDecoded) {
  const TBytes px{1, 2, 3, 1, 2, 3, 3};
  const TBytes data = Encode(px, 2);
  EXPECT_EQ(Decode(data, 2, 4), (TBytes{1, 2, 3, 1}));
  EXPECT_EQ(Decode(data, 2, 0), TBytes{});
}

// Each coder has its own tables: one started from another's progress report
// codes as if alone. A coder called from its own report refuses.
TEST(LzwCoder, CodersStartedFromAnothersProgressReportDoNotMix) {
  const TBytes outerPx = Runs(200000, 4, 40), innerPx = Random(50000, 256, 41);
  const TBytes outerData = Encode(outerPx, 8);
  TLzwEncoder outer;
  TBytes outerOut, innerOut;
  TBytes decodedInner(innerPx.size());
  bool nested = false;
  outer.Encode(outerPx, 8, outerOut, [&](int) {
    if (nested) return;
    nested = true;
    TLzwEncoder inner;
    inner.Encode(innerPx, 8, innerOut);
    TLzwDecoder().Decode(innerOut, 8, decodedInner);
    TBytes ignored;
    EXPECT_THROW(outer.Encode(innerPx, 8, ignored), std::logic_error);
  });
  ASSERT_TRUE(nested);
  EXPECT_EQ(outerOut, outerData);
  EXPECT_EQ(innerOut, Encode(innerPx, 8));
  EXPECT_EQ(decodedInner, innerPx);

  TLzwDecoder decoder;
  TBytes outerPixels(outerPx.size()), innerPixels(innerPx.size());
  bool decodedNested = false;
  decoder.Decode(outerData, 8, outerPixels, [&](int) {
    if (decodedNested) return;
    decodedNested = true;
    TLzwDecoder().Decode(innerOut, 8, innerPixels);
    TBytes ignored(4);
    EXPECT_THROW(decoder.Decode(innerOut, 8, ignored), std::logic_error);
  });
  ASSERT_TRUE(decodedNested);
  EXPECT_EQ(outerPixels, outerPx);
  EXPECT_EQ(innerPixels, innerPx);
}

TEST(LzwCoder, ProgressComesAtMostOncePerHundred) {
  const TBytes px = Random(5000, 256, 50);
  std::vector<int> positions;
  TBytes data;
  TLzwEncoder().Encode(px, 8, data, [&](int p) { positions.push_back(p); });
  ASSERT_FALSE(positions.empty());
  EXPECT_GE(positions.front(), 100);
  for (std::size_t i = 1; i < positions.size(); ++i)
    EXPECT_GE(positions[i], positions[i - 1] + 100);
  EXPECT_LE(positions.back(), int(px.size()));
  positions.clear();
  TBytes out(px.size());
  TLzwDecoder().Decode(data, 8, out, [&](int p) { positions.push_back(p); });
  ASSERT_FALSE(positions.empty());
  EXPECT_GE(positions.front(), 100);
  for (std::size_t i = 1; i < positions.size(); ++i)
    EXPECT_GE(positions[i], positions[i - 1] + 100);
  EXPECT_LE(positions.back(), int(data.size()));
}

} // namespace
