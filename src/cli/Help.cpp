#include "cli/Help.h"

namespace cli {

namespace {

constexpr const char* Overview = R"(Usage: glyptika-cli COMMAND [OPTIONS]

Turns text, set in an installed font, into GIF images for web pages.

Commands:
  fonts [FACE]           list the installed faces, or the styles of FACE
  render OPTIONS         render text and save it as GIF files or an HTML page
  inspect FILE [--indices]
                         print what a GIF file holds

Run `glyptika-cli COMMAND --help` for the options of a command.

Exit status: 0 done; 1 inspect: the file is not a GIF that can be read;
2 bad arguments, unreadable input or an output that cannot be written.

fontconfig's answers are kept under $XDG_CACHE_HOME/glyptika (~/.cache) while
the fonts and configuration they came from stay unchanged;
GLYPTIKA_FONT_ANSWERS=off asks fontconfig every time.
)";

constexpr const char* Fonts = R"(Usage: glyptika-cli fonts [FACE]

Without FACE: lists every installed face, one per line, sorted without regard
to case. With FACE: lists the styles of that face in the order the style list
shows them (regular, italic, bold, bold italic).

Exit status: 0 done; 2 FACE is not installed.
)";

constexpr const char* Render = R"(Usage: glyptika-cli render TEXT OUTPUT [OPTIONS]

Renders the text as the main window does, then saves it as the colour table
dialog does. Options not given keep the main window's initial values.

Text (one of):
  --text LINE            a line of text; repeat for more lines
  --text-file FILE       UTF-8 text, one line per line, at most 1 MiB;
                         - reads standard input
  --fill SET             digits, calendar (1 to 31), caps (A to Z) or all
                         (the characters of Windows-1252 codes 32 to 255)

Font:
  --font FACE            installed face (default: the match for sans-serif)
  --style NAME           one of the styles `fonts FACE` lists (default: the first)
  --size N               1 to 1000 (default 30)
  --unit px|pt           unit of --size (default px)
  --dpi N                resolution for pt sizes (default 96)
  --underline            underline every line
  --no-antialias         two-colour glyph edges

Look:
  --color #RRGGBB        text colour (default #000000)
  --background #RRGGBB   background colour (default #FFFFFF)
  --shadow[=DIST]        drop shadow DIST pixels right and down, 1 to 20 (default 1)
  --shadow-color #RRGGBB shadow colour (default #A0A0A0)
  --align left|center|right
                         alignment of the lines (default left)
  --width string|max|N   per-line images as wide as their line (string), as the
                         widest line (max, the default), or a width of N pixels

Colour table:
  --recolor #RRGGBB=#RRGGBB
                         give a colour the rendering uses a new value; repeatable
  --transparent          make the background colour transparent in every file

Output (one or more):
  --out FILE             the whole rendering as one GIF ("Save as solid GIF-file");
                         ".gif" is added to a name without an extension
  --lines DIR            one GIF per non-empty line into DIR
    --mask MASK          file name mask: %t the line's text, %n its number
                         (default "%t.gif")
  --html FILE            an HTML page of one GIF per character, the images in
                         img_char/ beside it (not with --shadow)
    --script             write the page as a script instead of plain tags
    --name char|code     name the images by character or by code (default code)
    --sizes              write each image's width and height into the page
    --alt                write each character as its image's alt text

An output that names a folder (DIR, DIR/, .) is refused. An existing file is
replaced only when its new content is complete, and no file appears under its
final name before its content is whole. A page whose img_char/ cannot be made
or used is not written.

Limits: a rendering has at most 2^25 pixels (8192 x 4096, say); with --out it
is at most 65535 pixels wide and high, as a GIF is. Both are checked after
measuring, before any image is made.

Examples:
  glyptika-cli render --text "Hello World" --out hello.gif
  glyptika-cli render --font "DejaVu Serif" --style Bold --size 48 \
      --color '#FFFFFF' --background '#003366' --shadow=2 \
      --text Hello --text World --out banner.gif
  glyptika-cli render --fill caps --lines caps --mask 'letter_%t.gif' --transparent

Exit status: 0 done; 2 bad arguments, unreadable text, a face that is not
installed, or an output that cannot be written.
)";

constexpr const char* Inspect = R"(Usage: glyptika-cli inspect FILE [--indices]

Prints what the GIF reader sees in FILE: the signature, the logical screen,
every colour table, and for each image its descriptor and the extensions
before it, with their fields.

  --indices              after each image's header, its rows in display order,
                         one line per row, each colour index as two hex digits

Exit status: 0 done; 1 the file is not a GIF the reader accepts (the reader's
message, "TGif: ...", goes to standard error); 2 the file cannot be read.
)";

} // namespace

const char* HelpText(std::string_view topic) {
  if (topic.empty()) return Overview;
  if (topic == "fonts") return Fonts;
  if (topic == "render") return Render;
  if (topic == "inspect") return Inspect;
  return nullptr;
}

} // namespace cli
