// LZW decoding of one image's joined data sub-blocks into its PixelIndices, and
// the uncompressed variant that stands behind a code size byte of 0.
//
// Two loops share the work. The fast loop keeps its state in locals and copies
// each string from where it was first written, since every table entry is a
// stretch of earlier output (the previous string plus one pixel). That only
// holds while the output fits in the image; the first string that would not
// fit hands over to the step loop (ReadCode, PushString, AddEntry, WidenCode,
// FlushPixels), which rebuilds strings through the Prefix chain and so copes
// with surplus pixels. Both place pixels in stream order; an interlaced image
// gets its rows moved to display order at the end.
//
// Quirks kept on purpose:
// - The decode ends at the end code or where the data runs out, whichever
//   comes first. A code the data holds only in part counts as run out. Missing
//   pixels stay 0, as browsers show such files.
// - The first code after a clear code that is not a root code is taken as 0.
// - Surplus pixels of a plain image are dropped; those of an interlaced image
//   start over at its first row, as the pixel walk does.
// - Code sizes 9 to 11 decode; their root codes keep their low 8 bits.
#include "gif/Gif.h"

#include <bit>
#include <cstring>
#include <vector>

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;

std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// Where the fast loop stopped: at the end, or at a code the step loop takes over.
struct TFastResult {
  bool Done = true;
  int Code = 0;
  bool AfterClear = false; // Code is the first code after a clear code
  int Prev = 0;
  std::size_t BitPosition = 0; // bits of the data consumed, the pending code included
};

// A string table entry: where its string was first written and its length,
// and its prefix code for the step loop. Its first pixel and suffix are in
// the output at either end of the string.
struct TEntry {
  std::uint32_t Offset;
  std::uint16_t Length;
  std::uint16_t Prefix;
};

class TFastDecoder {
public:
  TFastDecoder(std::span<const std::uint8_t> Data, int CodeSize, std::uint8_t* Out,
               std::size_t OutCount)
      : FData(Data), FCodeSize(CodeSize), FOut(Out), FOutCount(OutCount) {}

  // Runs until the end code, the end of the data or a string that does not fit.
  // Report(position) is called with the data position at least every 100 bytes.
  template <class TReport> TFastResult Run(TReport&& Report);

  int NextCode() const { return FNextCode; }
  int CodeWidth() const { return FCodeWidth; }
  std::size_t PixelCount() const { return FCur; }
  // The table as prefix and suffix arrays, for the step loop to go on with.
  void ExportTable(int* Prefix, int* Suffix) const {
    for (int n = (1 << FCodeSize) + 2; n < FNextCode; ++n) {
      const TEntry& e = FTable[n];
      Prefix[n] = e.Prefix;
      Suffix[n] = FOut[e.Offset + e.Length - 1];
    }
  }

private:
  std::span<const std::uint8_t> FData;
  int FCodeSize;
  std::uint8_t* FOut;
  std::size_t FOutCount;
  int FNextCode = 0;
  int FCodeWidth = 0;
  std::size_t FCur = 0;
  TEntry FTable[MaxCodes + 1]; // the last one takes the writes of a full table
};

