// Image data encoders: GIF LZW and the uncompressed variant behind code size 0.
//
// The LZW string table is looked up through a direct child table,
// child[code][pixel], instead of a linear scan. Entries are unique (an entry is
// only added for a pair the match just failed to find), so the lookup returns
// exactly the code the scan would, and the codes written are the same.
#include "gif/Gif.h"
#include "raster/ZeroedMemory.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace {

// Codes packed least significant bit first, output gathered in a fixed buffer.
class TCodeWriter {
public:
  explicit TCodeWriter(std::vector<std::uint8_t>& Out) : FOut(Out) {}
  ~TCodeWriter() = default;

  void Put(std::uint32_t Code, int Width) {
    FBits |= std::uint64_t(Code) << FCount;
    FCount += Width;
    if (FCount >= 32) {
      if (FUsed + 4 > Chunk) Drain();
      const std::uint32_t low = std::uint32_t(FBits);
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(FBuffer + FUsed, &low, 4);
      } else {
        for (int i = 0; i < 4; ++i)
          FBuffer[FUsed + std::size_t(i)] = std::uint8_t(low >> (8 * i));
      }
      FUsed += 4;
      FBits >>= 32;
      FCount -= 32;
    }
  }

  // The last bits as whole bytes, the final one padded with zeros.
  void Flush() {
    while (FCount > 0) {
      if (FUsed == Chunk) Drain();
      FBuffer[FUsed++] = std::uint8_t(FBits);
      FBits >>= 8;
      FCount -= 8;
    }
    FCount = 0;
    Drain();
  }

private:
  static constexpr std::size_t Chunk = 1 << 14;
  void Drain() {
    FOut.insert(FOut.end(), FBuffer, FBuffer + FUsed);
    FUsed = 0;
  }
  std::vector<std::uint8_t>& FOut;
  std::uint64_t FBits = 0;
  int FCount = 0;
  std::size_t FUsed = 0;
  std::uint8_t FBuffer[Chunk];
};

} // namespace

// The image's pixels in the order they are coded: the walk of NextPixel, taken
// straight from the buffer when that walk is plain storage order.
std::span<const std::uint8_t> TGif::PixelsInWalkOrder(std::vector<std::uint8_t>& Scratch) {
  TGifImageRecord& image = *FLzw->Image;
  const std::size_t count = std::size_t(std::max(image.PixelCount, 0));
  if (!image.Interlaced && image.PixelIndices.size() >= count &&
      std::size_t(std::max(image.Width, 0)) * std::size_t(std::max(image.Height, 0)) >= count)
    return {image.PixelIndices.data(), count};
  Scratch.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    Scratch[i] = std::uint8_t(NextPixel());
  FLzw->X = FLzw->Y = FLzw->Pass = FLzw->PixelCounter = 0;
  return Scratch;
}

