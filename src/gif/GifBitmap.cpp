// Rebuilding an image's bitmap from its colour indices and table.
#include "gif/Gif.h"

void TGif::PrepareBitmap(int Index) {
  TGifImageRecord& image = GetImage(Index);
  const TGifColorTable& table = GetColorTable(image.ColorTableIndex);
  if (!image.Bitmap) image.Bitmap = std::make_unique<TBitmap>();
  TBitmap& bitmap = *image.Bitmap;
  bitmap.SetSize(image.Width, image.Height);
  const std::size_t t = std::size_t(image.ColorTableIndex);
  bitmap.Palette = t < FColorTables.size() ? FColorTables[t] : nullptr;
  bitmap.Transparent = false;
  bitmap.TransparentColor = 0;
  const TGifExtension* gce = FindGraphicControl(Index);
  if (gce && gce->Transparent && gce->TransparentIndex >= 0 &&
      gce->TransparentIndex < table.Count && gce->TransparentIndex < 256) {
    bitmap.Transparent = true;
    bitmap.TransparentColor = table.Colors[std::size_t(gce->TransparentIndex)];
  }
}

void TGif::MakeBitmaps() {
  for (int i = 0; i < ImageCount(); ++i) {
    TGifImageRecord& image = *FImages[std::size_t(i)];
    if (image.Bitmap) continue;
    PrepareBitmap(i);
    const TGifColorTable& table = *FColorTables[std::size_t(image.ColorTableIndex)];
    TBitmap& bitmap = *image.Bitmap;
    StartProgress(image.PixelCount, "make bitmap");
    const std::size_t count = image.PixelIndices.size();
    std::size_t n = 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
      std::uint8_t* p = bitmap.ScanLine(y);
      for (int x = 0; x < bitmap.Width() && n < count; ++x, ++n, p += 3) {
        UpdateProgress(int(n));
        const TColor c = table.Colors[image.PixelIndices[n]];
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
      }
    }
    EndProgress();
  }
}
