#include "export/Export.h"
#include "png/Png.h"
#include "raster/RgbaImage.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

// The rows of a cut, one at a time, blue, green, red: the line drawn alone,
// or the part of the preview under the rectangle with the background
// outside. A save of the whole rendering copies no more than a row of it.
class TCutRows {
public:
  // Rect of Image, Outside beyond its edges.
  TCutRows(const TBitmap& Image, const TRect& Rect, TColor Outside)
      : FRect(Rect), FBack(Outside), FImage(&Image) {
    FRow.resize(std::size_t(std::max(FRect.Width(), 0)) * 3);
  }
  TCutRows(const TExportSource& Source, const TImageCut& Cut)
      : FRect(Cut.Rect), FBack(Source.BackColor) {
    if (Cut.Line) {
      if (!Source.DrawLine) throw EExportError("The rendering gives no way to draw a line.");
      FDrawn = TBitmap(FRect.Width(), FRect.Height());
      Source.DrawLine(*Cut.Line, FDrawn, FRect.Left, FRect.Top);
      FImage = &FDrawn;
      FRect = {0, 0, FDrawn.Width(), FDrawn.Height()};
    } else {
      FImage = Source.Preview;
    }
    FRow.resize(std::size_t(std::max(FRect.Width(), 0)) * 3);
  }
  int Width() const { return FRect.Width(); }
  int Height() const { return FRect.Height(); }
  TColor Back() const { return FBack; }

  const std::uint8_t* Row(int Y) {
    const int y = FRect.Top + Y;
    const int left = std::max(FRect.Left, 0);
    const int right = FImage ? std::min(FRect.Right, FImage->Width()) : left;
    const bool inside = FImage && y >= 0 && y < FImage->Height();
    if (inside && left == FRect.Left && right == FRect.Right)
      return FImage->ScanLine(y) + std::size_t(left) * 3;
    for (std::size_t x = 0; x < FRow.size(); x += 3) {
      FRow[x] = GetBValue(FBack);
      FRow[x + 1] = GetGValue(FBack);
      FRow[x + 2] = GetRValue(FBack);
    }
    if (inside && left < right)
      std::memcpy(FRow.data() + std::size_t(left - FRect.Left) * 3,
                  FImage->ScanLine(y) + std::size_t(left) * 3, std::size_t(right - left) * 3);
    return FRow.data();
  }

private:
  TRect FRect;
  TColor FBack;
  TBitmap FDrawn;
  const TBitmap* FImage = nullptr;
  std::vector<std::uint8_t> FRow;
};

// All the rows of a cut, as a bitmap of its own.
TBitmap Copied(TCutRows& Rows) {
  TBitmap image(Rows.Width(), Rows.Height());
  for (int y = 0; y < Rows.Height(); ++y)
    std::memcpy(image.ScanLine(y), Rows.Row(y), std::size_t(Rows.Width()) * 3);
  return image;
}

} // namespace

void TColorTable::Prepare(TExportSource Source, std::function<void()> OnProcessMessages) {
  FGif.reset();
  FDrawn.clear();
  FColorCount = 0;
  if (!Source.Preview || Source.Preview->Empty())
    throw EExportError("Nothing to convert: the rendering has no pixels (every line is empty).");
  FSource = std::move(Source);

  FGif = TGif::CreateFromBitmap(*FSource.Preview, FSource.KeepColors);
  FGif->OnProcessMessages = std::move(OnProcessMessages);
  TGifColorTable& table = FGif->GetColorTable(0);
  // Never list past the table, whatever the bitmap holds.
  const int count = std::min(FGif->CountColors(0), table.Count);
  FColorCount = count;
  FRendered.assign(table.Colors.begin(), table.Colors.begin() + count);
  FBackIndex = 0;
  for (int i = 0; i < count; ++i)
    if (table.Colors[std::size_t(i)] == FSource.BackColor) FBackIndex = i;
  // A reduced table gave some pixels an entry that is not their own colour.
  FReduced = false;
  {
    const TGifImageRecord& image = FGif->GetImage(0);
    const TBitmap& preview = *FSource.Preview;
    for (int y = 0; y < image.Height && !FReduced; ++y) {
      const std::uint8_t* p = preview.ScanLine(y);
      const std::uint8_t* index =
          image.PixelIndices.data() + std::size_t(y) * std::size_t(image.Width);
      for (int x = 0; x < image.Width; ++x, p += 3)
        if (RGB(p[2], p[1], p[0]) != table.Colors[index[x]]) {
          FReduced = true;
          break;
        }
    }
  }

  FGif->SetTransparentColor(table.Colors[std::size_t(FBackIndex)]);
  SetTransparent(FTransparent);
}

