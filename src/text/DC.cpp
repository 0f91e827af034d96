#include "text/DC.h"

#include "base/Utf8.h"
#include "text/FontDatabase.h"
#include "text/Glyphs.h"
#include "text/Layout.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <mutex>
#include <span>
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

// Anti-aliased edges are blended in 17 levels (0 to 16), as the desktop draws
// them: a rendering then holds few enough colours for a GIF's table to keep
// the background, text and shadow colours exact.
constexpr int CoverageLevels = 16;

constexpr std::array<std::uint8_t, 256> MakeLevels() {
  std::array<std::uint8_t, 256> levels{};
  for (unsigned a = 0; a < 256; ++a)
    levels[a] = std::uint8_t((a * CoverageLevels + 127) / 255);
  return levels;
}
constexpr std::array<std::uint8_t, 256> Level = MakeLevels();

// dst + (src - dst) * level / 16, rounded: one multiplication.
inline std::uint8_t Mix(int dst, int src, int level) {
  return std::uint8_t(dst + (((src - dst) * level + CoverageLevels / 2) >> 4));
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

// Blends coverage (one byte per pixel, stride bytes a row) into the
// rectangle, clipped beforehand, whose top-left pixel it covers. Over the
// background (the selected brush, which filled the surface) an edge takes
// any of the 17 levels; over anything else, a shadow and its edges, every
// second one. Otherwise a text edge over a shadow edge would make a colour
// of every pair of levels: more than the 256 a GIF holds.
template <int Bytes>
void BlendCoverage(TDC& dc, const std::uint8_t* coverage, std::size_t stride, const TClip& area,
                   TColor color) {
  const int b = GetBValue(color), g = GetGValue(color), r = GetRValue(color);
  const TColor back = dc.BrushColor();
  const std::uint8_t backB = GetBValue(back), backG = GetGValue(back), backR = GetRValue(back);
  for (int y = area.Top; y < area.Bottom; ++y, coverage += stride) {
    const std::uint8_t* c = coverage;
    std::uint8_t* px = dc.ScanLine(y) + std::size_t(area.Left) * Bytes;
    for (int x = area.Left; x < area.Right; ++x, px += Bytes) {
      unsigned level = Level[*c++];
      if (level == 0) continue;
      if (level == CoverageLevels) {
        px[0] = std::uint8_t(b);
        px[1] = std::uint8_t(g);
        px[2] = std::uint8_t(r);
        continue;
      }
      // Without a branch: which way it would go depends on the pixels.
      const unsigned over =
          unsigned(px[0] != backB) | unsigned(px[1] != backG) | unsigned(px[2] != backR);
      level = (level + over) & ~over; // an odd level goes up; 16 mixes to the colour itself
      px[0] = Mix(px[0], b, int(level));
      px[1] = Mix(px[1], g, int(level));
      px[2] = Mix(px[2], r, int(level));
    }
  }
}

void BlendCoverage(TDC& dc, const std::uint8_t* coverage, std::size_t stride, const TClip& area,
                   TColor color) {
  if (dc.Pixels().BitsPerPixel == 32)
    BlendCoverage<4>(dc, coverage, stride, area, color);
  else
    BlendCoverage<3>(dc, coverage, stride, area, color);
}

// Where a glyph's ink lies on the surface, and its part inside the clip.
struct TInk {
  text_detail::TFontInstance* Face;
  char32_t Char;
  int X, Y; // its top-left pixel
  TClip Visible;
};

const std::uint8_t* CoverageAt(const text_detail::TGlyph& glyph, const TInk& ink) {
  return glyph.Coverage.data() + std::size_t(ink.Visible.Top - ink.Y) * std::size_t(glyph.Width) +
         std::size_t(ink.Visible.Left - ink.X);
}

// Glyphs whose boxes overlap (italics, marks, tight pairs), drawn together:
// their coverage is added up first, so that a pixel two glyphs share gets one
// of the 17 levels too, not a colour of its own. A glyph is looked up again
// for drawing: the instance keeps only the last one for sure.
void DrawCluster(TDC& dc, std::span<const TInk> inks, TColor color) {
  if (inks.size() == 1) {
    const text_detail::TGlyph& glyph = inks[0].Face->Glyph(inks[0].Char);
    BlendCoverage(dc, CoverageAt(glyph, inks[0]), std::size_t(glyph.Width), inks[0].Visible, color);
    return;
  }
  TClip box = inks.front().Visible;
  for (const TInk& ink : inks)
    box = {std::min(box.Left, ink.Visible.Left), std::min(box.Top, ink.Visible.Top),
           std::max(box.Right, ink.Visible.Right), std::max(box.Bottom, ink.Visible.Bottom)};
  const std::size_t width = std::size_t(box.Right - box.Left);
  // One buffer for every cluster: most lines have many.
  static thread_local std::vector<std::uint8_t> sum;
  sum.assign(width * std::size_t(box.Bottom - box.Top), 0);
  for (const TInk& ink : inks) {
    const text_detail::TGlyph& glyph = ink.Face->Glyph(ink.Char);
    const std::uint8_t* in = CoverageAt(glyph, ink);
    std::uint8_t* out = sum.data() + std::size_t(ink.Visible.Top - box.Top) * width +
                        std::size_t(ink.Visible.Left - box.Left);
    const int w = ink.Visible.Right - ink.Visible.Left;
    for (int y = ink.Visible.Top; y < ink.Visible.Bottom; ++y, in += glyph.Width, out += width)
      for (int x = 0; x < w; ++x)
        out[x] = std::uint8_t(std::min(255, out[x] + in[x]));
  }
  BlendCoverage(dc, sum.data(), width, box, color);
}

// The glyphs of one line, in pen order. A glyph that starts right of every
// earlier one's box starts a new cluster; the others join the current one.
void DrawInk(TDC& dc, const std::vector<TInk>& inks, TColor color) {
  std::size_t start = 0;
  int inkRight = INT_MIN;
  for (std::size_t i = 0; i < inks.size(); ++i) {
    if (i > start && inks[i].Visible.Left >= inkRight) {
      DrawCluster(dc, std::span(inks).subspan(start, i - start), color);
      start = i;
    }
    inkRight = std::max(inkRight, inks[i].Visible.Right);
  }
  if (start < inks.size()) DrawCluster(dc, std::span(inks).subspan(start), color);
}

// A picture over what is there: its premultiplied colours plus what its
// alpha leaves of the pixel.
template <int Bytes> void BlendPicture(TDC& dc, const text_detail::TGlyph& glyph, const TInk& ink) {
  for (int y = ink.Visible.Top; y < ink.Visible.Bottom; ++y) {
    const std::uint8_t* src =
        glyph.Color.data() + (std::size_t(y - ink.Y) * std::size_t(glyph.Width) +
                              std::size_t(ink.Visible.Left - ink.X)) *
                                 4;
    std::uint8_t* px = dc.ScanLine(y) + std::size_t(ink.Visible.Left) * Bytes;
    for (int x = ink.Visible.Left; x < ink.Visible.Right; ++x, src += 4, px += Bytes) {
      const unsigned rest = 255u - src[3];
      if (rest == 255) continue;
      for (int c = 0; c < 3; ++c)
        px[c] = std::uint8_t(std::min(255u, src[c] + (px[c] * rest + 127) / 255));
    }
  }
}

// Pictures in their own colours, unless they stand for ink (a shadow); the
// other glyphs as above.
void DrawGlyphs(TDC& dc, std::vector<TInk>& inks, TColor color, bool picturesAsInk) {
  const bool pictures =
      std::any_of(inks.begin(), inks.end(), [](const TInk& ink) { return ink.Face->HasColour(); });
  if (pictures && !picturesAsInk) {
    const auto picture = [](const TInk& ink) { return !ink.Face->Glyph(ink.Char).Color.empty(); };
    const auto first = std::stable_partition(inks.begin(), inks.end(),
                                             [&](const TInk& ink) { return !picture(ink); });
    std::vector<TInk> drawn(first, inks.end());
    inks.erase(first, inks.end());
    DrawInk(dc, inks, color);
    for (const TInk& ink : drawn) {
      const text_detail::TGlyph& glyph = ink.Face->Glyph(ink.Char);
      if (dc.Pixels().BitsPerPixel == 32)
        BlendPicture<4>(dc, glyph, ink);
      else
        BlendPicture<3>(dc, glyph, ink);
    }
    return;
  }
  DrawInk(dc, inks, color);
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

TTextOptions TDC::SetTextOptions(TTextOptions options) {
  return std::exchange(FTextOptions, options);
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
  const TTextOptions& options = dc.TextOptions();
  // Unshaped, every line is its code points' advances, as ever (each from
  // the face that has it, with fallback); shaped, each line is laid out
  // once, for measuring and drawing alike.
  const bool plain = !options.Shaping;
  const auto faceOf = [&](std::u32string_view line, std::size_t at) -> text_detail::TFontInstance& {
    return options.Fallback ? text_detail::FaceAt(impl, line, at) : glyphs;
  };
  std::shared_ptr<text_detail::TLaidOutText> laidOut;
  if (!plain) {
    TTextOptions layoutOptions = options; // pictures as ink or not, the glyphs stay
    layoutOptions.PicturesAsInk = false;
    laidOut = impl.LastLaidOut;
    if (!laidOut || laidOut->Text != text || laidOut->Options != layoutOptions) {
      laidOut = std::make_shared<text_detail::TLaidOutText>();
      laidOut->Text = text;
      laidOut->Options = layoutOptions;
      laidOut->Lines.resize(lines.Count());
      for (std::size_t i = 0; i < lines.Count(); ++i)
        text_detail::LayOutLine(impl, lines.Line(i), options, laidOut->Lines[i]);
      impl.LastLaidOut = laidOut;
    }
  }
  std::vector<int> widths(lines.Count());
  long long widest = 0;
  for (std::size_t i = 0; i < lines.Count(); ++i) {
    long long width = 0;
    if (plain) {
      const std::u32string_view line = lines.Line(i);
      for (std::size_t at = 0; at < line.size(); ++at)
        width += faceOf(line, at).Advance(line[at]);
    } else {
      width = laidOut->Lines[i].Width;
    }
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
  std::vector<TInk> inks;
  for (std::size_t i = 0; i < lines.Count(); ++i) {
    const int top = rect.Top + int(i) * impl.Height;
    if (top >= clip.Bottom) break;
    const int width = widths[i];
    const int x = LineLeft(rect, width, format);
    if (dc.BkMode() == OPAQUE)
      FillSpan(dc, Intersect(clip, {x, top, x + width, top + impl.Height}), dc.BkColor());
    const int baseline = top + impl.Ascent;
    inks.clear();
    if (plain) {
      int pen = x;
      const std::u32string_view line = lines.Line(i);
      for (std::size_t at = 0; at < line.size(); ++at) {
        const char32_t ch = line[at];
        text_detail::TFontInstance& face = faceOf(line, at);
        const text_detail::TGlyph& glyph = face.Glyph(ch);
        if (!glyph.Coverage.empty()) {
          const int gx = pen + glyph.Left, gy = baseline - glyph.Top;
          const TClip visible = Intersect(clip, {gx, gy, gx + glyph.Width, gy + glyph.Rows});
          if (!visible.Empty()) inks.push_back({&face, ch, gx, gy, visible});
        }
        pen += glyph.Advance;
      }
    } else {
      for (const text_detail::TPlacedGlyph& placed : laidOut->Lines[i].Glyphs) {
        const text_detail::TGlyph& glyph = placed.Face->Glyph(placed.Key);
        if (glyph.Coverage.empty()) continue;
        const int gx = x + placed.X + glyph.Left, gy = baseline + placed.Y - glyph.Top;
        const TClip visible = Intersect(clip, {gx, gy, gx + glyph.Width, gy + glyph.Rows});
        if (!visible.Empty()) inks.push_back({placed.Face, placed.Key, gx, gy, visible});
      }
    }
    DrawGlyphs(dc, inks, color, options.PicturesAsInk);
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

TRect TextInkBounds(TDC& dc, std::string_view text, const TRect& rect, unsigned format) {
  const TFont& font = dc.CurrentFont();
  const TFont::TImpl& impl = font.Impl();
  const TLines lines = SplitLines(text);
  std::lock_guard lock(text_detail::TFontDatabase::Instance().Mutex());
  long long left = LLONG_MAX, top = LLONG_MAX, right = LLONG_MIN, bottom = LLONG_MIN;
  const auto add = [&](long long l, long long t, long long r, long long b) {
    left = std::min(left, l);
    top = std::min(top, t);
    right = std::max(right, r);
    bottom = std::max(bottom, b);
  };
  text_detail::TLineLayout layout;
  for (std::size_t i = 0; i < lines.Count(); ++i) {
    text_detail::LayOutLine(impl, lines.Line(i), dc.TextOptions(), layout);
    const long long lineTop = rect.Top + (long long)i * impl.Height;
    const long long baseline = lineTop + impl.Ascent;
    const long long x = LineLeft(rect, int(std::min<long long>(layout.Width, INT_MAX / 2)), format);
    for (const text_detail::TPlacedGlyph& placed : layout.Glyphs) {
      const text_detail::TGlyph& glyph = placed.Face->Glyph(placed.Key);
      if (glyph.Coverage.empty()) continue;
      const long long gx = x + placed.X + glyph.Left, gy = baseline + placed.Y - glyph.Top;
      add(gx, gy, gx + glyph.Width, gy + glyph.Rows);
    }
    if (layout.Width > 0 && font.Description().lfUnderline)
      add(x, baseline + impl.UnderlineTop, x + layout.Width,
          baseline + impl.UnderlineTop + impl.UnderlineThickness);
    if (layout.Width > 0 && font.Description().lfStrikeOut)
      add(x, baseline + impl.StrikeOutTop, x + layout.Width,
          baseline + impl.StrikeOutTop + impl.StrikeOutThickness);
  }
  if (left > right) return {};
  const auto fit = [](long long v) {
    return int(std::clamp<long long>(v, INT_MIN / 2, INT_MAX / 2));
  };
  return {fit(left), fit(top), fit(right), fit(bottom)};
}

std::u32string MissingCharacters(TDC& dc, std::string_view text) {
  const TFont::TImpl& impl = dc.CurrentFont().Impl();
  const TLines lines = SplitLines(text);
  std::lock_guard lock(text_detail::TFontDatabase::Instance().Mutex());
  std::u32string missing;
  text_detail::TLineLayout layout;
  for (std::size_t i = 0; i < lines.Count(); ++i)
    text_detail::LayOutLine(impl, lines.Line(i), dc.TextOptions(), layout, &missing);
  return missing;
}
