#include "cli/Options.h"

#include "base/Utf8.h"
#include "cli/CliError.h"
#include "main/AutoFill.h"
#include "main/RenderSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace cli {

namespace {

std::string Quote(std::string_view s) {
  std::string q(1, '"');
  q.append(s);
  q += '"';
  return q;
}

[[noreturn]] void Usage(const std::string& what) {
  throw ECliError(what, ExitUsage);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int ParseInt(std::string_view text, std::string_view option, int low, int high) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
      value > high)
    Usage("bad value " + Quote(text) + " for " + std::string(option) +
          ": expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
  return value;
}

double ParseSize(std::string_view text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value) || value < MinFontSize || value > MaxFontSize)
    Usage("bad value " + Quote(text) + " for --size: expected a number from " +
          std::to_string(int(MinFontSize)) + " to " + std::to_string(int(MaxFontSize)));
  return value;
}

template <typename T>
T ParseChoice(std::string_view text, std::string_view option,
              std::initializer_list<std::pair<std::string_view, T>> choices) {
  std::string list;
  for (const auto& [name, value] : choices) {
    if (text == name) return value;
    if (!list.empty()) list += '|';
    list.append(name);
  }
  Usage("bad value " + Quote(text) + " for " + std::string(option) + ": expected " + list);
}

enum class TArg { None, Required, Optional };

struct TOptionSpec {
  TArg Arg;
  std::function<void(TRenderOptions&, std::string_view value, bool given)> Apply;
};

void SetSource(TRenderOptions& o, TTextSource source) {
  if (o.Source != TTextSource::None && o.Source != source)
    Usage("give the text one way only: --text, --text-file or --fill");
  o.Source = source;
}

