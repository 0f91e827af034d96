// Saving renderings made with kerning and shaping or with kept overhangs.
#include "export/Export.h"
#include "export/ExportTestUtil.h"
#include "export/RenderSource.h"
#include "main/Render.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TRenderResult Render(TRenderSettings s) {
  TTextRasteriser rasteriser;
  return *rasteriser.RenderText(s, 96);
}

TRenderSettings Settings(std::vector<std::string> lines) {
  TRenderSettings s;
  s.FaceName = "DejaVu Sans";
  s.Size = 36;
  s.Lines = std::move(lines);
  return s;
}

struct TSaved {
  TTempDir Dir;
  TUnattendedPlatform Platform;
  TCTable Table;
};

// Every file a save wrote, by name, with its pixels.
std::vector<std::pair<std::string, TSavedGif>> Saved(TSaved& run) {
  std::vector<std::pair<std::string, TSavedGif>> files;
  for (const std::string& name : run.Dir.Files())
    if (name.ends_with(".gif")) files.emplace_back(name, ReadSavedGif(run.Dir.Folder() + name));
  return files;
}

bool SamePixels(const TSavedGif& a, const TSavedGif& b) {
  if (a.Width != b.Width || a.Height != b.Height) return false;
  for (int y = 0; y < a.Height; ++y)
    for (int x = 0; x < a.Width; ++x)
      if (a.At(x, y) != b.At(x, y)) return false;
  return true;
}

void Save(TSaved& run, const TRenderResult& r, TSaveKind kind) {
  run.Table.Choices.Save = kind;
  run.Table.Prepare(ExportSourceOf(r));
  run.Platform.Folder = run.Dir.Folder();
  run.Platform.SaveFileName =
      run.Dir.Folder() + (kind == TSaveKind::Html ? "page.html" : "all.gif");
  run.Table.BSaveClick(run.Platform);
}

} // namespace

TEST(TextOptionsExport, TheCharacterPageIsRefusedForShapedText) {
  TRenderSettings s = Settings({"AVATAR"});
  s.Shaping = true;
  const TRenderResult r = Render(s);
  TSaved run;
  try {
    Save(run, r, TSaveKind::Html);
    ADD_FAILURE() << "the page was made";
  } catch (const EExportError& e) {
    EXPECT_NE(std::string(e.what()).find("kerning and shaping"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(run.Dir.Files().empty());
  // The other two saves take the shaped lines.
  for (TSaveKind kind : {TSaveKind::Lines, TSaveKind::Solid}) {
    TSaved other;
    Save(other, r, kind);
    const auto files = Saved(other);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].second.Width, r.FPreview.Width());
  }
}

TEST(TextOptionsExport, KeptOverhangsMoveTheCellsButCutTheSameImages) {
  for (TWidthMode mode : {TWidthMode::ToString, TWidthMode::ToMaxString})
    for (TAlign align : {TAlign::Left, TAlign::Center, TAlign::Right})
      for (TSaveKind kind : {TSaveKind::Lines, TSaveKind::Html}) {
        SCOPED_TRACE(std::to_string(int(mode)) + " " + std::to_string(int(align)) + " " +
                     std::to_string(int(kind)));
        TRenderSettings s = Settings({"\xE1\xBB\x96"
                                      "f",
                                      "\xE1\xB8\x96x gj"}); // Ỗf, Ḗx gj
        s.FaceName = "DejaVu Serif";
        s.Italic = true;
        s.WidthMode = mode;
        s.Align = align;
        const TRenderResult cells = Render(s);
        s.KeepOverhangs = true;
        const TRenderResult kept = Render(s);
        ASSERT_GT(kept.TextRect.Top, 0);
        TSaved plainRun, keptRun;
        Save(plainRun, cells, kind);
        Save(keptRun, kept, kind);
        const auto plain = Saved(plainRun), moved = Saved(keptRun);
        ASSERT_EQ(plain.size(), moved.size());
        ASSERT_FALSE(plain.empty());
        for (std::size_t i = 0; i < plain.size(); ++i) {
          EXPECT_EQ(plain[i].first, moved[i].first);
          EXPECT_TRUE(SamePixels(plain[i].second, moved[i].second)) << plain[i].first;
        }
      }
}
