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
#include <vector>

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
  // Runs[pixel][j - 2]: the entry for j copies of pixel, for j = 2, 3, ...
  std::array<std::vector<std::uint16_t>, 256> Runs;
};

TTableStore& Store() {
  thread_local TTableStore store;
  return store;
}

// How many of the first Cap pixels equal Value, eight at a time.
std::size_t RunLength(const std::uint8_t* p, std::size_t Cap, std::uint8_t Value) {
  std::size_t n = 0;
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t pattern = 0x0101010101010101ull * Value;
    for (; n + 8 <= Cap; n += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + n, 8);
      if (const std::uint64_t diff = word ^ pattern; diff != 0)
        return n + std::size_t(std::countr_zero(diff) >> 3);
    }
  }
  while (n < Cap && p[n] == Value)
    ++n;
  return n;
}

// The string table for matching. child[code][pixel] is the entry extending
// `code` by `pixel`, 0 for none. For images of at most 4 colours,
// pair[pixel pair][code] extends it by two pixels at once and holds the code
// already scaled for its next lookup: matching long runs, as in rendered text,
// is bound by the chain of dependent loads, and this halves and shortens it.
// The strings made of one pixel repeated are also listed by length, so a run
// of background is matched by counting equal bytes instead of by the chain.
template <int Bits, bool Runs> class TStringTable {
public:
  static constexpr bool Pairs = Bits <= 2;
  static_assert(!(Pairs && Runs), "pairs take runs two pixels at a time");

  TStringTable(std::array<int, 4096>& Prefix, std::array<int, 4096>& Suffix,
               std::uint32_t FirstFree)
      : FPrefix(Prefix), FSuffix(Suffix), FFirstFree(FirstFree), FNext(FirstFree),
        FChild(Store().Child), FPair(Store().Pair), FRuns(Store().Runs) {
    // What is there is all zero, as every use resets its entries.
    FChild.Grow(std::size_t(4096) << Bits);
    if (Pairs) FPair.Grow(std::size_t(4096) << (2 * Bits));
    FAnyRuns = true;
    ForgetRuns();
  }
  ~TStringTable() { Reset(); }
  TStringTable(const TStringTable&) = delete;
  TStringTable& operator=(const TStringTable&) = delete;

  void Add(std::uint32_t Code, std::uint32_t Prev, std::uint32_t Pixel) {
    FPrefix[Code] = int(Prev);
    FSuffix[Code] = int(Pixel);
    FChild[(std::size_t(Prev) << Bits) | Pixel] = std::uint16_t(Code);
    if (Pairs && Prev >= FFirstFree) FPair[PairSlot(Code)] = std::uint16_t(Code << (2 * Bits));
    FNext = Code + 1; // before anything that may throw: Reset must see the entry
    // Entries are unique, so a run only ever grows from the longest of its pixel.
    if (Runs && Prev == FLongestRun[Pixel]) {
      FAnyRuns = true;
      FRuns[Pixel].push_back(std::uint16_t(Code));
      FLongestRun[Pixel] = std::uint16_t(Code);
    }
  }

  // Forgets the entries added since the last reset; cheaper than clearing the tables.
  void Reset() {
    for (std::uint32_t c = FFirstFree; c < FNext; ++c) {
      FChild[(std::size_t(FPrefix[c]) << Bits) | std::uint32_t(FSuffix[c])] = 0;
      if (Pairs && std::uint32_t(FPrefix[c]) >= FFirstFree) FPair[PairSlot(c)] = 0;
    }
    ForgetRuns();
    FNext = FFirstFree;
  }

  // The longest string from the root Code on along the pixels; Pos moves past
  // those it takes. A string that starts with a run of its pixel first takes
  // the longest run string that fits; a run longer than all of them ends there.
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
      // Only a first step that finds an entry can start a run string, which
      // keeps the check off the path of short matches.
      if (p < End) {
        const std::uint16_t one = child[(std::size_t(Code) << Bits) | *p];
        if (one != 0) {
          if (!Runs || *p != Code) {
            Code = one;
            ++p;
          } else if (SkipRun(Code, p, End)) {
            Pos = p;
            return Code;
          }
          while (p < End) {
            const std::uint16_t next = child[(std::size_t(Code) << Bits) | *p];
            if (next == 0) break;
            Code = next;
            ++p;
          }
        }
      }
    }
    Pos = p;
    return Code;
  }