TGif& TColorTable::Gif() {
  if (!FGif) throw EExportError("The colour table has no image: nothing was prepared.");
  return *FGif;
}

TTextSize TColorTable::ImageSize() const {
  if (!FGif) return {};
  return {FGif->GetImage(0).Width, FGif->GetImage(0).Height};
}

TColor TColorTable::Color(int Index) const {
  if (!FGif || Index < 0 || Index >= FColorCount) return clInvalid;
  return FGif->GetColorTable(0).Colors[std::size_t(Index)];
}

bool TColorTable::ChangeColor(int Index, TColor K) {
  if (!FGif || Index < 0 || Index >= FColorCount) return false;
  SetEntry(Index, K);
  std::array<bool, 256> changed{};
  changed[std::size_t(Index)] = true;
  Repaint(changed);
  return true;
}

void TColorTable::SetEntry(int Index, TColor K) {
  FGif->GetColorTable(0).Colors[std::size_t(Index)] = K & 0xFFFFFF;
}

void TColorTable::Repaint(const std::array<bool, 256>& Changed) {
  FGif->GetBitmap(0); // SetPixelIndex repaints the bitmap, so it must exist
  const TGifImageRecord& image = FGif->GetImage(0);
  for (int y = 0; y < image.Height; ++y) {
    const std::uint8_t* row = image.PixelIndices.data() + std::size_t(y) * std::size_t(image.Width);
    for (int x = 0; x < image.Width; ++x)
      if (Changed[row[x]]) FGif->SetPixelIndex(0, x, y, row[x]);
  }
}

std::size_t TColorTable::RecolorListed(const std::vector<std::pair<TColor, TColor>>& Pairs) {
  if (!FGif) return 0;
  // Each pair sees the table as the pairs before it left it, as one edit
  // after the other would; the image is repainted once for all of them.
  const TGifColorTable& table = FGif->GetColorTable(0);
  std::array<bool, 256> changed{};
  std::size_t done = 0;
  for (const auto& [from, to] : Pairs) {
    int index = 0;
    while (index < FColorCount && table.Colors[std::size_t(index)] != (from & 0xFFFFFF))
      ++index;
    if (index == FColorCount) break;
    SetEntry(index, to);
    changed[std::size_t(index)] = true;
    ++done;
  }
  Repaint(changed);
  return done;
}

void TColorTable::SetTransparent(bool Transparent) {
  FTransparent = Transparent;
  if (!FGif) return;
  FGif->SetTransparent(Transparent);
  FGif->GetBitmap(0).Transparent = Transparent;
}

TTextSize TColorTable::MeasureText(std::string_view Text) const {
  if (!FSource.Measure) throw EExportError("The rendering gives no way to measure text.");
  return FSource.Measure(Text);
}

std::unique_ptr<TGif> TColorTable::CutImage(const TRect& Rect) const {
  if (!FGif) throw EExportError("The colour table has no image: nothing was prepared.");
  TCutRows rows(FGif->GetBitmap(0), Rect, 0xFFFFFF);
  return Indexed(Copied(rows));
}

std::unique_ptr<TGif> TColorTable::LineImage(const TRect& Rect, std::size_t Index) const {
  if (!FGif) throw EExportError("The colour table has no image: nothing was prepared.");
  if (!FSource.DrawLine) throw EExportError("The rendering gives no way to draw a line.");
  std::unique_ptr<TGif> g;
  {
    // Gone before the file is written: the largest line weighs only once.
    TBitmap line(Rect.Width(), Rect.Height());
    FSource.DrawLine(Index, line, Rect.Left, Rect.Top);
    ApplyEdits(line);
    g = Indexed(line);
  }
  return g;
}

