// Arguments a user gets wrong: each gives one clear line and exit 2, and writes nothing.
#include "CliRunner.h"

using namespace clitest;

namespace {

struct TBadArgs {
  const char* Name;
  std::vector<std::string> Args;
  const char* Says; // a phrase the error line must hold
};

// A render that would succeed but for Extra.
std::vector<std::string> R(std::vector<std::string> extra) {
  std::vector<std::string> args = {"render", "--text", "A", "--out", "a.gif"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

const std::vector<TBadArgs> BadArgs = {
    {"NoCommand", {}, "no command"},
    {"UnknownCommand", {"draw"}, "unknown command \"draw\""},
    {"UnknownOption", R({"--bold"}), "unknown option \"--bold\""},
    {"OptionWithoutValue", {"render", "--text", "A", "--out"}, "--out needs a value"},
    {"ValueOnAFlag", R({"--underline=yes"}), "--underline takes no value"},
    {"ColourWithoutHash", R({"--color", "FF0000"}), "bad colour \"FF0000\""},
    {"ColourOfFourDigits", R({"--background=#FFFF"}), "bad colour \"#FFFF\""},
    {"ColourNameUnknown", R({"--color", "reddish"}), "CSS colour name"},
    {"ColourNotHex", R({"--shadow-color", "#GG0000"}), "bad colour"},
    {"RecolourWithoutTarget", R({"--recolor", "#000000"}), "#RRGGBB=#RRGGBB"},
    {"EmptyFace", R({"--font", ""}), "bad value \"\" for --font"},
    {"SizeZero", R({"--size", "0"}), "--size"},
    {"SizeTooLarge", R({"--size", "1001"}), "1 to 1000"},
    {"SizeNotANumber", R({"--size", "big"}), "--size"},
    {"UnknownUnit", R({"--unit", "em"}), "px|pt"},
    {"ShadowTooFar", R({"--shadow=21"}), "1 to 20"},
    {"ShadowZero", R({"--shadow=0"}), "--shadow"},
    {"UnknownAlignment", R({"--align", "middle"}), "left|center|right"},
    {"WidthWord", R({"--width", "wide"}), "--width"},
    {"WidthTooLarge", R({"--width", "32001"}), "0 to 32000"},
    {"NegativeWidth", R({"--width=-5"}), "--width"},
    {"UnknownFill", {"render", "--fill", "greek", "--out", "a.gif"}, "digits|calendar|caps|all"},
    {"TwoTextSources",
     {"render", "--text", "A", "--fill", "caps", "--out", "a.gif"},
     "one way only"},
    {"NoText", {"render", "--out", "a.gif"}, "needs a text"},
    {"NoOutput", {"render", "--text", "A"}, "somewhere to write"},
    {"MaskWithoutLines", R({"--mask", "%n.gif"}), "--mask goes with --lines"},
    {"PageOptionWithoutPage", R({"--alt"}), "go with --html"},
    {"PageWithShadow",
     {"render", "--text", "A", "--html", "a.html", "--shadow"},
     "--html cannot be used with --shadow"},
    {"TextNotUtf8", {"render", "--text", "caf\xE9", "--out", "a.gif"}, "not UTF-8"},
    {"TextFileMissing",
     {"render", "--text-file", "missing.txt", "--out", "a.gif"},
     "cannot read text file \"missing.txt\""},
    {"TextFileIsAFolder",
     {"render", "--text-file", ".", "--out", "a.gif"},
     "cannot read text file"},
    {"InspectWithoutFile", {"inspect"}, "inspect takes one file"},
    {"InspectUnknownOption", {"inspect", "a.gif", "--rows"}, "unknown option \"--rows\""},
    {"FontsTwoFaces", {"fonts", "A", "B"}, "at most one face"},
    {"HelpOnNothing", {"help", "paint"}, "no help for \"paint\""},
    // Mistakes a shell user makes, each answered with what to write instead.
    {"MisspeltOption", R({"--colr=red"}),
     "unknown option \"--colr\" for render; did you mean --color?"},
    {"SwappedLetters", R({"--undelrine"}), "did you mean --underline?"},
    {"AnotherToolsName", R({"--bold"}), "did you mean --style Bold?"},
    {"MisspeltCommand", {"rendr", "--text", "A"}, "did you mean render?"},
    {"InspectOptionMisspelt", {"inspect", "a.gif", "--indexes"}, "did you mean --indices?"},
    // As many as fit on a command line, each as long as one can be: no suggestion.
    {"LongUnknownOptions", R(std::vector<std::string>(14, "--" + std::string(131000, 'x'))),
     "x\" for render\n"},
    {"AmbiguousShortening", R({"--sha"}),
     "\"--sha\" is ambiguous: it could be --shaping, --shadow, --shadow-color"},
    {"OptionBeforeTheCommand", {"--text", "A", "render"}, "give the command first"},
    {"UnknownShortOption", R({"-x"}), "unknown option \"-x\""},
    {"SingleDashLongName", {"render", "-text", "A", "--out", "a.gif"}, "write --text (two dashes)"},
    {"OptionalValueWithASpace", R({"--shadow", "2"}), "write --shadow=2"},
    {"ColourWithoutHashHint", R({"--color", "FF8000"}), "--color '#FF8000'"},
    {"ColourEatenAsAComment",
     {"render", "--text", "A", "--out", "a.gif", "--color"},
     "an unquoted # colour is a shell comment"},
    {"ColourEmpty", R({"--background="}), "an unquoted # colour is a shell comment"},
    {"RecolourEaten", R({"--recolor"}), "--recolor '#RRGGBB'"},
    {"ShortOptionWithoutValue", {"render", "--text", "A", "-o"}, "--out needs a value"},
    {"ValueOnHelp", R({"--help=render"}), "--help takes no value"},
    {"OperandsAfterDashDash", R({"--", "--underline"}), "unexpected argument \"--underline\""},
    {"OutNeitherGifNorPng",
     {"render", "--text", "A", "--out", "hi.webp"},
     "\"hi.webp\": the name must end in .gif or .png"},
    {"OutNotGifInAFolderToMake",
     {"render", "--text", "A", "--out", "new/hi.jpeg"},
     "must end in .gif or .png"},
    {"ScaleOutOfRange", R({"--scale", "4"}), "--scale"},
    {"OutTooLong",
     {"render", "--text", "A", "--out", std::string(256, 'n') + ".gif"},
     "the name is too long (260 bytes; at most 255)"},
    {"MaskWithoutAnyPlaceholder",
     {"render", "--text", "A", "--lines", "l", "--mask", "%0n.gif"},
     "none of %t, %s, %n and %0Nn"},
};

void PrintTo(const TBadArgs& c, std::ostream* os) {
  *os << c.Name;
}

class BadArguments : public testing::TestWithParam<TBadArgs> {};

TEST_P(BadArguments, GiveOneLineAndExitTwoWritingNothing) {
  TTempDir dir;
  const TBadArgs& c = GetParam();
  const TRun r = RunCli(c.Args, {}, dir.Path());
  EXPECT_EQ(r.Exit, 2) << Describe(c.Args, r);
  ExpectOneErrorLine(r);
  EXPECT_NE(r.Err.find(c.Says), std::string::npos) << "want \"" << c.Says << "\" in: " << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_TRUE(fs::is_empty(dir.Path())) << "something was written for " << Describe(c.Args, r);
}

INSTANTIATE_TEST_SUITE_P(Cli, BadArguments, testing::ValuesIn(BadArgs),
                         [](const testing::TestParamInfo<TBadArgs>& row) {
                           return std::string(row.param.Name);
                         });

TEST(Help, EveryCommandExplainsItselfAndExitsZero) {
  struct Case {
    std::vector<std::string> Args;
    std::vector<std::string> Mentions;
  };
  const std::vector<Case> cases = {
      {{"--help"}, {"fonts", "render", "inspect", "Exit status"}},
      {{"fonts", "--help"}, {"Usage: glyptika-cli fonts", "[FACE]", "--version"}},
      {{"inspect", "--help"}, {"--indices", "TGif: "}},
      {{"render", "--help"},
       {"-t, --text=LINE",
        "-o, --out=FILE",
        "-f, --font=FACE",
        "-s, --size=N",
        "%0Nn",
        "%s",
        "--font",
        "--style",
        "--size",
        "--unit",
        "--dpi",
        "--underline",
        "--no-antialias",
        "--color",
        "--background",
        "--shadow-color",
        "--shadow[=DIST]",
        "--align",
        "--width",
        "--text",
        "--text-file",
        "--fill",
        "--transparent",
        "--recolor",
        "--out",
        "--lines",
        "--mask",
        "--html",
        "--script",
        "--name",
        "--sizes",
        "--alt",
        "Exit status"}},
      // Help wins over whatever else is on the line, even a mistake.
      {{"render", "--size", "0", "--help"}, {"--size"}},
      {{"render", "--text", "A", "--help"}, {"--text-file"}},
      {{"render", "-t", "A", "-h", "--bold"}, {"--text-file"}},
      {{"help", "all"}, {"Usage: glyptika-cli render", "Usage: glyptika-cli inspect", "Commands:"}},
      {{"-h"}, {"-V, --version", "Exit status:"}},
      {{"help", "--help"}, {"Commands:"}},
      {{"--help", "render"}, {"--text-file"}},
  };
  for (const Case& c : cases) {
    const TRun r = RunCli(c.Args);
    EXPECT_EQ(r.Exit, 0) << Describe(c.Args, r);
    EXPECT_EQ(r.Err, "");
    for (const std::string& m : c.Mentions)
      EXPECT_NE(r.Out.find(m), std::string::npos)
          << "want \"" << m << "\" in help of " << c.Args[0];
  }
}

} // namespace

namespace {

// The help is the manual page too: help2man needs a usage line, options
// indented by two spaces, and lines that fit a terminal.
TEST(Help, ReadsAsAManualPageWouldAndFitsEightyColumns) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"render", "--help"},
                                               {"fonts", "--help"},
                                               {"inspect", "--help"}}) {
    const TRun r = RunCli(args);
    ASSERT_EQ(r.Exit, 0) << Describe(args, r);
    EXPECT_TRUE(r.Out.starts_with("Usage: glyptika-cli")) << r.Out;
    EXPECT_NE(r.Out.find("\n  -h, --help "), std::string::npos) << r.Out;
    for (const std::string& line : Lines(r.Out))
      EXPECT_LE(line.size(), 80u) << line;
  }
}

TEST(Version, EveryCommandAndTheProgramAnswerWithNameAndVersion) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--version"},
                                               {"-V"},
                                               {"render", "--version"},
                                               {"render", "-t", "A", "-V"},
                                               {"fonts", "-V"},
                                               {"inspect", "--version"},
                                               {"render", "--size", "0", "--version"}}) {
    const TRun r = RunCli(args);
    EXPECT_EQ(r.Exit, 0) << Describe(args, r);
    EXPECT_TRUE(r.Out.starts_with("glyptika-cli ")) << r.Out;
    EXPECT_EQ(Lines(r.Out).size(), 1u) << r.Out;
    EXPECT_GT(r.Out.size(), std::string("glyptika-cli \n").size()) << r.Out;
    EXPECT_EQ(r.Err, "");
  }
}

} // namespace
