// The command line of glyptika-cli, parsed into plain records. Defaults are the
// main window's initial values, so a bare `render --text X --out F` gives what
// "Convert" and "Save as solid GIF-file" give with nothing touched.
#pragma once

#include "raster/Bitmap.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

enum class TTextSource { None, Args, File, Fill };

struct TRenderOptions {
  std::optional<std::string> FaceName;  // none: fontconfig's match for sans-serif
  std::optional<std::string> StyleName; // none: the face's first listed style
  double Size = 30;
  int SizeUnit = 0; // 0 px, 1 pt
  int Dpi = 96;
  bool Underline = false;
  bool AntiAlias = true;
  TColor TextColor = 0x000000;
  TColor BackColor = 0xFFFFFF;
  std::optional<TColor> ShadowColor; // none: the window's initial shadow colour
  bool Shadow = false;
  int ShadowDistance = 1;
  int Align = 0;     // 0 left, 1 centre, 2 right
  int WidthMode = 1; // 0 "To string", 1 "To max string", 2 "User width"
  int UserWidth = 0;

  TTextSource Source = TTextSource::None;
  std::vector<std::string> Lines; // UTF-8, filled at parse time except for File
  std::string TextFile;           // "-" is standard input

  // The colour table dialog's edits, in the order given.
  std::vector<std::pair<TColor, TColor>> Recolor;
  bool Transparent = false;

  // Outputs; at least one is required.
  std::string Out;
  std::string LinesDir;
  std::string Mask = "%t.gif";
  bool MaskGiven = false;
  std::string Html;
  bool Script = false;
  bool NameAsChar = false; // false: named by code, as the dialog opens
  bool Sizes = false;
  bool Alt = false;
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

// Throws ECliError (exit 2) for anything it cannot accept.
TCommandLine ParseCommandLine(const std::vector<std::string_view>& args);

// "#RRGGBB", either case. Throws ECliError naming Option.
TColor ParseColor(std::string_view text, std::string_view option);

// Splits text into lines at "\n", dropping a "\r" before it; a final line break
// ends the last line rather than starting an empty one, as a text box takes a paste.
std::vector<std::string> SplitLines(std::string_view text);

// Throws ECliError when Text is not UTF-8; Where names its origin in the message.
void CheckUtf8(std::string_view text, const std::string& where);

// The auto-fill sets by name ("digits", "calendar", "caps", "all").
std::vector<std::string> FillLines(std::string_view name);

} // namespace cli
