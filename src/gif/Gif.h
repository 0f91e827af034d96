// TGif: one GIF stream in memory (signature, logical screen, images with their
// colour indices and extensions, colour tables), built from a bitmap, written
// as GIF87a/GIF89a and read back.
//
// Files: Gif.cpp (model, access, transparency, progress), GifIndex.cpp
// (bitmap to indexed image, quantised by MedianCut.h past 256 colours),
// GifBitmap.cpp (bitmap rebuild), GifLzw.cpp (the image coders, over Lzw.h),
// GifWrite.cpp, GifRead.cpp.
#pragma once

#include "gif/GifType.h"
#include "gif/Lzw.h"
#include "raster/Bitmap.h"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TGifScreenDescriptor {
  int Width = 0;
  int Height = 0;
  bool HasGlobalColorTable = false;
  int ColorResolution = 0; // bits per primary colour, 1 to 8
  bool Sorted = false;
  int GlobalColorTableSize = 0; // 2, 4, ... 256
  int BackgroundIndex = 0;
  int AspectRatio = 0;      // the stream's byte, kept as read
  int GlobalColorTable = 0; // index in FColorTables; -1 when read without one
};

// A colour table is the palette the image's bitmap is drawn with: one record.
using TGifColorTable = TPalette;

// One sub-block of an extension, as TGifSubBlocks hands it out.
struct TGifSubBlock {
  int Length = 0; // 1 to 255
  std::span<const std::uint8_t> Bytes;
};

// An extension's sub-blocks, kept together as the stream holds them (each a
// length byte, then that many bytes), so a block takes the bytes it has.
class TGifSubBlocks {
public:
  TGifSubBlocks() = default;
  // Each list one sub-block; empty lists are left out.
  TGifSubBlocks(std::initializer_list<std::initializer_list<std::uint8_t>> Blocks);

  // Appends a sub-block of 1 to 255 bytes; nothing when Bytes is empty, since
  // a length of 0 ends the sequence. More than 255 bytes is error 15.
  void Add(std::span<const std::uint8_t> Bytes);
  std::size_t size() const { return FCount; }
  bool empty() const { return FCount == 0; }
  // Length bytes and contents, without the terminating 0.
  std::span<const std::uint8_t> StreamBytes() const { return FBytes; }
  bool operator==(const TGifSubBlocks&) const = default;

  class const_iterator {
  public:
    using value_type = TGifSubBlock;
    using difference_type = std::ptrdiff_t;
    const_iterator() = default;
    explicit const_iterator(const std::uint8_t* At) : FAt(At) {}
    TGifSubBlock operator*() const { return {*FAt, {FAt + 1, *FAt}}; }
    const_iterator& operator++() {
      FAt += 1 + *FAt;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const const_iterator&) const = default;

  private:
    const std::uint8_t* FAt = nullptr;
  };
  const_iterator begin() const { return const_iterator(FBytes.data()); }
  const_iterator end() const { return const_iterator(FBytes.data() + FBytes.size()); }

private:
  std::vector<std::uint8_t> FBytes;
  std::size_t FCount = 0;
};

// One record for the four extension kinds; Kind (the label) picks the fields used.
struct TGifExtension {
  std::uint8_t Kind = 0;
  int BlockSize = 0;
  // graphic control (0xF9)
  int Disposal = 0;
  bool UserInput = false;
  bool Transparent = false;
  int Delay = 0; // hundredths of a second
  int TransparentIndex = 0;
  // plain text (0x01)
  int GridLeft = 0, GridTop = 0, GridWidth = 0, GridHeight = 0;
  int CellWidth = 0, CellHeight = 0, ForegroundIndex = 0, BackgroundIndex = 0;
  // application (0xFF)
  std::array<std::uint8_t, 8> Identifier{};
  std::array<std::uint8_t, 3> AuthCode{};
  // comment, plain text and application sub-blocks
  TGifSubBlocks Data;
};

