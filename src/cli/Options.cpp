#include "cli/Options.h"

#include "base/ColorText.h"
#include "base/Utf8.h"
#include "cli/CliError.h"
#include "render/AutoFill.h"
#include "render/RenderSettings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include <getopt.h>

namespace cli {

namespace {

using L = TCommandLine;
using V = std::string_view;

std::string Quote(std::string_view s) {
  std::string q(1, '"');
  q.append(s);
  q += '"';
  return q;
}

[[noreturn]] void Usage(const std::string& what) {
  throw ECliError(what, ExitUsage);
}

int ParseInt(V text, V option, int low, int high) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
      value > high)
    Usage("bad value " + Quote(text) + " for " + std::string(option) +
          ": expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
  return value;
}

double ParseSize(V text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value) || value < MinFontSize || value > MaxFontSize)
    Usage("bad value " + Quote(text) + " for --size: expected a number from " +
          std::to_string(int(MinFontSize)) + " to " + std::to_string(int(MaxFontSize)));
  return value;
}

template <typename T>
T ParseChoice(V text, V option, std::initializer_list<std::pair<V, T>> choices) {
  std::string list;
  for (const auto& [name, value] : choices) {
    if (text == name) return value;
    if (!list.empty()) list += '|';
    list.append(name);
  }
  Usage("bad value " + Quote(text) + " for " + std::string(option) + ": expected " + list);
}

void SetSource(TRenderOptions& o, TTextSource source) {
  if (o.Source != TTextSource::None && o.Source != source)
    Usage("give the text one way only: --text, --text-file or --fill");
  o.Source = source;
}

// ---------------------------------------------------------------------------
// The options of each command. Each row gives the names, the value, the
// option's line in the help and what it does; the parser, the help and the
// shell's completion all read these rows, so an option is added by adding
// its row. A row without a long name is a heading of the help.

enum class TArg { None, Required, Optional };

struct TOptionSpec {
  V Long;
  char Short = 0;
  TArg Arg = TArg::None;
  V Value; // its name in the help; COLOUR, FACE, STYLE, FILE, DIR and a|b|c guide completion
  V Help;  // "\n" continues on the next line
  void (*Apply)(L&, V value, bool given) = nullptr;
};

constexpr TOptionSpec Heading(V title) {
  return {{}, 0, TArg::None, {}, title, nullptr};
}

// An option without a value: a row of its own, added in one line.
TOptionSpec Flag(V name, V help, void (*apply)(L&, V, bool)) {
  return {name, 0, TArg::None, {}, help, apply};
}

constexpr V Colour = "COLOUR";

// Every command has these; the scanner answers them itself.
constexpr TOptionSpec CommonOptions[] = {
    Heading("Other options:"),
    {"help", 'h', TArg::None, {}, "print this help and exit", nullptr},
    {"version", 'V', TArg::None, {}, "print the version and exit", nullptr},
};