namespace {

// The tables outlive one image: a save of many small cut-outs (a character or a
// line each) would otherwise spend most of its time allocating and zeroing them.
// Every use leaves them all zero again.
// Zeroed by the system, not by writing: a short process saving one small
// image touches only the pages its codes reach.
class TZeroedTable {
public:
  std::size_t size() const { return FSize; }
  std::uint16_t* data() { return reinterpret_cast<std::uint16_t*>(FData.get()); }
  const std::uint16_t* data() const { return reinterpret_cast<const std::uint16_t*>(FData.get()); }
  std::uint16_t& operator[](std::size_t i) { return data()[i]; }
  std::uint16_t operator[](std::size_t i) const { return data()[i]; }
  // Only ever grown while all zero, so nothing is carried over.
  void Grow(std::size_t count) {
    if (count <= FSize) return;
    TZeroedMemory fresh = AllocateZeroed(count * sizeof(std::uint16_t));
    if (fresh == nullptr) throw std::bad_alloc();
    FData = std::move(fresh);
    FSize = count;
  }

private:
  TZeroedMemory FData;
  std::size_t FSize = 0;
};

struct TTableStore {
  TZeroedTable Child, Pair;
};
TTableStore& Store() {
  thread_local TTableStore store;
  return store;
}

// The string table for matching. child[code][pixel] is the entry extending
// `code` by `pixel`, 0 for none. For images of at most 4 colours,
// pair[pixel pair][code] extends it by two pixels at once and holds the code
// already scaled for its next lookup: matching long runs, as in rendered text,
// is bound by the chain of dependent loads, and this halves and shortens it.
template <int Bits> class TStringTable {
public:
  static constexpr bool Pairs = Bits <= 2;

  TStringTable(std::array<int, 4096>& Prefix, std::array<int, 4096>& Suffix,
               std::uint32_t FirstFree)
      : FPrefix(Prefix), FSuffix(Suffix), FFirstFree(FirstFree), FNext(FirstFree),
        FChild(Store().Child), FPair(Store().Pair) {
    // What is there is all zero, as every use resets its entries.
    FChild.Grow(std::size_t(4096) << Bits);
    if (Pairs) FPair.Grow(std::size_t(4096) << (2 * Bits));
  }
  ~TStringTable() { Reset(); }
  TStringTable(const TStringTable&) = delete;
  TStringTable& operator=(const TStringTable&) = delete;

  void Add(std::uint32_t Code, std::uint32_t Prev, std::uint32_t Pixel) {
    FPrefix[Code] = int(Prev);
    FSuffix[Code] = int(Pixel);
    FChild[(std::size_t(Prev) << Bits) | Pixel] = std::uint16_t(Code);
    if (Pairs && Prev >= FFirstFree) FPair[PairSlot(Code)] = std::uint16_t(Code << (2 * Bits));
    FNext = Code + 1;
  }

  // Forgets the entries added since the last reset; cheaper than clearing the tables.
  void Reset() {
    for (std::uint32_t c = FFirstFree; c < FNext; ++c) {
      FChild[(std::size_t(FPrefix[c]) << Bits) | std::uint32_t(FSuffix[c])] = 0;
      if (Pairs && std::uint32_t(FPrefix[c]) >= FFirstFree) FPair[PairSlot(c)] = 0;
    }
    FNext = FFirstFree;
  }

  // The longest string from Code on along the pixels; Pos moves past those it takes.
  std::uint32_t Match(std::uint32_t Code, const std::uint8_t*& Pos, const std::uint8_t* End) const {
    const std::uint8_t* p = Pos;
    if constexpr (Pairs) {
      std::uint32_t key = Code << (2 * Bits);
      const std::uint16_t* pair = FPair.data();
      while (End - p >= 2) {
        // The pixels pick the column apart from the chain through `key`.
        const std::uint16_t* column = pair + ((std::uint32_t(p[0]) << Bits) | p[1]);
        const std::uint16_t two = column[key];
        if (two == 0) break;
        key = two;
        p += 2;
      }
      Code = key >> (2 * Bits);
      // At most one more pixel: a missing pair means the second step has no entry.
      if (p < End) {
        const std::uint16_t one = FChild[(std::size_t(Code) << Bits) | *p];
        if (one != 0) {
          Code = one;
          ++p;
        }
      }
    } else {
      const std::uint16_t* child = FChild.data();
      while (p < End) {
        const std::uint16_t one = child[(std::size_t(Code) << Bits) | *p];
        if (one == 0) break;
        Code = one;
        ++p;
      }
    }
    Pos = p;
    return Code;
  }

private:
  // Entry Code seen as a two-pixel step from its prefix's prefix.
  std::size_t PairSlot(std::uint32_t Code) const {
    const std::uint32_t prev = std::uint32_t(FPrefix[Code]);
    const std::size_t column =
        (std::uint32_t(FSuffix[prev]) << Bits) | std::uint32_t(FSuffix[Code]);
    return column + (std::size_t(FPrefix[prev]) << (2 * Bits));
  }

  std::array<int, 4096>& FPrefix;
  std::array<int, 4096>& FSuffix;
  std::uint32_t FFirstFree;
  std::uint32_t FNext;
  TZeroedTable& FChild;
  TZeroedTable& FPair;
};

} // namespace