struct TGifImageRecord {
  int Index = 0;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool HasLocalColorTable = false;
  bool Interlaced = false;
  bool Sorted = false;
  int ColorTableSize = 0;
  int ColorTableIndex = 0;
  int CodeSize = 0; // 0 selects the uncompressed variant
  // No list and an empty list differ: one image without a list is GIF87a.
  std::optional<std::vector<TGifExtension>> Extensions;
  std::vector<std::uint8_t> PixelIndices; // display order, top row first
  int PixelCount = 0;
  std::unique_ptr<TBitmap> Bitmap; // built on demand
};

// Working state of one encode or decode: the image and the pixel walk. The
// coders' tables are their own (Lzw.h).
struct TGifLzwState {
  TGifImageRecord* Image = nullptr;
  TGifColorTable* Table = nullptr;
  int X = 0, Y = 0;
  int Pass = 0;
  int PixelCounter = 0;
  int LastPixel = 0;
  bool PixelPushedBack = false;
};

struct TGifProgress {
  int Total = 0;
  int Percent = 0;
  int LastPosition = 0;
  std::string Message;
};

enum class TProgressStage { psStarting, psRunning, psEnding };

class TGifSource; // the bytes a load reads, fetched as it parses

class TGif {
public:
  using TProgressEvent =
      std::function<void(TGif& Sender, TProgressStage Stage, std::uint8_t PercentDone,
                         bool RedrawNow, const TRect& R, const std::string& Msg)>;

  TGif();
  ~TGif();
  TGif(const TGif&) = delete;
  TGif& operator=(const TGif&) = delete;

  // Keep: colours that stay exact when the bitmap has more than 256 (the
  // others are then quantised); without them, colours are masked until they fit.
  static std::unique_ptr<TGif> CreateFromBitmap(const TBitmap& Bitmap,
                                                std::span<const TColor> Keep = {});

  // Most pixels one load may allocate, all its images together; a stream
  // declaring more is refused (error 15) before anything is allocated.
  static constexpr std::size_t DefaultPixelLimit = std::size_t(1) << 28;
  std::size_t PixelLimit() const { return FPixelLimit; }
  void SetPixelLimit(std::size_t Value) { FPixelLimit = Value; }

  void Clear();
  void Assign(const TGif* Source);
  void Assign(const TBitmap* Source);
  void AddBitmap(const TBitmap* Bitmap, std::span<const TColor> Keep = {});
  void AddBitmap(const TBitmap& Bitmap, std::span<const TColor> Keep = {}) {
    AddBitmap(&Bitmap, Keep);
  }

  // Streams. SaveToFile never leaves a half-written file behind. LoadFromStream
  // reads as it parses: a stream that is no GIF fails at its first bytes, and
  // memory stays within a small multiple of the bytes read plus the pixels.
  void SaveToStream(std::ostream& Stream);
  void LoadFromStream(std::istream& Stream);
  std::vector<std::uint8_t> SaveToBytes();
  void LoadFromBytes(std::span<const std::uint8_t> Bytes);
  void SaveToFile(const std::string& FileName);
  void LoadFromFile(const std::string& FileName);

  // The graphic's properties.
  int Width() const { return FScreen.Width; }
  int Height() const { return FScreen.Height; }
  void SetWidth(int Value) { FScreen.Width = Value; }
  void SetHeight(int Value) { FScreen.Height = Value; }
  bool Empty() const { return FImages.empty(); }
  const TPalette* Palette() const; // the global table's palette, or null
  bool Transparent() const;
  void SetTransparent(bool Value);

  // Images, colours and pixels (indexes from 0; error 15 outside).
  int ImageCount() const { return int(FImages.size()); }
  int ColorTableCount() const { return int(FColorTables.size()); }
  TGifImageRecord& GetImage(int Index);
  TBitmap& GetBitmap(int Index);
  TGifColorTable& GetColorTable(int Index);
  int CountColors(int Index);
  std::uint8_t GetPixelIndex(int Index, int X, int Y);
  void SetPixelIndex(int Index, int X, int Y, int ColorIndex);
  TColor GetTransparentColor();
  void SetTransparentColor(TColor Color);

