#include "base/AtomicFile.h"
#include "export/Export.h"
#include "export/ExportText.h"

#include <cerrno>
#include <climits>

#include <sys/stat.h>
#include <unistd.h>

void TCTable::Prepare(TExportSource Source) {
  FTable.Prepare(std::move(Source), OnProcessMessages);
  const int count = FTable.ColorCount();
  FLabel1 = "Uses color (total " + std::to_string(count) + "):";
  FTable.SetTransparent(Choices.Transparent);
  // What the page writer writes: one file per distinct name of the page's text.
  FCharCount = CountPageImages(
      PageLines(FTable.Source().Lines, [this](std::string_view Text) { return MeasureText(Text); }),
      Choices.NameAsChar);
}

namespace {

const char* FormatName(TImageFormat Format) {
  return Format == TImageFormat::Png ? "PNG" : "GIF";
}

} // namespace

std::string TCTable::RS1Caption() const {
  const std::string format = FormatName(Choices.Format);
  if (!Prepared()) return "Save as HTML with using " + format + " as chars";
  return "Save as HTML with using " + format + " as chars (total " + std::to_string(FCharCount) +
         " " + format + "-files)";
}

std::string TCTable::RS2Caption() const {
  const std::string text = std::string("Save strings as ") + FormatName(Choices.Format) + " files";
  if (!Prepared()) return text;
  return text + " (total " + std::to_string(FTable.Source().Lines.size()) + ")";
}

std::string TCTable::CellText(int Col, int Row) const {
  if (Col < 0 || Col >= GridColumns || Row < 0) return {};
  const TColor color = FTable.Color(Col + GridColumns * Row);
  return color == clInvalid ? std::string() : std::to_string(color);
}

std::optional<TColor> TCTable::CellColor(int Col, int Row) const {
  if (Col < 0 || Col >= GridColumns || Row < 0) return std::nullopt;
  const TColor color = FTable.Color(Col + GridColumns * Row);
  if (color == clInvalid) return std::nullopt;
  return color;
}

void TCTable::BChColorClick(int Col, int Row, IExportPlatform& Platform) {
  const std::optional<TColor> current = CellColor(Col, Row);
  if (!current) {
    Platform.Beep();
    return;
  }
  if (const std::optional<TColor> chosen = Platform.ChooseColor(*current))
    ChangeColor(Col + GridColumns * Row, *chosen);
}

std::optional<TRgbaImage> TCTable::ClearPreview() const {
  // A rendering that cannot be drawn again has no such preview to give.
  if (!Prepared() || Choices.Format != TImageFormat::Png || !Choices.Transparent ||
      !FTable.Source().Redraw)
    return {};
  const TTextSize size = FTable.ImageSize();
  TRgbaImage image = FTable.PngPixels(FTable.Source(), {{0, 0, size.Width, size.Height}, {}});
  FTable.ForgetDrawn(); // a dialog left open keeps no second rendering
  return image;
}

void TCTable::CBTransparentClick(bool Ticked) {
  Choices.Transparent = Ticked;
  FTable.SetTransparent(Ticked);
}

TSaveHooks TCTable::Hooks(IExportPlatform& Platform) const {
  TSaveHooks hooks;
  hooks.Progress = Progress;
  hooks.Refused = [&Platform](const std::string&, const std::string& Message) {
    Platform.ErrorBox(Message);
  };
  return hooks;
}

TSaveResult TCTable::BSaveClick(IExportPlatform& Platform) {
  switch (Choices.Save) {
  case TSaveKind::Solid:
    return SaveSolid(Platform);
  case TSaveKind::Html:
    return SaveHtml(Platform);
  case TSaveKind::Lines:
    break;
  }
  return SaveLines(Platform);
}

TSaveResult TCTable::SaveSolid(IExportPlatform& Platform) {
  TSaveResult result;
  Gif(); // refuse before any dialog when nothing was prepared
  const std::string ext = ImageExtension(Choices.Format);
  const std::optional<std::string> chosen =
      Platform.SaveFileDialog({std::string(FormatName(Choices.Format)) + "|*." + ext, ext, true});
  if (!chosen) {
    result.Cancelled = true;
    return result;
  }
  if (NamesFolder(*chosen))
    throw EExportError("The file name [" + *chosen + "] names a folder, not a file.");
  TBusy busy(Platform);
  return ::SaveSolid(FTable, Choices, WithDefaultExtension(*chosen, ext), Hooks(Platform));
}

TSaveResult TCTable::SaveLines(IExportPlatform& Platform) {
  TSaveResult result;
  Gif();
  if (!MaskHasPlaceholder(Choices.Mask)) {
    Platform.WarningBox("Not find mask blank");
    result.Cancelled = true;
    return result;
  }
  const std::optional<std::string> picked = Platform.BrowseForFolder("Save images path");
  if (!picked) {
    result.Cancelled = true;
    return result;
  }
  TBusy busy(Platform);
  return ::SaveLines(FTable, Choices, *picked, Hooks(Platform));
}

TSaveResult TCTable::SaveHtml(IExportPlatform& Platform) {
  TSaveResult result;
  Gif();
  CheckPageAllowed(FTable.Source());
  const std::optional<std::string> chosen =
      Platform.SaveFileDialog({"HTML file (*.htm)|*.htm|HTML file (*.html)|*.html", "html", true});
  if (!chosen) {
    result.Cancelled = true;
    return result;
  }
  if (NamesFolder(*chosen))
    throw EExportError("The page [" + *chosen + "] names a folder, not a file.");
  const std::string pageName = WithDefaultExtension(*chosen, "html");
  {
    TBusy busy(Platform); // not over the question at the end
    result = SavePage(FTable, Choices, pageName, Hooks(Platform));
  }
  if (result.Stopped) return result;
  if (Platform.ConfirmBox("Open result file?")) Platform.ShellOpen(pageName);
  return result;
}

bool IsFileNameCorrect(const std::string& FileName) {
  if (FileName.empty() || FileName.find('\0') != std::string::npos) return false;
  // Whoever made an existing file, its name is a good one.
  struct stat st {};
  if (::stat(FileName.c_str(), &st) == 0) return !S_ISDIR(st.st_mode);
  if (errno != ENOENT) return false;
  // Nothing is made here: a file made only to test its name would outlive an
  // interrupted save as an empty file under the final name. The name is made
  // with its whole content, by the writer's rename.
  const std::size_t slash = FileName.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : FileName.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
  if (base.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      ::access(folder.c_str(), W_OK | X_OK) != 0)
    return false;
  const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return longest <= 0 || base.size() <= std::size_t(longest);
}
