// Saving renderings made with kerning and shaping or with kept overhangs.
#include "export/Export.h"
#include "export/ExportTestUtil.h"
#include "export/RenderSource.h"
#include "render/Render.h"
#include "support/UnattendedPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// An image cut to the box of its ink (what is not white): its size, then its pixels.
std::vector<std::uint32_t> Ink(const TSavedGif& g) {
  int left = g.Width, top = g.Height, right = 0, bottom = 0;
  for (int y = 0; y < g.Height; ++y)
    for (int x = 0; x < g.Width; ++x)
      if (g.At(x, y) != 0xFFFFFF) {
        left = std::min(left, x), right = std::max(right, x + 1);
        top = std::min(top, y), bottom = std::max(bottom, y + 1);
      }
  std::vector<std::uint32_t> ink{std::uint32_t(right - left), std::uint32_t(bottom - top)};
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      ink.push_back(g.At(x, y));
  return ink;
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

// Whether Part lies whole somewhere within Whole.
bool Within(const TSavedGif& Part, const TSavedGif& Whole) {
  for (int top = 0; top + Part.Height <= Whole.Height; ++top)
    for (int left = 0; left + Part.Width <= Whole.Width; ++left) {
      bool same = true;
      for (int y = 0; y < Part.Height && same; ++y)
        for (int x = 0; x < Part.Width && same; ++x)
          same = Part.At(x, y) == Whole.At(left + x, top + y);
      if (same) return true;
    }
  return false;
}

// A character is cut at its cell either way; a line's image grows by its
// own overhangs around what its cells hold.
TEST(TextOptionsExport, KeptOverhangsMoveTheCellsAndGrowOnlyLineImages) {
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
          if (kind == TSaveKind::Html)
            EXPECT_TRUE(SamePixels(plain[i].second, moved[i].second)) << plain[i].first;
          else
            EXPECT_TRUE(Within(plain[i].second, moved[i].second)) << plain[i].first;
        }
      }
}

TEST(TextOptionsExport, EachLineImageHoldsAllItsOwnInkAndNoneOfAnotherLines) {
  const std::string arabic = "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD8\xA7\xD9"
                             "\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85"; // مرحبا بالعالم
  struct Row {
    const char* What;
    std::vector<std::string> Lines;
    bool Shaping, Oblique, Shadow, Kept;
  } rows[] = {
      {"descenders over the next line, cut to cells", {arabic, "Hi"}, true, false, false, false},
      {"descenders over the next line, kept", {arabic, "Hi"}, true, false, false, true},
      {"a tail and accents over each other, kept",
       {"Jiff", "\xE1\xBB\x96 \xE1\xBA\xAA \xE1\xBA\xB6"}, // Ỗ Ẫ Ặ
       false,
       true,
       true,
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.What);
    TRenderSettings s = Settings(row.Lines);
    s.Size = 40;
    s.Shaping = row.Shaping;
    s.Italic = row.Oblique;
    s.Shadow = row.Shadow;
    s.ShadowDistance = 3;
    s.KeepOverhangs = row.Kept;
    TSaved all;
    Save(all, Render(s), TSaveKind::Lines);
    // Each line rendered by itself is the oracle of what is its own.
    for (const std::string& line : row.Lines) {
      s.Lines = {line};
      TSaved alone;
      Save(alone, Render(s), TSaveKind::Solid);
      EXPECT_EQ(Ink(ReadSavedGif(all.Dir.Folder() + line + ".gif")),
                Ink(ReadSavedGif(alone.Dir.Folder() + "all.gif")))
          << line;
    }
  }
}