const TOptionSpec RenderOptions[] = {
    Heading("Text (one of):"),
    {"text", 't', TArg::Required, "LINE", "a line of text; repeat for more lines",
     [](L& c, V v, bool) {
       SetSource(c.Render, TTextSource::Args);
       CheckUtf8(v, "--text");
       // An argument holding line breaks gives several lines, as pasting it would.
       std::vector<std::string> lines = SplitLines(v);
       if (lines.empty()) lines.emplace_back();
       auto& all = c.Render.Settings.Lines;
       all.insert(all.end(), lines.begin(), lines.end());
     }},
    {"text-file", 0, TArg::Required, "FILE",
     "UTF-8 text, one line per line, at most 1 MiB;\n- reads standard input",
     [](L& c, V v, bool) {
       if (c.Render.Source == TTextSource::File) Usage("--text-file may be given only once");
       SetSource(c.Render, TTextSource::File);
       c.Render.TextFile = std::string(v);
     }},
    {"fill", 0, TArg::Required, "digits|calendar|caps|all",
     "digits (0 to 9), calendar (1 to 31), caps (A to Z)\nor all (the characters of "
     "Windows-1252 codes\n32 to 255)",
     [](L& c, V v, bool) {
       if (c.Render.Source == TTextSource::Fill) Usage("--fill may be given only once");
       SetSource(c.Render, TTextSource::Fill);
       c.Render.Settings.Lines = FillLines(v);
     }},

    Heading("Font:"),
    {"font", 'f', TArg::Required, "FACE", "installed face (default: the match for sans-serif)",
     [](L& c, V v, bool) {
       if (v.empty()) Usage("bad value \"\" for --font: expected a face name");
       c.Render.Settings.FaceName = std::string(v);
     }},
    {"style", 0, TArg::Required, "STYLE",
     "one of the styles `fonts FACE` lists\n(default: the first)",
     [](L& c, V v, bool) { c.Render.StyleName = std::string(v); }},
    {"size", 's', TArg::Required, "N",
     "the face's line height (its cell), not its em,\n1 to 1000 (default 30); in pt, points "
     "at --dpi",
     [](L& c, V v, bool) { c.Render.Settings.Size = ParseSize(v); }},
    {"unit", 0, TArg::Required, "px|pt", "unit of --size (default px)",
     [](L& c, V v, bool) {
       c.Render.Settings.SizeUnit = ParseChoice<TSizeUnit>(
           v, "--unit", {{"px", TSizeUnit::Pixels}, {"pt", TSizeUnit::Points}});
     }},
    {"dpi", 0, TArg::Required, "N", "resolution for pt sizes (default 96)",
     [](L& c, V v, bool) { c.Render.Dpi = ParseInt(v, "--dpi", 1, 10000); }},
    Flag("underline", "underline every line",
         [](L& c, V, bool) { c.Render.Settings.Underline = true; }),
    Flag("no-antialias", "two-colour glyph edges",
         [](L& c, V, bool) { c.Render.Settings.AntiAlias = false; }),
    Flag("shaping",
         "kerning and shaping: ligatures, joined Arabic,\nIndic conjuncts, right-to-left lines "
         "shown right\nto left",
         [](L& c, V, bool) { c.Render.Settings.Shaping = true; }),
    Flag("no-fallback",
         "draw a character the face lacks as its empty box,\nnot from an installed face that "
         "has it",
         [](L& c, V, bool) { c.Render.Settings.Fallback = false; }),
    Flag("clip-to-cells",
         "cut off ink outside the cells (tall accents,\nitalic overhangs): the image is as "
         "large as the\ncells; by default it grows by that ink",
         [](L& c, V, bool) { c.Render.Settings.KeepOverhangs = false; }),
    Flag("keep-overhangs", "grow the image by ink outside the cells (the\ndefault)",
         [](L& c, V, bool) { c.Render.Settings.KeepOverhangs = true; }),

    Heading("Look (COLOUR: #RGB, #RRGGBB or a CSS name such as navy):"),
    {"color", 0, TArg::Required, Colour, "text colour (default #000000)",
     [](L& c, V v, bool) { c.Render.Settings.TextColor = ParseColor(v, "--color"); }},
    {"background", 0, TArg::Required, Colour, "background colour (default #FFFFFF)",
     [](L& c, V v, bool) { c.Render.Settings.BackColor = ParseColor(v, "--background"); }},
    {"shadow", 0, TArg::Optional, "DIST",
     "drop shadow DIST pixels right and down, 1 to 20\n(default 1); the = is needed",
     [](L& c, V v, bool given) {
       c.Render.Settings.Shadow = true;
       if (given)
         c.Render.Settings.ShadowDistance =
             ParseInt(v, "--shadow", MinShadowDistance, MaxShadowDistance);
     }},
    {"shadow-color", 0, TArg::Required, Colour, "shadow colour (default #A0A0A0)",
     [](L& c, V v, bool) { c.Render.Settings.ShadowColor = ParseColor(v, "--shadow-color"); }},
    {"align", 0, TArg::Required, "left|center|right", "alignment of the lines (default left)",
     [](L& c, V v, bool) {
       c.Render.Settings.Align = ParseChoice<TAlign>(
           v, "--align",
           {{"left", TAlign::Left}, {"center", TAlign::Center}, {"right", TAlign::Right}});
     }},
    {"width", 0, TArg::Required, "string|max|N",
     "per-line images as wide as their line (string), as\nthe widest line (max, the default), "
     "or N pixels wide",
     [](L& c, V v, bool) {
       TRenderSettings& s = c.Render.Settings;
       if (v == "string") {
         s.WidthMode = TWidthMode::ToString;
       } else if (v == "max") {
         s.WidthMode = TWidthMode::ToMaxString;
       } else if (!v.empty() && v.front() >= '0' && v.front() <= '9') {
         s.WidthMode = TWidthMode::UserWidth;
         s.UserWidth = ParseInt(v, "--width", 0, MaxUserWidth);
       } else {
         Usage("bad value " + Quote(v) +
               " for --width: expected string, max or a width in pixels from 0 to " +
               std::to_string(MaxUserWidth));
       }
     }},

    Heading("Colour table:"),
    {"recolor", 0, TArg::Required, "COLOUR=COLOUR",
     "give a colour the rendering uses a new value;\nrepeatable",
     [](L& c, V v, bool) {
       const std::size_t eq = v.find('=');
       if (eq == V::npos)
         Usage("bad value " + Quote(v) +
               " for --recolor: expected COLOUR=COLOUR, such as '#RRGGBB=#RRGGBB'");
       c.Render.Recolor.emplace_back(ParseColor(v.substr(0, eq), "--recolor"),
                                     ParseColor(v.substr(eq + 1), "--recolor"));
     }},
    Flag("transparent",
         "make the background transparent in every file: in\na GIF one colour, in a PNG "
         "everything but the\ntext and its shadow, whose edges keep their coverage",
         [](L& c, V, bool) { c.Render.Choices.Transparent = true; }),
    {"scale", 0, TArg::Required, "N",
     "also write each image at N times the pixels (2 or\n3), named with @Nx before the "
     "extension, for\nHiDPI screens; the page offers them by srcset",
     [](L& c, V v, bool) { c.Render.Choices.Scale = ParseInt(v, "--scale", 1, MaxExportScale); }},

    Heading("Output (one or more):"),
    {"out", 'o', TArg::Required, "FILE",
     "the whole rendering as one image (\"Save as solid\nGIF-file\"): a PNG for a name ending "
     "in .png, else\na GIF; .gif is added to a name without an\nextension; - writes a GIF to "
     "standard output",
     [](L& c, V v, bool) { c.Render.Out = std::string(v); }},
    {"lines", 0, TArg::Required, "DIR",
     "one image per non-empty line into DIR, PNG when\nthe mask ends in .png",
     [](L& c, V v, bool) { c.Render.LinesDir = std::string(v); }},
    {"mask", 0, TArg::Required, "MASK",
     "with --lines, the file names (default \"%t.gif\"):\n%t the line's text, %s the text as a "
     "web name\n(faq-help for \"FAQ / Help\"; line-N when nothing\nis left), %n the line's number, "
     "%0Nn the number\nwith N digits (item%02n.gif: item01.gif ...)",
     [](L& c, V v, bool) {
       c.Render.Choices.Mask = std::string(v);
       c.Render.MaskGiven = true;
     }},
    {"html", 0, TArg::Required, "FILE",
     "an HTML page of one image per character, the\nimages in img_char/ beside it (not with "
     "--shadow\nor --shaping)",
     [](L& c, V v, bool) { c.Render.Html = std::string(v); }},
    {"format", 0, TArg::Required, "gif|png",
     "with --html, the format of the page's images\n(default gif)",
     [](L& c, V v, bool) {
       c.Render.Choices.Format = ParseChoice<TImageFormat>(
           v, "--format", {{"gif", TImageFormat::Gif}, {"png", TImageFormat::Png}});
       c.Render.PageOptionGiven = true;
     }},
    Flag("script", "with --html, write the page as a script",
         [](L& c, V, bool) { c.Render.Choices.IncludeScript = true; }),
    {"name", 0, TArg::Required, "char|code",
     "with --html, name the images by character or by\ncode (default code)",
     [](L& c, V v, bool) {
       c.Render.Choices.NameAsChar =
           ParseChoice<bool>(v, "--name", {{"char", true}, {"code", false}});
       c.Render.PageOptionGiven = true;
     }},
    Flag("sizes", "with --html, write each image's width and height",
         [](L& c, V, bool) { c.Render.Choices.WriteSize = true; }),
    Flag("alt", "with --html, write each character as its alt text",
         [](L& c, V, bool) { c.Render.Choices.WriteAlt = true; }),
};

