#include "text/DC.h"

#include "base/Utf8.h"
#include "text/FontDatabase.h"
#include "text/Glyphs.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

// Text as code points, with where each line starts.
struct TLines {
  std::u32string Chars;
  std::vector<std::size_t> Starts; // one per line, plus the end

  std::size_t Count() const { return Starts.size() - 1; }
  std::u32string_view Line(std::size_t i) const {
    return std::u32string_view(Chars).substr(Starts[i], Starts[i + 1] - Starts[i]);
  }
};

// Decodes UTF-8; each byte that is not part of a valid sequence becomes
// U+FFFD. Lines end at CR LF, CR or LF; no text is no line at all.
TLines SplitLines(std::string_view text) {
  TLines lines;
  lines.Chars.reserve(text.size());
  std::vector<std::size_t> ends;
  lines.Starts.push_back(0);
  if (text.empty()) return lines;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c == '\r' || c == '\n') {
      i += (c == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
      lines.Starts.push_back(lines.Chars.size());
      continue;
    }
    if (c < 0x80) {
      lines.Chars.push_back(c);
      ++i;
      continue;
    }
    const TUtf8Char ch = DecodeUtf8(text.substr(i));
    lines.Chars.push_back(ch.Code);
    i += ch.Length > 0 ? ch.Length : 1;
  }
  lines.Starts.push_back(lines.Chars.size());
  return lines;
}

struct TClip {
  int Left, Top, Right, Bottom;
  bool Empty() const { return Left >= Right || Top >= Bottom; }
};

TClip Intersect(TClip a, const TRect& r) {
  return {std::max(a.Left, r.Left), std::max(a.Top, r.Top), std::min(a.Right, r.Right),
          std::min(a.Bottom, r.Bottom)};
}

inline std::uint8_t Mix(unsigned dst, unsigned src, unsigned alpha) {
  const unsigned v = dst * (255 - alpha) + src * alpha + 128;
  return std::uint8_t((v + (v >> 8)) >> 8);
}

void FillSpan(TDC& dc, const TClip& area, TColor color) {
  if (area.Empty()) return;
  const int bytes = dc.Pixels().BitsPerPixel / 8;
  const std::uint8_t b = GetBValue(color), g = GetGValue(color), r = GetRValue(color);
  const std::size_t span = std::size_t(area.Right - area.Left) * std::size_t(bytes);
  std::uint8_t* first = dc.ScanLine(area.Top) + std::size_t(area.Left) * std::size_t(bytes);
  for (int x = 0; x < area.Right - area.Left; ++x) {
    std::uint8_t* px = first + std::size_t(x) * std::size_t(bytes);
    px[0] = b;
    px[1] = g;
    px[2] = r;
    if (bytes == 4) px[3] = 0;
  }
  for (int y = area.Top + 1; y < area.Bottom; ++y)
    std::memcpy(dc.ScanLine(y) + std::size_t(area.Left) * std::size_t(bytes), first, span);
}

template <int Bytes>
void BlendGlyph(TDC& dc, const text_detail::TGlyph& glyph, int x0, int y0, const TClip& clip,
                TColor color) {
  const int left = std::max(x0, clip.Left), right = std::min(x0 + glyph.Width, clip.Right);
  const int top = std::max(y0, clip.Top), bottom = std::min(y0 + glyph.Rows, clip.Bottom);
  if (left >= right || top >= bottom) return;
  const unsigned b = GetBValue(color), g = GetGValue(color), r = GetRValue(color);
  for (int y = top; y < bottom; ++y) {
    const std::uint8_t* coverage =
        glyph.Coverage.data() + std::size_t(y - y0) * std::size_t(glyph.Width) + (left - x0);
    std::uint8_t* px = dc.ScanLine(y) + std::size_t(left) * Bytes;
    for (int x = left; x < right; ++x, px += Bytes) {
      const unsigned alpha = *coverage++;
      if (alpha == 0) continue;
      if (alpha == 255) {
        px[0] = std::uint8_t(b);
        px[1] = std::uint8_t(g);
        px[2] = std::uint8_t(r);
      } else {
        px[0] = Mix(px[0], b, alpha);
        px[1] = Mix(px[1], g, alpha);
        px[2] = Mix(px[2], r, alpha);
      }
    }
  }
}

[[noreturn]] void Refuse(const std::string& what) {
  throw ETextError(what);
}

} // namespace

void TDC::SetPixels(const TPixelView& pixels) {
  if (pixels.BitsPerPixel != 24 && pixels.BitsPerPixel != 32)
    Refuse("A device context draws on 24 or 32 bits per pixel only, not " +
           std::to_string(pixels.BitsPerPixel));
  const long long rows = pixels.Height < 0 ? -(long long)pixels.Height : pixels.Height;
  if (pixels.Width < 0) Refuse("A surface cannot have a negative width");
  if (pixels.Width > 0 && rows > 0) {
    if (pixels.Bits == nullptr) Refuse("A surface of that size needs pixel memory");
    if (pixels.Stride < (long long)pixels.Width * (pixels.BitsPerPixel / 8))
      Refuse("A surface's rows cannot be shorter than its pixels");
  }
  FPixels = pixels;
}

