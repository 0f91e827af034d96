#include "surface/FastDIB.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// Stride and tail in 64 bits, so that absurd widths are refused, not wrapped.
struct TRowLayout {
  std::int64_t Stride = 0;
  std::int64_t Tail = 0;
};

TRowLayout RowLayoutFor(std::int64_t w, int bits) {
  switch (bits) {
  case 1:
  case 4: {
    const std::int64_t b = (w * bits + 7) / 8 * 8;
    const std::int64_t stride = (b + 31) / 32 * 4;
    return {stride, stride - b / 8};
  }
  case 32:
    return {4 * w, 0};
  default: {
    const std::int64_t stride = (bits * w + 31) / 32 * 4;
    return {stride, stride - bits / 8 * w};
  }
  }
}

bool ValidDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::uint32_t ChannelMask(int bits, int pos) {
  if (bits <= 0) return 0;
  const std::uint64_t mask = ((std::uint64_t(1) << bits) - 1) << pos;
  return std::uint32_t(mask);
}

// Scales a channel of `bits` bits to 0..255.
std::uint8_t Expand(std::uint32_t value, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return std::uint8_t(value >> (bits - 8));
  const std::uint32_t max = (1u << bits) - 1;
  return std::uint8_t((value * 255 + max / 2) / max);
}

// Scales 0..255 to a channel of `bits` bits.
std::uint32_t Pack(std::uint8_t value, int bits) {
  if (bits >= 8) return std::uint32_t(value) << (bits - 8);
  return std::uint32_t(value) >> (8 - bits);
}

constexpr int ScreenBitsPerPixel = 32;

} // namespace

TFastDIB::TFastDIB() {
  ColorTable = Info.bmiColors.data();
}

TFastDIB::~TFastDIB() {
  ReleaseResources();
}

int TFastDIB::StrideFor(int width, int bitsPerPixel) {
  return int(RowLayoutFor(std::max(width, 0), bitsPerPixel).Stride);
}

int TFastDIB::TailFor(int width, int bitsPerPixel) {
  return int(RowLayoutFor(std::max(width, 0), bitsPerPixel).Tail);
}

void TFastDIB::Allocate(int width, int height, int bitsPerPixel) {
  AllocateEx(nullptr, width, height, bitsPerPixel, 0, 0, 0);
}

