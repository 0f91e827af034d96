#include "export/RenderSource.h"

#include <cctype>

namespace {

// A rendering made again, with its source pointing into it.
struct TOwnedSource {
  TRenderResult Rendering;
  TExportSource Source;
};

} // namespace

TExportSource ExportSourceOf(const TRenderResult& Rendering) {
  TExportSource source;
  source.Preview = &Rendering.FPreview;
  source.Scale = Rendering.Scale;
  // Margins kept for overhangs lie outside the area the lines are placed in.
  source.SurfaceWidth =
      Rendering.FSurface ? Rendering.TextRect.Width() + Rendering.ShadowDistance : 0;
  source.ShadowDistance = Rendering.ShadowDistance;
  source.TextLeft = Rendering.TextRect.Left;
  source.TextTop = Rendering.TextRect.Top;
  source.Shaped = Rendering.Shaped;
  source.Align = Rendering.FAlign;
  source.WidthMode = Rendering.WidthMode;
  source.BackColor = Rendering.BackColor;
  source.TextColor = Rendering.TextColor;
  source.ShadowColor = Rendering.ShadowColor;
  source.KeepColors = {Rendering.BackColor, Rendering.TextColor};
  if (Rendering.Shadow) source.KeepColors.push_back(Rendering.ShadowColor);
  source.Lines = Rendering.Lines;
  if (Rendering.FSurface && Rendering.FSurface->DC) {
    TDC* dc = Rendering.FSurface->DC.get();
    source.Measure = [dc](std::string_view Text) {
      TRect rect{0, 0, 1, 1};
      DrawTextEx(*dc, Text, rect, MeasureFlags);
      return TTextSize{rect.Right, rect.Bottom};
    };
    const TRenderResult* rendering = &Rendering;
    source.DrawLine = [rendering](std::size_t Index, TBitmap& Image, int Left, int Top) {
      DrawLineAlone(*rendering, Index, Image, Left, Top);
    };
    if (Rendering.KeptOverhangs)
      source.LineInk = [rendering](std::size_t Index) { return LineInk(*rendering, Index); };
  }
  if (Rendering.LogPixelsY > 0) {
    const TRenderResult* rendering = &Rendering;
    source.Redraw = [rendering](int Scale, const TRenderColors& Colors) {
      auto owned = std::make_shared<TOwnedSource>();
      try {
        owned->Rendering = RenderAgain(*rendering, Scale, Colors);
      } catch (const ERenderTooLarge& e) {
        std::string why = e.what(); // "The rendering is too large: ..."
        if (!why.empty()) why[0] = char(std::tolower((unsigned char)why[0]));
        throw EExportError("At " + std::to_string(Scale) + "x, " + why);
      }
      owned->Source = ExportSourceOf(owned->Rendering);
      return std::shared_ptr<const TExportSource>(owned, &owned->Source);
    };
  }
  return source;
}
