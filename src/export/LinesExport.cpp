#include "base/Strings.h"
#include "export/ExportText.h"
#include "export/Saving.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <system_error>

namespace {

// A name the file system takes in no folder shows only when it is made.
bool NameTurnedDown(const std::system_error& e) {
  const int error = e.code().value();
  return e.code().category() == std::generic_category() &&
         (error == ENAMETOOLONG || error == EINVAL || error == EILSEQ);
}

std::string NotCorrect(const std::string& Full) {
  return "File name [" + Full + "] is not correct!";
}

} // namespace

namespace {

// The span Size long that puts ink from InkFrom to InkTo at Want, or else
// holds it whole; grown to hold it when it is longer.
std::pair<int, int> Place(int Want, int Size, int InkFrom, int InkTo) {
  int from = Want;
  if (from + Size < InkTo) from = InkTo - Size;
  if (from > InkFrom) from = InkFrom;
  return {from, std::max(from + Size, InkTo)};
}

} // namespace

TImageCut ScaledCut(const TColorTable& Table, const TExportSource& Large, const TImageCut& CutN,
                    const TImageCut& Cut1, int Scale, int Margin) {
  const int w = Cut1.Rect.Width() * Scale, h = Cut1.Rect.Height() * Scale;
  TImageCut cut = CutN;
  cut.Rect.Right = cut.Rect.Left + w;
  cut.Rect.Bottom = cut.Rect.Top + h;
  const TRect ink1 = Table.InkBox(Table.Source(), Cut1);
  if (ink1.Width() <= 0 || w <= 0 || h <= 0) return cut;
  TImageCut around = CutN;
  around.Rect = {CutN.Rect.Left - Margin, CutN.Rect.Top - Margin, CutN.Rect.Right + Margin,
                 CutN.Rect.Bottom + Margin};
  const TRect inkN = Table.InkBox(Large, around);
  if (inkN.Width() <= 0) return cut;
  const auto [left, right] =
      Place(inkN.Left - (ink1.Left - Cut1.Rect.Left) * Scale, w, inkN.Left, inkN.Right);
  const auto [top, bottom] =
      Place(inkN.Top - (ink1.Top - Cut1.Rect.Top) * Scale, h, inkN.Top, inkN.Bottom);
  cut.Rect = {left, top, right, bottom};
  return cut;
}

void TImageWriter::Refuse(const std::string& Full, const std::string& Message) {
  if (FHooks.Refused) FHooks.Refused(Full, Message);
  FResult.Refused.push_back(Full);
}

void TImageWriter::Save(const TExportSource& Source, const TImageCut& Cut,
                        const std::string& Folder, const std::string& Name,
                        std::string_view FromText) {
  const std::string full = Folder + Name;
  if (!NameStaysInFolder(Name, FromText) || !IsFileNameCorrect(full)) {
    Refuse(full, NotCorrect(full));
    return;
  }
  if (Cut.Rect.Width() <= 0 || Cut.Rect.Height() <= 0) {
    // A character or line that draws nothing (zero advance) has no image.
    Refuse(full, "Image [" + full + "] has no pixels and is not saved!");
    return;
  }
  try {
    FBatch.Add(full, FTable.ImageFile(Source, Cut, FChoices.Format));
  } catch (const std::system_error& e) {
    if (!NameTurnedDown(e)) throw;
    Refuse(full, NotCorrect(full));
    return;
  }
  FResult.Written.push_back(full);
}

void TImageWriter::Place() {
  FBatch.Commit([&](const std::string& FileName, const std::system_error& Error) {
    const auto written = std::find(FResult.Written.rbegin(), FResult.Written.rend(), FileName);
    // Not an image (the page): its error is the save's.
    if (!NameTurnedDown(Error) || written == FResult.Written.rend()) return false;
    FResult.Written.erase(std::next(written).base());
    Refuse(FileName, NotCorrect(FileName));
    return true;
  });
}

TImageWriter::~TImageWriter() {
  FTable.ForgetDrawn();
  try {
    FBatch.Commit([](const std::string&, const std::system_error&) { return true; });
  } catch (...) {
  }
}