const TOptionSpec InspectOptions[] = {
    Heading("Options:"),
    Flag("indices",
         "after each image's header, its rows in display\norder, one line per row, each colour "
         "index as two\nhex digits",
         [](L& c, V, bool) { c.Indices = true; }),
};

std::vector<TOptionSpec> WithCommon(std::initializer_list<std::vector<TOptionSpec>> parts) {
  std::vector<TOptionSpec> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  all.insert(all.end(), std::begin(CommonOptions), std::end(CommonOptions));
  return all;
}

const std::vector<TOptionSpec>& OptionsOf(TCommand command) {
  static const std::vector<TOptionSpec> render =
      WithCommon({{std::begin(RenderOptions), std::end(RenderOptions)}});
  static const std::vector<TOptionSpec> inspect =
      WithCommon({{std::begin(InspectOptions), std::end(InspectOptions)}});
  static const std::vector<TOptionSpec> common = WithCommon({});
  switch (command) {
  case TCommand::Render:
    return render;
  case TCommand::Inspect:
    return inspect;
  default:
    return common;
  }
}

// ---------------------------------------------------------------------------
// Suggestions for a misspelt name.

// Edits (insert, delete, change, swap two neighbours) that turn a into b, or
// Limit when there are that many or more. A path that strays further than
// Limit from the diagonal costs more than Limit, so only that band is worked
// out: the work is |a| times 2 * Limit + 1 whatever the lengths.
std::size_t EditDistance(V a, V b, std::size_t Limit) {
  if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) >= Limit) return Limit;
  std::vector<std::size_t> before(b.size() + 1, Limit), last(b.size() + 1, Limit),
      row(b.size() + 1, Limit);
  for (std::size_t j = 0; j <= b.size() && j < Limit; ++j)
    last[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::fill(row.begin(), row.end(), Limit);
    row[0] = std::min(i, Limit);
    const std::size_t from = i > Limit ? i - Limit : 1, to = std::min(b.size(), i + Limit);
    for (std::size_t j = from; j <= to; ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + change, Limit});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        row[j] = std::min(row[j], before[j - 2] + 1);
    }
    std::swap(before, last);
    std::swap(last, row);
  }
  return last[b.size()];
}

