#include "CodecErrors.h"
#include "WriteHelpers.h"
#include "support/Files.h"
#include "support/GiflibDecode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Slice(const Bytes& b, std::size_t from, std::size_t n) {
  return Bytes(b.begin() + std::ptrdiff_t(from), b.begin() + std::ptrdiff_t(from + n));
}

// The export's GIF of a 3-colour rendering, 20 by 10, transparent background.
TEST(Write, WorkedExportGif) {
  TBitmap b(20, 10);
  b.Fill(RGB(255, 255, 255));
  b.SetPixel(5, 5, RGB(0, 0, 0));
  b.SetPixel(6, 5, RGB(200, 0, 0));
  auto gif = TGif::CreateFromBitmap(b);
  gif->SetTransparent(true);
  const Bytes out = gif->SaveToBytes();
  // The model's screen is 0 x 0; the file declares one that holds the image.
  const Bytes head = {'G', 'I', 'F', '8',  '9', 'a', 0x14, 0, 0x0A, 0, 0x91, 0,    0,    255,  255,
                      255, 0,   0,   0,    200, 0,   0,    0, 0,    0, 0x21, 0xF9, 0x04, 0x01, 0,
                      0,   0,   0,   0x2C, 0,   0,   0,    0, 0x14, 0, 0x0A, 0,    0x01, 0x08};
  EXPECT_EQ(Slice(out, 0, head.size()), head);
  EXPECT_EQ(out.back(), 0x3B);
  EXPECT_EQ(out[out.size() - 2], 0x00);
  EXPECT_EQ(gif->Signature(), "GIF89a");
  EXPECT_EQ(gif->Width(), 0) << "saving leaves the model's screen as it was";
  EXPECT_EQ(gif->Height(), 0);
}

TEST(Write, SignatureFollowsTheExtensionLists) {
  struct Row {
    const char* name;
    int images;
    enum { None, Empty, Comment } ext;
    const char* want;
  } rows[] = {
      {"one image, no list", 1, Row::None, "GIF87a"},
      {"one image, empty list", 1, Row::Empty, "GIF89a"},
      {"one image, a comment", 1, Row::Comment, "GIF89a"},
      {"two images, no lists", 2, Row::None, "GIF89a"},
      {"no image", 0, Row::None, "GIF89a"},
  };
  for (const Row& row : rows) {
    TGif gif;
    for (int i = 0; i < row.images; ++i)
      gif.AddBitmap(TBitmap(2, 2));
    for (int i = 0; i < row.images; ++i) {
      auto& list = gif.GetImage(i).Extensions;
      list.reset();
      if (row.ext != Row::None) list.emplace();
      if (row.ext == Row::Comment) {
        TGifExtension c;
        c.Kind = 0xFE;
        list->push_back(c);
      }
    }
    const Bytes out = gif.SaveToBytes();
    EXPECT_EQ(std::string(out.begin(), out.begin() + 6), row.want) << row.name;
    EXPECT_EQ(gif.Signature(), row.want) << row.name;
    EXPECT_TRUE(GiflibDecode(out).Error.empty()) << row.name;
  }
}

TEST(Write, EmptyObjectGivesScreenAndTrailer) {
  TGif gif;
  const Bytes want = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0x70, 0, 0, 0x3B};
  EXPECT_EQ(gif.SaveToBytes(), want); // no global table: resolution bits all set
}

TEST(Write, FlagsOf256ColourImage) {
  TBitmap b(16, 16);
  for (int i = 0; i < 256; ++i)
    b.SetPixel(i % 16, i / 16, RGB(i, 255 - i, i / 2));
  auto gif = TGif::CreateFromBitmap(b);
  const Bytes out = gif->SaveToBytes();
  EXPECT_EQ(out[10], 0xF7);
  const std::size_t desc = 13 + 768 + 8; // screen, table, graphic control
  ASSERT_EQ(out[desc], 0x2C);
  EXPECT_EQ(out[desc + 9], 0x07);
}

