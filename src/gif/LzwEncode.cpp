// The LZW encoder.
//
// The string table is looked up through a direct child table,
// child[code][pixel], instead of a linear scan. Entries are unique (an entry is
// only added for a pair the match just failed to find), so the lookup returns
// exactly the code the scan would, and the codes written are the same.
#include "base/ZeroedMemory.h"
#include "gif/GifType.h"
#include "gif/Lzw.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
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

namespace {

// Zeroed by the system, not by writing: a short process saving one small
// image touches only the pages its codes reach. Every use leaves the table all
// zero again, so an encoder coding many images zeroes it once.
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

} // namespace

struct TLzwEncoder::TTables {
  std::array<int, 4096> Prefix{};
  std::array<int, 4096> Suffix{};
  TZeroedTable Child, Pair;
  // Runs[pixel][j - 2]: the entry for j copies of pixel, for j = 2, 3, ...
  std::array<std::vector<std::uint16_t>, 256> Runs;
};

namespace {

constexpr int MaxCodes = 4096;

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

  // Codes reaches no further than the codes the image can make: a small image
  // needs only a small table.
  TStringTable(TLzwEncoder::TTables& Tables, std::uint32_t FirstFree, std::size_t Codes)
      : FPrefix(Tables.Prefix), FSuffix(Tables.Suffix), FFirstFree(FirstFree), FNext(FirstFree),
        FChild(Tables.Child), FPair(Tables.Pair), FRuns(Tables.Runs) {
    // What is there is all zero, as every use resets its entries.
    FChild.Grow(Codes << Bits);
    if (Pairs) FPair.Grow(Codes << (2 * Bits));
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

// Clear code, first pixel, then one code per string matched; a full table
// is followed by a clear code at 12 bits.
template <int Bits, bool Runs>
void EncodePixels(TLzwEncoder::TTables& Tables, std::span<const std::uint8_t> Pixels, int CodeSize,
                  std::vector<std::uint8_t>& Out, const TLzwProgress& Progress) {
  const std::uint32_t clear = 1u << CodeSize;
  const std::uint32_t end_code = clear + 1;
  const std::uint32_t first_free = clear + 2;
  const int first_width = CodeSize + 1;
  const std::size_t codes = std::min<std::size_t>(MaxCodes, first_free + Pixels.size());
  TStringTable<Bits, Runs> table(Tables, first_free, codes);
  TCodeWriter out(Out);
  const std::uint8_t* p = Pixels.data();
  const std::uint8_t* const end = p + Pixels.size();
  const std::uint8_t* const begin = p;
  std::ptrdiff_t next_report = 100;

  std::uint32_t next = first_free;
  int width = first_width;
  out.Put(clear, width);
  std::uint32_t prev = p < end ? *p++ : 0; // an image without pixels still codes one
  out.Put(prev, width);
  while (p < end) {
    if (p - begin >= next_report) {
      if (Progress) Progress(int(p - begin));
      next_report = (p - begin) + 100;
    }
    const std::uint32_t k = *p++;
    // The entry is added before the match, which may already use it.
    table.Add(next, prev, k);
    ++next;
    const bool full = next == MaxCodes;
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
  out.Put(end_code, width);
  out.Flush();
}

// The table's width in pixel bits is fixed at compile time: shifts by a
// constant keep the lookup chain short.
template <bool Runs>
void EncodeWidth(int Bits, TLzwEncoder::TTables& Tables, std::span<const std::uint8_t> Pixels,
                 int CodeSize, std::vector<std::uint8_t>& Out, const TLzwProgress& Progress) {
  switch (Bits) {
  case 0: // pairs already take runs two at a time
    return EncodePixels<0, false>(Tables, Pixels, CodeSize, Out, Progress);
  case 1:
    return EncodePixels<1, false>(Tables, Pixels, CodeSize, Out, Progress);
  case 2:
    return EncodePixels<2, false>(Tables, Pixels, CodeSize, Out, Progress);
  case 3:
    return EncodePixels<3, Runs>(Tables, Pixels, CodeSize, Out, Progress);
  case 4:
    return EncodePixels<4, Runs>(Tables, Pixels, CodeSize, Out, Progress);
  case 5:
    return EncodePixels<5, Runs>(Tables, Pixels, CodeSize, Out, Progress);
  case 6:
    return EncodePixels<6, Runs>(Tables, Pixels, CodeSize, Out, Progress);
  case 7:
    return EncodePixels<7, Runs>(Tables, Pixels, CodeSize, Out, Progress);
  default:
    return EncodePixels<8, Runs>(Tables, Pixels, CodeSize, Out, Progress);
  }
}

// Tables of encoders gone, all zero again, for the next encoder made. A save
// of many small cut-outs (a character or a line each) makes an encoder per
// image, and would otherwise spend most of its time clearing fresh tables.
// A set of tables belongs to one encoder at a time.
class TIdleTables {
public:
  std::unique_ptr<TLzwEncoder::TTables> Take() {
    std::lock_guard lock(FMutex);
    if (FIdle.empty()) return nullptr;
    std::unique_ptr<TLzwEncoder::TTables> t = std::move(FIdle.back());
    FIdle.pop_back();
    return t;
  }
  void Give(std::unique_ptr<TLzwEncoder::TTables> Tables) {
    std::lock_guard lock(FMutex);
    if (FIdle.size() < MaxIdle) FIdle.push_back(std::move(Tables));
  }

private:
  static constexpr std::size_t MaxIdle = 4;
  std::mutex FMutex;
  std::vector<std::unique_ptr<TLzwEncoder::TTables>> FIdle;
};

// Never destroyed: encoders may go in other objects' destructors at exit.
TIdleTables& IdleTables() {
  static auto* idle = new TIdleTables;
  return *idle;
}

} // namespace

TLzwEncoder::TLzwEncoder() = default;

TLzwEncoder::~TLzwEncoder() {
  if (FTables) IdleTables().Give(std::move(FTables));
}

void TLzwEncoder::Encode(std::span<const std::uint8_t> Pixels, int CodeSize,
                         std::vector<std::uint8_t>& Out, const TLzwProgress& Progress) {
  // Wider roots leave no room in a 4096-entry table (and a shift by the raw byte is undefined).
  if (CodeSize < 0 || CodeSize > 11) GifError(TGifErrorCode::InvalidLzwCodeSize);
  // A pixel above the root codes would be read back as a table code: a corrupt image.
  std::uint8_t top = 0;
  for (std::uint8_t v : Pixels)
    top = std::max(top, v); // vectorises; max_element does not
  if (top >= (1u << CodeSize))
    GifError(TGifErrorCode::ValueOutOfRange, "pixel above the root codes");
  if (FBusy) throw std::logic_error("TLzwEncoder: called from its own progress report");
  if (!FTables) FTables = IdleTables().Take();
  if (!FTables) FTables = std::make_unique<TTables>();
  FBusy = true;
  struct TDone {
    bool& Busy;
    ~TDone() { Busy = false; }
  } done{FBusy};
  // Where most pixels repeat the one before, as in rendered text, runs are
  // worth matching by length. A sample of a few thousand pairs tells.
  constexpr std::size_t Samples = 4096;
  const std::size_t step = std::max<std::size_t>(1, Pixels.size() / Samples);
  std::size_t sampled = 0, repeats = 0;
  for (std::size_t i = 1; i < Pixels.size(); i += step, ++sampled)
    repeats += Pixels[i] == Pixels[i - 1];
  const int bits = std::bit_width(unsigned(top));
  if (repeats * 8 >= sampled * 5)
    EncodeWidth<true>(bits, *FTables, Pixels, CodeSize, Out, Progress);
  else
    EncodeWidth<false>(bits, *FTables, Pixels, CodeSize, Out, Progress);
}
