#include "cli/Help.h"

#include "cli/Options.h"

namespace cli {

namespace {

// The help is also the manual page (help2man reads it): a "Usage:" line,
// options indented by two spaces, sections headed by a line ending in ":",
// examples apart so that they are not run together into one paragraph.
constexpr const char* Overview = R"(Usage: glyptika-cli COMMAND [OPTION]... [ARGUMENT]...
  or:  glyptika-cli --help | --version
Turn text, set in an installed font, into GIF or PNG images for web pages.

Commands:
  fonts [FACE]            list the installed faces, or the styles of FACE
  render OPTION...        render text and save it as GIF or PNG files or an
                          HTML page
  inspect FILE            print what a GIF or PNG file holds
  help [COMMAND|all]      print the help of a command, or of all of them

Run `glyptika-cli COMMAND --help` for the options of a command. Every command
takes -h/--help and -V/--version; `--` ends the options, so that an operand may
start with "-". An option's value may start with "-" too (--text -h renders
"-h"), and an option's name may be shortened while it stays unambiguous.
)";

constexpr const char* OverviewEnd = R"(
Exit status:
  0  done
  1  inspect: the file is neither a GIF nor a PNG, or its reader refuses it
     (the reader's message, "TGif: ..." or "PNG: ...", goes to standard error)
  2  a bad option or value, unreadable input, a face that is not installed,
     a file name refused, or an output that cannot be written

Environment:
  GLYPTIKA_FONT_ANSWERS=off
                          ask fontconfig every time; otherwise its answers are
                          kept under $XDG_CACHE_HOME/glyptika (~/.cache) while
                          the fonts and configuration they came from stay
                          unchanged

Examples:
  glyptika-cli fonts

  glyptika-cli render -t "Hello World" -o hello.gif

  glyptika-cli inspect hello.gif
)";

constexpr const char* FontsHead = R"(Usage: glyptika-cli fonts [OPTION]... [FACE]
Without FACE, list every installed face, one per line, sorted without regard
to case. With FACE, list the styles of that face in the order the style list
shows them (regular, italic, bold, bold italic).
)";

constexpr const char* FontsEnd = R"(
Exit status: 0 done; 2 FACE is not installed (the message names the face that
would stand in).
)";

constexpr const char* RenderHead = R"(Usage: glyptika-cli render [OPTION]...
Render text as the main window does, then save it as the colour table dialog
does. Give one text and one or more outputs; options not given keep the main
window's initial values. Quote a colour that starts with #: unquoted, the
shell takes it and the rest of the line as a comment.
)";

constexpr const char* RenderEnd = R"(
An output's folder is made when it does not exist. A --out name must end in
.gif or .png (or have no extension, and get .gif). An output that names a
folder (DIR, DIR/, .) is refused. An existing file is replaced only when its
new content is complete, and no file appears under its final name before its
content is whole. A page whose img_char/ cannot be made or used is not
written. A line whose file name cannot be made (its text holds "/", the name
is too long, the folder cannot be written) is reported and the other lines are
saved.

Limits: a rendering has at most 2^25 pixels (8192 x 4096, say); with --out it
is at most 65535 pixels wide and high, as a GIF is. Both are checked after
measuring, before any image is made; with --scale, for the larger rendering
too, before any file is written.

Examples:
  glyptika-cli render --text "Hello World" --out hello.gif

  glyptika-cli render -f "DejaVu Serif" --style Bold -s 48 --color white \
      --background '#003366' --shadow=2 -t Hello -t World -o banner.gif

  glyptika-cli render --fill caps --lines caps --mask 'letter_%s.gif' \
      --transparent

  glyptika-cli render --text "Hello World" --out hello.png --transparent \
      --scale 2

Exit status: 0 done; 2 bad arguments, unreadable text, a face that is not
installed, or an output that cannot be written.
)";

constexpr const char* InspectHead = R"(Usage: glyptika-cli inspect [OPTION]... FILE
Print what the reader sees in FILE. Of a GIF: the signature, the logical
screen, every colour table, and for each image its descriptor and the
extensions before it, with their fields. Of a PNG: its size, colour type and
bit depth, interlacing, whether it has alpha and from where (an alpha channel
or a tRNS chunk), its palette's size, and its chunks in file order with the
length of each; the whole file is read, so a damaged one is refused, and
--indices adds nothing.
)";

constexpr const char* InspectEnd = R"(
Exit status: 0 done; 1 the file is neither a GIF nor a PNG, or its reader
refuses it (the reader's message, "TGif: ..." or "PNG: ...", goes to standard
error); 2 the file cannot be read.
)";

std::string CommandHelp(const char* head, TCommand command, const char* end) {
  return head + OptionsHelp(command) + end;
}

} // namespace

std::optional<std::string> HelpText(std::string_view topic) {
  if (topic.empty()) return Overview + OptionsHelp(TCommand::Help) + OverviewEnd;
  if (topic == "fonts") return CommandHelp(FontsHead, TCommand::Fonts, FontsEnd);
  if (topic == "render") return CommandHelp(RenderHead, TCommand::Render, RenderEnd);
  if (topic == "inspect") return CommandHelp(InspectHead, TCommand::Inspect, InspectEnd);
  if (topic == "all") {
    std::string all = *HelpText("");
    for (const char* command : {"fonts", "render", "inspect"}) {
      // Appended in two steps: GCC 12 at -O3 takes "\n" + string for an overlapping copy.
      all += '\n';
      all += *HelpText(command);
    }
    return all;
  }
  return std::nullopt;
}

std::string VersionText() {
  return "glyptika-cli " GLYPTIKA_VERSION "\n";
}

} // namespace cli