template <class TReport> TFastResult TFastDecoder::Run(TReport&& Report) {
  const std::uint8_t* in = FData.data();
  const std::size_t inSize = FData.size();
  std::size_t inPos = 0;
  std::uint64_t bits = 0;
  int bitCount = 0;
  std::size_t nextReport = 100;

  const int clearCode = 1 << FCodeSize;
  const int endCode = clearCode + 1;
  int width = FCodeSize + 1;
  int nextCode = 0;
  int limit = 0; // the next code that widens; never reached at 12 bits
  std::uint8_t* const out = FOut;
  const std::size_t outCount = FOutCount;
  TEntry* const table = FTable;
  std::size_t cur = 0;
  int prev = 0;
  std::size_t prevPos = 0;
  std::size_t prevLen = 0;

  // Gives -1 once the data cannot supply a whole code.
  auto readCode = [&]() -> int {
    if (bitCount < width) {
      if (inPos + 8 <= inSize) {
        bits |= LoadLittleEndian64(in + inPos) << bitCount;
        inPos += (63 - bitCount) >> 3;
        bitCount |= 56;
      } else {
        while (bitCount <= 56 && inPos < inSize) {
          bits |= std::uint64_t(in[inPos++]) << bitCount;
          bitCount += 8;
        }
        if (bitCount < width) return -1;
      }
      if (inPos >= nextReport) {
        Report(inPos);
        nextReport = inPos + 100;
      }
    }
    const int code = int(bits & ((std::uint64_t(1) << width) - 1));
    bits >>= width;
    bitCount -= width;
    return code;
  };
  auto finish = [&](bool done, int code, bool afterClear = false) {
    FNextCode = nextCode;
    FCodeWidth = width;
    FCur = cur;
    // Bytes overcopied past the last string must not survive as pixels.
    const std::size_t end = cur + 8 < outCount ? cur + 8 : outCount;
    if (cur < end) std::memset(out + cur, 0, end - cur);
    return TFastResult{done, code, afterClear, prev, inPos * 8 - std::size_t(bitCount)};
  };

  int code = readCode();
  if (code < 0 || code == endCode) return finish(true, 0);
  if (code != clearCode) GifError(13);

  for (;;) {
    // code is the clear code here.
    width = FCodeSize + 1;
    nextCode = endCode + 1;
    limit = width < MaxCodeWidth ? 1 << width : MaxCodes + 1;
    do
      code = readCode();
    while (code == clearCode);
    if (code < 0) return finish(true, 0);
    if (code == endCode) GifError(13);
    if (code >= nextCode) code = 0;
    if (cur >= outCount) return finish(false, code, true);
    out[cur] = std::uint8_t(code);
    prev = code;
    prevPos = cur++;
    prevLen = 1;

    for (;;) {
      code = readCode();
      if (code < 0 || code == endCode) return finish(true, 0);
      if (code == clearCode) break;
      std::size_t len;
      if (code < clearCode) {
        len = 1;
        if (cur >= outCount) return finish(false, code);
        out[cur] = std::uint8_t(code);
      } else if (code < nextCode) {
        const TEntry e = table[code];
        len = e.Length;
        if (len > outCount - cur) return finish(false, code);
        if (len <= 8 && cur + 8 <= outCount)
          std::memmove(out + cur, out + e.Offset,
                       8); // one load and one store; the excess is rewritten
        else
          std::memcpy(out + cur, out + e.Offset, len);
      } else if (code == nextCode) {
        // The previous string followed by its own first pixel.
        len = prevLen + 1;
        if (len > outCount - cur) return finish(false, code);
        std::memcpy(out + cur, out + prevPos, prevLen);
        out[cur + prevLen] = out[prevPos];
      } else {
        GifError(13);
      }
      table[nextCode] = {std::uint32_t(prevPos), std::uint16_t(prevLen + 1), std::uint16_t(prev)};
      nextCode += nextCode < MaxCodes;
      prev = code;
      prevPos = cur;
      prevLen = len;
      cur += len;
      if (nextCode >= limit) {
        ++width;
        limit = width < MaxCodeWidth ? limit << 1 : MaxCodes + 1;
      }
    }
  }
}

