#include "base/AtomicFile.h"
#include "export/Export.h"
#include "export/ExportText.h"

#include <algorithm>

TSaveResult TCTable::SaveSolid(IExportPlatform& Platform) {
  TSaveResult result;
  TGif& gif = Gif();
  std::optional<std::string> chosen = Platform.SaveFileDialog({"GIF|*.gif", "gif", true});
  if (!chosen) {
    result.Cancelled = true;
    return result;
  }
  if (NamesFolder(*chosen))
    throw EExportError("The file name [" + *chosen + "] names a folder, not a file.");
  const std::string fileName = WithDefaultExtension(*chosen, "gif");
  {
    TBusy busy(Platform);
    if (!GoOn(0, 1)) {
      result.Stopped = true;
      return result;
    }
    gif.SaveToFile(fileName);
    result.Written.push_back(fileName);
    GoOn(1, 1);
  }
  return result;
}

TSaveResult TCTable::SaveLines(IExportPlatform& Platform) {
  TSaveResult result;
  Gif();
  const std::string mask = Choices.Mask;
  if (!MaskHasPlaceholder(mask)) {
    Platform.WarningBox("Not find mask blank");
    result.Cancelled = true;
    return result;
  }
  const std::optional<std::string> picked = Platform.BrowseForFolder("Save images path");
  if (!picked) {
    result.Cancelled = true;
    return result;
  }
  const std::string folder = WithTrailingSlash(*picked);

  const int total = int(std::count_if(FSource.Lines.begin(), FSource.Lines.end(),
                                      [](const std::string& line) { return !line.empty(); }));
  const int sw = FSource.SurfaceWidth;
  int y = FSource.TextTop;
  int number = 0;
  int done = 0;
  TBusy busy(Platform);
  if (!GoOn(0, total)) {
    result.Stopped = true;
    return result;
  }
  TAtomicBatch batch;
  const TCutsKept kept{batch};
  for (const std::string& line : FSource.Lines) {
    ++number;
    if (line.empty()) {
      y += MeasureText("W").Height;
      continue;
    }
    const TTextSize size = MeasureText(line);
    TRect rect{0, y, sw, y + size.Height};
    if (FSource.WidthMode == TWidthMode::ToString) {
      rect.Left = LineStart(FSource.Align, sw, size.Width);
      rect.Right = rect.Left + size.Width;
    }
    rect.Left += FSource.TextLeft;
    rect.Right += FSource.TextLeft;
    y += size.Height;
    const std::size_t index = std::size_t(number - 1);
    if (FSource.LineInk) {
      const TRect ink = FSource.LineInk(index);
      if (ink.Width() > 0 && ink.Height() > 0)
        rect = {std::min(rect.Left, ink.Left), std::min(rect.Top, ink.Top),
                std::max(rect.Right, ink.Right), std::max(rect.Bottom, ink.Bottom)};
    }
    bool textUsed = false;
    const std::string name = ExpandMask(mask, number, line, &textUsed);
    SaveCut(rect, folder, name, textUsed ? std::string_view(line) : std::string_view(), Platform,
            result, batch, FSource.DrawLine ? std::optional(index) : std::nullopt);
    if (!GoOn(++done, total)) {
      result.Stopped = true;
      break;
    }
  }
  PlaceCuts(batch, Platform, result);
  return result;
}
