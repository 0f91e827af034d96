// Reading a GIF87a/GIF89a stream into the model, and Assign, which copies
// through a write and a read.
//
// Where this reader departs from a plain reading of the format, on purpose:
// - Any field that would be read past the end of the data raises error 9; no
//   read leaves the buffer. A stream too short for its signature is error 1.
// - Images of width or height 0 are accepted with an empty pixel array.
// - A stream may allocate pixels for at most MaxPixelsPerStream images' worth
//   in all (error 15 before the allocation), so a small hostile file cannot
//   make the reader take gigabytes.
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

// 2^28 pixels (256 MiB of indices): far above any rendering of text, far
// below what a 16-bit width and height allow (2^32 per image).
constexpr std::size_t MaxPixelsPerStream = std::size_t(1) << 28;

std::vector<std::uint8_t> ReadWholeStream(std::istream& Stream) {
  Stream.clear();
  Stream.seekg(0, std::ios::beg);
  std::vector<std::uint8_t> bytes;
  char chunk[65536];
  while (Stream.read(chunk, sizeof chunk) || Stream.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + Stream.gcount());
    if (!Stream) break;
  }
  return bytes;
}

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

void TGif::LoadFromStream(std::istream& Stream) {
  LoadFromBytes(ReadWholeStream(Stream));
}

void TGif::LoadFromFile(const std::string& FileName) {
  std::ifstream file(FileName, std::ios::binary);
  if (!file) throw std::system_error(errno, std::generic_category(), "cannot open " + FileName);
  LoadFromStream(file);
}

void TGif::LoadFromBytes(std::span<const std::uint8_t> Bytes) {
  Clear();
  GifLastError = 0;
  GifLastErrorText.clear();
  FPixelsRead = 0;
  FDataStream = std::make_unique<TMemoryStream>();
  FDataStream->Data.assign(Bytes.begin(), Bytes.end());
  FImageStream = std::make_unique<TMemoryStream>();
  FPendingExtensions.reset();

  ReadSignature();
  ReadScreen();
  for (bool trailer = false; !trailer;) {
    if (FDataStream->Position >= FDataStream->Size()) GifError(TGifErrorCode::NoTerminator);
    switch (ReadByte()) {
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
  FDataStream.reset();
  FImageStream.reset();
}

std::uint8_t TGif::ReadByte() {
  if (FDataStream->Position >= FDataStream->Size())
    GifError(TGifErrorCode::NoTerminator, "field past the end");
  return FDataStream->Data[FDataStream->Position++];
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
  TMemoryStream& data = *FDataStream;
  const std::size_t count = std::min<std::size_t>(6, data.Size());
  FSignature.replace(0, count, reinterpret_cast<const char*>(data.Data.data()), count);
  data.Position = count;
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
  TMemoryStream& data = *FDataStream;
  for (std::size_t n = ReadByte(); n > 0; n = ReadByte()) {
    if (n > data.Size() - data.Position)
      GifError(TGifErrorCode::NoTerminator, "image data past the end");
    FImageStream->Write(data.Data.data() + data.Position, n);
    data.Position += n;
  }

  const std::size_t pixels = std::size_t(image.Width) * std::size_t(image.Height);
  if (pixels > MaxPixelsPerStream - FPixelsRead)
    GifError(TGifErrorCode::ValueOutOfRange, "pixels beyond the stream's limit");
  FPixelsRead += pixels;
  image.PixelCount = int(pixels);
  AllocatePixels(image.PixelIndices, pixels);
  if (image.CodeSize != 0)
    LzwDecode(image);
  else
    SimpleDecode(image);
}

void TGif::ReadExtension() {
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

void TGif::ReadSubBlocks(std::vector<TGifSubBlock>& List) {
  TMemoryStream& data = *FDataStream;
  for (int n = ReadByte(); n != 0; n = ReadByte()) {
    if (std::size_t(n) > data.Size() - data.Position)
      GifError(TGifErrorCode::NoTerminator, "sub-block past the end");
    TGifSubBlock& block = List.emplace_back();
    block.Length = n;
    std::copy_n(data.Data.data() + data.Position, n, block.Bytes.data());
    data.Position += std::size_t(n);
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
  Clear();
  AddBitmap(Source);
}