std::unique_ptr<TGif> TColorTable::Indexed(const TBitmap& Image) const {
  std::unique_ptr<TGif> g = TGif::CreateFromBitmap(Image);
  g->SetTransparentColor(FGif->GetTransparentColor());
  if (!FTransparent) g->SetTransparent(false);
  return g;
}

std::size_t TColorTable::EntryOf(TColor C) const {
  // A colour the table lists, also as the reduced colour a table of too many
  // colours kept; else (ink that overlapped another line's) the nearest.
  for (std::uint32_t mask : {0xFFFFFFFFu, 0xE0E0E0u, 0xC0E0E0u})
    for (std::size_t i = 0; i < FRendered.size(); ++i)
      if (FRendered[i] == (C & mask)) return i;
  std::size_t best = 0;
  long bestDistance = LONG_MAX;
  for (std::size_t i = 0; i < FRendered.size(); ++i) {
    const long r = long(GetRValue(C)) - GetRValue(FRendered[i]);
    const long g = long(GetGValue(C)) - GetGValue(FRendered[i]);
    const long b = long(GetBValue(C)) - GetBValue(FRendered[i]);
    if (r * r + g * g + b * b < bestDistance) {
      bestDistance = r * r + g * g + b * b;
      best = i;
    }
  }
  return best;
}

namespace {

// Map, worked out once per distinct colour: a run of one colour costs a compare.
template <typename Map> class TColorMemo {
public:
  explicit TColorMemo(Map M) : FMap(std::move(M)) {}
  TColor operator()(TColor C) {
    if (C != FLast) {
      auto [at, added] = FMapped.try_emplace(C, 0);
      if (added) at->second = FMap(C);
      FLast = C;
      FLastMapped = at->second;
    }
    return FLastMapped;
  }

private:
  Map FMap;
  std::unordered_map<TColor, TColor> FMapped;
  TColor FLast = clInvalid, FLastMapped = clInvalid;
};

// Applies Map to every pixel.
template <typename Map> void MapColors(TBitmap& Image, Map map) {
  TColorMemo memo(std::move(map));
  for (int y = 0; y < Image.Height(); ++y) {
    std::uint8_t* p = Image.ScanLine(y);
    for (int x = 0; x < Image.Width(); ++x, p += 3) {
      const TColor mapped = memo(RGB(p[2], p[1], p[0]));
      p[0] = GetBValue(mapped);
      p[1] = GetGValue(mapped);
      p[2] = GetRValue(mapped);
    }
  }
}

} // namespace

void TColorTable::ApplyEdits(TBitmap& Image) const {
  const TGifColorTable& table = FGif->GetColorTable(0);
  MapColors(Image, [&](TColor c) { return table.Colors[EntryOf(c)]; });
}

TRect TColorTable::InkBox(const TExportSource& Source, const TImageCut& Cut) const {
  TCutRows rows(Source, Cut);
  const std::uint8_t b = GetBValue(Source.BackColor), g = GetGValue(Source.BackColor),
                     r = GetRValue(Source.BackColor);
  TRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int y = 0; y < rows.Height(); ++y) {
    const std::uint8_t* p = rows.Row(y);
    for (int x = 0; x < rows.Width(); ++x, p += 3)
      if (p[0] != b || p[1] != g || p[2] != r) {
        box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
               std::max(box.Bottom, y + 1)};
      }
  }
  if (box.Left == INT_MAX) return {};
  return {box.Left + Cut.Rect.Left, box.Top + Cut.Rect.Top, box.Right + Cut.Rect.Left,
          box.Bottom + Cut.Rect.Top};
}