  TGifExtension* FindGraphicControl(int Index);
  void EnsureGraphicControls();
  static int FindColor(TColor Color, const TGifColorTable& Table);
  // The transparent index of a colour: exact, then masked by $E0E0E0, then by
  // $C0E0E0, else 0.
  static int FindTransparentIndex(TColor Color, const TGifColorTable& Table);

  const std::string& Signature() const { return FSignature; }
  const TGifScreenDescriptor& Screen() const { return FScreen; }
  TGifScreenDescriptor& Screen() { return FScreen; }

  TProgressEvent OnProgress;
  // Called once after each row CountColors reads, so a window can stay responsive.
  std::function<void()> OnProcessMessages;

private:
  // progress
  void StartProgress(int Total, const std::string& Message);
  // Inline because the coders call it once per pixel or code.
  void UpdateProgress(int Position) {
    if (Position >= FProgress.LastPosition + 100) ReportProgress(Position);
  }
  void ReportProgress(int Position);
  void EndProgress();
  void FireProgress(TProgressStage Stage);

  // bitmap to indexed image
  void MakeColorTable(const TBitmap& Bitmap, TGifColorTable& Table,
                      std::vector<std::uint8_t>& Indices, std::uint32_t Mask, bool& Ok);
  // Past 256 colours: Keep and their blends exact, the others quantised.
  void MakeKeepingTable(const TBitmap& Bitmap, TGifColorTable& Table,
                        std::vector<std::uint8_t>& Indices, std::span<const TColor> Keep);

  // bitmap rebuild
  void PrepareBitmap(int Index);
  void MakeBitmaps();

  // image coding: the working state, the pixel walk and the coders
  void LzwBegin(TGifImageRecord* Image);
  void LzwEnd();
  int NextPixel();
  void NextPosition();
  std::span<const std::uint8_t> PixelsInWalkOrder(std::vector<std::uint8_t>& Scratch);
  void LzwEncode(TGifImageRecord& Image, int CodeSize);
  void SimpleEncode(TGifImageRecord& Image);
  // Decode the data gathered so far; true when no more data could change the
  // pixels (all placed, or the end code met). AllData: there is no more.
  bool LzwDecode(TGifImageRecord& Image, bool AllData);
  bool SimpleDecode(TGifImageRecord& Image, bool AllData);

  // writer
  std::vector<std::uint8_t> BuildStream();
  void WriteSignature();
  void WriteScreen();
  void WriteColorTable(int Index);
  void WriteExtension(const TGifExtension& Ext);
  void WriteSubBlocks(const TGifSubBlocks& List);
  void WriteImage(TGifImageRecord& Image);
  void WriteInteger(int Size, int Value);

  // reader
  void ReadSignature();
  void ReadScreen();
  int ReadColorTable(int Count);
  void ReadImage();
  void ReadExtension();
  void ReadSubBlocks(TGifSubBlocks& List);
  int ReadInteger(int Size);
  std::uint8_t ReadByte();
  void ReadBytes(std::uint8_t* Out, std::size_t Count);
  void LoadFrom(TGifSource& Source);
  void AddModelBytes(std::size_t Bytes);

  std::unique_ptr<TMemoryStream> FDataStream;
  std::unique_ptr<TMemoryStream> FImageStream;
  std::optional<std::vector<TGifExtension>> FPendingExtensions;
  std::string FSignature = "------";
  TGifScreenDescriptor FScreen;
  std::vector<std::unique_ptr<TGifImageRecord>> FImages;
  // Each table is also the palette of the bitmaps drawn with it, so the
  // bitmaps share it.
  std::vector<std::shared_ptr<TGifColorTable>> FColorTables;
  std::unique_ptr<TGifLzwState> FLzw;
  // Kept between saves; a save started from this one's progress report finds
  // none here and makes its own.
  std::unique_ptr<TLzwEncoder> FEncoder;
  std::unique_ptr<TLzwDecoder> FDecoder; // likewise
  TGifProgress FProgress;
  std::size_t FPixelLimit = DefaultPixelLimit;
  // The load in progress: its source, the pixels it allocated and the memory
  // its records take, each against its limit.
  TGifSource* FSource = nullptr;
  std::size_t FPixelsRead = 0;
  std::size_t FModelBytes = 0;
};