template <int Bits> void TGif::LzwEncodePixels(std::span<const std::uint8_t> Pixels) {
  TGifLzwState& s = *FLzw;
  const std::uint32_t clear = std::uint32_t(s.ClearCode);
  const std::uint32_t first_free = std::uint32_t(s.FirstFreeCode);
  const int first_width = s.CodeWidth;
  TStringTable<Bits> table(s.Prefix, s.Suffix, first_free);
  TCodeWriter out(FImageStream->Data);
  const std::uint8_t* p = Pixels.data();
  const std::uint8_t* const end = p + Pixels.size();
  const std::uint8_t* const begin = p;

  std::uint32_t next = first_free;
  int width = first_width;
  out.Put(clear, width);
  std::uint32_t prev = p < end ? *p++ : 0; // an image without pixels still codes one
  out.Put(prev, width);
  while (p < end) {
    UpdateProgress(int(p - begin));
    const std::uint32_t k = *p++;
    // The entry is added before the match, which may already use it.
    table.Add(next, prev, k);
    ++next;
    const bool full = next == 4096;
    if (!full && next > (1u << width)) ++width;
    const std::uint32_t cur = table.Match(k, p, end);
    out.Put(cur, width);
    prev = cur;
    if (full && p < end) {
      out.Put(clear, width);
      table.Reset();
      next = first_free;
      width = first_width;
      prev = *p++;
      out.Put(prev, width);
    }
  }
  out.Put(std::uint32_t(s.EndCode), width);
  out.Flush();
  s.PixelCounter = int(p - begin);
  s.EncodeNextCode = int(next);
  s.CodeWidth = width;
}

void TGif::LzwEncode(TGifImageRecord& Image) {
  LzwBegin(&Image);
  LzwResetTable();
  StartProgress(Image.PixelCount, "LZW encode image");
  FImageStream->Clear();

  std::vector<std::uint8_t> scratch;
  const std::span<const std::uint8_t> pixels = PixelsInWalkOrder(scratch);
  // A pixel above the root codes would be read back as a table code: a corrupt image.
  std::uint8_t top = 0;
  for (std::uint8_t v : pixels)
    top = std::max(top, v); // vectorises; max_element does not
  if (top > FLzw->MaxRootCode) GifError(15);
  // The table's width in pixel bits is fixed at compile time: shifts by a
  // constant keep the lookup chain short.
  switch (std::bit_width(unsigned(top))) {
  case 0:
    LzwEncodePixels<0>(pixels);
    break;
  case 1:
    LzwEncodePixels<1>(pixels);
    break;
  case 2:
    LzwEncodePixels<2>(pixels);
    break;
  case 3:
    LzwEncodePixels<3>(pixels);
    break;
  case 4:
    LzwEncodePixels<4>(pixels);
    break;
  case 5:
    LzwEncodePixels<5>(pixels);
    break;
  case 6:
    LzwEncodePixels<6>(pixels);
    break;
  case 7:
    LzwEncodePixels<7>(pixels);
    break;
  default:
    LzwEncodePixels<8>(pixels);
    break;
  }
  EndProgress();
  LzwEnd();
}

void TGif::SimpleEncode(TGifImageRecord& Image) {
  LzwBegin(&Image);
  FImageStream->Clear();
  Image.Interlaced = false; // the data is in storage order, whatever the descriptor said
  if (!FLzw->Table) GifError(15);
  const int count = FLzw->Table->Count;
  int bits = 8;
  for (int b = 1; b < 8; ++b)
    if (count <= (1 << b)) {
      bits = b;
      break;
    }
  std::vector<std::uint8_t>& out = FImageStream->Data;
  out.push_back(std::uint8_t(bits));
  StartProgress(Image.PixelCount, "simple encode image");
  const std::uint32_t mask = (1u << bits) - 1;
  std::uint32_t buffer = 0;
  int held = 0;
  const std::size_t pixels =
      std::min(Image.PixelIndices.size(), std::size_t(std::max(Image.PixelCount, 0)));
  for (std::size_t i = 0; i < pixels; ++i) {
    UpdateProgress(int(i));
    buffer |= (Image.PixelIndices[i] & mask) << held;
    held += bits;
    while (held >= 8) {
      out.push_back(std::uint8_t(buffer));
      buffer >>= 8;
      held -= 8;
    }
  }
  if (held > 0) out.push_back(std::uint8_t(buffer));
  EndProgress();
  LzwEnd();
}
