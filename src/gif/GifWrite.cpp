// The GIF stream writer: the whole stream is built in memory, then copied out.
#include "gif/Gif.h"

#include "base/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>
#include <unistd.h>

namespace {

// Bits 2 to 0 of a flags byte: the table holds 2^(code + 1) entries.
int SizeCode(int Count) {
  int code = 0;
  while (code < 7 && Count > (2 << code))
    ++code;
  return code;
}

// A field the stream holds in 16 bits; anything else would be written truncated.
void Check16(int Value) {
  if (Value < 0 || Value > 0xFFFF)
    GifError(TGifErrorCode::ValueOutOfRange, "field wider than 16 bits");
}

} // namespace

// A save started from this object's own progress report (a window that keeps
// painting during a save) gets working state of its own; the outer save's is
// put back when it ends, however it ends.
std::vector<std::uint8_t> TGif::BuildStream() {
  struct TOuter {
    TGif& Gif;
    std::unique_ptr<TMemoryStream> Data = std::move(Gif.FDataStream);
    std::unique_ptr<TMemoryStream> Image = std::move(Gif.FImageStream);
    std::unique_ptr<TGifLzwState> Lzw = std::move(Gif.FLzw);
    TGifProgress Progress = Gif.FProgress;
    ~TOuter() {
      Gif.FDataStream = std::move(Data);
      Gif.FImageStream = std::move(Image);
      Gif.FLzw = std::move(Lzw);
      Gif.FProgress = std::move(Progress);
    }
  } outer{*this};
  GifLastError = 0;
  GifLastErrorText.clear();
  FDataStream = std::make_unique<TMemoryStream>();
  FImageStream = std::make_unique<TMemoryStream>();
  FPendingExtensions.reset();
  WriteSignature();
  WriteScreen();
  // By index: a progress report may add an image to the list.
  for (std::size_t i = 0; i < FImages.size(); ++i) {
    TGifImageRecord& image = *FImages[i];
    if (image.Extensions)
      for (const TGifExtension& ext : *image.Extensions) {
        FDataStream->WriteByte(gifblock::ExtensionIntroducer);
        WriteExtension(ext);
      }
    FDataStream->WriteByte(gifblock::ImageSeparator);
    WriteImage(image);
  }
  FDataStream->WriteByte(gifblock::Trailer);
  return std::move(FDataStream->Data);
}

void TGif::SaveToStream(std::ostream& Stream) {
  const std::vector<std::uint8_t> data = BuildStream();
  Stream.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  if (!Stream) throw std::ios_base::failure("TGif: cannot write the GIF stream");
}

std::vector<std::uint8_t> TGif::SaveToBytes() {
  return BuildStream();
}

// Written beside the target and renamed over it only once complete, so a
// failure never leaves an empty or truncated file where a good one was.
void TGif::SaveToFile(const std::string& FileName) {
  WriteFileAtomically(FileName, SaveToBytes());
}

void TGif::WriteSignature() {
  const bool plain = FImages.size() == 1 && !FImages.front()->Extensions;
  FSignature = plain ? "GIF87a" : "GIF89a";
  FDataStream->Write(reinterpret_cast<const std::uint8_t*>(FSignature.data()), 6);
}

void TGif::WriteScreen() {
  Check16(FScreen.Width);
  Check16(FScreen.Height);
  int width = FScreen.Width, height = FScreen.Height;
  // Images made from bitmaps leave the screen at 0 x 0; other programs take
  // the screen for the picture's size (or refuse images outside it), so the
  // file declares one that holds every image. The model keeps its own.
  if (width == 0 && height == 0)
    for (const auto& image : FImages) {
      // Fields out of range are refused when the image is written.
      const auto reach = [](int At, int Size) {
        return int(std::clamp<long long>((long long)At + Size, 0, 0xFFFF));
      };
      width = std::max(width, reach(image->Left, image->Width));
      height = std::max(height, reach(image->Top, image->Height));
    }
  WriteInteger(2, width);
  WriteInteger(2, height);
  const int flags = (FScreen.HasGlobalColorTable ? 0x80 : 0)     // global table
                    | (((FScreen.ColorResolution - 1) & 7) << 4) // colour resolution
                    | (FScreen.Sorted ? 0x08 : 0)                // sort flag
                    | SizeCode(FScreen.GlobalColorTableSize);    // table size
  WriteInteger(1, flags);
  WriteInteger(1, FScreen.BackgroundIndex);
  WriteInteger(1, FScreen.AspectRatio);
  if (FScreen.HasGlobalColorTable) WriteColorTable(FScreen.GlobalColorTable);
}

