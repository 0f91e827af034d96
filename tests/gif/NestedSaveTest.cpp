// A save started from inside another save's progress report, as a window that
// keeps painting while it saves can do: both files must come out whole.
#include "CodecErrors.h"
#include "WriteHelpers.h"
#include "support/Files.h"
#include "support/GiflibDecode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes TextLike(int w, int h, int colors, unsigned seed) {
  std::mt19937 rng(seed);
  TBytes px(std::size_t(w) * std::size_t(h));
  for (auto& p : px)
    p = rng() % 4 ? 0 : std::uint8_t(rng() % unsigned(colors));
  return px;
}

TBytes ReadBytes(const std::filesystem::path& path) {
  const std::string bytes = ReadFile(path);
  return TBytes(bytes.begin(), bytes.end());
}

// Both decoders agree the stream holds exactly these pixels.
void ExpectPixels(const TBytes& gif, const TBytes& want, const char* what) {
  const GiflibGif g = GiflibDecode(gif);
  ASSERT_EQ(g.Error, "") << what;
  ASSERT_EQ(g.Images.size(), 1u) << what;
  EXPECT_EQ(g.Images[0].Pixels, want) << what << " as giflib reads it";
  TGif ours;
  ours.LoadFromBytes(gif);
  EXPECT_EQ(ours.GetImage(0).PixelIndices, want) << what << " as we read it";
}

// Runs Nested once, from the first running report of the outer save's encoder.
void NestOnce(TGif& Outer, std::function<void()> Nested) {
  Outer.OnProgress = [Nested = std::move(Nested), done = false](TGif&, TProgressStage stage,
                                                                std::uint8_t, bool, const TRect&,
                                                                const std::string& msg) mutable {
    if (done || stage != TProgressStage::psRunning || msg != "LZW encode image") return;
    done = true;
    Nested();
  };
}

TEST(NestedSave, SavesFromAProgressReportWriteWholeFiles) {
  const TBytes outerPx = TextLike(400, 300, 16, 1), innerPx = TextLike(300, 200, 256, 2);
  struct Row {
    const char* name;
    bool innerIsOuter; // the outer object saves itself again
  } rows[] = {{"another object", false}, {"the same object", true}};
  for (const Row& row : rows) {
    auto outer = MakeIndexedGif(400, 300, outerPx, 8);
    auto other = MakeIndexedGif(300, 200, innerPx, 8);
    TGif& inner = row.innerIsOuter ? *outer : *other;
    const TBytes& innerWant = row.innerIsOuter ? outerPx : innerPx;
    TBytes innerBytes;
    NestOnce(*outer, [&] { innerBytes = inner.SaveToBytes(); });
    const TBytes outerBytes = outer->SaveToBytes();
    ASSERT_FALSE(innerBytes.empty()) << row.name << ": the nested save never ran";
    ExpectPixels(outerBytes, outerPx, row.name);
    ExpectPixels(innerBytes, innerWant, row.name);
    outer->OnProgress = nullptr;
    EXPECT_EQ(outer->SaveToBytes(), outerBytes) << row.name << ": the next save differs";
  }
}

TEST(NestedSave, FilesSavedFromAProgressReportAreWhole) {
  const TTempDir dir;
  const TBytes outerPx = TextLike(500, 200, 4, 3), innerPx = TextLike(250, 120, 200, 4);
  auto outer = MakeIndexedGif(500, 200, outerPx, 8);
  auto inner = MakeIndexedGif(250, 120, innerPx, 8);
  NestOnce(*outer, [&] { inner->SaveToFile((dir / "inner.gif").string()); });
  outer->SaveToFile((dir / "outer.gif").string());
  ExpectPixels(ReadBytes(dir / "outer.gif"), outerPx, "outer file");
  ExpectPixels(ReadBytes(dir / "inner.gif"), innerPx, "inner file");
}

// A nested save that fails leaves the outer one to finish whole.
TEST(NestedSave, FailedNestedSaveLeavesTheOuterWhole) {
  const TBytes outerPx = TextLike(300, 300, 8, 5);
  auto outer = MakeIndexedGif(300, 300, outerPx, 8);
  auto bad = MakeIndexedGif(2, 1, {1, 9}, 2); // pixel 9 above the root codes of size 2
  int raised = -1;
  NestOnce(*outer, [&] { raised = ErrorCode([&] { bad->SaveToBytes(); }); });
  const TBytes outerBytes = outer->SaveToBytes();
  EXPECT_EQ(raised, 15);
  ExpectPixels(outerBytes, outerPx, "outer after a failed nested save");
}

} // namespace
