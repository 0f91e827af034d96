// The LZW decoder.
//
// Both paths below have one shape. The data starts with a clear code. A clear
// code starts the table again, and the code after it is one pixel. Every other
// code is a string the table knows (below the next free code: a root pixel or
// an entry) or the string about to be made (equal to it: the previous string
// and its own first pixel); each adds the entry "previous string + first pixel
// of this one", and the codes widen when the next free code reaches 2^width.
// The paths differ in where a string's pixels come from:
// - the fast path copies a string from where it was first written, since every
//   entry is a stretch of earlier output. That holds while the output fits;
// - the careful path rebuilds a string through the prefix chain onto a stack
//   and places it pixel by pixel, dropping or wrapping what lies past the end.
// The fast path runs first and hands over, with its table, at the first string
// that would not fit.
//
// Quirks kept on purpose:
// - The decode ends once every pixel is placed, at the end code, or where the
//   data runs out, whichever comes first; what follows is never looked at, so
//   surplus data costs nothing. A code the data holds only in part counts as
//   run out. Missing pixels stay 0, as browsers show such files.
// - At code size 1 the first free code (4) already needs 3 bits, and the code
//   after a clear code's first pixel is read in 3 bits, as giflib reads it.
// - The first code after a clear code that is not a root code is taken as 0.
// - Code sizes 9 to 11 decode; their root codes keep their low 8 bits.
#include "gif/GifType.h"
#include "gif/Lzw.h"

#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;

std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// Codes from the data, least significant bit first, eight bytes at a time
// while the data has them.
struct TCodeReader {
  const std::uint8_t* In = nullptr;
  std::size_t Size = 0;
  std::size_t Pos = 0;
  std::uint64_t Bits = 0; // above Count: bytes at Pos, read again at the next refill
  int Count = 0;
  std::size_t NextReport = 100;

  // The next code of Width bits, or -1 once the data cannot supply a whole
  // one. Reports the data position at most once per 100 bytes.
  int Read(int Width, const TLzwProgress& Progress) {
    if (Count < Width) {
      if (Pos + 8 <= Size) {
        Bits |= LoadLittleEndian64(In + Pos) << Count;
        Pos += std::size_t(63 - Count) >> 3;
        Count |= 56;
      } else {
        while (Count <= 56 && Pos < Size) {
          Bits |= std::uint64_t(In[Pos++]) << Count;
          Count += 8;
        }
        if (Count < Width) return -1;
      }
      if (Pos >= NextReport) Report(Progress);
    }
    const int code = int(Bits & ((std::uint64_t(1) << Width) - 1));
    Bits >>= Width;
    Count -= Width;
    return code;
  }

  [[gnu::noinline]] void Report(const TLzwProgress& Progress) {
    if (Progress) Progress(int(Pos));
    NextReport = Pos + 100;
  }
};

// The code width and table size after a clear code.
struct TCodes {
  int Width = 0;
  int Next = 0;
  int Limit = 0; // 2^Width: the next code that widens
};

void WidenCode(TCodes& Codes) {
  if (Codes.Next >= Codes.Limit && Codes.Width < MaxCodeWidth) {
    ++Codes.Width;
    Codes.Limit <<= 1;
  }
}

// Reads over the clear codes that follow a clear code and gives the first
// other code, one pixel (a code beyond the table taken as 0); -1 when the data
// ends first. A clear code followed by the end code is error 13.
int Restart(TCodeReader& Reader, const TLzwProgress& Progress, int CodeSize, TCodes& Codes) {
  const int clear = 1 << CodeSize;
  Codes = {CodeSize + 1, clear + 2, 1 << (CodeSize + 1)};
  int code;
  do
    code = Reader.Read(Codes.Width, Progress);
  while (code == clear);
  if (code == clear + 1) GifError(TGifErrorCode::InvalidLzwDataFormat, "clear code, then end code");
  if (code >= Codes.Next) code = 0;
  WidenCode(Codes); // only at code size 1 (and 0) is the first free code already too wide
  return code;
}

[[noreturn]] void CodeBeyondTheTable() {
  GifError(TGifErrorCode::InvalidLzwDataFormat, "code beyond the next free code");
}

// A string table entry for the fast path: where its string was first written
// and its length; its first pixel and suffix are at either end of it there.
struct TEntry {
  std::uint32_t Offset;
  std::uint16_t Length;
  std::uint16_t Prefix;
};

} // namespace