void TGif::WriteColorTable(int Index) {
  const TGifColorTable& table = GetColorTable(Index);
  const int entries = 2 << SizeCode(table.Count);
  for (int i = 0; i < entries; ++i) {
    const TColor c = table.Colors[std::size_t(i)];
    const std::uint8_t rgb[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
    FDataStream->Write(rgb, 3);
  }
}

void TGif::WriteExtension(const TGifExtension& Ext) {
  WriteInteger(1, Ext.Kind);
  switch (Ext.Kind) {
  case gifblock::GraphicControlLabel:
    WriteInteger(1, Ext.BlockSize);
    WriteInteger(1, ((Ext.Disposal & 7) << 2)            // disposal method
                        | (Ext.UserInput ? 0x02 : 0)     // user input flag
                        | (Ext.Transparent ? 0x01 : 0)); // transparent colour flag
    WriteInteger(2, Ext.Delay);
    WriteInteger(1, Ext.TransparentIndex);
    FDataStream->WriteByte(0);
    break;
  case gifblock::CommentLabel:
    WriteSubBlocks(Ext.Data);
    break;
  case gifblock::PlainTextLabel:
    WriteInteger(1, Ext.BlockSize);
    for (int v : {Ext.GridLeft, Ext.GridTop, Ext.GridWidth, Ext.GridHeight})
      WriteInteger(2, v);
    for (int v : {Ext.CellWidth, Ext.CellHeight, Ext.ForegroundIndex, Ext.BackgroundIndex})
      WriteInteger(1, v);
    WriteSubBlocks(Ext.Data);
    break;
  case gifblock::ApplicationLabel:
    WriteInteger(1, Ext.BlockSize);
    FDataStream->Write(Ext.Identifier.data(), Ext.Identifier.size());
    FDataStream->Write(Ext.AuthCode.data(), Ext.AuthCode.size());
    WriteSubBlocks(Ext.Data);
    break;
  default: {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", unsigned(Ext.Kind));
    GifErrorText(std::string("unknown extension: ") + hex);
  }
  }
}

void TGif::WriteSubBlocks(const TGifSubBlocks& List) {
  for (const TGifSubBlock& block : List) {
    const std::uint8_t length = std::uint8_t(block.Length);
    // An empty sub-block would end the sequence early.
    if (length == 0) continue;
    FDataStream->WriteByte(length);
    FDataStream->Write(block.Bytes.data(), length);
  }
  FDataStream->WriteByte(0);
}

void TGif::WriteImage(TGifImageRecord& Image) {
  FImageStream->Clear();
  for (int v : {Image.Left, Image.Top, Image.Width, Image.Height}) {
    Check16(v);
    WriteInteger(2, v);
  }
  WriteInteger(1, (Image.HasLocalColorTable ? 0x80 : 0)  // local table
                      | (Image.Interlaced ? 0x40 : 0)    // interlace
                      | (Image.Sorted ? 0x20 : 0)        // sort flag
                      | SizeCode(Image.ColorTableSize)); // table size
  if (Image.HasLocalColorTable) WriteColorTable(Image.ColorTableIndex);
  // Readers disagree on when codes widen at code size 1 (giflib and Pillow
  // differ); at 2, the smallest the format allows, they all agree.
  const int codeSize = Image.CodeSize == 1 ? 2 : Image.CodeSize;
  WriteInteger(1, codeSize);
  if (codeSize != 0)
    LzwEncode(Image, codeSize);
  else
    SimpleEncode(Image);
  const std::vector<std::uint8_t>& data = FImageStream->Data;
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t piece = std::min<std::size_t>(data.size() - at, 255);
    FDataStream->WriteByte(std::uint8_t(piece));
    FDataStream->Write(data.data() + at, piece);
    at += piece;
  }
  FDataStream->WriteByte(0);
}

void TGif::WriteInteger(int Size, int Value) {
  if (Size == 1) {
    FDataStream->WriteByte(std::uint8_t(Value));
  } else if (Size == 2) {
    FDataStream->WriteByte(std::uint8_t(Value));
    FDataStream->WriteByte(std::uint8_t(Value >> 8));
  } else {
    GifError(TGifErrorCode::InvalidIntegerSize);
  }
}