// Moves rows from stream order (0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...)
// to display order in place, following each cycle of the permutation.
void Deinterlace(std::vector<std::uint8_t>& Pixels, int Width, int Height) {
  if (Width <= 0 || Height <= 1) return;
  std::vector<int> sourceOf(static_cast<std::size_t>(Height)); // display row -> stream row
  int streamRow = 0;
  static constexpr int Start[4] = {0, 4, 2, 1};
  static constexpr int Step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = Start[pass]; y < Height; y += Step[pass])
      sourceOf[std::size_t(y)] = streamRow++;
  const std::size_t w = std::size_t(Width);
  std::vector<std::uint8_t> held(w);
  std::vector<bool> done(static_cast<std::size_t>(Height));
  for (int start = 0; start < Height; ++start) {
    if (done[std::size_t(start)] || sourceOf[std::size_t(start)] == start) continue;
    std::memcpy(held.data(), Pixels.data() + std::size_t(start) * w, w);
    int row = start;
    for (;;) {
      done[std::size_t(row)] = true;
      const int from = sourceOf[std::size_t(row)];
      std::uint8_t* target = Pixels.data() + std::size_t(row) * w;
      if (from == start) {
        std::memcpy(target, held.data(), w);
        break;
      }
      std::memcpy(target, Pixels.data() + std::size_t(from) * w, w);
      row = from;
    }
  }
}

} // namespace

int TGif::ReadCode() {
  TGifLzwState& s = *FLzw;
  if (s.CodeWidth > MaxCodeWidth) GifError(12);
  while (s.BitCount < s.CodeWidth) {
    if (FImageStream->Position >= FImageStream->Size()) return -1;
    s.BitBuffer |= std::uint32_t(FImageStream->Data[FImageStream->Position++]) << s.BitCount;
    s.BitCount += 8;
  }
  const int code = int(s.BitBuffer & ((1u << s.CodeWidth) - 1));
  s.BitBuffer >>= s.CodeWidth;
  s.BitCount -= s.CodeWidth;
  return code;
}

void TGif::PushString(int& Code) {
  TGifLzwState& s = *FLzw;
  while (Code > s.MaxRootCode) {
    PushPixel(std::uint8_t(s.Suffix[std::size_t(Code)]));
    Code = s.Prefix[std::size_t(Code)];
  }
  PushPixel(std::uint8_t(Code));
}

void TGif::AddEntry(int PrefixCode, int Pixel) {
  TGifLzwState& s = *FLzw;
  s.Prefix[std::size_t(s.DecodeNextCode)] = PrefixCode;
  s.Suffix[std::size_t(s.DecodeNextCode)] = Pixel;
  ++s.DecodeNextCode;
}

void TGif::WidenCode() {
  TGifLzwState& s = *FLzw;
  if (s.DecodeNextCode >= s.DecodeLimit && s.CodeWidth < MaxCodeWidth) {
    s.DecodeLimit <<= 1;
    ++s.CodeWidth;
  }
}

// Places the string on the stack at the next stream positions: past the end a
// plain image drops them and an interlaced one starts over at its first row.
void TGif::FlushPixels() {
  TGifLzwState& s = *FLzw;
  TGifImageRecord& image = *s.Image;
  const std::size_t count = image.PixelIndices.size();
  for (int k = s.StackCount; k >= 1; --k) {
    std::size_t pos = std::size_t(s.PixelCounter++);
    if (pos >= count) {
      if (!image.Interlaced || count == 0) continue;
      pos %= count;
    }
    image.PixelIndices[pos] = s.Stack[std::size_t(k)];
  }
  s.StackCount = 0;
  // Surplus pixels are dropped or cycle through the image; keep the counter from overflowing.
  if (std::size_t(s.PixelCounter) > count) {
    if (!image.Interlaced || count == 0)
      s.PixelCounter = int(count);
    else if (std::size_t(s.PixelCounter) >= 2 * count)
      s.PixelCounter -= int(count);
  }
}