struct TLzwDecoder::TState {
  int CodeSize = 0;
  int ClearCode = 0, EndCode = 0, MaxRootCode = 0;
  TCodeReader Reader;
  TCodes Codes;
  const TLzwProgress* Progress = nullptr;
  std::span<std::uint8_t> Out;
  std::size_t PixelCounter = 0; // pixels output so far, placed or not
  int Prev = 0;                 // the code of the last string output

  // Left uninitialised: entries are written before they are read.
  TEntry Table[MaxCodes + 1]; // the last one takes the writes of a full table
  std::array<std::uint16_t, MaxCodes> Prefix;
  std::array<std::uint8_t, MaxCodes> Suffix;
  std::array<std::uint8_t, MaxCodes + 1> Stack; // from 1: last pixel first
  int StackCount = 0;

  // Where the fast path stopped: at the end (Done), or at a code the careful path takes.
  struct TStop {
    bool Done;
    TLzwEnd End;
    int Code;
  };
  TStop FastPath(int Code);
  TLzwEnd CarefulPath(int Code);

  // The careful path's steps.
  int ReadCode() { return Reader.Read(Codes.Width, *Progress); }
  void PushPixel(std::uint8_t Value);
  void PushString(int& Code);
  void AddEntry(int PrefixCode, int Pixel);
  void FlushPixels();
};

// Locals in registers, strings copied by memmove from the output; stops,
// leaving the output up to PixelCounter and the careful path's table, at the
// first string that would run past the output's end. Stops for good when the
// output is full.
TLzwDecoder::TState::TStop TLzwDecoder::TState::FastPath(int Code) {
  TCodeReader reader = Reader;
  const TLzwProgress& progress = *Progress;
  const int clearCode = ClearCode;
  const int endCode = EndCode;
  TCodes codes;
  std::uint8_t* const out = Out.data();
  const std::size_t outCount = Out.size();
  TEntry* const table = Table;
  std::size_t cur = 0;
  int prev = 0;
  std::size_t prevPos = 0;
  std::size_t prevLen = 0;

  auto stop = [&](bool done, TLzwEnd why, int code) {
    Reader = reader;
    Codes = codes;
    PixelCounter = cur;
    Prev = prev;
    // Bytes overcopied past the last string must not survive as pixels.
    const std::size_t end = cur + 8 < outCount ? cur + 8 : outCount;
    if (cur < end) std::memset(out + cur, 0, end - cur);
    if (!done)
      for (int n = clearCode + 2; n < codes.Next; ++n) {
        const TEntry& e = table[n];
        Prefix[std::size_t(n)] = e.Prefix;
        Suffix[std::size_t(n)] = out[e.Offset + e.Length - 1];
      }
    return TStop{done, why, code};
  };

  for (int code = Code;;) {
    if (code == clearCode) {
      code = Restart(reader, progress, CodeSize, codes);
      if (code < 0) return stop(true, TLzwEnd::DataOut, 0);
      out[cur] = std::uint8_t(code);
      prev = code;
      prevPos = cur++;
      prevLen = 1;
    } else {
      std::size_t len;
      if (code < clearCode) {
        len = 1;
        out[cur] = std::uint8_t(code);
      } else if (code < codes.Next) {
        const TEntry e = table[code];
        len = e.Length;
        if (len > outCount - cur) return stop(false, TLzwEnd::Full, code);
        if (len <= 8 && cur + 8 <= outCount)
          std::memmove(out + cur, out + e.Offset,
                       8); // one load and one store; the excess is rewritten
        else
          std::memcpy(out + cur, out + e.Offset, len);
      } else if (code == codes.Next) {
        len = prevLen + 1;
        if (len > outCount - cur) return stop(false, TLzwEnd::Full, code);
        std::memcpy(out + cur, out + prevPos, prevLen);
        out[cur + prevLen] = out[prevPos];
      } else {
        CodeBeyondTheTable();
      }
      table[codes.Next] = {std::uint32_t(prevPos), std::uint16_t(prevLen + 1), std::uint16_t(prev)};
      codes.Next += codes.Next < MaxCodes;
      prev = code;
      prevPos = cur;
      prevLen = len;
      cur += len;
      WidenCode(codes);
    }
    if (cur >= outCount) return stop(true, TLzwEnd::Full, 0);
    code = reader.Read(codes.Width, progress);
    if (code < 0) return stop(true, TLzwEnd::DataOut, 0);
    if (code == endCode) return stop(true, TLzwEnd::EndCode, 0);
  }
}