TSaveResult SaveSolid(const TColorTable& Table, const TExportChoices& Choices,
                      const std::string& FileName, const TSaveHooks& Hooks) {
  TSaveResult result;
  const int scale = Choices.Scale;
  const int total = scale > 1 ? 2 : 1;
  // Drawn first: a larger rendering past the limits is refused before any file.
  const std::shared_ptr<const TExportSource> larger = scale > 1 ? Table.SourceAt(scale) : nullptr;
  TImageWriter writer(Table, Choices, Hooks, result);
  if (!writer.GoOn(0, total)) {
    result.Stopped = true;
    return result;
  }
  const TExportSource& source = Table.Source();
  const TTextSize size = Table.ImageSize();
  const TImageCut whole{{0, 0, size.Width, size.Height}, {}};
  writer.Batch().Add(FileName, Choices.Format == TImageFormat::Gif
                                   ? Table.WholeGif()
                                   : Table.ImageFile(source, whole, Choices.Format));
  result.Written.push_back(FileName);
  if (larger) {
    if (!writer.GoOn(1, total)) {
      result.Stopped = true;
      writer.Place();
      return result;
    }
    const std::string name = ScaledName(FileName, scale);
    writer.Batch().Add(
        name,
        Table.ImageFile(*larger,
                        ScaledCut(Table, *larger,
                                  {{0, 0, larger->Preview->Width(), larger->Preview->Height()}, {}},
                                  whole, scale, 0),
                        Choices.Format));
    result.Written.push_back(name);
  }
  writer.Place();
  writer.GoOn(total, total);
  return result;
}

namespace {

// The lines that have an image, where each lies in Source.
struct TLineCut {
  std::size_t Index = 0;
  TImageCut Cut;
};

std::vector<TLineCut> LineCuts(const TExportSource& Source) {
  std::vector<TLineCut> cuts;
  const int sw = Source.SurfaceWidth;
  int y = Source.TextTop;
  for (std::size_t index = 0; index < Source.Lines.size(); ++index) {
    const std::string& line = Source.Lines[index];
    if (line.empty()) {
      y += MeasureIn(Source, "W").Height;
      continue;
    }
    const TTextSize size = MeasureIn(Source, line);
    TRect rect{0, y, sw, y + size.Height};
    if (Source.WidthMode == TWidthMode::ToString) {
      rect.Left = LineStart(Source.Align, sw, size.Width);
      rect.Right = rect.Left + size.Width;
    }
    rect.Left += Source.TextLeft;
    rect.Right += Source.TextLeft;
    y += size.Height;
    if (Source.LineInk) {
      const TRect ink = Source.LineInk(index);
      if (ink.Width() > 0 && ink.Height() > 0)
        rect = {std::min(rect.Left, ink.Left), std::min(rect.Top, ink.Top),
                std::max(rect.Right, ink.Right), std::max(rect.Bottom, ink.Bottom)};
    }
    cuts.push_back({index, {rect, Source.DrawLine ? std::optional(index) : std::nullopt}});
  }
  return cuts;
}

// A mask ending in the other format's extension ends in the chosen one's.
std::string MaskFor(std::string Mask, TImageFormat Format) {
  for (TImageFormat other : {TImageFormat::Gif, TImageFormat::Png}) {
    const std::string ext = std::string(".") + ImageExtension(other);
    if (other != Format && Mask.size() > ext.size() &&
        SameText(Mask.substr(Mask.size() - ext.size()), ext))
      return Mask.substr(0, Mask.size() - ext.size()) + "." + ImageExtension(Format);
  }
  return Mask;
}

} // namespace

TSaveResult SaveLines(const TColorTable& Table, const TExportChoices& Choices,
                      const std::string& Folder, const TSaveHooks& Hooks) {
  TSaveResult result;
  const std::string mask = MaskFor(Choices.Mask, Choices.Format);
  if (!MaskHasPlaceholder(mask)) throw EExportError("Not find mask blank");
  const std::string folder = WithTrailingSlash(Folder);
  const int scale = Choices.Scale;

  const std::vector<TLineCut> cuts = LineCuts(Table.Source());
  std::shared_ptr<const TExportSource> larger;
  std::vector<TLineCut> largerCuts;
  if (scale > 1) {
    larger = Table.SourceAt(scale);
    largerCuts = LineCuts(*larger);
  }
  const int total = int(cuts.size()) * (scale > 1 ? 2 : 1);
  int done = 0;
  TImageWriter writer(Table, Choices, Hooks, result);
  if (!writer.GoOn(0, total)) {
    result.Stopped = true;
    return result;
  }
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    const std::string& line = Table.Source().Lines[cuts[k].Index];
    bool textUsed = false;
    const std::string name = ExpandMask(mask, int(cuts[k].Index) + 1, line, &textUsed);
    const std::string_view fromText = textUsed ? std::string_view(line) : std::string_view();
    writer.Save(Table.Source(), cuts[k].Cut, folder, name, fromText);
    bool goOn = writer.GoOn(++done, total);
    if (goOn && larger && k < largerCuts.size()) {
      // A line drawn alone has no neighbour's ink to find around it.
      const int margin = largerCuts[k].Cut.Line ? 2 * scale : 0;
      writer.Save(*larger, ScaledCut(Table, *larger, largerCuts[k].Cut, cuts[k].Cut, scale, margin),
                  folder, ScaledName(name, scale), fromText);
      goOn = writer.GoOn(++done, total);
    }
    if (!goOn) {
      result.Stopped = true;
      break;
    }
  }
  writer.Place();
  return result;
}
