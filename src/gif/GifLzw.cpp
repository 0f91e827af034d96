// Coding one image's pixels: the working state, the pixel walk, and the
// adapters from an image record to the coders of Lzw.h and the uncompressed
// variant behind a code size of 0.
#include "gif/Gif.h"
#include "gif/Interlace.h"

void TGif::LzwBegin(TGifImageRecord* Image) {
  if (!Image) GifError(TGifErrorCode::InvalidImageDescriptorIndex);
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
  TGifLzwState& s = *FLzw;
  const TGifImageRecord& image = *s.Image;
  if (s.Pass == 0) s.Pass = 1;
  if (++s.X < image.Width) return;
  s.X = 0;
  if (!image.Interlaced) {
    ++s.Y;
    return;
  }
  if (s.Pass < 1 || s.Pass > 4) GifError(TGifErrorCode::InvalidInterlacePass);
  s.Y += InterlacePasses[std::size_t(s.Pass - 1)].Step;
  // Passes whose first row lies below the image hold no row; bounded so an
  // image of no rows cannot spin here.
  for (int skipped = 0; s.Y >= image.Height && skipped < 4; ++skipped) {
    s.Pass = s.Pass % 4 + 1;
    s.Y = InterlacePasses[std::size_t(s.Pass - 1)].FirstRow;
  }
}

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

void TGif::LzwEncode(TGifImageRecord& Image, int CodeSize) {
  LzwBegin(&Image);
  StartProgress(Image.PixelCount, "LZW encode image");
  FImageStream->Clear();
  std::vector<std::uint8_t> scratch;
  const std::span<const std::uint8_t> pixels = PixelsInWalkOrder(scratch);
  std::unique_ptr<TLzwEncoder> encoder = std::move(FEncoder);
  if (!encoder) encoder = std::make_unique<TLzwEncoder>();
  encoder->Encode(pixels, CodeSize, FImageStream->Data,
                  [this](int Position) { UpdateProgress(Position); });
  FEncoder = std::move(encoder);
  EndProgress();
  LzwEnd();
}

void TGif::SimpleEncode(TGifImageRecord& Image) {
  LzwBegin(&Image);
  FImageStream->Clear();
  Image.Interlaced = false; // the data is in storage order, whatever the descriptor said
  if (!FLzw->Table) GifError(TGifErrorCode::ValueOutOfRange, "image without a colour table");
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

// The decoder places pixels in stream order; an interlaced image gets its rows
// moved to display order once the decode is final: complete, or of all the data.
bool TGif::LzwDecode(TGifImageRecord& Image, bool AllData) {
  LzwBegin(&Image);
  StartProgress(int(FImageStream->Size()), "LZW decode image");
  // Kept across images: a stream of many tiny images allocates its tables once.
  std::unique_ptr<TLzwDecoder> decoder = std::move(FDecoder);
  if (!decoder) decoder = std::make_unique<TLzwDecoder>();
  const bool complete =
      decoder->Decode(FImageStream->Data, Image.CodeSize, Image.PixelIndices,
                      [this](int Position) { UpdateProgress(Position); }) != TLzwEnd::DataOut;
  FDecoder = std::move(decoder);
  if (Image.Interlaced && (complete || AllData))
    Deinterlace(Image.PixelIndices, Image.Width, Image.Height);
  EndProgress();
  LzwEnd();
  return complete;
}

bool TGif::SimpleDecode(TGifImageRecord& Image, bool /*AllData*/) {
  LzwBegin(&Image);
  Image.Interlaced = false; // this variant is always in row order
  const std::vector<std::uint8_t>& data = FImageStream->Data;
  StartProgress(int(data.size()), "simple decode image");
  const std::size_t count = Image.PixelIndices.size();
  std::size_t i = 0;
  if (!data.empty()) {
    const int bitsPerPixel = data[0];
    if (bitsPerPixel < 1 || bitsPerPixel > 8)
      GifError(TGifErrorCode::InvalidLzwDataFormat, "bits per pixel outside 1 to 8");
    const std::uint32_t mask = (1u << bitsPerPixel) - 1;
    std::uint32_t bits = 0;
    int bitCount = 0;
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
  return i >= count;
}
