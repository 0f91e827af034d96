// A 24-bit bitmap to an indexed image: colour table in first-seen order,
// masked more coarsely until the colours fit in 256 entries.
#include "gif/Gif.h"

#include <bit>

namespace {

// Colour to table index. Table entries are unique, so a hit is the lowest
// index FindColor would give, without scanning up to 256 entries.
class TColorIndex {
public:
  TColorIndex() { FSlots.fill(Empty); }
  // The index, or -1.
  int Find(TColor c) const {
    for (std::size_t i = Hash(c);; i = (i + 1) & Mask) {
      const std::uint64_t slot = FSlots[i];
      if (slot == Empty) return -1;
      if (TColor(slot >> 8) == c) return int(slot & 0xFF);
    }
  }
  void Add(TColor c, int index) {
    std::size_t i = Hash(c);
    while (FSlots[i] != Empty)
      i = (i + 1) & Mask;
    FSlots[i] = (std::uint64_t(c) << 8) | std::uint64_t(index);
  }

private:
  static constexpr std::size_t Size = 1024; // at most 256 entries: load below 1/4
  static constexpr std::size_t Mask = Size - 1;
  static constexpr std::uint64_t Empty = ~std::uint64_t(0);
  static std::size_t Hash(TColor c) { return (c * 0x9E3779B1u) >> 22; }
  std::array<std::uint64_t, Size> FSlots;
};

int RoundedCount(int count) {
  return count <= 2 ? 2 : int(std::bit_ceil(unsigned(count)));
}

} // namespace

void TGif::MakeColorTable(const TBitmap& Bitmap, TGifColorTable& Table,
                          std::vector<std::uint8_t>& Indices, std::uint32_t Mask, bool& Ok) {
  Table = TGifColorTable{};
  Ok = true;
  const int width = Bitmap.Width(), height = Bitmap.Height();
  Indices.resize(std::size_t(width) * std::size_t(height));
  StartProgress(width * height, "make color-table");
  TColorIndex lookup;
  bool cached = false;
  TColor cache_color = 0;
  std::uint8_t cache_index = 0;
  int position = -1;
  std::uint8_t* out = Indices.data();
  for (int y = 0; y < height && Ok; ++y) {
    const std::uint8_t* p = Bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 3) {
      UpdateProgress(++position);
      const TColor c = RGB(p[2], p[1], p[0]) & Mask;
      if (!cached || c != cache_color) {
        int index = lookup.Find(c);
        if (index < 0) {
          if (Table.Count == 256) {
            Ok = false;
            break;
          }
          index = Table.Count++;
          Table.Colors[std::size_t(index)] = c;
          lookup.Add(c, index);
        }
        cached = true;
        cache_color = c;
        cache_index = std::uint8_t(index);
      }
      *out++ = cache_index;
    }
  }
  EndProgress();
}

std::unique_ptr<TGif> TGif::CreateFromBitmap(const TBitmap& Bitmap) {
  auto gif = std::make_unique<TGif>();
  gif->AddBitmap(Bitmap);
  return gif;
}

void TGif::AddBitmap(const TBitmap* Bitmap) {
  if (!Bitmap) GifError(TGifErrorCode::InvalidBitmap);
  // No pixels: nothing to index, and no image a GIF could hold.
  if (Bitmap->Empty()) GifError(TGifErrorCode::InvalidBitmapImage);

  // Everything is built before the object changes, so a failure leaves no half-made image.
  auto table = std::make_shared<TGifColorTable>();
  std::vector<std::uint8_t> indices;
  bool ok = false;
  for (std::uint32_t mask : {0xFFFFFFFFu, 0xE0E0E0u, 0xC0E0E0u}) {
    MakeColorTable(*Bitmap, *table, indices, mask, ok);
    if (ok) break;
  }
  if (!ok) GifError(TGifErrorCode::TooManyColors);
  table->Count = RoundedCount(table->Count);

  auto image = std::make_unique<TGifImageRecord>();
  image->Index = ImageCount();
  image->Width = Bitmap->Width();
  image->Height = Bitmap->Height();
  image->CodeSize = 8;
  image->PixelCount = image->Width * image->Height;
  image->PixelIndices = std::move(indices);
  image->ColorTableSize = table->Count;
  image->ColorTableIndex = ColorTableCount();

  if (!FScreen.HasGlobalColorTable) {
    FScreen.HasGlobalColorTable = true;
    FScreen.ColorResolution = std::countr_zero(unsigned(table->Count));
    FScreen.Sorted = false;
    FScreen.GlobalColorTableSize = table->Count;
    FScreen.BackgroundIndex = 0;
    FScreen.GlobalColorTable = image->ColorTableIndex;
  } else {
    image->HasLocalColorTable = true;
  }

  FColorTables.push_back(std::move(table));
  FImages.push_back(std::move(image));

  EnsureGraphicControls();
  if (Bitmap->Transparent)
    FindGraphicControl(ImageCount() - 1)->TransparentIndex =
        FindTransparentIndex(Bitmap->TransparentColor, *FColorTables.back());
  FSignature = "GIF89a";
}
