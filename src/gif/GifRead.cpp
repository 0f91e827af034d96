// Reading a GIF87a/GIF89a stream into the model, and Assign, which copies
// through a write and a read.
//
// Where this reader departs from a plain reading of the format, on purpose:
// - The stream is read as it is parsed, never whole first: a stream that is no
//   GIF fails at its signature however long it is.
// - Any field that would be read past the end of the data raises error 9. A
//   stream too short for its signature is error 1.
// - Images of width or height 0 are accepted with an empty pixel array.
// - A load may allocate PixelLimit() pixels in all (error 15 before the
//   allocation), and its records (tables, images, extensions) may take a
//   bounded multiple of the bytes read (error 15), so a small hostile file
//   cannot make the reader take gigabytes.
// - An image's data is decoded as it is gathered once it outgrows what the
//   image could need; once it places every pixel the rest is read over.
// - Colour-table entries the stream does not fill are 0.
#include "gif/Gif.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <istream>
#include <system_error>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// Records may take this many bytes per stream byte read, beyond a fixed
// allowance: real files stay far below (a 256-entry table is 768 bytes in the
// stream and about 1 KiB here); a stream of thousands of tiny tables or empty
// extensions does not.
constexpr std::size_t ModelBytesPerStreamByte = 16;
constexpr std::size_t ModelBytesAllowance = std::size_t(32) << 20;

// An image's data is first decoded, while being gathered, at this size or
// twice its pixels, whichever is more, then at each doubling.
constexpr std::size_t FirstDecodeTry = std::size_t(64) << 10;

// Zeroed pixels. The first touch of a large array costs a page fault per
// 4 KiB page, which dominates reading a large, sparse image; huge pages cut
// that by 512.
void AllocatePixels(std::vector<std::uint8_t>& Pixels, std::size_t Count) {
  Pixels.reserve(Count);
#ifdef __linux__
  constexpr std::uintptr_t HugePage = std::uintptr_t(2) << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(Pixels.data());
  const std::uintptr_t first = (start + HugePage - 1) & ~(HugePage - 1);
  const std::uintptr_t last = (start + Count) & ~(HugePage - 1);
  if (last > first) // advice only: its failure changes nothing
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
  Pixels.resize(Count);
}

} // namespace

// The bytes of a load: all at hand, or fetched from a stream a piece at a time.
class TGifSource {
public:
  explicit TGifSource(std::span<const std::uint8_t> Bytes) : FData(Bytes) {}
  explicit TGifSource(std::istream& Stream) : FStream(&Stream) {}

  std::size_t Consumed() const { return FBefore + FAt; }
  bool AtEnd() { return FAt == FData.size() && !Fetch(); }
  std::uint8_t Next() { return FData[FAt++]; } // after AtEnd said false

  // Copies (or, with no Out, reads over) up to Count bytes; the number there were.
  std::size_t Read(std::uint8_t* Out, std::size_t Count) {
    std::size_t done = 0;
    while (done < Count && !AtEnd()) {
      const std::size_t n = std::min(Count - done, FData.size() - FAt);
      if (Out) std::copy_n(FData.data() + FAt, n, Out + done);
      FAt += n;
      done += n;
    }
    return done;
  }

private:
  bool Fetch() {
    if (!FStream || !*FStream) return false;
    FBefore += FData.size();
    FBuffer.resize(std::size_t(1) << 16);
    FStream->read(reinterpret_cast<char*>(FBuffer.data()), std::streamsize(FBuffer.size()));
    FData = std::span(FBuffer.data(), std::size_t(FStream->gcount()));
    FAt = 0;
    return !FData.empty();
  }

  std::istream* FStream = nullptr;
  std::span<const std::uint8_t> FData; // the bytes at hand
  std::size_t FAt = 0;
  std::size_t FBefore = 0; // bytes consumed before those at hand
  std::vector<std::uint8_t> FBuffer;
};

void TGif::LoadFromStream(std::istream& Stream) {
  // From the start when the stream can go there; a pipe is read from where it is.
  Stream.clear();
  Stream.seekg(0, std::ios::beg);
  Stream.clear();
  TGifSource source(Stream);
  LoadFrom(source);
}

void TGif::LoadFromFile(const std::string& FileName) {
  std::ifstream file(FileName, std::ios::binary);
  if (!file) throw std::system_error(errno, std::generic_category(), "cannot open " + FileName);
  LoadFromStream(file);
}

void TGif::LoadFromBytes(std::span<const std::uint8_t> Bytes) {
  TGifSource source(Bytes);
  LoadFrom(source);
}

