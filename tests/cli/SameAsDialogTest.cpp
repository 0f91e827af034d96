// `render --out` writes what "Convert" and then "Save as solid GIF-file" write
// for the same settings, with the dialog left as it opens.
#include "CliRunner.h"

#include "export/Export.h"
#include "export/RenderSource.h"
#include "render/Render.h"
#include "render/RenderSettings.h"
#include "support/UnattendedPlatform.h"

#include <functional>

using namespace clitest;

namespace {

// The window's way: settings from its controls, a rendering, the dialog, "Save".
std::string SavedByTheDialog(const TRenderSettings& settings, bool tickTransparent,
                             const fs::path& file) {
  std::optional<TRenderResult> rendering = TTextRasteriser().RenderText(settings, 96);
  if (!rendering) return {};
  TCTable dialog;
  dialog.Prepare(ExportSourceOf(*rendering));
  if (tickTransparent) dialog.CBTransparentClick(true);
  TUnattendedPlatform platform;
  platform.SaveFileName = file.string();
  dialog.Choices.Save = TSaveKind::Solid;
  dialog.BSaveClick(platform);
  return ReadFile(file);
}

TEST(SameAsDialog, RenderOutIsByteForByteTheSolidSave) {
  struct Case {
    const char* Name;
    std::vector<std::string> Args;
    std::function<void(TRenderSettings&)> Set;
    bool Transparent = false;
  };
  const std::vector<Case> cases = {
      {"the window as it opens", {}, [](TRenderSettings&) {}},
      {"shadow, centre, colours",
       {"--shadow=3", "--align", "center", "--color", "#102030", "--background", "#F0E0D0",
        "--shadow-color", "#808000"},
       [](TRenderSettings& s) {
         s.Shadow = true;
         s.ShadowDistance = 3;
         s.Align = TAlign::Center;
         s.TextColor = RGB(0x10, 0x20, 0x30);
         s.BackColor = RGB(0xF0, 0xE0, 0xD0);
         s.ShadowColor = RGB(0x80, 0x80, 0x00);
       }},
      {"the default shadow colour", {"--shadow"}, [](TRenderSettings& s) { s.Shadow = true; }},
      {"face, style, underline, two-colour edges, user width",
       {"--font", "Liberation Serif", "--style", "Bold Italic", "--underline", "--no-antialias",
        "--width", "200", "--align", "right"},
       [](TRenderSettings& s) {
         s.FaceName = "Liberation Serif";
         s.Bold = s.Italic = true;
         s.Underline = true;
         s.AntiAlias = false;
         s.WidthMode = TWidthMode::UserWidth;
         s.UserWidth = 200;
         s.Align = TAlign::Right;
       }},
      {"transparent background", {"--transparent"}, [](TRenderSettings&) {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempDir dir;
    std::vector<std::string> args = {"render", "--text", "Glyph & Co.", "--text",
                                     "",       "--text", "x = 42"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    args.insert(args.end(), {"--out", (dir / "cli.gif").string()});
    const TRun r = RunCli(args);
    ASSERT_EQ(r.Exit, 0) << Describe(args, r);

    TRenderSettings settings;
    settings.FaceName = "DejaVu Sans"; // the tests' match for sans-serif
    settings.Lines = {"Glyph & Co.", "", "x = 42"};
    c.Set(settings);
    const std::string want = SavedByTheDialog(settings, c.Transparent, dir / "dialog.gif");
    ASSERT_FALSE(want.empty());
    EXPECT_TRUE(ReadFile(dir / "cli.gif") == want) << "the files differ";
  }
}

} // namespace
