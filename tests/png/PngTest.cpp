// Our writer's files read back exactly, by our reader and by libpng, in the
// smallest form; files no reader should trust are refused in one message.
#include "png/Png.h"
#include "support/LibpngDecode.h"
#include "support/PngBytes.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace pngbytes;

enum class TKind { Opaque, Translucent, Grey };

// Colour I of Count, distinct for every I below 512 (below 256 in grey);
// every third translucent when asked.
TRgbaImage Cycling(int Width, int Height, int Count, TKind Kind) {
  TRgbaImage image(Width, Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const int i = (y * Width + x) % Count;
      std::uint8_t* p = image.At(x, y);
      p[0] = std::uint8_t(i), p[1] = std::uint8_t(i >> 8) * 90, p[2] = std::uint8_t(200 - i % 50);
      p[3] = Kind == TKind::Translucent && i % 3 == 0 ? std::uint8_t(i * 7 % 255) : 255;
      if (Kind == TKind::Grey) p[1] = p[2] = p[0];
    }
  return image;
}

std::uint32_t ChunkLength(const TPngInfo& Info, const std::string& Type) {
  for (const TPngChunk& c : Info.Chunks)
    if (c.Type == Type) return c.Length;
  return 0;
}

TEST(Png, RoundTripsExactlyInItsSmallestForm) {
  struct Case {
    const char* Name;
    TRgbaImage Image;
    int ColorType, BitDepth;
    std::uint32_t Transparency; // tRNS entries
  };
  const std::vector<Case> cases = {
      {"3 opaque colours", Cycling(7, 5, 3, TKind::Opaque), 3, 2, 0},
      {"12 colours, 4 translucent", Cycling(9, 4, 12, TKind::Translucent), 3, 4, 4},
      {"256 opaque colours", Cycling(40, 30, 256, TKind::Opaque), 3, 8, 0},
      {"17 opaque greys", Cycling(6, 5, 17, TKind::Grey), 0, 8, 0},
      {"257 opaque colours", Cycling(40, 30, 257, TKind::Opaque), 2, 8, 0},
      {"257 colours, some translucent", Cycling(40, 30, 257, TKind::Translucent), 6, 8, 0},
      {"1 x 1", Cycling(1, 1, 1, TKind::Opaque), 3, 1, 0},
      {"a wide strip of 5 colours", Cycling(4001, 2, 5, TKind::Translucent), 3, 4, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<std::uint8_t> png = EncodePng(c.Image);
    EXPECT_EQ(EncodePng(c.Image), png) << "the same image, the same bytes";
    EXPECT_EQ(DecodePng(png), c.Image);
    const LibpngPng theirs = LibpngDecode({reinterpret_cast<const char*>(png.data()), png.size()});
    EXPECT_EQ(theirs.Error, "");
    EXPECT_EQ(theirs.Image, c.Image);
    const TPngInfo info = InspectPng(png);
    EXPECT_EQ(info.ColorType, c.ColorType);
    EXPECT_EQ(info.BitDepth, c.BitDepth);
    EXPECT_EQ(ChunkLength(info, "tRNS"), c.Transparency);
  }
}

TEST(Png, RefusesWhatIsNoSoundPngInOneMessage) {
  const std::vector<std::uint8_t> good = EncodePng(Cycling(30, 20, 300, TKind::Opaque));
  const std::string valid(good.begin(), good.end());
  std::string badCrc = valid;
  badCrc[valid.size() - 13] ^= 1; // the last byte of IDAT's CRC
  struct Case {
    const char* Name;
    std::string Bytes;
    const char* Message;
  };
  const std::vector<Case> cases = {
      {"empty", "", "not a PNG file"},
      {"a GIF", "GIF89a\x01\x00\x01\x00\x00\x00\x00;", "not a PNG file"},
      {"cut in its image data", valid.substr(0, valid.size() / 2), "cut short"},
      {"cut before its end chunk", valid.substr(0, valid.size() - 12), "cut short"},
      {"a bad CRC", badCrc, "checksum"},
      {"a header claiming 100000 x 100000",
       Png({Header(100000, 100000, 8, 6), Data(std::string(100001, '\0'))}), "100000 x 100000"},
      {"a header claiming one row of 2^21 pixels", Png({Header(1 << 21, 1, 16, 6), Data("")}),
       "pixels wide"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(c.Bytes.data()),
                                              c.Bytes.size());
    for (const auto& read : {std::function<void()>([&] { DecodePng(bytes); }),
                             std::function<void()>([&] { InspectPng(bytes); })}) {
      try {
        read();
        ADD_FAILURE() << "accepted";
      } catch (const EPngError& e) {
        const std::string what = e.what();
        EXPECT_TRUE(what.starts_with("PNG: ")) << what;
        EXPECT_NE(what.find(c.Message), std::string::npos) << what;
        EXPECT_EQ(what.find('\n'), std::string::npos) << what;
      }
    }
  }
}

} // namespace
