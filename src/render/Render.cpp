#include "render/Render.h"
#include "text/Compose.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

void Check(bool ok, const std::string& message) {
  if (!ok) throw std::invalid_argument(message);
}

// The window's controls keep every value in range; other callers may not.
void Validate(const TRenderSettings& s, int logPixelsY) {
  Check(std::isfinite(s.Size) && s.Size >= MinFontSize && s.Size <= MaxFontSize,
        "Size must be between 1 and 1000");
  Check(s.SizeUnit == TSizeUnit::Pixels || s.SizeUnit == TSizeUnit::Points,
        "Size unit must be px or pt");
  Check(s.WidthMode == TWidthMode::ToString || s.WidthMode == TWidthMode::ToMaxString ||
            s.WidthMode == TWidthMode::UserWidth,
        "Unknown width mode");
  // The width field's bounds (UserWidthBounds) never leave this range.
  Check(s.UserWidth >= 0 && (s.WidthMode != TWidthMode::UserWidth || s.UserWidth <= MaxUserWidth),
        "User width must be between 0 and " + std::to_string(MaxUserWidth));
  Check(!s.Shadow ||
            (s.ShadowDistance >= MinShadowDistance && s.ShadowDistance <= MaxShadowDistance),
        "Shadow distance must be between 1 and 20");
  Check(s.Align == TAlign::Left || s.Align == TAlign::Center || s.Align == TAlign::Right,
        "Unknown alignment");
  Check(logPixelsY > 0, "The screen resolution must be positive");
}

// A line with a break of its own would be drawn as two; split it so that the
// lines the export cuts out are the lines that were drawn. Each line is
// composed, so a letter and its marks are the one character the page names.
std::vector<std::string> SplitLines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '\r' && line[i] != '\n') continue;
      out.push_back(ComposeText(std::string_view(line).substr(start, i - start)));
      if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
      start = i + 1;
    }
    out.push_back(ComposeText(std::string_view(line).substr(start)));
  }
  return out;
}

// Every line followed by CR LF, but the break after the last line is neither
// measured nor drawn: an empty last line still counts.
std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  if (text.size() > 1 && text[text.size() - 2] == '\r') text.resize(text.size() - 2);
  return text;
}

std::unique_ptr<TFastDIB> MakeSurface(int width, int height, const TFontHandle& font,
                                      const TTextOptions& options) {
  auto surface = std::make_unique<TFastDIB>();
  surface->Allocate(width, height, 24);
  surface->FontHandle = font;
  surface->DC->SelectFont(font);
  surface->DC->SetTextOptions(options);
  return surface;
}

int CheckedSum(int a, int b) {
  const std::int64_t sum = std::int64_t(a) + b;
  if (sum > INT32_MAX) throw std::length_error("Image too large");
  return int(sum);
}

// The shadow, then the text over it, as a rendering draws them.
void Paint(TDC& dc, const TRenderResult& r, std::string_view text, const TRect& at) {
  const TTextOptions options = dc.TextOptions();
  dc.SetBkMode(TRANSPARENT);
  if (r.Shadow) {
    dc.SetTextColor(r.ShadowColor);
    const int d = r.ShadowDistance;
    TRect shadowRect{at.Left + d, at.Top + d, at.Right + d, at.Bottom + d};
    // A colour picture casts a shadow of its shape.
    TTextOptions shadowOptions = options;
    shadowOptions.PicturesAsInk = true;
    dc.SetTextOptions(shadowOptions);
    DrawTextEx(dc, text, shadowRect, r.DrawFlags);
    dc.SetTextOptions(options);
  }
  dc.SetTextColor(r.TextColor);
  TRect textRect = at;
  DrawTextEx(dc, text, textRect, r.DrawFlags);
}

// Where line Index's cell row lies: its part of the text rectangle.
TRect LineRect(const TRenderResult& r, std::size_t index) {
  const int height = r.TextRect.Height() / int(r.Lines.size());
  const int top = r.TextRect.Top + int(index) * height;
  return {r.TextRect.Left, top, r.TextRect.Right, top + height};
}

} // namespace

void DrawLineAlone(const TRenderResult& Rendering, std::size_t Index, TBitmap& Image, int Left,
                   int Top) {
  Image.Fill(Rendering.BackColor);
  if (!Rendering.FSurface || Index >= Rendering.Lines.size() || Image.Empty()) return;
  TDC dc({Image.Bits(), Image.Width(), -Image.Height(), std::ptrdiff_t(Image.Stride()), 24});
  dc.SelectFont(Rendering.FSurface->FontHandle);
  dc.SetTextOptions(Rendering.FSurface->DC->TextOptions());
  // Edges blend over the background as they did on the whole surface.
  dc.SelectBrush(Rendering.BackColor);
  TRect at = LineRect(Rendering, Index);
  at.Left -= Left;
  at.Right -= Left;
  at.Top -= Top;
  at.Bottom -= Top;
  Paint(dc, Rendering, Rendering.Lines[Index], at);
}