private:
  void ForgetRuns() {
    if (!Runs || !FAnyRuns) return;
    for (std::size_t pixel = 0; pixel < FRuns.size(); ++pixel) {
      FRuns[pixel].clear();
      FLongestRun[pixel] = std::uint16_t(pixel);
    }
    FAnyRuns = false;
  }

  // From the root Code along a run of its pixel to the longest run string that
  // fits; true when the run goes on past every run string, which ends the match.
  [[gnu::noinline]] bool SkipRun(std::uint32_t& Code, const std::uint8_t*& p,
                                 const std::uint8_t* End) const {
    const std::vector<std::uint16_t>& runs = FRuns[Code];
    if (runs.empty()) return false;
    const std::size_t longest = runs.size() + 1;
    const std::size_t more =
        RunLength(p, std::min(std::size_t(End - p), longest), std::uint8_t(Code));
    const std::size_t length = std::min(more + 1, longest);
    Code = runs[length - 2];
    p += length - 1;
    return more == longest;
  }

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
  std::array<std::vector<std::uint16_t>, 256>& FRuns;
  // For each pixel, the entry of its longest run: the pixel itself for none.
  std::array<std::uint16_t, 256> FLongestRun;
  bool FAnyRuns = false;
};

} // namespace

template <int Bits, bool Runs> void TGif::LzwEncodePixels(std::span<const std::uint8_t> Pixels) {
  TGifLzwState& s = *FLzw;
  const std::uint32_t clear = std::uint32_t(s.ClearCode);
  const std::uint32_t first_free = std::uint32_t(s.FirstFreeCode);
  const int first_width = s.CodeWidth;
  TStringTable<Bits, Runs> table(s.Prefix, s.Suffix, first_free);
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

// The table's width in pixel bits is fixed at compile time: shifts by a
// constant keep the lookup chain short.
template <bool Runs> void TGif::LzwEncodeWidth(std::span<const std::uint8_t> Pixels, int Bits) {
  switch (Bits) {
  case 0:
    return LzwEncodePixels<0, false>(Pixels); // pairs already take runs two at a time
  case 1:
    return LzwEncodePixels<1, false>(Pixels); // pairs already take runs two at a time
  case 2:
    return LzwEncodePixels<2, false>(Pixels); // pairs already take runs two at a time
  case 3:
    return LzwEncodePixels<3, Runs>(Pixels);
  case 4:
    return LzwEncodePixels<4, Runs>(Pixels);
  case 5:
    return LzwEncodePixels<5, Runs>(Pixels);
  case 6:
    return LzwEncodePixels<6, Runs>(Pixels);
  case 7:
    return LzwEncodePixels<7, Runs>(Pixels);
  default:
    return LzwEncodePixels<8, Runs>(Pixels);
  }
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
  // Where most pixels repeat the one before, as in rendered text, runs are
  // worth matching by length. A sample of a few thousand pairs tells.
  constexpr std::size_t Samples = 4096;
  const std::size_t step = std::max<std::size_t>(1, pixels.size() / Samples);
  std::size_t sampled = 0, repeats = 0;
  for (std::size_t i = 1; i < pixels.size(); i += step, ++sampled)
    repeats += pixels[i] == pixels[i - 1];
  if (repeats * 8 >= sampled * 5)
    LzwEncodeWidth<true>(pixels, std::bit_width(unsigned(top)));
  else
    LzwEncodeWidth<false>(pixels, std::bit_width(unsigned(top)));
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