// The closest of names, when it is close enough to be what was meant. A name
// far longer than every one is a mistake of another kind: it gets none.
std::optional<V> Closest(V given, const std::vector<V>& names) {
  std::size_t longest = 0;
  for (V name : names)
    longest = std::max(longest, name.size());
  if (given.size() > 2 * longest) return std::nullopt;
  std::optional<V> best;
  std::size_t bestDistance = given.size() <= 4 ? 2 : 3;
  for (V name : names) {
    const std::size_t d = EditDistance(given, name, bestDistance);
    if (d < bestDistance) {
      bestDistance = d;
      best = name;
    }
  }
  return best;
}

// Names other tools use for what an option here does.
std::optional<V> OtherToolsName(V given) {
  static const std::pair<V, V> names[] = {
      {"bold", "--style Bold"},
      {"italic", "--style Italic"},
      {"bg", "--background"},
      {"bgcolor", "--background"},
      {"background-color", "--background"},
      {"fg", "--color"},
      {"foreground", "--color"},
      {"colour", "--color"},
      {"output", "--out"},
      {"font-size", "--size"},
      {"pointsize", "--size"},
      {"file", "--text-file"},
  };
  for (const auto& [other, ours] : names)
    if (given == other) return ours;
  return std::nullopt;
}

std::string DidYouMean(V given, const std::vector<TOptionSpec>& options, bool render) {
  if (render)
    if (const auto other = OtherToolsName(given))
      return "; did you mean " + std::string(*other) + "?";
  std::vector<V> names;
  for (const TOptionSpec& o : options)
    if (!o.Long.empty()) names.push_back(o.Long);
  if (const auto name = Closest(given, names))
    return "; did you mean --" + std::string(*name) + "?";
  return {};
}

