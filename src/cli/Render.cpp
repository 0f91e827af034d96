// `fonts` and `render`: the main window's settings and the colour table
// dialog's saves, driven from the command line.
#include "main/Render.h"
#include "base/AtomicFile.h"
#include "base/Strings.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Files.h"
#include "export/Export.h"
#include "export/ExportText.h"
#include "export/RenderSource.h"
#include "main/AutoFill.h"
#include "main/FontCatalogue.h"
#include "main/RenderSettings.h"
#include "text/Font.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace cli {

namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& s) {
  return "\"" + s + "\"";
}

// The face the window would show first for a fresh start on this machine.
// Found by one match, not by listing all.
std::string DefaultFace() {
  std::string face = DefaultFaceName();
  if (face.empty()) throw ECliError("no font is installed");
  return face;
}

// The styles of an installed face; a face that is not installed is an error
// naming what fontconfig would draw instead.
TStyleList StylesOf(const std::string& face) {
  TStyleList styles;
  styles.SelectFace(face);
  if (!styles.FontStyle.empty()) return styles;
  const std::string closest = ClosestInstalledFace(face);
  throw ECliError("font " + Quote(face) + " is not installed" +
                  (closest.empty() ? "" : "; the closest installed face is " + Quote(closest)));
}

std::vector<std::string> ReadTextFile(const std::string& path) {
  std::string text = ReadWholeFile(path, "text file", MaxTextFileBytes);
  const std::string where = path == "-" ? "standard input" : "text file " + Quote(path);
  CheckUtf8(text, where);
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  return SplitLines(text);
}

// The face and style the window would select; the rest is as parsed.
TRenderSettings MakeSettings(const TRenderOptions& o) {
  TRenderSettings s = o.Settings;
  if (s.FaceName.empty()) s.FaceName = DefaultFace();
  TStyleList styles = StylesOf(s.FaceName);
  styles.ItemIndex = 0;
  if (o.StyleName) {
    std::string known;
    styles.ItemIndex = -1;
    for (std::size_t i = 0; i < styles.FontStyle.size(); ++i) {
      if (styles.ItemIndex < 0 && SameText(styles.FontStyle[i], *o.StyleName))
        styles.ItemIndex = int(i);
      known += (i ? ", " : "") + styles.FontStyle[i];
    }
    if (styles.ItemIndex < 0)
      throw ECliError("font " + Quote(s.FaceName) + " has no style " + Quote(*o.StyleName) +
                      "; its styles are " + known);
  }
  const TStyleFlags flags = styles.Selected();
  s.Bold = flags.Bold != 0;
  s.Italic = flags.Italic != 0;
  return s;
}

// A failed write names the file the user asked for, not our temporary beside it.
[[noreturn]] void CannotWrite(const std::string& target, const std::system_error& e) {
  throw ECliError("cannot write " + Quote(target) + ": " + e.code().message());
}

// Messages the dialog would have shown in a box: each a line on standard error.
bool ReportBoxes(const TUnattendedPlatform& platform) {
  for (const std::string& text : platform.Errors)
    Warn(text);
  for (const std::string& text : platform.Warnings)
    Warn(text);
  return platform.Errors.empty() && platform.Warnings.empty();
}

// The export's own refusals (a name that is a folder, an image folder that
// cannot be used) read as any other.
template <typename Save> auto Refusing(Save save) {
  try {
    return save();
  } catch (const EExportError& e) {
    throw ECliError(e.what());
  }
}

void SaveSolid(TCTable& table, const std::string& out) {
  if (out == "-") {
    const std::vector<std::uint8_t> bytes = table.Gif().SaveToBytes();
    WriteStdout(std::string(bytes.begin(), bytes.end()));
    return;
  }
  TUnattendedPlatform platform;
  platform.SaveFileName = out;
  table.Choices.Save = TSaveKind::Solid;
  try {
    Refusing([&] { return table.SaveSolid(platform); });
  } catch (const std::system_error& e) {
    CannotWrite(out, e);
  }
}

