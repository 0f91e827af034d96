// A 24-bit bitmap to an indexed image: colour table in first-seen order.
// Past 256 colours the colours the caller keeps stay exact and the others
// are quantised; with none kept, colours are masked more coarsely until they fit.
#include "gif/Gif.h"
#include "gif/MedianCut.h"

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

// Colour to the order of its first sighting, for any number of colours.
class TColorIds {
public:
  TColorIds() : FSlots(std::size_t(1) << FBits, Empty) {}
  // The colour's number; a colour not met before gets the next one.
  std::uint32_t Add(TColor c) {
    const std::size_t i = Slot(c);
    if (FSlots[i] != Empty) return std::uint32_t(FSlots[i]);
    FSlots[i] = (std::uint64_t(c) << 32) | FCount;
    if (++FCount * 2 > FSlots.size()) Grow();
    return FCount - 1;
  }
  // The number of a colour added before.
  std::uint32_t Find(TColor c) const { return std::uint32_t(FSlots[Slot(c)]); }

private:
  static constexpr std::uint64_t Empty = ~std::uint64_t(0); // no colour has 32 bits
  std::size_t Slot(TColor c) const {
    const std::size_t mask = FSlots.size() - 1;
    for (std::size_t i = std::size_t((c * 0x9E3779B97F4A7C15ull) >> (64 - FBits));;
         i = (i + 1) & mask)
      if (FSlots[i] == Empty || TColor(FSlots[i] >> 32) == c) return i;
  }
  void Grow() {
    std::vector<std::uint64_t> old(std::size_t(1) << ++FBits, Empty);
    old.swap(FSlots);
    for (std::uint64_t slot : old)
      if (slot != Empty) FSlots[Slot(TColor(slot >> 32))] = slot;
  }
  int FBits = 10;
  std::uint32_t FCount = 0;
  std::vector<std::uint64_t> FSlots;
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

void TGif::MakeKeepingTable(const TBitmap& Bitmap, TGifColorTable& Table,
                            std::vector<std::uint8_t>& Indices, std::span<const TColor> Keep) {
  const int width = Bitmap.Width(), height = Bitmap.Height();
  Indices.resize(std::size_t(width) * std::size_t(height));
  TColorIds ids;
  std::vector<TColorCount> colors; // by number
  // Progress by rows: these passes are the slow case's, kept tight.
  StartProgress(width * height, "make color-table");
  TColor cache = Bitmap.GetPixel(0, 0);
  std::uint32_t id = ids.Add(cache), run = 0;
  colors.push_back({cache, 0});
  for (int y = 0; y < height; ++y) {
    UpdateProgress(y * width);
    const std::uint8_t* p = Bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 3) {
      const TColor c = RGB(p[2], p[1], p[0]);
      if (c != cache) {
        colors[id].Count += run;
        run = 0;
        cache = c;
        id = ids.Add(c);
        if (id == colors.size()) colors.push_back({c, 0});
      }
      ++run;
    }
  }
  colors[id].Count += run;
  EndProgress();

  // Entries in the order their first colour was met, as the exact table has them.
  const TQuantised q = KeepingPalette(colors, Keep, int(Table.Colors.size()));
  Table = TGifColorTable{};
  std::vector<int> indexOfEntry(q.Palette.size(), -1);
  std::vector<std::uint8_t> indexOf(colors.size());
  for (std::size_t i = 0; i < colors.size(); ++i) {
    int& index = indexOfEntry[std::size_t(q.EntryOf[i])];
    if (index < 0) {
      index = Table.Count++;
      Table.Colors[std::size_t(index)] = q.Palette[std::size_t(q.EntryOf[i])];
    }
    indexOf[i] = std::uint8_t(index);
  }

  StartProgress(width * height, "make color-table");
  cache = colors[0].Color;
  std::uint8_t index = indexOf[0];
  for (int y = 0; y < height; ++y) {
    UpdateProgress(y * width);
    const std::uint8_t* p = Bitmap.ScanLine(y);
    std::uint8_t* out = Indices.data() + std::size_t(y) * std::size_t(width);
    for (int x = 0; x < width; ++x, p += 3) {
      const TColor c = RGB(p[2], p[1], p[0]);
      if (c != cache) {
        cache = c;
        index = indexOf[ids.Find(c)];
      }
      out[x] = index;
    }
  }
  EndProgress();
}

std::unique_ptr<TGif> TGif::CreateFromBitmap(const TBitmap& Bitmap, std::span<const TColor> Keep) {
  auto gif = std::make_unique<TGif>();
  gif->AddBitmap(&Bitmap, Keep);
  return gif;
}

void TGif::AddBitmap(const TBitmap* Bitmap, std::span<const TColor> Keep) {
  if (!Bitmap) GifError(TGifErrorCode::InvalidBitmap);
  // No pixels: nothing to index, and no image a GIF could hold.
  if (Bitmap->Empty()) GifError(TGifErrorCode::InvalidBitmapImage);

  // Everything is built before the object changes, so a failure leaves no half-made image.
  auto table = std::make_shared<TGifColorTable>();
  std::vector<std::uint8_t> indices;
  bool ok = false;
  MakeColorTable(*Bitmap, *table, indices, 0xFFFFFFFFu, ok);
  if (!ok && !Keep.empty()) {
    MakeKeepingTable(*Bitmap, *table, indices, Keep);
    ok = true;
  }
  for (std::uint32_t mask : {0xE0E0E0u, 0xC0E0E0u}) {
    if (ok) break;
    MakeColorTable(*Bitmap, *table, indices, mask, ok);
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