constexpr V Commands[] = {"fonts", "render", "inspect", "help"};

// ---------------------------------------------------------------------------
// The scan of a command's arguments by getopt_long: which options were given
// with which values, and the operands.

struct TGiven {
  const TOptionSpec* Option;
  std::string Value;
  bool HasValue;
};

struct TScan {
  std::vector<TGiven> Options;
  std::vector<std::string> Operands;
  std::optional<TCommand> Answer;   // --help or --version, whichever came first
  std::optional<std::string> Error; // the first mistake
  int ErrorElement = -1;            // the argument it was in
  // The optional-value option given last without its value, for a hint when
  // its value follows as an operand.
  const TOptionSpec* BareOptional = nullptr;
  std::optional<std::string> BareOptionalHint;
};

// A colour option without its value: most often an unquoted # colour that
// the shell took, with the rest of the line, for a comment.
std::string MissingValue(const TOptionSpec& o) {
  std::string what = "--" + std::string(o.Long) + " needs a value";
  if (o.Value.starts_with(Colour))
    what +=
        " (an unquoted # colour is a shell comment: write --" + std::string(o.Long) + " '#RRGGBB')";
  return what;
}

TScan Scan(V command, const std::vector<TOptionSpec>& table, const std::vector<V>& args) {
  TScan scan;
  int element = 1;
  const auto fail = [&scan, &element](std::string what) {
    scan.ErrorElement = element;
    if (!scan.Error) scan.Error = std::move(what);
  };
  std::vector<const TOptionSpec*> specs; // by getopt's val minus 256
  std::vector<option> longs;
  std::string shorts = "-:"; // operands in order; ':' for a missing value
  for (const TOptionSpec& o : table) {
    if (o.Long.empty()) continue;
    const int has = o.Arg == TArg::None       ? no_argument
                    : o.Arg == TArg::Required ? required_argument
                                              : optional_argument;
    longs.push_back({o.Long.data(), has, nullptr, int(256 + specs.size())});
    specs.push_back(&o);
    if (o.Short) {
      shorts += o.Short;
      if (o.Arg == TArg::Required) shorts += ':';
      if (o.Arg == TArg::Optional) shorts += "::";
    }
  }
  longs.push_back({nullptr, 0, nullptr, 0});
  const auto byShort = [&](int c) -> const TOptionSpec* {
    for (const TOptionSpec* o : specs)
      if (o->Short == c) return o;
    return nullptr;
  };

  // getopt_long wants writable, NUL-ended strings and a name first.
  std::vector<std::string> words{"glyptika-cli " + std::string(command)};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);
  const int argc = int(words.size());

  opterr = 0;
  optind = 0; // starts glibc's scan afresh
  for (;;) {
    element = optind == 0 ? 1 : optind;
    int index = -1;
    const int c = getopt_long(argc, argv.data(), shorts.c_str(), longs.data(), &index);
    if (c == -1) break;
    const std::string written = element < argc ? words[std::size_t(element)] : std::string();
    const std::string writtenName = written.substr(0, written.find('='));
    if (c == 1) {
      scan.Operands.emplace_back(optarg);
      if (scan.BareOptional && scan.Operands.size() == 1)
        scan.BareOptionalHint = "; to give --" + std::string(scan.BareOptional->Long) +
                                " a value write --" + std::string(scan.BareOptional->Long) + "=" +
                                optarg;
      scan.BareOptional = nullptr;
      continue;
    }
    scan.BareOptional = nullptr;
    if (c == '?' || c == ':') {
      // Only the first mistake is told: the words for later ones, and their
      // suggestions, would be work for nothing on a line of many.
      if (scan.Error) {
        scan.ErrorElement = element;
        continue;
      }
      const TOptionSpec* known = optopt >= 256 ? specs[std::size_t(optopt - 256)]
                                 : optopt      ? byShort(optopt)
                                               : nullptr;
      if (c == ':' && known) {
        fail(MissingValue(*known));
      } else if (known) {
        fail("--" + std::string(known->Long) + " takes no value");
      } else if (optopt) {
        fail("unknown option \"-" + std::string(1, char(optopt)) + "\" for " +
             std::string(command) +
             DidYouMean(written.substr(1, written.find('=') - 1), table, command == "render"));
      } else {
        const V given = V(writtenName).substr(2);
        std::string matches;
        for (const TOptionSpec* o : specs)
          if (o->Long.starts_with(given))
            matches += (matches.empty() ? " --" : ", --") + std::string(o->Long);
        if (std::count(matches.begin(), matches.end(), ',') > 0)
          fail("option \"" + writtenName + "\" is ambiguous: it could be" + matches);
        else
          fail("unknown option \"" + writtenName + "\" for " + std::string(command) +
               DidYouMean(given, table, command == "render"));
      }
      continue;
    }
    const TOptionSpec& o = c >= 256 ? *specs[std::size_t(c - 256)] : *byShort(c);
    if (o.Long == "help" || o.Long == "version") {
      // An h after a mistake in one word ("-dash.gif") is no request for help.
      if (!scan.Answer && element != scan.ErrorElement)
        scan.Answer = o.Long == "help" ? TCommand::Help : TCommand::Version;
      continue;
    }
    const bool asLong = index >= 0;
    // "-text" is -t with the value "ext" to getopt; hardly ever what was meant.
    if (!asLong && optarg && written == "-" + std::string(1, char(c)) + optarg) {
      const V whole = V(written).substr(1, written.find('=') - 1);
      for (const TOptionSpec* other : specs)
        if (other->Long == whole && whole.size() > 1)
          fail("\"" + written + "\" reads as -" + std::string(1, char(c)) + " \"" + optarg +
               "\"; write --" + std::string(whole) + " (two dashes)");
    }
    if (o.Arg == TArg::Optional && !optarg) scan.BareOptional = &o;
    scan.Options.push_back({&o, optarg ? optarg : "", optarg != nullptr});
  }
  for (int i = optind; i < argc; ++i)
    scan.Operands.push_back(words[std::size_t(i)]);
  return scan;
}