std::uint8_t* TDC::ScanLine(int y) const {
  const int rows = Height();
  if (y < 0 || y >= rows || FPixels.Bits == nullptr) return nullptr;
  const std::ptrdiff_t stored = FPixels.Height > 0 ? rows - 1 - y : y;
  return FPixels.Bits + stored * FPixels.Stride;
}

TFontHandle TDC::SelectFont(TFontHandle font) {
  std::swap(font, FFont);
  return font;
}

TColor TDC::SelectBrush(TColor solidBrush) {
  return std::exchange(FBrush, solidBrush);
}
TColor TDC::SetTextColor(TColor color) {
  return std::exchange(FTextColor, color);
}
TColor TDC::SetBkColor(TColor color) {
  return std::exchange(FBkColor, color);
}

int TDC::SetBkMode(int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) Refuse("Unknown background mode");
  return std::exchange(FBkMode, mode);
}

const TFont& TDC::CurrentFont() const {
  if (FFont) return *FFont;
  static const TFontHandle fallback = [] {
    LOGFONT lf;
    lf.lfHeight = 16;
    lf.lfWeight = FW_NORMAL;
    lf.lfQuality = ANTIALIASED_QUALITY;
    return CreateFontIndirect(lf);
  }();
  return *fallback;
}

void FillRect(TDC& dc, const TRect& rect, TColor solidBrush) {
  FillSpan(dc, Intersect({0, 0, dc.Width(), dc.Height()}, rect), solidBrush);
}

void FillRect(TDC& dc, const TRect& rect) {
  FillRect(dc, rect, dc.BrushColor());
}

int LineLeft(const TRect& rect, int width, unsigned format) {
  if (format & DT_CENTER) return rect.Left + (rect.Width() - width) / 2;
  if (format & DT_RIGHT) return rect.Right - width;
  return rect.Left;
}

int DrawTextEx(TDC& dc, std::string_view text, TRect& rect, unsigned format) {
  constexpr unsigned provided = DT_CENTER | DT_RIGHT | DT_NOCLIP | DT_CALCRECT | DT_NOPREFIX;
  if ((format & ~provided) != 0 || (format & (DT_CENTER | DT_RIGHT)) == (DT_CENTER | DT_RIGHT))
    Refuse("DrawTextEx does not provide the flags " + std::to_string(format & ~provided));

  const TFont& font = dc.CurrentFont();
  const TFont::TImpl& impl = font.Impl();
  const TLines lines = SplitLines(text);
  const long long height = (long long)lines.Count() * impl.Height;
  if (rect.Top + height > INT_MAX) Refuse("The text is too tall to draw");

  std::lock_guard lock(text_detail::TFontDatabase::Instance().Mutex());
  text_detail::TFontInstance& glyphs = *impl.Instance;
  std::vector<int> widths(lines.Count());
  long long widest = 0;
  for (std::size_t i = 0; i < lines.Count(); ++i) {
    long long width = 0;
    for (char32_t ch : lines.Line(i))
      width += glyphs.Advance(ch);
    if (rect.Left + width > INT_MAX / 2) Refuse("The text is too wide to draw");
    widths[i] = int(width);
    widest = std::max(widest, width);
  }

  if (format & DT_CALCRECT) {
    rect.Right = rect.Left + int(widest);
    rect.Bottom = rect.Top + int(height);
    return int(height);
  }

  TClip clip{0, 0, dc.Width(), dc.Height()};
  if (!(format & DT_NOCLIP)) clip = Intersect(clip, rect);
  if (clip.Empty()) return int(height);
  const TColor color = dc.TextColor();
  const bool wide = dc.Pixels().BitsPerPixel == 32;
  for (std::size_t i = 0; i < lines.Count(); ++i) {
    const int top = rect.Top + int(i) * impl.Height;
    if (top >= clip.Bottom) break;
    const int width = widths[i];
    const int x = LineLeft(rect, width, format);
    if (dc.BkMode() == OPAQUE)
      FillSpan(dc, Intersect(clip, {x, top, x + width, top + impl.Height}), dc.BkColor());
    const int baseline = top + impl.Ascent;
    int pen = x;
    for (char32_t ch : lines.Line(i)) {
      const text_detail::TGlyph& glyph = glyphs.Glyph(ch);
      if (!glyph.Coverage.empty()) {
        if (wide)
          BlendGlyph<4>(dc, glyph, pen + glyph.Left, baseline - glyph.Top, clip, color);
        else
          BlendGlyph<3>(dc, glyph, pen + glyph.Left, baseline - glyph.Top, clip, color);
      }
      pen += glyph.Advance;
    }
    if (width > 0 && font.Description().lfUnderline) {
      const int bar = baseline + impl.UnderlineTop;
      FillSpan(dc, Intersect(clip, {x, bar, x + width, bar + impl.UnderlineThickness}), color);
    }
    if (width > 0 && font.Description().lfStrikeOut) {
      const int bar = baseline + impl.StrikeOutTop;
      FillSpan(dc, Intersect(clip, {x, bar, x + width, bar + impl.StrikeOutThickness}), color);
    }
  }
  return int(height);
}