void TGif::LzwDecode(TGifImageRecord& Image) {
  LzwBegin(&Image);
  LzwResetTable(); // error 12 for code sizes of 12 and more
  TGifLzwState& s = *FLzw;
  const std::span<const std::uint8_t> data(FImageStream->Data);
  StartProgress(int(data.size()), "LZW decode image");

  auto decoder = std::make_unique<TFastDecoder>(data, Image.CodeSize, Image.PixelIndices.data(),
                                                Image.PixelIndices.size());
  const TFastResult fast =
      decoder->Run([this](std::size_t Position) { UpdateProgress(int(Position)); });

  if (!fast.Done) {
    // Hand the state over to the step loop, which takes the pending code first.
    decoder->ExportTable(s.Prefix.data(), s.Suffix.data());
    s.DecodeNextCode = decoder->NextCode();
    s.CodeWidth = decoder->CodeWidth();
    s.DecodeLimit = 1 << s.CodeWidth;
    s.PixelCounter = int(decoder->PixelCount());
    FImageStream->Position = fast.BitPosition / 8;
    s.BitBuffer = 0;
    s.BitCount = 0;
    if (const int used = int(fast.BitPosition % 8)) {
      s.BitBuffer = std::uint32_t(data[FImageStream->Position++]) >> used;
      s.BitCount = 8 - used;
    }
    int code = fast.Code;
    int prev = fast.Prev;
    bool afterClear = fast.AfterClear;
    std::size_t nextReport = FImageStream->Position + 100;
    for (;;) {
      if (afterClear) {
        PushPixel(std::uint8_t(code));
        prev = code;
        afterClear = false;
      } else if (code < s.DecodeNextCode) {
        int first = code;
        PushString(first);
        if (s.DecodeNextCode < MaxCodes) {
          AddEntry(prev, first);
          prev = code;
        }
        WidenCode();
      } else if (code == s.DecodeNextCode) {
        int first = prev;
        while (first > s.MaxRootCode)
          first = s.Prefix[std::size_t(first)];
        AddEntry(prev, first);
        WidenCode();
        int string = code;
        PushString(string);
        prev = code;
      } else {
        GifError(13);
      }
      FlushPixels();
      if (FImageStream->Position >= nextReport) {
        UpdateProgress(int(FImageStream->Position));
        nextReport = FImageStream->Position + 100;
      }
      code = ReadCode();
      if (code < 0 || code == s.EndCode) break;
      if (code == s.ClearCode) {
        s.CodeWidth = Image.CodeSize + 1;
        s.DecodeNextCode = s.EndCode + 1;
        s.DecodeLimit = 1 << s.CodeWidth;
        do
          code = ReadCode();
        while (code == s.ClearCode);
        if (code < 0) break;
        if (code == s.EndCode) GifError(13);
        if (code >= s.DecodeNextCode) code = 0;
        afterClear = true;
      }
    }
  }

  if (Image.Interlaced) Deinterlace(Image.PixelIndices, Image.Width, Image.Height);
  EndProgress();
  LzwEnd();
}

void TGif::SimpleDecode(TGifImageRecord& Image) {
  LzwBegin(&Image);
  Image.Interlaced = false; // this variant is always in row order
  const std::vector<std::uint8_t>& data = FImageStream->Data;
  StartProgress(int(data.size()), "simple decode image");
  if (!data.empty()) {
    const int bitsPerPixel = data[0];
    if (bitsPerPixel < 1 || bitsPerPixel > 8) GifError(13);
    const std::uint32_t mask = (1u << bitsPerPixel) - 1;
    std::uint32_t bits = 0;
    int bitCount = 0;
    std::size_t i = 0;
    const std::size_t count = Image.PixelIndices.size();
    for (std::size_t pos = 1; pos < data.size() && i < count; ++pos) {
      if (pos % 100 == 0) UpdateProgress(int(pos));
      bits |= std::uint32_t(data[pos]) << bitCount;
      bitCount += 8;
      while (bitCount >= bitsPerPixel && i < count) {
        Image.PixelIndices[i++] = std::uint8_t(bits & mask);
        bits >>= bitsPerPixel;
        bitCount -= bitsPerPixel;
      }
    }
  }
  EndProgress();
  LzwEnd();
}
