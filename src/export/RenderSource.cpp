#include "export/RenderSource.h"

TExportSource ExportSourceOf(const TRenderResult& Rendering) {
  TExportSource source;
  source.Preview = &Rendering.FPreview;
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
  return source;
}