void TFastDIB::AllocateEx(std::uint8_t* memory, int width, int height, int bitsPerPixel,
                          std::uint8_t redBits, std::uint8_t greenBits, std::uint8_t blueBits) {
  if (bitsPerPixel == 0) {
    bitsPerPixel = ScreenBitsPerPixel;
    redBits = greenBits = blueBits = 8;
  }
  if (!ValidDepth(bitsPerPixel))
    throw std::invalid_argument("Unsupported depth: " + std::to_string(bitsPerPixel) +
                                " bits per pixel");
  if (width < 0) throw std::invalid_argument("Negative surface width");
  if (int(redBits) + greenBits + blueBits > 32)
    throw std::invalid_argument("Channel bits add up to more than 32");
  const std::int64_t rowCount = height < 0 ? -std::int64_t(height) : height;
  const TRowLayout layout = RowLayoutFor(width, bitsPerPixel);
  if (rowCount > 0 && std::uint64_t(layout.Stride) > MaxBytes / std::uint64_t(rowCount))
    throw std::length_error("Image too large: " + std::to_string(width) + " x " +
                            std::to_string(rowCount) + " pixels");

  const bool packed = bitsPerPixel == 16 || bitsPerPixel == 32;
  if (redBits || greenBits || blueBits) {
    Info.bmiHeader.biCompression = BI_BITFIELDS;
  } else {
    Info.bmiHeader.biCompression = BI_RGB;
    if (bitsPerPixel == 16) redBits = greenBits = blueBits = 5;
    if (bitsPerPixel == 32) redBits = greenBits = blueBits = 8;
  }
  if (packed) {
    ColorTable[0] = ChannelMask(redBits, blueBits + greenBits);
    ColorTable[1] = ChannelMask(greenBits, blueBits);
    ColorTable[2] = ChannelMask(blueBits, 0);
  }

  if (!memory && UsesGdi && DC && width == Width() && height == Height() &&
      bitsPerPixel == BitsPerPixel() && redBits == RedBits && greenBits == GreenBits &&
      blueBits == BlueBits)
    return;

  // Everything that may fail comes first, so a failed allocation leaves the
  // surface as it was.
  const std::size_t sizeImage = std::size_t(rowCount) * std::size_t(layout.Stride);
  TZeroedMemory fresh;
  std::uint8_t* pixels = memory;
  if (!memory && sizeImage > 0) {
    fresh = AllocateZeroed(sizeImage);
    if (!fresh)
      throw std::length_error("Not enough memory for an image of " + std::to_string(width) + " x " +
                              std::to_string(rowCount) + " pixels");
    pixels = fresh.get();
  }
  std::vector<std::uint8_t*> rows(std::size_t(rowCount), nullptr);
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i] = pixels + i * std::size_t(layout.Stride);
  std::unique_ptr<TDC> dc;
  if (!memory && UsesGdi) {
    // Text is drawn into blue, green, red bytes only; other layouts still measure.
    const bool bytes = bitsPerPixel == 24 ||
                       (bitsPerPixel == 32 && redBits == 8 && greenBits == 8 && blueBits == 8);
    const bool drawable = bytes && pixels;
    dc = drawable
             ? std::make_unique<TDC>(TPixelView{pixels, width, height, layout.Stride, bitsPerPixel})
             : std::make_unique<TDC>();
  }

  Info.bmiHeader.biWidth = width;
  Info.bmiHeader.biHeight = height;
  Info.bmiHeader.biBitCount = std::uint16_t(bitsPerPixel);
  Info.bmiHeader.biSizeImage = std::uint32_t(sizeImage);
  RowCount = int(rowCount);
  RedBits = packed ? redBits : 0;
  GreenBits = packed ? greenBits : 0;
  BlueBits = packed ? blueBits : 0;
  RedShift = std::uint8_t(RedBits >= 8 ? 0 : 8 - RedBits);
  GreenShift = std::uint8_t(GreenBits >= 8 ? 0 : 8 - GreenBits);
  BlueShift = std::uint8_t(BlueBits >= 8 ? 0 : 8 - BlueBits);
  GreenPos = BlueBits;
  RedPos = std::uint8_t(BlueBits + GreenBits);
  RowStride = int(layout.Stride);
  RowTail = int(layout.Tail);
  Pixels = pixels;
  Rows = std::move(rows);
  if (!memory) {
    // The old device context goes before the memory it draws into.
    DC = std::move(dc);
    FontHandle.reset();
    BrushHandle.reset();
    FMemory = std::move(fresh);
    OwnsDC = OwnsBitmap = UsesGdi;
    OwnsPixels = !UsesGdi;
  }
}

void TFastDIB::ReleaseResources() {
  DC.reset();
  OwnsDC = false;
  OwnsBitmap = false;
  FontHandle.reset();
  BrushHandle.reset();
  Rows.clear();
  FMemory.reset();
  OwnsPixels = false;
  Pixels = nullptr;
}

void TFastDIB::ReleasePixels() {
  if (DC && DC->Pixels().Bits) DC->SetPixels({nullptr, 0, 0, 0, DC->Pixels().BitsPerPixel});
  Rows.clear();
  RowCount = 0;
  FMemory.reset();
  OwnsPixels = false;
  Pixels = nullptr;
}

TColor TFastDIB::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= RowCount) return clInvalid;
  const std::uint8_t* row = ScanLine(y);
  switch (BitsPerPixel()) {
  case 1:
  case 4:
  case 8: {
    const int bits = BitsPerPixel();
    const std::size_t bit = std::size_t(x) * std::size_t(bits);
    const int index = (row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1 << bits) - 1);
    const std::uint32_t c = ColorTable[index];
    return RGB(std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c));
  }
  case 24: {
    const std::uint8_t* p = row + std::size_t(x) * 3;
    return RGB(p[2], p[1], p[0]);
  }
  default: {
    std::uint32_t v = 0;
    if (BitsPerPixel() == 16) {
      std::uint16_t s;
      std::memcpy(&s, row + std::size_t(x) * 2, 2);
      v = s;
    } else {
      std::memcpy(&v, row + std::size_t(x) * 4, 4);
    }
    return RGB(Expand((v & ColorTable[0]) >> RedPos, RedBits),
               Expand((v & ColorTable[1]) >> GreenPos, GreenBits),
               Expand((v & ColorTable[2]), BlueBits));
  }
  }
}

