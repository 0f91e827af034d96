// `fonts` and `render`: the main window's settings and the colour table
// dialog's saves, driven from the command line.
#include "render/Render.h"
#include "base/AtomicFile.h"
#include "base/Strings.h"
#include "base/Utf8.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Files.h"
#include "export/Export.h"
#include "export/ExportText.h"
#include "export/RenderSource.h"
#include "render/AutoFill.h"
#include "render/FontCatalogue.h"
#include "render/RenderSettings.h"
#include "text/Font.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

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

// Characters drawn as empty boxes, named once: U+0915 (क), U+4E2D (中).
void WarnMissing(const TRenderResult& rendering, const TRenderSettings& settings) {
  const std::u32string missing = MissingCharacters(*rendering.FSurface->DC, rendering.Text);
  if (missing.empty()) return;
  std::string named;
  for (char32_t ch : missing) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", unsigned(ch));
    named += (named.empty() ? "" : ", ") + std::string(code) + " (" + Utf8(ch) + ")";
  }
  Warn((settings.Fallback ? "no installed face has "
                          : "the face " + Quote(settings.FaceName) + " has no ") +
       named + ": drawn as empty boxes");
}

// A failed write names the file the user asked for, not our temporary beside it.
[[noreturn]] void CannotWrite(const std::string& target, const std::system_error& e) {
  throw ECliError("cannot write " + Quote(target) + ": " + e.code().message());
}

// Why the export refused Full, a name it made in Folder from a mask (or from a
// character, for the page's images) that holds MaskSlashes "/" of its own.
std::string RefusalReason(const std::string& full, const std::string& folder,
                          std::size_t maskSlashes, const std::string& box) {
  if (box.starts_with("Image [")) return "the line draws nothing, so it has no image";
  const std::string name = full.substr(std::min(folder.size(), full.size()));
  if (std::size_t(std::count(name.begin(), name.end(), '/')) > maskSlashes)
    return "the text holds \"/\", which would make a folder";
  if (name.find('\0') != std::string::npos) return "the text holds a NUL byte";
  if (!NameStaysInFolder(name, {})) return "the name would leave its folder";
  const fs::path path(full);
  const fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  const long longest = ::pathconf(fs::is_directory(parent) ? parent.c_str() : ".", _PC_NAME_MAX);
  const std::string base = path.filename().string();
  if (longest > 0 && base.size() > std::size_t(longest))
    return "the name is too long (" + std::to_string(base.size()) + " bytes; at most " +
           std::to_string(longest) + ")";
  std::error_code ec;
  if (fs::is_directory(path, ec)) return "a folder of that name is in the way";
  if (!fs::is_directory(parent, ec))
    return "its folder " + Quote(parent.string()) + " does not exist";
  if (::access(parent.c_str(), W_OK | X_OK) != 0)
    return "its folder " + Quote(parent.string()) + " cannot be written: " + std::strerror(errno);
  return "the file system takes no such name";
}

// The files a save refused, each with what the dialog's box would have said.
struct TRefusals {
  std::vector<std::string> Messages;
  TSaveHooks Hooks() {
    TSaveHooks hooks;
    hooks.Refused = [this](const std::string&, const std::string& Message) {
      Messages.push_back(Message);
    };
    return hooks;
  }
};

// A line each on standard error, saying why.
bool ReportRefused(const TSaveResult& result, const TRefusals& refusals, const std::string& folder,
                   std::size_t maskSlashes) {
  for (std::size_t i = 0; i < result.Refused.size(); ++i) {
    const std::string& full = result.Refused[i];
    const std::string box = i < refusals.Messages.size() ? refusals.Messages[i] : std::string();
    Warn(full + ": not written: " + RefusalReason(full, folder, maskSlashes, box));
  }
  return result.Refused.empty();
}

// The export's own refusals read as any other line here: no capital, no
// full stop, names in quotes rather than brackets.
std::string ShellStyle(std::string text) {
  if (text.size() > 1 && std::isupper((unsigned char)text[0]) &&
      std::islower((unsigned char)text[1]))
    text[0] = char(std::tolower((unsigned char)text[0]));
  if (text.ends_with('.')) text.pop_back();
  for (char& c : text)
    if (c == '[' || c == ']') c = '"';
  return text;
}

template <typename Save> auto Refusing(Save save) {
  try {
    return save();
  } catch (const EExportError& e) {
    throw ECliError(ShellStyle(e.what()));
  }
}

// The folder an output goes into, made as --lines makes its own.
void MakeFolderOf(const std::string& target, const std::string& file) {
  const std::string folder = FolderOf(file);
  if (folder.empty()) return;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder))
    throw ECliError("cannot write " + Quote(target) + ": cannot make its folder " + Quote(folder) +
                    ": " + (ec ? ec.message() : "a file of that name is in the way"));
}

// The format a name's extension asks for: .gif or .png, in any case.
std::optional<TImageFormat> FormatOfName(const std::string& name) {
  const std::string base = fs::path(name).filename().string();
  const std::size_t dot = base.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::nullopt;
  const std::string extension = base.substr(dot + 1);
  if (SameText(extension, "gif")) return TImageFormat::Gif;
  if (SameText(extension, "png")) return TImageFormat::Png;
  return std::nullopt;
}