TEST(Write, ImageDataIsCutInto255ByteSubBlocks) {
  struct Row {
    const char* name;
    int pixels; // uncompressed at 8 bits: one byte each after the bit count
    std::vector<int> blocks;
  } rows[] = {
      {"255 bytes", 254, {255}},
      {"256 bytes", 255, {255, 1}},
      {"511 bytes", 510, {255, 255, 1}},
  };
  for (const Row& row : rows) {
    auto gif = MakeIndexedGif(row.pixels, 1, Bytes(std::size_t(row.pixels), 9), 0);
    const Bytes out = gif->SaveToBytes();
    std::size_t at = 13 + 768 + 10 + 1;
    std::vector<int> blocks;
    while (out[at] != 0) {
      blocks.push_back(out[at]);
      at += 1 + out[at];
    }
    EXPECT_EQ(blocks, row.blocks) << row.name;
    EXPECT_EQ(Slice(out, at, 2), (Bytes{0x00, 0x3B})) << row.name;
  }
}

// The bytes between the screen (global table of 2) and the image separator.
Bytes ExtensionBytes(const TGifExtension& ext) {
  auto gif = TGif::CreateFromBitmap(TBitmap(1, 1));
  gif->GetImage(0).Extensions = std::vector<TGifExtension>{ext};
  const Bytes out = gif->SaveToBytes();
  std::size_t end = 19;
  while (end + 10 < out.size() && !(out[end] == 0x2C && out[end + 10] == 0x08))
    ++end;
  return Slice(out, 19, end - 19);
}

TEST(Write, ExtensionBlocks) {
  TGifExtension comment;
  comment.Kind = 0xFE;
  comment.Data = {{1, 2, 3}, {}, {4, 5, 6, 7, 8}};

  TGifExtension text;
  text.Kind = 0x01;
  text.BlockSize = 12;
  text.GridLeft = 0x102;
  text.GridTop = 3;
  text.GridWidth = 40;
  text.GridHeight = 8;
  text.CellWidth = 5;
  text.CellHeight = 8;
  text.ForegroundIndex = 1;
  text.BackgroundIndex = 0;
  text.Data = {{'h', 'i'}};

  TGifExtension app;
  app.Kind = 0xFF;
  app.BlockSize = 11;
  app.Identifier = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E'};
  app.AuthCode = {'2', '.', '0'};
  app.Data = {{1, 0, 0}};

  TGifExtension control;
  control.Kind = 0xF9;
  control.BlockSize = 4;
  control.Disposal = 2;
  control.UserInput = true;
  control.Transparent = true;
  control.Delay = 0x1234;
  control.TransparentIndex = 1;

  struct Row {
    const char* name;
    TGifExtension ext;
    Bytes want;
  } rows[] = {
      {"comment, empty sub-block left out", comment, {0x21, 0xFE, 3, 1, 2, 3, 5, 4, 5, 6, 7, 8, 0}},
      {"plain text",
       text,
       {0x21, 0x01, 12, 0x02, 0x01, 3, 0, 40, 0, 8, 0, 5, 8, 1, 0, 2, 'h', 'i', 0}},
      {"application",
       app,
       {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0}},
      {"graphic control", control, {0x21, 0xF9, 4, 0x0B, 0x34, 0x12, 1, 0}},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ExtensionBytes(row.ext), row.want) << row.name;
}

TEST(Write, UnknownExtensionIsNamedInHex) {
  auto gif = TGif::CreateFromBitmap(TBitmap(1, 1));
  TGifExtension odd;
  odd.Kind = 0x77;
  gif->GetImage(0).Extensions->push_back(odd);
  std::ostringstream target;
  try {
    gif->SaveToStream(target);
    FAIL() << "written";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "TGif: unknown extension: 0077");
    EXPECT_EQ(GifLastError, 6);
    EXPECT_EQ(GifLastErrorText, "unknown extension: 0077");
  }
  EXPECT_TRUE(target.str().empty()); // nothing reaches the target
}

