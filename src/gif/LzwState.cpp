// The LZW working state and the pixel walk, shared by the encoder and the decoder.
#include "gif/Gif.h"

void TGif::LzwBegin(TGifImageRecord* Image) {
  if (!Image) GifError(11);
  FLzw = std::make_unique<TGifLzwState>();
  FLzw->Image = Image;
  const int t = Image->ColorTableIndex;
  // The encoder needs no table; SimpleEncode checks for one itself.
  FLzw->Table = t >= 0 && t < ColorTableCount() ? FColorTables[std::size_t(t)].get() : nullptr;
  if (!FImageStream) FImageStream = std::make_unique<TMemoryStream>();
  FImageStream->Position = 0;
}

void TGif::LzwEnd() {
  FLzw.reset();
}

void TGif::LzwResetTable() {
  TGifLzwState& s = *FLzw;
  const int code_size = s.Image->CodeSize;
  // Wider roots leave no room in a 4096-entry table (and a shift by the raw byte is undefined).
  if (code_size < 0 || code_size > 11) GifError(12);
  s.Prefix.fill(0);
  s.Suffix.fill(0);
  s.CodeWidth = code_size + 1;
  s.ClearCode = 1 << code_size;
  s.EndCode = s.ClearCode + 1;
  s.MaxRootCode = s.ClearCode - 1;
  s.FirstFreeCode = s.ClearCode + 2;
  s.EncodeNextCode = s.FirstFreeCode;
  s.TableFull = false;
}

int TGif::NextPixel() {
  TGifLzwState& s = *FLzw;
  if (s.PixelPushedBack) {
    s.PixelPushedBack = false;
    return s.LastPixel;
  }
  ++s.PixelCounter;
  const TGifImageRecord& image = *s.Image;
  int value = 0;
  if (s.X >= 0 && s.Y >= 0 && s.X < image.Width) {
    const std::size_t pos = std::size_t(s.Y) * std::size_t(image.Width) + std::size_t(s.X);
    if (pos < image.PixelIndices.size()) value = image.PixelIndices[pos];
  }
  NextPosition();
  s.LastPixel = value;
  return value;
}

void TGif::NextPosition() {
  static constexpr int Step[5] = {0, 8, 8, 4, 2};
  static constexpr int FirstRow[5] = {0, 0, 4, 2, 1};
  TGifLzwState& s = *FLzw;
  const TGifImageRecord& image = *s.Image;
  if (s.Pass == 0) s.Pass = 1;
  if (++s.X < image.Width) return;
  s.X = 0;
  if (!image.Interlaced) {
    ++s.Y;
    return;
  }
  if (s.Pass < 1 || s.Pass > 4) GifError(21);
  s.Y += Step[s.Pass];
  // Passes whose first row lies below the image hold no row; bounded so an
  // image of no rows cannot spin here.
  for (int skipped = 0; s.Y >= image.Height && skipped < 4; ++skipped) {
    s.Pass = s.Pass % 4 + 1;
    s.Y = FirstRow[s.Pass];
  }
}

void TGif::PushPixel(std::uint8_t Value) {
  TGifLzwState& s = *FLzw;
  // Only a corrupt code chain can outgrow the stack; a sound one is shorter than the table.
  if (s.StackCount >= int(s.Stack.size()) - 1) GifError(13);
  s.Stack[std::size_t(++s.StackCount)] = Value;
}
