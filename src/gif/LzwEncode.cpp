// Image data encoders: GIF LZW and the uncompressed variant behind code size 0.
//
// The LZW string table is looked up through a direct child table,
// child[code][pixel], instead of a linear scan. Entries are unique (an entry is
// only added for a pair the match just failed to find), so the lookup returns
// exactly the code the scan would, and the codes written are the same.
#include "gif/Gif.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

void TGif::LzwEncode(TGifImageRecord& Image) {
  LzwBegin(&Image);
  LzwResetTable();
  StartProgress(Image.PixelCount, "LZW encode image");
  FImageStream->Clear();
  TGifLzwState& s = *FLzw;

  std::vector<std::uint8_t> scratch;
  const std::span<const std::uint8_t> pixels = PixelsInWalkOrder(scratch);
  // A pixel above the root codes would be read back as a table code: a corrupt image.
  const int top = pixels.empty() ? 0 : *std::max_element(pixels.begin(), pixels.end());
  if (top > s.MaxRootCode) GifError(15);

  const int suffix_bits = std::bit_width(unsigned(top));
  std::vector<std::uint16_t> child(std::size_t(4096) << suffix_bits, 0);
  const std::uint32_t clear = std::uint32_t(s.ClearCode);
  const std::uint32_t first_free = std::uint32_t(s.FirstFreeCode);
  const int first_width = s.CodeWidth;

  TCodeWriter out(FImageStream->Data);
  const std::uint8_t* p = pixels.data();
  const std::uint8_t* const end = p + pixels.size();
  const std::uint8_t* const begin = p;

  std::uint32_t next = first_free;
  int width = first_width;
  out.Put(clear, width);
  std::uint32_t prev = p < end ? *p++ : 0; // an image without pixels still codes one
  out.Put(prev, width);
  while (p < end) {
    UpdateProgress(int(p - begin));
    std::uint32_t cur = *p++;
    s.Prefix[next] = int(prev);
    s.Suffix[next] = int(cur);
    child[(std::size_t(prev) << suffix_bits) | cur] = std::uint16_t(next);
    ++next;
    const bool full = next == 4096;
    if (!full && next > (1u << width)) ++width;
    while (p < end) {
      const std::uint16_t hit = child[(std::size_t(cur) << suffix_bits) | *p];
      if (hit == 0) break;
      cur = hit;
      ++p;
    }
    out.Put(cur, width);
    prev = cur;
    if (full && p < end) {
      out.Put(clear, width);
      for (std::uint32_t c = first_free; c < next; ++c)
        child[(std::size_t(s.Prefix[c]) << suffix_bits) | std::uint32_t(s.Suffix[c])] = 0;
      next = first_free;
      width = first_width;
      prev = *p++;
      out.Put(prev, width);
    }
  }
  out.Put(std::uint32_t(s.EndCode), width);
  out.Flush();
  s.PixelCounter = int(p - begin);
  s.EncodeNextCode = int(next);
  s.CodeWidth = width;
  EndProgress();
  LzwEnd();
}

void TGif::SimpleEncode(TGifImageRecord& Image) {
  LzwBegin(&Image);
  FImageStream->Clear();
  Image.Interlaced = false; // the data is in storage order, whatever the descriptor said
  if (!FLzw->Table) GifError(15);
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