bool SaveLines(TCTable& table, const std::string& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir))
    throw ECliError("cannot make the folder " + Quote(dir) + ": " +
                    (ec ? ec.message() : "a file of that name is in the way"));
  TUnattendedPlatform platform;
  platform.Folder = dir;
  table.Choices.Save = TSaveKind::Lines;
  try {
    Refusing([&] { return table.SaveLines(platform); });
  } catch (const std::system_error& e) {
    throw ECliError("cannot write into " + Quote(dir) + ": " + e.code().message());
  }
  return ReportBoxes(platform);
}

bool SaveHtml(TCTable& table, const std::string& page) {
  TUnattendedPlatform platform;
  platform.SaveFileName = page;
  platform.OpenResult = false;
  table.Choices.Save = TSaveKind::Html;
  try {
    Refusing([&] { return table.SaveHtml(platform); });
  } catch (const std::system_error& e) {
    CannotWrite(page, e);
  }
  return ReportBoxes(platform);
}

} // namespace

void RunFonts(const TCommandLine& cl) {
  std::string out;
  if (cl.FaceArg) {
    for (const std::string& style : StylesOf(*cl.FaceArg).FontStyle)
      out += style + "\n";
  } else {
    for (const std::string& face : ListFaces())
      out += face + "\n";
  }
  WriteStdout(out);
}

void RunRender(TRenderOptions o) {
  if (o.Source == TTextSource::File) o.Settings.Lines = ReadTextFile(o.TextFile);
  if (o.Settings.Lines.empty()) throw ECliError("the text is empty: there is nothing to render");
  if (!o.LinesDir.empty() && !MaskHasPlaceholder(o.Choices.Mask))
    throw ECliError("the mask " + Quote(o.Choices.Mask) +
                    " holds neither %t nor %n: every line would "
                    "get the same name");

  // Before any rendering: an output that names a folder would get "DIR.gif"
  // or a hidden "DIR/.gif".
  if (!o.Out.empty() && o.Out != "-" && NamesFolder(o.Out))
    throw ECliError("--out " + Quote(o.Out) + " names a folder; give a file name");
  if (!o.Html.empty() && NamesFolder(o.Html))
    throw ECliError("--html " + Quote(o.Html) + " names a folder; give a file name");

  const TRenderSettings settings = MakeSettings(o);
  std::optional<TRenderResult> rendering;
  try {
    TRenderLimits limits;
    if (!o.Out.empty()) limits.MaxSide = MaxGifSide;
    rendering = TTextRasteriser().RenderText(settings, o.Dpi, limits);
  } catch (const ERenderTooLarge& e) {
    throw ECliError(e.what());
  } catch (const std::length_error& e) {
    throw ECliError(std::string("the rendering is too large: ") + e.what());
  } catch (const ETextError& e) {
    throw ECliError(e.what());
  }
  if (!rendering) throw ECliError("the text is empty: there is nothing to render");

  // The dialog with the options chosen, then the colour edits in the order
  // given; transparency is applied to the prepared image as its box would be.
  TCTable table;
  table.Choices = o.Choices;
  table.Choices.Transparent = false;
  try {
    table.Prepare(ExportSourceOf(*rendering));
  } catch (const EExportError& e) {
    throw ECliError(e.what());
  }
  if (const std::size_t done = table.RecolorListed(o.Recolor); done < o.Recolor.size())
    throw ECliError("--recolor: the rendering does not use the colour " +
                    ColorToHex(o.Recolor[done].first));
  if (o.Choices.Transparent) table.CBTransparentClick(true);

  bool complete = true;
  if (!o.Out.empty()) SaveSolid(table, o.Out);
  if (!o.LinesDir.empty()) complete = SaveLines(table, o.LinesDir) && complete;
  if (!o.Html.empty()) complete = SaveHtml(table, o.Html) && complete;
  if (!complete) throw ECliError("some files were not written (see above)");
}

} // namespace cli