std::shared_ptr<const TExportSource> TColorTable::SourceAt(int Scale) const {
  if (Scale == 1)
    return std::shared_ptr<const TExportSource>(&FSource, [](const TExportSource*) {});
  if (!FSource.Redraw)
    throw EExportError("This rendering cannot be drawn again at " + std::to_string(Scale) + "x.");
  return FSource.Redraw(Scale, {FSource.BackColor, FSource.TextColor, FSource.ShadowColor});
}

std::vector<std::uint8_t> TColorTable::WholeGif() const {
  if (!FGif) throw EExportError("The colour table has no image: nothing was prepared.");
  return FGif->SaveToBytes();
}

std::vector<std::uint8_t> TColorTable::ImageFile(const TExportSource& Source, const TImageCut& Cut,
                                                 TImageFormat Format) const {
  if (!FGif) throw EExportError("The colour table has no image: nothing was prepared.");
  if (Format == TImageFormat::Png) return PngFile(Source, Cut);
  if (&Source == &FSource)
    return (Cut.Line ? LineImage(Cut.Rect, *Cut.Line) : CutImage(Cut.Rect))->SaveToBytes();
  // Drawn again larger, with colours of its own where the 1x table has none
  // (edges over edges): the edits move the colours the table lists.
  std::unique_ptr<TGif> g;
  {
    TCutRows rows(Source, Cut);
    TBitmap pixels = Copied(rows);
    MapColors(pixels, [this](TColor c) { return Edited(c, true); });
    g = Indexed(pixels);
  }
  return g->SaveToBytes();
}

TRenderColors TColorTable::EditedColors() const {
  const auto edited = [this](TColor c) {
    for (std::size_t i = 0; i < FRendered.size(); ++i)
      if (FRendered[i] == c) return Color(int(i));
    return c;
  };
  return {edited(FSource.BackColor), edited(FSource.TextColor), edited(FSource.ShadowColor)};
}

TColor TColorTable::Edited(TColor C, bool UserColors) const {
  const std::size_t i =
      FReduced ? EntryOf(C)
               : std::size_t(std::find(FRendered.begin(), FRendered.end(), C) - FRendered.begin());
  if (i >= FRendered.size()) return C;
  const TColor from = FRendered[i], to = Color(int(i));
  if (from == to || (!UserColors && (from == FSource.BackColor || from == FSource.TextColor ||
                                     (FSource.ShadowDistance > 0 && from == FSource.ShadowColor))))
    return C;
  if (C == from) return to;
  const auto moved = [](int c, int f, int t) {
    return std::uint8_t(std::clamp(c + t - f, 0, 255));
  };
  return RGB(moved(GetRValue(C), GetRValue(from), GetRValue(to)),
             moved(GetGValue(C), GetGValue(from), GetGValue(to)),
             moved(GetBValue(C), GetBValue(from), GetBValue(to)));
}

namespace {

// A background far from Back in every channel, and not a colour the text or
// shadow is drawn in: a pixel the text covers then blends the same way over
// both.
TColor FarBackground(TColor Back, const TRenderColors& Colors) {
  const auto far = [](int v, int step) { return v < 128 ? 255 - step : step; };
  for (int step : {0, 24, 48}) {
    const TColor c =
        RGB(far(GetRValue(Back), step), far(GetGValue(Back), step), far(GetBValue(Back), step));
    if (c != Colors.Text && c != Colors.Shadow) return c;
  }
  return RGB(far(GetRValue(Back), 0), far(GetGValue(Back), 0), far(GetBValue(Back), 0));
}

// Every pixel is its ink over the background: P = K + (1 - a) * B, the same K
// and a over both. Two backgrounds give a, and K / a is the ink's own colour.
TRgbaImage Matte(TCutRows& Over1, TCutRows& Over2) {
  TRgbaImage out(Over1.Width(), Over1.Height());
  const TColor back1 = Over1.Back(), back2 = Over2.Back();
  const int b1[3] = {GetBValue(back1), GetGValue(back1), GetRValue(back1)};
  const int b2[3] = {GetBValue(back2), GetGValue(back2), GetRValue(back2)};
  for (int y = 0; y < out.Height; ++y) {
    const std::uint8_t* p1 = Over1.Row(y);
    const std::uint8_t* p2 = Over2.Row(y);
    for (int x = 0; x < out.Width; ++x, p1 += 3, p2 += 3) {
      double rest = 0; // 1 - a, the mean of what each channel shows
      for (int c = 0; c < 3; ++c)
        rest += double(p2[c] - p1[c]) / double(b2[c] - b1[c]);
      const double a = std::clamp(1 - rest / 3, 0.0, 1.0);
      std::uint8_t* q = out.At(x, y);
      const int alpha = int(std::lround(a * 255));
      if (alpha == 0) {
        q[0] = q[1] = q[2] = q[3] = 0;
        continue;
      }
      for (int c = 0; c < 3; ++c) {
        const double ink = (p1[c] - (1 - a) * b1[c]) / a;
        q[2 - c] = std::uint8_t(std::clamp(std::lround(ink), 0L, 255L));
      }
      q[3] = std::uint8_t(alpha);
    }
  }
  return out;
}

} // namespace