void TFastDIB::CopyTo(TBitmap& target, int x, int y) const {
  const int x0 = std::max(x, 0), x1 = std::min(x + Width(), target.Width());
  const int y0 = std::max(y, 0), y1 = std::min(y + RowCount, target.Height());
  if (x0 >= x1 || y0 >= y1) return;
  for (int ty = y0; ty < y1; ++ty) {
    std::uint8_t* out = target.ScanLine(ty) + std::size_t(x0) * 3;
    if (BitsPerPixel() == 24) {
      std::memcpy(out, ScanLine(ty - y) + std::size_t(x0 - x) * 3, std::size_t(x1 - x0) * 3);
      continue;
    }
    for (int tx = x0; tx < x1; ++tx, out += 3) {
      const TColor c = GetPixel(tx - x, ty - y);
      out[0] = GetBValue(c);
      out[1] = GetGValue(c);
      out[2] = GetRValue(c);
    }
  }
}

void TFastDIB::ApplyTextColor(TColor color) {
  if (DC) DC->SetTextColor(color);
}

void TFastDIB::SetTextTransparent(bool value) {
  if (DC) DC->SetBkMode(value ? TRANSPARENT : OPAQUE);
}

void TFastDIB::WritePixel(int x, int y, TColor color) {
  std::uint8_t* row = ScanLine(y);
  const int bits = BitsPerPixel();
  switch (bits) {
  case 24: {
    std::uint8_t* p = row + std::size_t(x) * 3;
    p[0] = GetBValue(color);
    p[1] = GetGValue(color);
    p[2] = GetRValue(color);
    return;
  }
  case 16:
  case 32: {
    const std::uint32_t v = (Pack(GetRValue(color), RedBits) << RedPos & ColorTable[0]) |
                            (Pack(GetGValue(color), GreenBits) << GreenPos & ColorTable[1]) |
                            (Pack(GetBValue(color), BlueBits) & ColorTable[2]);
    if (bits == 16) {
      const std::uint16_t s = std::uint16_t(v);
      std::memcpy(row + std::size_t(x) * 2, &s, 2);
    } else {
      std::memcpy(row + std::size_t(x) * 4, &v, 4);
    }
    return;
  }
  default: {
    // Palette depths take the nearest colour-table entry.
    const int count = 1 << bits;
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < count; ++i) {
      const std::uint32_t c = ColorTable[i];
      const long dr = long(GetRValue(color)) - long((c >> 16) & 0xFF);
      const long dg = long(GetGValue(color)) - long((c >> 8) & 0xFF);
      const long db = long(GetBValue(color)) - long(c & 0xFF);
      const long d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    const std::size_t bit = std::size_t(x) * std::size_t(bits);
    const int shift = 8 - bits - int(bit % 8);
    std::uint8_t& byte = row[bit / 8];
    byte = std::uint8_t((byte & ~(((1 << bits) - 1) << shift)) | (best << shift));
    return;
  }
  }
}

void TFastDIB::FillArea(const TRect& rect) {
  std::optional<TColor> brush = BrushHandle;
  if (!brush && DC) brush = DC->BrushColor();
  if (!brush) return;
  const int x0 = std::max(rect.Left, 0), x1 = std::min(rect.Right, Width());
  const int y0 = std::max(rect.Top, 0), y1 = std::min(rect.Bottom, RowCount);
  if (x0 >= x1 || y0 >= y1) return;
  if (BitsPerPixel() == 24) {
    // Build one row of pattern and copy it, which is far cheaper than pixel writes.
    std::vector<std::uint8_t> pattern(std::size_t(x1 - x0) * 3);
    for (std::size_t i = 0; i < pattern.size(); i += 3) {
      pattern[i] = GetBValue(*brush);
      pattern[i + 1] = GetGValue(*brush);
      pattern[i + 2] = GetRValue(*brush);
    }
    for (int y = y0; y < y1; ++y)
      std::memcpy(ScanLine(y) + std::size_t(x0) * 3, pattern.data(), pattern.size());
    return;
  }
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      WritePixel(x, y, *brush);
}
