// The command line of glyptika-cli, parsed into the records the main window
// and the colour table dialog fill. Their defaults are the window's initial
// values, so a bare `render --text X --out F` gives what "Convert" and "Save as
// solid GIF-file" give with nothing touched.
#pragma once

#include "export/Export.h"
#include "raster/Bitmap.h"
#include "render/RenderSettings.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

enum class TTextSource { None, Args, File, Fill };

// The screen resolution a rendering in points assumes unless --dpi is given.
constexpr int DefaultDpi = 96;

struct TRenderOptions {
  // FaceName empty: fontconfig's match for sans-serif. Bold and Italic come
  // from StyleName once the face is known. Lines are filled at parse time
  // except from a text file.
  TRenderSettings Settings = [] {
    TRenderSettings s;
    s.KeepOverhangs = true; // as the window starts: no letter is cut
    return s;
  }();
  std::optional<std::string> StyleName; // none: the face's first listed style
  int Dpi = DefaultDpi;

  TTextSource Source = TTextSource::None;
  std::string TextFile; // "-" is standard input

  // The colour table dialog: its options, and the recolouring edits in the
  // order given. Save is set by each output.
  TExportChoices Choices;
  std::vector<std::pair<TColor, TColor>> Recolor;
  bool MaskGiven = false;
  bool PageOptionGiven = false; // --name, whose default cannot tell

  // Outputs; at least one is required.
  std::string Out;
  std::string LinesDir;
  std::string Html;
};

enum class TCommand { Help, Version, Fonts, Render, Inspect };

struct TCommandLine {
  TCommand Command = TCommand::Help;
  std::string HelpTopic;              // the command whose help to show; empty: the overview
  std::optional<std::string> FaceArg; // fonts FACE
  std::string InspectFile;
  bool Indices = false;
  TRenderOptions Render;
};

// Throws ECliError (exit 2) for anything it cannot accept. "--" ends the
// options; an option's value may start with "-".
TCommandLine ParseCommandLine(const std::vector<std::string_view>& args);

// The option lines of a command's help, under their headings.
std::string OptionsHelp(TCommand command);

// "#RGB", "#RRGGBB" or a CSS name. Throws ECliError naming Option, with a
// hint when the shell has likely eaten the "#".
TColor ParseColor(std::string_view text, std::string_view option);

// Splits text into lines at "\n", dropping a "\r" before it; a final line break
// ends the last line rather than starting an empty one, as a text box takes a paste.
std::vector<std::string> SplitLines(std::string_view text);

// Throws ECliError when Text is not UTF-8; Where names its origin in the message.
void CheckUtf8(std::string_view text, const std::string& where);

// The auto-fill sets by name ("digits", "calendar", "caps", "all").
std::vector<std::string> FillLines(std::string_view name);

} // namespace cli