const std::map<std::string_view, TOptionSpec>& RenderOptionTable() {
  using O = TRenderOptions;
  using V = std::string_view;
  static const std::map<std::string_view, TOptionSpec> table = {
      {"--font",
       {TArg::Required,
        [](O& o, V v, bool) {
          if (v.empty()) Usage("bad value \"\" for --font: expected a face name");
          o.Settings.FaceName = std::string(v);
        }}},
      {"--style", {TArg::Required, [](O& o, V v, bool) { o.StyleName = std::string(v); }}},
      {"--size", {TArg::Required, [](O& o, V v, bool) { o.Settings.Size = ParseSize(v); }}},
      {"--unit",
       {TArg::Required,
        [](O& o, V v, bool) {
          o.Settings.SizeUnit = ParseChoice<TSizeUnit>(
              v, "--unit", {{"px", TSizeUnit::Pixels}, {"pt", TSizeUnit::Points}});
        }}},
      {"--dpi", {TArg::Required, [](O& o, V v, bool) { o.Dpi = ParseInt(v, "--dpi", 1, 10000); }}},
      {"--underline", {TArg::None, [](O& o, V, bool) { o.Settings.Underline = true; }}},
      {"--no-antialias", {TArg::None, [](O& o, V, bool) { o.Settings.AntiAlias = false; }}},
      {"--color",
       {TArg::Required, [](O& o, V v, bool) { o.Settings.TextColor = ParseColor(v, "--color"); }}},
      {"--background",
       {TArg::Required,
        [](O& o, V v, bool) { o.Settings.BackColor = ParseColor(v, "--background"); }}},
      {"--shadow-color",
       {TArg::Required,
        [](O& o, V v, bool) { o.Settings.ShadowColor = ParseColor(v, "--shadow-color"); }}},
      {"--shadow",
       {TArg::Optional,
        [](O& o, V v, bool given) {
          o.Settings.Shadow = true;
          if (given)
            o.Settings.ShadowDistance =
                ParseInt(v, "--shadow", MinShadowDistance, MaxShadowDistance);
        }}},
      {"--align",
       {TArg::Required,
        [](O& o, V v, bool) {
          o.Settings.Align = ParseChoice<TAlign>(
              v, "--align",
              {{"left", TAlign::Left}, {"center", TAlign::Center}, {"right", TAlign::Right}});
        }}},
      {"--width",
       {TArg::Required,
        [](O& o, V v, bool) {
          if (v == "string") {
            o.Settings.WidthMode = TWidthMode::ToString;
          } else if (v == "max") {
            o.Settings.WidthMode = TWidthMode::ToMaxString;
          } else if (!v.empty() && v.front() >= '0' && v.front() <= '9') {
            o.Settings.WidthMode = TWidthMode::UserWidth;
            o.Settings.UserWidth = ParseInt(v, "--width", 0, MaxUserWidth);
          } else {
            Usage("bad value " + Quote(v) +
                  " for --width: expected string, max or a width in pixels from 0 to " +
                  std::to_string(MaxUserWidth));
          }
        }}},
      {"--text",
       {TArg::Required,
        [](O& o, V v, bool) {
          SetSource(o, TTextSource::Args);
          CheckUtf8(v, "--text");
          // An argument holding line breaks gives several lines, as pasting it would.
          std::vector<std::string> lines = SplitLines(v);
          if (lines.empty()) lines.emplace_back();
          o.Settings.Lines.insert(o.Settings.Lines.end(), lines.begin(), lines.end());
        }}},
      {"--text-file",
       {TArg::Required,
        [](O& o, V v, bool) {
          if (o.Source == TTextSource::File) Usage("--text-file may be given only once");
          SetSource(o, TTextSource::File);
          o.TextFile = std::string(v);
        }}},
      {"--fill",
       {TArg::Required,
        [](O& o, V v, bool) {
          if (o.Source == TTextSource::Fill) Usage("--fill may be given only once");
          SetSource(o, TTextSource::Fill);
          o.Settings.Lines = FillLines(v);
        }}},
      {"--transparent", {TArg::None, [](O& o, V, bool) { o.Choices.Transparent = true; }}},
      {"--recolor",
       {TArg::Required,
        [](O& o, V v, bool) {
          const std::size_t eq = v.find('=');
          if (eq == V::npos)
            Usage("bad value " + Quote(v) + " for --recolor: expected #RRGGBB=#RRGGBB");
          o.Recolor.emplace_back(ParseColor(v.substr(0, eq), "--recolor"),
                                 ParseColor(v.substr(eq + 1), "--recolor"));
        }}},
      {"--out", {TArg::Required, [](O& o, V v, bool) { o.Out = std::string(v); }}},
      {"--lines", {TArg::Required, [](O& o, V v, bool) { o.LinesDir = std::string(v); }}},
      {"--mask",
       {TArg::Required,
        [](O& o, V v, bool) {
          o.Choices.Mask = std::string(v);
          o.MaskGiven = true;
        }}},
      {"--html", {TArg::Required, [](O& o, V v, bool) { o.Html = std::string(v); }}},
      {"--script", {TArg::None, [](O& o, V, bool) { o.Choices.IncludeScript = true; }}},
      {"--name",
       {TArg::Required,
        [](O& o, V v, bool) {
          o.Choices.NameAsChar = ParseChoice<bool>(v, "--name", {{"char", true}, {"code", false}});
        }}},
      {"--sizes", {TArg::None, [](O& o, V, bool) { o.Choices.WriteSize = true; }}},
      {"--alt", {TArg::None, [](O& o, V, bool) { o.Choices.WriteAlt = true; }}},
  };
  return table;
}

bool IsHelp(std::string_view a) {
  return a == "--help" || a == "-h";
}

void CheckRender(const TRenderOptions& o) {
  if (o.Source == TTextSource::None) Usage("render needs a text: --text, --text-file or --fill");
  if (o.Out.empty() && o.LinesDir.empty() && o.Html.empty())
    Usage("render needs somewhere to write: --out FILE, --lines DIR or --html FILE");
  if (o.MaskGiven && o.LinesDir.empty()) Usage("--mask goes with --lines");
  if (o.Html.empty() && (o.Choices.IncludeScript || o.Choices.WriteSize || o.Choices.WriteAlt))
    Usage("--script, --name, --sizes and --alt go with --html");
  // The dialog offers the character page only without a shadow: the cut-outs
  // would slice through it.
  if (!o.Html.empty() && o.Settings.Shadow) Usage("--html cannot be used with --shadow");
}

