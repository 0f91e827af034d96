// GIFs of code size 1 (two colours), which some encoders write though the
// format's smallest is 2: read as giflib reads them, and saved so that giflib
// and our reader read the same pixels back.
#include "HostileGifs.h"
#include "gif/Gif.h"
#include "support/GiflibDecode.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

using hostile_gifs::TBytes;

// A plain LZW encoder, independent of ours, whose code widths are those giflib
// reads: a code is read in the bits the next free code needs, counting the
// code after a clear code's first pixel as if it had made an entry.
TBytes EncodeLikeGiflib(const TBytes& Pixels, int CodeSize) {
  const int clear = 1 << CodeSize;
  hostile_gifs::TCodePacker out;
  std::map<std::pair<int, int>, int> table;
  int next = clear + 2;
  int width = CodeSize + 1;
  int emitted = 0; // codes since the last clear code
  auto put = [&](int code) {
    out.Put(code, width);
    const int free = clear + 2 + emitted++;
    while (width < 12 && free >= (1 << width))
      ++width;
  };
  out.Put(clear, width);
  int prefix = -1;
  for (std::uint8_t p : Pixels) {
    if (prefix < 0) {
      prefix = p;
      continue;
    }
    const auto it = table.find({prefix, p});
    if (it != table.end()) {
      prefix = it->second;
      continue;
    }
    put(prefix);
    if (next < 4096) {
      table[{prefix, p}] = next++;
    } else {
      out.Put(clear, width);
      table.clear();
      next = clear + 2;
      width = CodeSize + 1;
      emitted = 0;
    }
    prefix = p;
  }
  if (prefix >= 0) put(prefix);
  out.Put(clear + 1, width);
  return out.Finish();
}

TBytes GifOfCodeSize1(int Width, int Height, bool Interlaced, const TBytes& StreamOrder) {
  TBytes out = hostile_gifs::Header();
  hostile_gifs::AppendImage(out, Width, Height, Interlaced, 1, EncodeLikeGiflib(StreamOrder, 1));
  out.push_back(0x3B);
  return out;
}

TEST(CodeSize1, ReadAsGiflibReadsItAndSavedSoBothReadItBack) {
  std::mt19937 rng(11);
  auto random = [&](std::size_t n) {
    TBytes px(n);
    for (auto& p : px)
      p = std::uint8_t(rng() & 1);
    return px;
  };
  auto runs = [&](std::size_t n) {
    TBytes px(n);
    for (std::size_t i = 0; i < n; ++i)
      px[i] = std::uint8_t((i / 37) & 1);
    return px;
  };
  struct Row {
    const char* Name;
    int Width, Height;
    bool Interlaced;
    TBytes Pixels; // in stream order
  } rows[] = {
      {"one pixel", 1, 1, false, {1}},
      {"five pixels", 5, 1, false, {1, 1, 1, 1, 0}},
      {"two rows", 3, 2, false, {0, 1, 1, 0, 0, 1}},
      {"random 64 x 64", 64, 64, false, random(64 * 64)},
      {"random 64 x 64, interlaced", 64, 64, true, random(64 * 64)},
      {"runs over a full table", 400, 300, false, runs(400 * 300)},
      {"random over several tables", 300, 200, false, random(300 * 200)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    const TBytes file = GifOfCodeSize1(row.Width, row.Height, row.Interlaced, row.Pixels);
    const GiflibGif original = GiflibDecode(file);
    ASSERT_EQ(original.Error, "");
    const TBytes& want = original.Images.at(0).Pixels; // display order
    if (!row.Interlaced) {
      ASSERT_EQ(want, row.Pixels) << "the test's encoder and giflib differ";
    }

    TGif gif;
    gif.LoadFromBytes(file);
    EXPECT_EQ(gif.GetImage(0).CodeSize, 1);
    EXPECT_EQ(gif.GetImage(0).PixelIndices, want);

    const TBytes saved = gif.SaveToBytes();
    const GiflibGif theirs = GiflibDecode(saved);
    ASSERT_EQ(theirs.Error, "");
    EXPECT_EQ(theirs.Images.at(0).Pixels, want) << "giflib reads the saved file";
    TGif ours;
    ours.LoadFromBytes(saved);
    EXPECT_EQ(ours.GetImage(0).CodeSize, 2);
    EXPECT_EQ(ours.GetImage(0).PixelIndices, want) << "our reader reads the saved file";
  }
}

} // namespace
