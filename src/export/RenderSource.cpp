#include "export/RenderSource.h"

TExportSource ExportSourceOf(const TRenderResult& Rendering) {
  TExportSource source;
  source.Preview = &Rendering.FPreview;
  source.SurfaceWidth = Rendering.FSurface ? Rendering.FSurface->Width() : 0;
  source.ShadowDistance = Rendering.ShadowDistance;
  source.Align = Rendering.FAlign;
  source.WidthMode = Rendering.WidthMode;
  source.BackColor = Rendering.BackColor;
  source.Lines = Rendering.Lines;
  if (Rendering.FSurface && Rendering.FSurface->DC) {
    TDC* dc = Rendering.FSurface->DC.get();
    source.Measure = [dc](std::string_view Text) {
      TRect rect{0, 0, 1, 1};
      DrawTextEx(*dc, Text, rect, MeasureFlags);
      return TTextSize{rect.Right, rect.Bottom};
    };
  }
  return source;
}