TEST(Write, SizesBeyondSixteenBitsAreRefused) {
  struct Row {
    const char* name;
    std::function<void(TGif&)> change;
  } rows[] = {
      {"image width 65536", [](TGif& g) { g.GetImage(0).Width = 65536; }},
      {"image height 70000", [](TGif& g) { g.GetImage(0).Height = 70000; }},
      {"image left -1", [](TGif& g) { g.GetImage(0).Left = -1; }},
      {"screen width 65536", [](TGif& g) { g.SetWidth(65536); }},
      {"screen height 100000", [](TGif& g) { g.SetHeight(100000); }},
      {"global table index missing", [](TGif& g) { g.Screen().GlobalColorTable = 3; }},
  };
  for (const Row& row : rows) {
    auto gif = TGif::CreateFromBitmap(TBitmap(2, 2));
    row.change(*gif);
    EXPECT_EQ(ErrorCode([&] { gif->SaveToBytes(); }), 15) << row.name;
  }
  auto edge = TGif::CreateFromBitmap(TBitmap(2, 2));
  edge->SetWidth(65535);
  EXPECT_EQ(ErrorCode([&] { edge->SaveToBytes(); }), -1);
}

TEST(Write, SaveResetsTheLastError) {
  TGif gif;
  EXPECT_THROW(gif.GetImage(3), EInvalidGraphicOperation);
  gif.SaveToBytes();
  EXPECT_EQ(GifLastError, 0);
  EXPECT_EQ(GifLastErrorText, "");
}

TEST(Write, SaveToStreamWritesAtTheCurrentPosition) {
  auto gif = TGif::CreateFromBitmap(TBitmap(3, 3));
  std::ostringstream target;
  target << "xy";
  gif->SaveToStream(target);
  const std::string s = target.str();
  EXPECT_EQ(s.substr(0, 8), "xyGIF89a");
  const Bytes direct = gif->SaveToBytes();
  EXPECT_EQ(s.size(), direct.size() + 2);
}

class WriteFile : public ::testing::Test {
protected:
  static Bytes Read(const std::filesystem::path& p) {
    const std::string bytes = ReadFile(p);
    return Bytes(bytes.begin(), bytes.end());
  }
  std::size_t Entries() const { return temp.Names().size(); }
  const TTempDir temp;
  const std::filesystem::path& dir = temp.Path();
};

TEST_F(WriteFile, SavesAndReplaces) {
  const auto path = dir / "a.gif";
  auto first = TGif::CreateFromBitmap(TBitmap(4, 4));
  first->SaveToFile(path.string());
  EXPECT_EQ(Read(path), first->SaveToBytes());
  TBitmap red(7, 3);
  red.Fill(RGB(255, 0, 0));
  auto second = TGif::CreateFromBitmap(red);
  second->SaveToFile(path.string());
  EXPECT_EQ(Read(path), second->SaveToBytes());
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(WriteFile, FailedSaveLeavesTheOldFileAndNoTemporary) {
  const auto path = dir / "keep.gif";
  auto good = TGif::CreateFromBitmap(TBitmap(4, 4));
  good->SaveToFile(path.string());
  const Bytes before = Read(path);

  auto bad = TGif::CreateFromBitmap(TBitmap(4, 4));
  bad->GetImage(0).Width = 70000;
  EXPECT_THROW(bad->SaveToFile(path.string()), EInvalidGraphicOperation);
  EXPECT_EQ(Read(path), before);
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(WriteFile, UnwritableTargetRaisesAndCreatesNothing) {
  auto gif = TGif::CreateFromBitmap(TBitmap(4, 4));
  EXPECT_THROW(gif->SaveToFile((dir / "missing" / "a.gif").string()), std::exception);
  std::filesystem::create_directory(dir / "taken.gif"); // a folder where the file should go
  EXPECT_THROW(gif->SaveToFile((dir / "taken.gif").string()), std::exception);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.gif"));
  EXPECT_EQ(Entries(), 1u);
}

} // namespace