void CheckRender(const TRenderOptions& o) {
  if (o.Source == TTextSource::None) Usage("render needs a text: --text, --text-file or --fill");
  if (o.Out.empty() && o.LinesDir.empty() && o.Html.empty())
    Usage("render needs somewhere to write: --out FILE, --lines DIR or --html FILE");
  if (o.MaskGiven && o.LinesDir.empty()) Usage("--mask goes with --lines");
  if (o.Html.empty() &&
      (o.Choices.IncludeScript || o.Choices.WriteSize || o.Choices.WriteAlt || o.PageOptionGiven))
    Usage("--script, --name, --sizes, --alt and --format go with --html");
  // The dialog offers the character page only without a shadow or shaping.
  if (!o.Html.empty() && o.Settings.Shadow)
    Usage("--html cannot be used with --shadow: each character's image would cut through the "
          "shadow of its neighbours");
  if (!o.Html.empty() && o.Settings.Shaping)
    Usage("--html cannot be used with --shaping: joined and reordered text has no image per "
          "character");
}

// The command a word names; Help for a word that names none.
TCommand CommandNamed(V name) {
  if (name == "fonts") return TCommand::Fonts;
  if (name == "render") return TCommand::Render;
  if (name == "inspect") return TCommand::Inspect;
  return TCommand::Help;
}

} // namespace

TColor ParseColor(std::string_view text, std::string_view option) {
  if (const std::optional<TColor> color = ParseColorText(text)) return *color;
  const std::string head = "bad colour " + Quote(text) + " for " + std::string(option) + ": ";
  const bool hexDigits =
      (text.size() == 3 || text.size() == 6) &&
      std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit((unsigned char)c); });
  if (hexDigits)
    Usage(head + "a hex colour starts with #, quoted for the shell: " + std::string(option) +
          " '#" + std::string(text) + "'");
  if (text.empty())
    Usage(head + "an unquoted # colour is a shell comment: write " + std::string(option) +
          " '#RRGGBB'");
  Usage(head + "expected #RGB, #RRGGBB or a CSS colour name (quote a # colour)");
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