void ParseRender(const std::vector<std::string_view>& args, std::size_t i, TCommandLine& cl) {
  const auto& table = RenderOptionTable();
  bool nameGiven = false;
  for (; i < args.size(); ++i) {
    std::string_view a = args[i];
    std::string_view name = a, value;
    bool hasValue = false;
    if (const std::size_t eq = a.find('='); a.starts_with("--") && eq != std::string_view::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    const auto it = table.find(name);
    if (it == table.end()) {
      if (a.starts_with("-") && a != "-") Usage("unknown option " + Quote(name) + " for render");
      Usage("unexpected argument " + Quote(a) + " for render");
    }
    const TOptionSpec& option = it->second;
    switch (option.Arg) {
    case TArg::None:
      if (hasValue) Usage(std::string(name) + " takes no value");
      break;
    case TArg::Optional:
      break;
    case TArg::Required:
      if (!hasValue) {
        if (i + 1 >= args.size()) Usage(std::string(name) + " needs a value");
        value = args[++i];
        hasValue = true;
      }
      break;
    }
    if (name == "--name") nameGiven = true;
    option.Apply(cl.Render, value, hasValue);
  }
  if (nameGiven && cl.Render.Html.empty())
    Usage("--script, --name, --sizes and --alt go with --html");
  CheckRender(cl.Render);
}

// The single positional operand of fonts and inspect; "--" lets it start with "-".
void ParseOperands(const std::vector<std::string_view>& args, std::size_t i, TCommandLine& cl,
                   std::string_view command, bool allowIndices,
                   std::vector<std::string>& operands) {
  bool options = true;
  for (; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (options && a == "--") {
      options = false;
      continue;
    }
    if (options && allowIndices && a == "--indices") {
      cl.Indices = true;
      continue;
    }
    if (options && a.starts_with("-") && a != "-")
      Usage("unknown option " + Quote(a) + " for " + std::string(command));
    operands.emplace_back(a);
  }
}

} // namespace

TColor ParseColor(std::string_view text, std::string_view option) {
  if (text.size() == 7 && text[0] == '#') {
    TColor rgb = 0;
    bool ok = true;
    for (std::size_t k = 1; k < 7; ++k) {
      const int d = HexDigit(text[k]);
      ok = ok && d >= 0;
      rgb = rgb << 4 | TColor(d < 0 ? 0 : d);
    }
    if (ok) return RGB(std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb));
  }
  Usage("bad colour " + Quote(text) + " for " + std::string(option) +
        ": expected #RRGGBB (quote it: a shell takes a word starting with # as a comment)");
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!last && line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

void CheckUtf8(std::string_view text, const std::string& where) {
  const std::size_t bad = FindInvalidUtf8(text);
  if (bad == std::string_view::npos) return;
  const auto line = 1 + std::count(text.begin(), text.begin() + std::ptrdiff_t(bad), '\n');
  Usage(where + " is not UTF-8 text (line " + std::to_string(line) + ", byte " +
        std::to_string(bad + 1) + ")");
}

std::vector<std::string> FillLines(std::string_view name) {
  const int tag = ParseChoice<int>(
      name, "--fill",
      {{"digits", afDigits}, {"calendar", afCalendar}, {"caps", afCaps}, {"all", afAllChars}});
  return AutoFillLines(tag);
}

TCommandLine ParseCommandLine(const std::vector<std::string_view>& args) {
  TCommandLine cl;
  if (args.empty()) Usage("no command given; try glyptika-cli --help");
  const std::string_view command = args[0];
  std::vector<std::string> operands;
  if (IsHelp(command)) {
    cl.Command = TCommand::Help;
    if (args.size() > 1) cl.HelpTopic = std::string(args[1]);
    return cl;
  }
  if (command == "help") {
    cl.Command = TCommand::Help;
    if (args.size() > 1) cl.HelpTopic = std::string(args[1]);
    return cl;
  }
  if (command == "--version") {
    cl.Command = TCommand::Version;
    return cl;
  }
  // Help wins over anything else on the line, mistakes included.
  for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i)
    if (IsHelp(args[i])) {
      cl.Command = TCommand::Help;
      cl.HelpTopic = std::string(command);
      return cl;
    }
  if (command == "fonts") {
    cl.Command = TCommand::Fonts;
    ParseOperands(args, 1, cl, command, false, operands);
    if (operands.size() > 1) Usage("fonts takes at most one face name");
    if (!operands.empty()) cl.FaceArg = operands[0];
    return cl;
  }
  if (command == "inspect") {
    cl.Command = TCommand::Inspect;
    ParseOperands(args, 1, cl, command, true, operands);
    if (operands.size() != 1)
      Usage("inspect takes one file: glyptika-cli inspect FILE.gif [--indices]");
    cl.InspectFile = operands[0];
    return cl;
  }
  if (command == "render") {
    cl.Command = TCommand::Render;
    ParseRender(args, 1, cl);
    return cl;
  }
  Usage("unknown command " + Quote(command) + "; the commands are fonts, render and inspect");
}

} // namespace cli
