// GIF streams made to cost a reader time or memory out of proportion to their
// size, generated at any size. Tests use them small; the benchmarks large.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

namespace hostile_gifs {

using TBytes = std::vector<std::uint8_t>;

// Codes of their own widths, least significant bit first.
class TCodePacker {
public:
  void Put(int Code, int Width) {
    FBits |= std::uint64_t(Code) << FCount;
    FCount += Width;
    for (; FCount >= 8; FCount -= 8, FBits >>= 8)
      Out.push_back(std::uint8_t(FBits));
  }
  TBytes Finish() {
    if (FCount > 0) Out.push_back(std::uint8_t(FBits));
    FCount = 0;
    FBits = 0;
    return std::move(Out);
  }
  TBytes Out;

private:
  std::uint64_t FBits = 0;
  int FCount = 0;
};

// At least Bytes of LZW data (code size 8) in which every table is spent on
// ever longer runs of pixel 0: after each clear code, 0, then codes 258 to
// 4095, each one pixel longer than the last. About 7.4 million pixels per
// 5.4 KB, so 3 MB spell some 4 billion pixels.
inline TBytes LongRuns(std::size_t Bytes) {
  TCodePacker p;
  int width = 9;
  p.Put(256, width);
  while (p.Out.size() < Bytes) {
    width = 9;
    p.Put(0, width);
    for (int code = 258, next = 258; code < 4096; ++code) {
      p.Put(code, width);
      if (++next >= (1 << width) && width < 12) ++width;
    }
    p.Put(256, width);
  }
  p.Put(257, 9);
  return p.Finish();
}

// push_back, not insert: GCC 12 warns falsely on inserting into a fresh vector.
inline void Append(TBytes& Out, std::initializer_list<std::uint8_t> Bytes) {
  for (std::uint8_t b : Bytes)
    Out.push_back(b);
}

// Data cut into sub-blocks of at most 255 bytes, with the terminating 0.
inline void AppendSubBlocks(TBytes& Out, const TBytes& Data) {
  for (std::size_t i = 0; i < Data.size(); i += 255) {
    const std::size_t n = std::min<std::size_t>(255, Data.size() - i);
    Out.push_back(std::uint8_t(n));
    Out.insert(Out.end(), Data.begin() + std::ptrdiff_t(i), Data.begin() + std::ptrdiff_t(i + n));
  }
  Out.push_back(0);
}

// "GIF89a", a 1 x 1 screen and a global table of 2 entries.
inline TBytes Header() {
  return {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
}

inline void AppendImage(TBytes& Out, int Width, int Height, bool Interlaced, int CodeSize,
                        const TBytes& Data) {
  const std::uint8_t descriptor[] = {0x2C,
                                     0,
                                     0,
                                     0,
                                     0,
                                     std::uint8_t(Width),
                                     std::uint8_t(Width >> 8),
                                     std::uint8_t(Height),
                                     std::uint8_t(Height >> 8),
                                     std::uint8_t(Interlaced ? 0x40 : 0),
                                     std::uint8_t(CodeSize)};
  for (std::uint8_t b : descriptor)
    Out.push_back(b);
  AppendSubBlocks(Out, Data);
}

// A 1 x 1 image whose data goes on with some DataBytes of long runs.
inline TBytes SurplusData(std::size_t DataBytes, bool Interlaced) {
  TBytes out = Header();
  AppendImage(out, 1, 1, Interlaced, 8, LongRuns(DataBytes));
  out.push_back(0x3B);
  return out;
}

// A comment of Count one-byte sub-blocks before a 1 x 1 image.
inline TBytes OneByteSubBlocks(std::size_t Count) {
  TBytes out = Header();
  Append(out, {0x21, 0xFE});
  for (std::size_t i = 0; i < Count; ++i)
    Append(out, {1, std::uint8_t('a' + i % 26)});
  out.push_back(0);
  AppendImage(out, 1, 1, false, 2, {0x4C, 0x01}); // clear, 1, end
  out.push_back(0x3B);
  return out;
}

// Count 1 x 1 images, each with a local table of 2 entries and no data: 18 bytes each.
inline TBytes TinyLocalTables(std::size_t Count) {
  TBytes out = Header();
  for (std::size_t i = 0; i < Count; ++i)
    Append(out, {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x80, 0, 0, 0, 255, 255, 255, 2, 0});
  out.push_back(0x3B);
  return out;
}

// Count empty comments (3 bytes each) before a 1 x 1 image.
inline TBytes EmptyComments(std::size_t Count) {
  TBytes out = Header();
  for (std::size_t i = 0; i < Count; ++i)
    Append(out, {0x21, 0xFE, 0});
  AppendImage(out, 1, 1, false, 2, {0x4C, 0x01});
  out.push_back(0x3B);
  return out;
}

} // namespace hostile_gifs