std::shared_ptr<const TExportSource> TColorTable::Drawn(const TExportSource& Source,
                                                        const TRenderColors& Colors) const {
  if (Colors == TRenderColors{Source.BackColor, Source.TextColor, Source.ShadowColor})
    return std::shared_ptr<const TExportSource>(&Source, [](const TExportSource*) {});
  for (const TDrawn& d : FDrawn)
    if (d.From == &Source && d.Colors == Colors) return d.Source;
  if (!Source.Redraw)
    throw EExportError("This rendering cannot be drawn again in other colours for a PNG.");
  // The two drawings a transparent image is made of, at each scale, at most.
  if (FDrawn.size() >= 4) FDrawn.erase(FDrawn.begin());
  FDrawn.push_back({&Source, Colors, Source.Redraw(Source.Scale, Colors)});
  return FDrawn.back().Source;
}

std::vector<std::uint8_t> TColorTable::PngFile(const TExportSource& Source,
                                               const TImageCut& Cut) const {
  return EncodePng(PngPixels(Source, Cut));
}

TRgbaImage TColorTable::PngPixels(const TExportSource& Source, const TImageCut& Cut) const {
  const TRenderColors colors = EditedColors();
  TRgbaImage image;
  if (FTransparent) {
    // The rendering as it is over one background, when its colours are the
    // ones wanted and that background is not one of them; else drawn again.
    TRenderColors near = colors;
    if (near.Back == near.Text || near.Back == near.Shadow ||
        near != TRenderColors{Source.BackColor, Source.TextColor, Source.ShadowColor})
      near.Back = FarBackground(0xFFFFFF, colors);
    TRenderColors far = colors;
    far.Back = FarBackground(near.Back, colors);
    const std::shared_ptr<const TExportSource> over1 = Drawn(Source, near);
    const std::shared_ptr<const TExportSource> over2 = Drawn(Source, far);
    TCutRows rows1(*over1, Cut), rows2(*over2, Cut);
    image = Matte(rows1, rows2);
    for (std::size_t i = 0; i < image.Pixels.size(); i += 4) {
      std::uint8_t* q = &image.Pixels[i];
      if (q[3] != 255) continue; // only what is wholly ink has a colour of the table's
      const TColor c = Edited(RGB(q[0], q[1], q[2]), false);
      q[0] = GetRValue(c);
      q[1] = GetGValue(c);
      q[2] = GetBValue(c);
    }
  } else {
    TCutRows rows(*Drawn(Source, colors), Cut);
    image = TRgbaImage(rows.Width(), rows.Height());
    TColorMemo edited([this](TColor c) { return Edited(c, false); });
    for (int y = 0; y < rows.Height(); ++y) {
      const std::uint8_t* p = rows.Row(y);
      std::uint8_t* q = image.At(0, y);
      for (int x = 0; x < rows.Width(); ++x, p += 3, q += 4) {
        const TColor c = edited(RGB(p[2], p[1], p[0]));
        q[0] = GetRValue(c);
        q[1] = GetGValue(c);
        q[2] = GetBValue(c);
        q[3] = 255;
      }
    }
  }
  return image;
}