std::string OptionsHelp(TCommand command) {
  constexpr std::size_t column = 26;
  std::string help;
  const std::vector<TOptionSpec>& options = OptionsOf(command);
  for (const TOptionSpec& o : options) {
    if (o.Long.empty()) {
      // Only the common options: they are the options.
      help += "\n" + std::string(&o == &options.front() ? "Options:" : o.Help) + "\n";
      continue;
    }
    std::string left = o.Short ? std::string("  -") + o.Short + ", --" : "      --";
    left += o.Long;
    if (o.Arg == TArg::Required) left += "=" + std::string(o.Value);
    if (o.Arg == TArg::Optional) left += "[=" + std::string(o.Value) + "]";
    help += left;
    if (left.size() + 2 > column) {
      help += "\n";
      left.clear();
    }
    help += std::string(column - left.size(), ' ');
    for (const char ch : o.Help) {
      help += ch;
      if (ch == '\n') help += std::string(column, ' ');
    }
    help += "\n";
  }
  return help;
}

TCommandLine ParseCommandLine(const std::vector<std::string_view>& args) {
  TCommandLine cl;
  if (args.empty()) Usage("no command given; try glyptika-cli --help");
  const V first = args[0];
  if (first == "-h" || first == "--help" || first == "help") {
    cl.Command = TCommand::Help;
    // "help --help" asks for the overview as "help" alone does.
    if (args.size() > 1 && args[1] != "-h" && args[1] != "--help")
      cl.HelpTopic = std::string(args[1]);
    return cl;
  }
  if (first == "-V" || first == "--version") {
    cl.Command = TCommand::Version;
    return cl;
  }
  if (first.starts_with("-")) {
    const V name = first.substr(0, first.find('='));
    for (const TOptionSpec& o : RenderOptions)
      if (!o.Long.empty() && name == "--" + std::string(o.Long))
        Usage("unknown option " + Quote(name) +
              ": give the command first, as in glyptika-cli render " + std::string(name) + " ...");
    Usage("unknown option " + Quote(name) + "; the commands are fonts, render and inspect");
  }
  const TCommand command = CommandNamed(first);
  if (command == TCommand::Help) {
    const auto guess = Closest(first, {std::begin(Commands), std::end(Commands)});
    Usage("unknown command " + Quote(first) + "; the commands are fonts, render and inspect" +
          (guess ? "; did you mean " + std::string(*guess) + "?" : ""));
  }

  const std::vector<TOptionSpec>& table = OptionsOf(command);
  const TScan scan = Scan(first, table, {args.begin() + 1, args.end()});
  // Help and the version win over whatever else is on the line, mistakes included.
  if (scan.Answer == TCommand::Help) {
    cl.Command = TCommand::Help;
    cl.HelpTopic = std::string(first);
    return cl;
  }
  if (scan.Answer == TCommand::Version) {
    cl.Command = TCommand::Version;
    return cl;
  }
  if (scan.Error) Usage(*scan.Error);
  cl.Command = command;
  for (const TGiven& g : scan.Options)
    g.Option->Apply(cl, g.Value, g.HasValue);

  switch (command) {
  case TCommand::Fonts:
    if (scan.Operands.size() > 1) Usage("fonts takes at most one face name");
    if (!scan.Operands.empty()) cl.FaceArg = scan.Operands[0];
    break;
  case TCommand::Inspect:
    if (scan.Operands.size() != 1)
      Usage("inspect takes one file: glyptika-cli inspect FILE.gif [--indices]");
    cl.InspectFile = scan.Operands[0];
    break;
  case TCommand::Render:
    if (!scan.Operands.empty())
      Usage("unexpected argument " + Quote(scan.Operands[0]) + " for render" +
            scan.BareOptionalHint.value_or(""));
    CheckRender(cl.Render);
    break;
  default:
    break;
  }
  return cl;
}

} // namespace cli