// What --out accepts before anything is rendered: a name that is no folder,
// that ends in .gif or .png (or gets .gif) and that a file system takes.
void CheckOutName(const std::string& out) {
  if (out == "-") return;
  if (NamesFolder(out))
    throw ECliError("--out " + Quote(out) + " names a folder; give a file name");
  const std::string file = WithDefaultExtension(out, "gif");
  const std::string base = fs::path(file).filename().string();
  const std::string extension = base.substr(base.rfind('.') + 1);
  if (!FormatOfName(file))
    throw ECliError("--out " + Quote(out) + ": the name must end in .gif or .png, the format " +
                    "the file is written in");
  const std::string folder = FolderOf(file);
  const long longest =
      ::pathconf(folder.empty() || !fs::is_directory(folder) ? "." : folder.c_str(), _PC_NAME_MAX);
  if (longest > 0 && base.size() > std::size_t(longest))
    throw ECliError("--out " + Quote(out) + ": the name is too long (" +
                    std::to_string(base.size()) + " bytes; at most " + std::to_string(longest) +
                    ")");
}

void WriteSolid(const TColorTable& table, TExportChoices choices, const std::string& out) {
  if (out == "-") {
    const std::vector<std::uint8_t> bytes = table.WholeGif();
    WriteStdout(std::string(bytes.begin(), bytes.end()));
    return;
  }
  const std::string file = WithDefaultExtension(out, "gif");
  choices.Format = FormatOfName(file).value_or(TImageFormat::Gif);
  MakeFolderOf(out, file);
  try {
    Refusing([&] { return ::SaveSolid(table, choices, file); });
  } catch (const std::system_error& e) {
    CannotWrite(out, e);
  }
}

bool WriteLines(const TColorTable& table, TExportChoices choices, const std::string& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir))
    throw ECliError("cannot make the folder " + Quote(dir) + ": " +
                    (ec ? ec.message() : "a file of that name is in the way"));
  // The mask's extension names the format; a mask without one gives GIFs,
  // as it always has (--format is the page's).
  choices.Format = FormatOfName(choices.Mask).value_or(TImageFormat::Gif);
  TRefusals refusals;
  TSaveResult result;
  try {
    result = Refusing([&] { return ::SaveLines(table, choices, dir, refusals.Hooks()); });
  } catch (const std::system_error& e) {
    throw ECliError("cannot write into " + Quote(dir) + ": " + e.code().message());
  }
  return ReportRefused(result, refusals, WithTrailingSlash(dir),
                       std::size_t(std::count(choices.Mask.begin(), choices.Mask.end(), '/')));
}

bool WritePage(const TColorTable& table, const TExportChoices& choices, const std::string& page) {
  const std::string file = WithDefaultExtension(page, "html");
  MakeFolderOf(page, file);
  const std::string images = FolderOf(file) + "img_char/";
  std::error_code ec;
  if (fs::symlink_status(images, ec).type() != fs::file_type::not_found &&
      !fs::is_directory(images, ec))
    throw ECliError("cannot write " + Quote(page) + ": its image folder " + Quote(images) +
                    " is taken by something that is not a folder");
  TRefusals refusals;
  TSaveResult result;
  try {
    result = Refusing([&] { return SavePage(table, choices, file, refusals.Hooks()); });
  } catch (const std::system_error& e) {
    CannotWrite(page, e);
  }
  return ReportRefused(result, refusals, images, 0);
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
    throw ECliError(
        "--mask " + Quote(o.Choices.Mask) +
        ": it holds none of %t, %s, %n and %0Nn, so every line would get the same name");

  // Before any rendering: an output that names a folder would get "DIR.gif"
  // or a hidden "DIR/.gif".
  if (!o.Out.empty()) CheckOutName(o.Out);
  if (!o.Html.empty() && NamesFolder(o.Html))
    throw ECliError("--html " + Quote(o.Html) + " names a folder; give a file name");

  const TRenderSettings settings = MakeSettings(o);
  std::optional<TRenderResult> rendering;
  try {
    TRenderLimits limits;
    if (!o.Out.empty()) limits.MaxSide = MaxGifSide;
    rendering = TTextRasteriser().RenderText(settings, o.Dpi, limits);
  } catch (const ERenderTooLarge& e) {
    throw ECliError(ShellStyle(e.what()));
  } catch (const std::length_error& e) {
    throw ECliError(std::string("the rendering is too large: ") + e.what());
  } catch (const ETextError& e) {
    throw ECliError(ShellStyle(e.what()));
  }
  if (!rendering) throw ECliError("the text is empty: there is nothing to render");
  WarnMissing(*rendering, settings);

  // The colour table of the rendering, then the colour edits in the order
  // given, then transparency, as the dialog applies them.
  TColorTable table;
  try {
    table.Prepare(ExportSourceOf(*rendering));
  } catch (const EExportError& e) {
    throw ECliError(ShellStyle(e.what()));
  }
  // A run that writes only GIFs at 1x keeps no second copy of the pixels: the
  // table's image is what they are made of.
  const bool pngLines = !o.LinesDir.empty() && FormatOfName(o.Choices.Mask) == TImageFormat::Png;
  const bool pngOut = !o.Out.empty() && o.Out != "-" &&
                      FormatOfName(WithDefaultExtension(o.Out, "gif")) == TImageFormat::Png;
  const bool pngPage = !o.Html.empty() && o.Choices.Format == TImageFormat::Png;
  if (o.Choices.Scale == 1 && !pngLines && !pngOut && !pngPage) rendering->FPreview = TBitmap();
  if (const std::size_t done = table.RecolorListed(o.Recolor); done < o.Recolor.size())
    throw ECliError("--recolor: the rendering does not use the colour " +
                    ColorToHex(o.Recolor[done].first));
  table.SetTransparent(o.Choices.Transparent);

  bool complete = true;
  if (!o.Out.empty()) WriteSolid(table, o.Choices, o.Out);
  if (!o.LinesDir.empty()) complete = WriteLines(table, o.Choices, o.LinesDir) && complete;
  if (!o.Html.empty()) complete = WritePage(table, o.Choices, o.Html) && complete;
  if (!complete) throw ECliError("some files were not written (see above)");
}

} // namespace cli