// The step-by-step decode of the string that runs past the end: pushed on the
// stack through the prefix chain and placed by FlushPixels, which drops what
// does not fit. Written as a loop over codes, though the first string fills
// the output.
TLzwEnd TLzwDecoder::TState::CarefulPath(int Code) {
  for (int code = Code;;) {
    if (code == ClearCode) {
      code = Restart(Reader, *Progress, CodeSize, Codes);
      if (code < 0) return TLzwEnd::DataOut;
      PushPixel(std::uint8_t(code));
      Prev = code;
    } else if (code < Codes.Next) {
      int first = code;
      PushString(first);
      if (Codes.Next < MaxCodes) AddEntry(Prev, first);
      WidenCode(Codes);
      Prev = code;
    } else if (code == Codes.Next) {
      // Its string is made, and so can be pushed, once its entry is in the table.
      int first = Prev;
      while (first > MaxRootCode)
        first = Prefix[std::size_t(first)];
      AddEntry(Prev, first);
      WidenCode(Codes);
      int string = code;
      PushString(string);
      Prev = code;
    } else {
      CodeBeyondTheTable();
    }
    FlushPixels();
    if (PixelCounter >= Out.size()) return TLzwEnd::Full;
    code = ReadCode();
    if (code < 0) return TLzwEnd::DataOut;
    if (code == EndCode) return TLzwEnd::EndCode;
  }
}

void TLzwDecoder::TState::PushPixel(std::uint8_t Value) {
  // Only a corrupt code chain can outgrow the stack; a sound one is shorter than the table.
  if (StackCount >= int(Stack.size()) - 1)
    GifError(TGifErrorCode::InvalidLzwDataFormat, "string longer than the table");
  Stack[std::size_t(++StackCount)] = Value;
}

void TLzwDecoder::TState::PushString(int& Code) {
  while (Code > MaxRootCode) {
    PushPixel(Suffix[std::size_t(Code)]);
    Code = Prefix[std::size_t(Code)];
  }
  PushPixel(std::uint8_t(Code));
}

void TLzwDecoder::TState::AddEntry(int PrefixCode, int Pixel) {
  Prefix[std::size_t(Codes.Next)] = std::uint16_t(PrefixCode);
  Suffix[std::size_t(Codes.Next)] = std::uint8_t(Pixel);
  ++Codes.Next;
}

// Places the string on the stack at the next positions; past the end they are dropped.
void TLzwDecoder::TState::FlushPixels() {
  const std::size_t count = Out.size();
  for (int k = StackCount; k >= 1 && PixelCounter < count; --k)
    Out[PixelCounter++] = Stack[std::size_t(k)];
  StackCount = 0;
}

TLzwDecoder::TLzwDecoder() = default;
TLzwDecoder::~TLzwDecoder() = default;

TLzwEnd TLzwDecoder::Decode(std::span<const std::uint8_t> Data, int CodeSize,
                            std::span<std::uint8_t> Pixels, const TLzwProgress& Progress) {
  // Wider roots leave no room in a 4096-entry table (and a shift by the raw byte is undefined).
  if (CodeSize < 0 || CodeSize > 11) GifError(TGifErrorCode::InvalidLzwCodeSize);
  if (FBusy) throw std::logic_error("TLzwDecoder: called from its own progress report");
  if (!FState) FState.reset(new TState); // not value-initialised: no need to zero the tables
  FBusy = true;
  struct TDone {
    bool& Busy;
    ~TDone() { Busy = false; }
  } done{FBusy};

  TState& s = *FState;
  s.CodeSize = CodeSize;
  s.ClearCode = 1 << CodeSize;
  s.EndCode = s.ClearCode + 1;
  s.MaxRootCode = s.ClearCode - 1;
  s.Reader = TCodeReader{Data.data(), Data.size()};
  s.Codes = TCodes{CodeSize + 1, 0, 0}; // the first code, the clear code, in the first width
  s.Progress = &Progress;
  s.Out = Pixels;
  s.PixelCounter = 0;
  s.Prev = 0;
  s.StackCount = 0;

  if (Pixels.empty()) return TLzwEnd::Full;
  const int first = s.ReadCode();
  if (first < 0) return TLzwEnd::DataOut;
  if (first == s.EndCode) return TLzwEnd::EndCode;
  if (first != s.ClearCode)
    GifError(TGifErrorCode::InvalidLzwDataFormat, "data not starting with a clear code");
  const TState::TStop stop = s.FastPath(first);
  return stop.Done ? stop.End : s.CarefulPath(stop.Code);
}