void TGif::LoadFrom(TGifSource& Source) {
  Clear();
  GifLastError = 0;
  GifLastErrorText.clear();
  FPixelsRead = 0;
  FModelBytes = 0;
  FImageStream = std::make_unique<TMemoryStream>();
  FPendingExtensions.reset();
  FSource = &Source;
  struct TDone {
    TGif& Gif;
    ~TDone() { Gif.FSource = nullptr; }
  } done{*this};

  ReadSignature();
  ReadScreen();
  for (bool trailer = false; !trailer;) {
    if (Source.AtEnd()) GifError(TGifErrorCode::NoTerminator);
    switch (Source.Next()) {
    case 0x00:
      break;
    case gifblock::Trailer:
      trailer = true;
      break;
    case gifblock::ImageSeparator:
      ReadImage();
      break;
    case gifblock::ExtensionIntroducer:
      ReadExtension();
      break;
    default:
      GifError(TGifErrorCode::UnknownOperationCode);
    }
  }
  if (FPendingExtensions) GifError(TGifErrorCode::ExtensionOutOfOrder);
  if (FImages.empty()) GifError(TGifErrorCode::NoImageDescription);
  FImageStream.reset();
}

// Counts memory the load's records take against what its bytes so far allow.
void TGif::AddModelBytes(std::size_t Bytes) {
  FModelBytes += Bytes;
  if (FModelBytes > ModelBytesAllowance + ModelBytesPerStreamByte * FSource->Consumed())
    GifError(TGifErrorCode::ValueOutOfRange, "records beyond the stream's memory limit");
}

std::uint8_t TGif::ReadByte() {
  if (FSource->AtEnd()) GifError(TGifErrorCode::NoTerminator, "field past the end");
  return FSource->Next();
}

// Out null reads the bytes over.
void TGif::ReadBytes(std::uint8_t* Out, std::size_t Count) {
  if (FSource->Read(Out, Count) < Count)
    GifError(TGifErrorCode::NoTerminator, "sub-block past the end");
}

int TGif::ReadInteger(int Size) {
  if (Size == 1) return ReadByte();
  if (Size == 2) {
    const int low = ReadByte();
    return low | (ReadByte() << 8);
  }
  GifError(TGifErrorCode::InvalidIntegerSize);
}

void TGif::ReadSignature() {
  std::uint8_t bytes[6];
  const std::size_t count = FSource->Read(bytes, sizeof bytes);
  FSignature.replace(0, count, reinterpret_cast<const char*>(bytes), count);
  std::string upper = FSignature;
  for (char& c : upper)
    c = char(std::toupper(static_cast<unsigned char>(c)));
  if (count < 6 || (upper != "GIF87A" && upper != "GIF89A"))
    GifError(TGifErrorCode::InvalidSignature);
}

void TGif::ReadScreen() {
  FScreen.Width = ReadInteger(2);
  FScreen.Height = ReadInteger(2);
  const int packed = ReadInteger(1);
  FScreen.HasGlobalColorTable = (packed & 0x80) != 0; // global colour table flag
  FScreen.ColorResolution = ((packed >> 4) & 7) + 1;  // colour resolution
  FScreen.Sorted = (packed & 0x08) != 0;              // sort flag
  FScreen.GlobalColorTableSize = 2 << (packed & 7);   // size of global colour table
  FScreen.BackgroundIndex = ReadInteger(1);
  FScreen.AspectRatio = ReadInteger(1);
  FScreen.GlobalColorTable = -1;
  if (FScreen.HasGlobalColorTable)
    FScreen.GlobalColorTable = ReadColorTable(FScreen.GlobalColorTableSize);
}

int TGif::ReadColorTable(int Count) {
  if (Count < 1) return -1;
  AddModelBytes(sizeof(TGifColorTable) + 64); // with its control block and list entry
  FColorTables.push_back(std::make_shared<TGifColorTable>());
  const int index = int(FColorTables.size()) - 1;
  TGifColorTable& table = *FColorTables.back();
  table.Count = Count;
  for (int i = 0; i < Count; ++i) {
    const std::uint8_t red = ReadByte();
    const std::uint8_t green = ReadByte();
    const std::uint8_t blue = ReadByte();
    table.Colors[std::size_t(i)] = RGB(red, green, blue);
  }
  return index;
}

