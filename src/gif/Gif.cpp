#include "gif/Gif.h"

#include <unordered_set>

TGifSubBlocks::TGifSubBlocks(std::initializer_list<std::initializer_list<std::uint8_t>> Blocks) {
  for (const auto& block : Blocks)
    Add(std::span(block.begin(), block.size()));
}

void TGifSubBlocks::Add(std::span<const std::uint8_t> Bytes) {
  if (Bytes.empty()) return;
  if (Bytes.size() > 255) GifError(TGifErrorCode::ValueOutOfRange, "sub-block over 255 bytes");
  FBytes.push_back(std::uint8_t(Bytes.size()));
  FBytes.insert(FBytes.end(), Bytes.begin(), Bytes.end());
  ++FCount;
}

TGif::TGif() = default;
TGif::~TGif() = default;

void TGif::Clear() {
  FDataStream.reset();
  FImageStream.reset();
  FPendingExtensions.reset();
  FSignature = "------";
  FScreen = TGifScreenDescriptor{};
  FImages.clear();
  FColorTables.clear();
  FLzw.reset();
}

const TPalette* TGif::Palette() const {
  const int i = FScreen.GlobalColorTable;
  if (!FScreen.HasGlobalColorTable || i < 0 || i >= ColorTableCount()) return nullptr;
  return FColorTables[std::size_t(i)].get();
}

// With no image there is nothing transparent.
bool TGif::Transparent() const {
  if (FImages.empty() || !FImages[0]->Extensions) return false;
  for (const TGifExtension& e : *FImages[0]->Extensions)
    if (e.Kind == gifblock::GraphicControlLabel) return e.Transparent;
  return false;
}

void TGif::SetTransparent(bool Value) {
  EnsureGraphicControls();
  for (int i = 0; i < ImageCount(); ++i) {
    TGifExtension& gce = *FindGraphicControl(i);
    gce.Transparent = Value;
    const TGifImageRecord& image = *FImages[std::size_t(i)];
    // An image without pixels has no bottom-left pixel to take the index from.
    if (Value && image.Width > 0 && image.Height > 0)
      gce.TransparentIndex = GetPixelIndex(i, 0, image.Height - 1);
  }
}

TGifImageRecord& TGif::GetImage(int Index) {
  if (Index < 0 || Index >= ImageCount()) GifError(TGifErrorCode::ValueOutOfRange, "image index");
  return *FImages[std::size_t(Index)];
}

TGifColorTable& TGif::GetColorTable(int Index) {
  if (Index < 0 || Index >= ColorTableCount())
    GifError(TGifErrorCode::ValueOutOfRange, "colour table index");
  return *FColorTables[std::size_t(Index)];
}

TBitmap& TGif::GetBitmap(int Index) {
  TGifImageRecord& image = GetImage(Index);
  if (!image.Bitmap) MakeBitmaps();
  return *image.Bitmap;
}

int TGif::CountColors(int Index) {
  constexpr std::size_t Limit = 1024;
  const TBitmap& bitmap = GetBitmap(Index);
  // A set instead of the list: the count is the same, without a 1024-entry scan per pixel.
  std::unordered_set<TColor> seen;
  seen.reserve(2 * Limit);
  bool have_last = false;
  TColor last = 0;
  for (int y = 0; y < bitmap.Height() && seen.size() < Limit; ++y) {
    const std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += 3) {
      const TColor c = RGB(p[2], p[1], p[0]);
      if (have_last && c == last) continue;
      have_last = true;
      last = c;
      seen.insert(c);
      if (seen.size() >= Limit) break;
    }
    if (OnProcessMessages) OnProcessMessages();
  }
  return int(seen.size());
}

std::uint8_t TGif::GetPixelIndex(int Index, int X, int Y) {
  const TGifImageRecord& image = GetImage(Index);
  if (X < 0 || X >= image.Width || Y < 0 || Y >= image.Height)
    GifError(TGifErrorCode::ValueOutOfRange, "pixel outside the image");
  const std::size_t pos = std::size_t(Y) * std::size_t(image.Width) + std::size_t(X);
  if (pos >= image.PixelIndices.size())
    GifError(TGifErrorCode::ValueOutOfRange, "pixel beyond the image's indices");
  return image.PixelIndices[pos];
}

