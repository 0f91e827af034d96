// LZW coding of GIF image data on spans of colour indices and bytes, with no
// GIF around it: TGif's LzwEncode and LzwDecode hand their image to these.
//
// Each coder holds its own tables, so two coders never disturb each other, also
// when one is started from inside the other's progress report. One coder is not
// re-entrant: a call made from its own progress report is refused.
//
// Codes are packed least significant bit first; a clear code is 2^CodeSize,
// the end code one more, and codes grow from CodeSize + 1 to 12 bits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

// Told how far a coder got (pixels coded, or data bytes read), at most once
// per 100 and never before 100.
using TLzwProgress = std::function<void(int Position)>;

class TLzwEncoder {
public:
  TLzwEncoder();
  ~TLzwEncoder();
  TLzwEncoder(const TLzwEncoder&) = delete;
  TLzwEncoder& operator=(const TLzwEncoder&) = delete;

  // Appends the LZW data of Pixels, in the order given, to Out: a clear code,
  // the codes, the end code, the last byte padded with zero bits. No pixels
  // still code one pixel 0. A code size outside 0 to 11 is error 12; a pixel
  // above the root codes (2^CodeSize - 1) is error 15.
  //
  // The codes are those of a linear search of the string table, lowest code
  // first; the lookups are direct instead. The tables are kept, all zero
  // again, for the next call, and go to the next encoder made when this one
  // goes: coding many small images clears no fresh tables.
  void Encode(std::span<const std::uint8_t> Pixels, int CodeSize, std::vector<std::uint8_t>& Out,
              const TLzwProgress& Progress = {});

  struct TTables;

private:
  std::unique_ptr<TTables> FTables;
  bool FBusy = false;
};

// Why a decode ended.
enum class TLzwEnd {
  Full,    // every pixel placed; the data after it is not read
  EndCode, // the end code came first
  DataOut, // the data ran out first: more of it could place more pixels
};

class TLzwDecoder {
public:
  TLzwDecoder();
  ~TLzwDecoder();
  TLzwDecoder(const TLzwDecoder&) = delete;
  TLzwDecoder& operator=(const TLzwDecoder&) = delete;

  // Decodes Data into Pixels in the order the data holds them; Pixels arrives
  // zero-filled and the pixels the data does not reach stay 0. The decode ends
  // once every pixel is placed, at the end code, or where the data cannot
  // supply a whole code, whichever comes first: its cost stays within the
  // pixels and the bytes read, whatever follows. Data that starts with the end
  // code (or holds no whole code) decodes to nothing. Errors: 12 for a code
  // size above 11; 13 for data that does not start with a clear code, a clear
  // code followed by the end code, or a code beyond the next free one.
  //
  // A decode of the start of some data decodes it as the whole data would, so
  // a caller gathering data can decode what it has and stop gathering unless
  // the result is DataOut.
  TLzwEnd Decode(std::span<const std::uint8_t> Data, int CodeSize, std::span<std::uint8_t> Pixels,
                 const TLzwProgress& Progress = {});

  struct TState;

private:
  std::unique_ptr<TState> FState;
  bool FBusy = false;
};