void TGif::ReadImage() {
  AddModelBytes(sizeof(TGifImageRecord) + 96); // with its pixel array's and list entry's overhead
  FImages.push_back(std::make_unique<TGifImageRecord>());
  TGifImageRecord& image = *FImages.back();
  image.Index = int(FImages.size()) - 1;
  FImageStream->Clear();
  if (FPendingExtensions) {
    image.Extensions = std::move(FPendingExtensions);
    FPendingExtensions.reset();
  }

  image.Left = ReadInteger(2);
  image.Top = ReadInteger(2);
  image.Width = ReadInteger(2);
  image.Height = ReadInteger(2);
  const int packed = ReadInteger(1);
  image.HasLocalColorTable = (packed & 0x80) != 0; // local colour table flag
  image.Interlaced = (packed & 0x40) != 0;         // interlace flag
  image.Sorted = (packed & 0x20) != 0;             // sort flag
  image.ColorTableSize = 2 << (packed & 7);        // size of local colour table
  image.ColorTableIndex =
      image.HasLocalColorTable ? ReadColorTable(image.ColorTableSize) : FScreen.GlobalColorTable;
  if (image.ColorTableIndex < 0) GifError(TGifErrorCode::NoColorTable);

  image.CodeSize = ReadInteger(1);

  const std::size_t pixels = std::size_t(image.Width) * std::size_t(image.Height);
  if (pixels > FPixelLimit || FPixelsRead > FPixelLimit - pixels)
    GifError(TGifErrorCode::ValueOutOfRange, "pixels beyond the stream's limit");
  FPixelsRead += pixels;
  image.PixelCount = int(pixels);
  AllocatePixels(image.PixelIndices, pixels);

  // Surplus data, however long, is read over instead of gathered: past a size
  // the pixels could not need, what is gathered is decoded, and once that
  // decode is complete the rest of the data cannot change it.
  const auto decode = [&](bool AllData) {
    return image.CodeSize != 0 ? LzwDecode(image, AllData) : SimpleDecode(image, AllData);
  };
  std::vector<std::uint8_t>& data = FImageStream->Data;
  std::size_t nextTry = std::max(FirstDecodeTry, 2 * pixels);
  bool complete = false;
  for (std::size_t n = ReadByte(); n > 0; n = ReadByte()) {
    if (complete) {
      ReadBytes(nullptr, n);
      continue;
    }
    const std::size_t at = data.size();
    data.resize(at + n);
    ReadBytes(data.data() + at, n);
    if (data.size() >= nextTry) {
      complete = decode(false);
      nextTry *= 2;
    }
  }
  if (!complete) decode(true);
}

void TGif::ReadExtension() {
  // Thrice: the list holds its old and new copies while it grows.
  AddModelBytes(3 * sizeof(TGifExtension));
  if (!FPendingExtensions) FPendingExtensions.emplace();
  TGifExtension& ext = FPendingExtensions->emplace_back();
  ext.Kind = ReadByte();
  switch (ext.Kind) {
  case gifblock::GraphicControlLabel: {
    ext.BlockSize = ReadInteger(1);
    if (ext.BlockSize != 4) GifError(TGifErrorCode::InvalidExtensionBlockSize);
    const int packed = ReadInteger(1);
    ext.Disposal = (packed >> 2) & 7;       // disposal method
    ext.UserInput = (packed & 0x02) != 0;   // user input flag
    ext.Transparent = (packed & 0x01) != 0; // transparent colour flag
    ext.Delay = ReadInteger(2);
    ext.TransparentIndex = ReadInteger(1);
    if (ReadByte() != 0) GifError(TGifErrorCode::InvalidExtensionTerminator);
    break;
  }
  case gifblock::CommentLabel:
    ReadSubBlocks(ext.Data);
    break;
  case gifblock::PlainTextLabel:
    ext.BlockSize = ReadInteger(1);
    if (ext.BlockSize != 12) GifError(TGifErrorCode::InvalidExtensionBlockSize);
    ext.GridLeft = ReadInteger(2);
    ext.GridTop = ReadInteger(2);
    ext.GridWidth = ReadInteger(2);
    ext.GridHeight = ReadInteger(2);
    ext.CellWidth = ReadInteger(1);
    ext.CellHeight = ReadInteger(1);
    ext.ForegroundIndex = ReadInteger(1);
    ext.BackgroundIndex = ReadInteger(1);
    ReadSubBlocks(ext.Data);
    break;
  case gifblock::ApplicationLabel:
    ext.BlockSize = ReadInteger(1);
    if (ext.BlockSize != 11) GifError(TGifErrorCode::InvalidExtensionBlockSize);
    for (auto& b : ext.Identifier)
      b = ReadByte();
    for (auto& b : ext.AuthCode)
      b = ReadByte();
    ReadSubBlocks(ext.Data);
    break;
  default: {
    char label[8];
    std::snprintf(label, sizeof label, "%04X", unsigned(ext.Kind));
    GifErrorText(std::string("unknown extension: ") + label);
  }
  }
}

void TGif::ReadSubBlocks(TGifSubBlocks& List) {
  std::uint8_t bytes[255];
  for (int n = ReadByte(); n != 0; n = ReadByte()) {
    ReadBytes(bytes, std::size_t(n));
    AddModelBytes(3 * std::size_t(n + 1)); // the list's old and new copies while it grows
    List.Add({bytes, std::size_t(n)});
  }
}

void TGif::Assign(const TGif* Source) {
  if (Source == this) return; // clearing first would destroy the source
  Clear();
  if (!Source) GifError(TGifErrorCode::InvalidBitmap);
  if (Source->Empty()) return; // an empty object has no stream that reads back
  // Writing only uses the source's working streams; its model stays as it was.
  LoadFromBytes(const_cast<TGif*>(Source)->SaveToBytes());
}

void TGif::Assign(const TBitmap* Source) {
  // One of this object's own bitmaps would go with the Clear: a copy is added.
  for (const auto& image : FImages)
    if (Source && image->Bitmap.get() == Source) {
      const TBitmap copy = *Source;
      Clear();
      AddBitmap(&copy);
      return;
    }
  Clear();
  AddBitmap(Source);
}