void TGif::SetPixelIndex(int Index, int X, int Y, int ColorIndex) {
  TGifImageRecord& image = GetImage(Index);
  const TGifColorTable& table = GetColorTable(image.ColorTableIndex);
  if (X < 0 || X >= image.Width || Y < 0 || Y >= image.Height)
    GifError(TGifErrorCode::ValueOutOfRange, "pixel outside the image");
  if (ColorIndex < 0 || ColorIndex >= table.Count || ColorIndex > 255)
    GifError(TGifErrorCode::ValueOutOfRange, "colour index outside the table");
  const std::size_t pos = std::size_t(Y) * std::size_t(image.Width) + std::size_t(X);
  if (pos >= image.PixelIndices.size())
    GifError(TGifErrorCode::ValueOutOfRange, "pixel beyond the image's indices");
  image.PixelIndices[pos] = std::uint8_t(ColorIndex);
  // Without a bitmap yet, the one built later takes the new index.
  if (image.Bitmap) image.Bitmap->SetPixel(X, Y, table.Colors[std::size_t(ColorIndex)]);
}

TColor TGif::GetTransparentColor() {
  const TGifImageRecord& image = GetImage(0);
  const TGifColorTable& table = GetColorTable(image.ColorTableIndex);
  const TGifExtension* gce = FindGraphicControl(0);
  const int index = gce ? gce->TransparentIndex : 0;
  if (index < 0 || index > 255) GifError(TGifErrorCode::ValueOutOfRange, "transparent index");
  return table.Colors[std::size_t(index)];
}

// Exact, then under the two coarser masks of the colour-table passes, else 0.
int TGif::FindTransparentIndex(TColor Color, const TGifColorTable& Table) {
  for (TColor c : {Color, Color & 0xE0E0E0u, Color & 0xC0E0E0u}) {
    const int i = FindColor(c, Table);
    if (i >= 0) return i;
  }
  return 0;
}

void TGif::SetTransparentColor(TColor Color) {
  EnsureGraphicControls();
  for (int i = 0; i < ImageCount(); ++i) {
    TGifImageRecord& image = *FImages[std::size_t(i)];
    const TGifColorTable& table = GetColorTable(image.ColorTableIndex);
    const int index = FindTransparentIndex(Color, table);
    TGifExtension& gce = *FindGraphicControl(i);
    gce.Transparent = true;
    gce.TransparentIndex = index;
    if (image.Bitmap) {
      image.Bitmap->Transparent = true;
      image.Bitmap->TransparentColor = table.Colors[std::size_t(index)];
    }
  }
}

TGifExtension* TGif::FindGraphicControl(int Index) {
  TGifImageRecord& image = GetImage(Index);
  if (!image.Extensions) return nullptr;
  for (TGifExtension& e : *image.Extensions)
    if (e.Kind == gifblock::GraphicControlLabel) return &e;
  return nullptr;
}

void TGif::EnsureGraphicControls() {
  for (int i = 0; i < ImageCount(); ++i) {
    if (FindGraphicControl(i)) continue;
    TGifImageRecord& image = *FImages[std::size_t(i)];
    if (!image.Extensions) image.Extensions.emplace();
    TGifExtension gce;
    gce.Kind = gifblock::GraphicControlLabel;
    gce.BlockSize = 4;
    image.Extensions->push_back(std::move(gce));
  }
}

int TGif::FindColor(TColor Color, const TGifColorTable& Table) {
  const int count = Table.Count < 256 ? Table.Count : 256;
  for (int i = 0; i < count; ++i)
    if (Table.Colors[std::size_t(i)] == Color) return i;
  return -1;
}

void TGif::StartProgress(int Total, const std::string& Message) {
  FProgress.Total = Total;
  FProgress.Percent = 0;
  FProgress.Message = Message;
  FProgress.LastPosition = 0;
  FireProgress(TProgressStage::psStarting);
}

void TGif::ReportProgress(int Position) {
  if (Position <= 0)
    FProgress.Percent = 0;
  else if (Position >= FProgress.Total)
    FProgress.Percent = 100;
  else
    FProgress.Percent = int(std::int64_t(Position) * 100 / FProgress.Total);
  FProgress.LastPosition = Position;
  FireProgress(TProgressStage::psRunning);
}

void TGif::EndProgress() {
  FProgress.Percent = 100;
  FireProgress(TProgressStage::psEnding);
}

void TGif::FireProgress(TProgressStage Stage) {
  if (OnProgress)
    OnProgress(*this, Stage, std::uint8_t(FProgress.Percent), false, TRect{}, FProgress.Message);
}
