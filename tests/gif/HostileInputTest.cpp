// Streams made to cost time or memory out of proportion to their size: each
// loads or fails with a codec error, reading no more than it needs.
#include "CodecErrors.h"
#include "HostileGifs.h"
#include "ReadGifBytes.h"
#include "gif/Gif.h"
#include "support/GiflibDecode.h"

#include <gtest/gtest.h>

#include <random>
#include <streambuf>

namespace {

using hostile_gifs::TBytes;

TBytes Cat(std::initializer_list<TBytes> Parts) {
  TBytes out;
  for (const TBytes& p : Parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A 1 x 1 image followed by long runs: decoded in full, some billions of pixels.
TEST(HostileInput, SurplusDataAfterTheLastPixelIsNotDecoded) {
  for (bool interlaced : {false, true}) {
    TGif gif;
    gif.LoadFromBytes(hostile_gifs::SurplusData(300000, interlaced));
    ASSERT_EQ(gif.ImageCount(), 1);
    EXPECT_EQ(gif.GetImage(0).PixelIndices, TBytes{0}) << "interlaced " << interlaced;
  }
  // The decoder reads no further than the pixels it places.
  const TBytes data = hostile_gifs::LongRuns(300000);
  std::vector<int> positions;
  TBytes pixels(1000);
  EXPECT_EQ(TLzwDecoder().Decode(data, 8, pixels, [&](int p) { positions.push_back(p); }),
            TLzwEnd::Full);
  EXPECT_TRUE(positions.empty()) << "read up to byte "
                                 << (positions.empty() ? 0 : positions.back());
  EXPECT_EQ(pixels, TBytes(1000, 0));
}

TEST(HostileInput, HowADecodeEnds) {
  using read_gif_bytes::PackCodes;
  struct Row {
    const char* Name;
    TBytes Data;
    std::size_t Pixels;
    TLzwEnd Want;
  } rows[] = {
      {"every pixel placed", PackCodes({{4, 3}, {1, 3}, {2, 3}, {5, 3}}), 2, TLzwEnd::Full},
      {"end code first", PackCodes({{4, 3}, {1, 3}, {5, 3}}), 2, TLzwEnd::EndCode},
      {"data runs out", PackCodes({{4, 3}, {1, 3}}), 2, TLzwEnd::DataOut},
      {"no pixels, no data read", {0xFF}, 0, TLzwEnd::Full},
      // a code far beyond the table after the last pixel is never read
      {"damage after the last pixel", PackCodes({{4, 3}, {1, 3}, {2, 3}, {7, 3}}), 2,
       TLzwEnd::Full},
  };
  for (const Row& row : rows) {
    TBytes pixels(row.Pixels);
    EXPECT_EQ(TLzwDecoder().Decode(row.Data, 2, pixels), row.Want) << row.Name;
  }
}

// Data far longer than the pixels need (a clear code before every pixel) is
// decoded while it is gathered; what comes out is what giflib reads.
TEST(HostileInput, LongDataDecodedWhileGatheredGivesGiflibsPixels) {
  std::mt19937 rng(5);
  TBytes pixels(200 * 250);
  for (auto& p : pixels)
    p = std::uint8_t(rng() % 4);
  for (bool interlaced : {false, true}) {
    using namespace read_gif_bytes;
    const TBytes file = OneImage(200, 250, 2, RootCodes(2, pixels), interlaced);
    TGif gif;
    gif.LoadFromBytes(file);
    const GiflibGif want = GiflibDecode(file);
    ASSERT_EQ(want.Error, "");
    EXPECT_EQ(gif.GetImage(0).PixelIndices, want.Images.at(0).Pixels)
        << "interlaced " << interlaced;
  }
}

TEST(HostileInput, SubBlocksTakeTheBytesTheyHave) {
  const std::size_t count = 100000;
  TGif gif;
  gif.LoadFromBytes(hostile_gifs::OneByteSubBlocks(count));
  const TGifSubBlocks& data = (*gif.GetImage(0).Extensions)[0].Data;
  EXPECT_EQ(data.size(), count);
  EXPECT_EQ(data.StreamBytes().size(), 2 * count);
  std::size_t i = 0;
  for (const TGifSubBlock& b : data) {
    ASSERT_EQ(b.Length, 1);
    ASSERT_EQ(b.Bytes[0], 'a' + i++ % 26);
  }
  // and are written back as they were read
  TGif copy;
  copy.LoadFromBytes(gif.SaveToBytes());
  EXPECT_TRUE((*copy.GetImage(0).Extensions)[0].Data == data);
}

TEST(HostileInput, PixelLimitIsASetting) {
  using namespace read_gif_bytes;
  const TBytes pixel = RootCodes(2, {1});
  EXPECT_EQ(TGif().PixelLimit(), std::size_t(1) << 28);
  struct Row {
    const char* Name;
    std::size_t Limit;
    TBytes Stream;
    int Want;
  } rows[] = {
      {"10 x 10 of 100", 100, Cat({Header(), Image(10, 10, 2, pixel), {0x3B}}), 0},
      {"11 x 10 of 100", 100, Cat({Header(), Image(11, 10, 2, pixel), {0x3B}}), 15},
      {"10 x 10 and 1 x 1 of 100", 100,
       Cat({Header(), Image(10, 10, 2, pixel), Image(1, 1, 2, pixel), {0x3B}}), 15},
      {"0 x 5 of 0", 0, Cat({Header(), Image(0, 5, 2, pixel), {0x3B}}), 0},
      {"1 x 1 of 0", 0, Cat({Header(), Image(1, 1, 2, pixel), {0x3B}}), 15},
  };
  for (const Row& row : rows) {
    TGif gif;
    gif.SetPixelLimit(row.Limit);
    EXPECT_EQ(LoadError(gif, row.Stream), row.Want) << row.Name;
  }
}

// Records (tables, images, extensions) may take a bounded multiple of the
// bytes read: a few tiny records load, a flood of them is refused.
TEST(HostileInput, RecordsAreBoundedByTheBytesRead) {
  struct Row {
    const char* Name;
    TBytes Stream;
    int Want;
  } rows[] = {
      {"10,000 images with 2-entry tables", hostile_gifs::TinyLocalTables(10000), 0},
      {"60,000 images with 2-entry tables", hostile_gifs::TinyLocalTables(60000), 15},
      {"10,000 empty comments", hostile_gifs::EmptyComments(10000), 0},
      {"200,000 empty comments", hostile_gifs::EmptyComments(200000), 15},
  };
  for (const Row& row : rows) {
    TGif gif;
    EXPECT_EQ(read_gif_bytes::LoadError(gif, row.Stream), row.Want) << row.Name;
  }
  TGif gif;
  gif.LoadFromBytes(hostile_gifs::TinyLocalTables(10000));
  EXPECT_EQ(gif.ImageCount(), 10000);
  EXPECT_EQ(gif.ColorTableCount(), 10001);
}

// An endless stream that cannot seek, counting what it hands out.
class TEndlessBuf : public std::streambuf {
public:
  explicit TEndlessBuf(TBytes Start, std::uint8_t Fill) : FStart(std::move(Start)), FFill(Fill) {}
  std::size_t HandedOut = 0;

protected:
  int_type underflow() override {
    if (!FStart.empty()) {
      FChunk = std::move(FStart);
      FStart.clear();
    } else {
      FChunk.assign(4096, char(FFill));
    }
    HandedOut += FChunk.size();
    char* p = reinterpret_cast<char*>(FChunk.data());
    setg(p, p, p + FChunk.size());
    return traits_type::to_int_type(*p);
  }

private:
  TBytes FStart, FChunk;
  std::uint8_t FFill;
};

TEST(HostileInput, StreamsAreReadAsTheyAreParsed) {
  {
    TEndlessBuf zeros({}, 0);
    std::istream stream(&zeros);
    TGif gif;
    EXPECT_EQ(ErrorCode([&] { gif.LoadFromStream(stream); }), 1);
    EXPECT_LE(zeros.HandedOut, std::size_t(1) << 17) << "fails at the signature";
  }
  {
    // a pipe is read from where it stands
    TBytes file = read_gif_bytes::OneImage(1, 1, 2, read_gif_bytes::RootCodes(2, {3}));
    TEndlessBuf pipe(file, 0);
    std::istream stream(&pipe);
    TGif gif;
    gif.LoadFromStream(stream);
    EXPECT_EQ(gif.GetImage(0).PixelIndices, TBytes{3});
  }
}

TEST(HostileInput, AssignOfItsOwnBitmap) {
  for (int which : {0, 1}) {
    TBitmap first(3, 2), second(2, 2);
    first.SetPixel(1, 1, RGB(200, 10, 10));
    second.SetPixel(0, 1, RGB(10, 200, 10));
    TGif gif;
    gif.AddBitmap(first);
    gif.AddBitmap(second);
    const TBitmap& own = gif.GetBitmap(which);
    const TBitmap want = own;
    gif.Assign(&own);
    ASSERT_EQ(gif.ImageCount(), 1) << which;
    const TBitmap& got = gif.GetBitmap(0);
    ASSERT_EQ(got.Width(), want.Width());
    ASSERT_EQ(got.Height(), want.Height());
    for (int y = 0; y < want.Height(); ++y)
      for (int x = 0; x < want.Width(); ++x)
        EXPECT_EQ(got.GetPixel(x, y), want.GetPixel(x, y)) << which << ": " << x << ", " << y;
  }
}

} // namespace