TRect LineInk(const TRenderResult& Rendering, std::size_t Index) {
  if (!Rendering.FSurface || Index >= Rendering.Lines.size()) return {};
  TRect ink = TextInkBounds(*Rendering.FSurface->DC, Rendering.Lines[Index],
                            LineRect(Rendering, Index), Rendering.DrawFlags);
  if (ink == TRect{}) return ink;
  ink.Right += Rendering.ShadowDistance;
  ink.Bottom += Rendering.ShadowDistance;
  return ink;
}

std::optional<TRenderResult> TTextRasteriser::RenderText(const TRenderSettings& settings,
                                                         int logPixelsY,
                                                         const TRenderLimits& Limits, int Scale) {
  Validate(settings, logPixelsY);
  Check(Scale >= 1 && Scale <= MaxRenderScale, "Scale must be 1, 2 or 3");
  if (settings.Lines.empty()) return std::nullopt;

  TRenderResult result;
  result.Settings = settings;
  result.LogPixelsY = logPixelsY;
  result.Scale = Scale;
  result.Settings.Lines.clear(); // kept once, in Lines
  result.Lines = SplitLines(settings.Lines);
  result.Text = JoinLines(result.Lines);
  result.FAlign = settings.Align;
  result.WidthMode = settings.WidthMode;
  result.Shadow = settings.Shadow;
  result.Shaped = settings.Shaping;
  result.BackColor = settings.BackColor;
  result.TextColor = settings.TextColor;
  result.ShadowColor = settings.ShadowColor;
  result.UserWidth = settings.UserWidth * Scale;
  result.KeptOverhangs = settings.KeepOverhangs;
  result.DrawFlags = DrawFlags(settings.Align);

  LOGFONT description =
      BuildFontDescription(FTemplate.GetFontTemplate(settings.FaceName), settings, logPixelsY);
  // The pixel size as rounded at 1x, times the scale: an image Scale times
  // the pixels of the 1x one, as near as the face's own metrics allow.
  description.lfHeight *= Scale;
  const TFontHandle font = CreateFontIndirect(description);

  const TTextOptions options = TextOptionsOf(settings);

  // The size is known only after measuring; a small surface lends its DC.
  TRect measured{0, 0, 1, 1};
  int w = 0, h = 0;
  TRect ink; // what reaches outside the cells, kept
  {
    const std::unique_ptr<TFastDIB> probe = MakeSurface(10, 10, font, options);
    DrawTextEx(*probe->DC, result.Text, measured, MeasureFlags);
    w = measured.Right;
    h = measured.Bottom;
    if (settings.WidthMode == TWidthMode::UserWidth && result.UserWidth > w) w = result.UserWidth;
    if (settings.KeepOverhangs)
      ink = TextInkBounds(*probe->DC, result.Text, {0, 0, w, h}, result.DrawFlags);
  }
  const int left = std::max(0, -ink.Left), top = std::max(0, -ink.Top);
  const int right = std::max(0, ink.Right - w), bottom = std::max(0, ink.Bottom - h);
  const int d = settings.Shadow ? settings.ShadowDistance * Scale : 0;
  result.ShadowDistance = d;
  result.TextRect = {left, top, left + w, top + h};

  const int width = CheckedSum(CheckedSum(left, w), CheckedSum(right, d));
  const int height = CheckedSum(CheckedSum(top, h), CheckedSum(bottom, d));
  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width > Limits.MaxSide || height > Limits.MaxSide)
    throw ERenderTooLarge("The rendering is too large for a GIF image: " + size +
                              ", and a GIF image is at most " + std::to_string(Limits.MaxSide) +
                              " pixels wide and high",
                          width, height);
  if (std::int64_t(width) * height > Limits.MaxPixels)
    throw ERenderTooLarge("The rendering is too large: " + size + ", more than the " +
                              std::to_string(Limits.MaxPixels) + " pixels a rendering may have",
                          width, height);
  result.FSurface = MakeSurface(width, height, font, options);
  TFastDIB& surface = *result.FSurface;
  surface.DC->SelectBrush(settings.BackColor);
  surface.FillArea({0, 0, width, height});
  Paint(*surface.DC, result, result.Text, result.TextRect);

  result.FPreview.SetSize(width, height);
  surface.CopyTo(result.FPreview, 0, 0);
  // The preview holds the pixels now; a second copy would only weigh.
  surface.ReleasePixels();
  return result;
}

TRenderResult RenderAgain(const TRenderResult& Rendering, int Scale, const TRenderColors& Colors,
                          const TRenderLimits& Limits) {
  TRenderSettings settings = Rendering.Settings;
  settings.Lines = Rendering.Lines;
  settings.BackColor = Colors.Back;
  settings.TextColor = Colors.Text;
  settings.ShadowColor = Colors.Shadow;
  std::optional<TRenderResult> again =
      TTextRasteriser().RenderText(settings, Rendering.LogPixelsY, Limits, Scale);
  if (!again) throw std::invalid_argument("The rendering has no lines to draw again");
  return std::move(*again);
}
