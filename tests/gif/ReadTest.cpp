#include "ReadGifBytes.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

using namespace read_gif_bytes;

namespace {

const TBytes Pixel = RootCodes(2, {1}); // the data of a 1 x 1 image of index 1
const TBytes Trailer{0x3B};
const TBytes GraphicControl{0x21, 0xF9, 4, 0x0D, 0x2C, 0x01, 3, 0}; // disposal 3, user input,
                                                                    // transparent 3, delay 300
const TBytes Comment{0x21, 0xFE, 2, 'h', 'i', 1, '!', 0};

TBytes Cat(std::initializer_list<TBytes> Parts) {
  TBytes out;
  for (const TBytes& p : Parts)
    out << p;
  return out;
}

TBytes Truncated(TBytes Bytes, std::size_t Keep) {
  Bytes.resize(Keep);
  return Bytes;
}

struct TReadErrorCase {
  const char* Name;
  TBytes Bytes;
  int Code;
};

std::string ErrorName(const testing::TestParamInfo<TReadErrorCase>& Info) {
  return Info.param.Name;
}

class ReadErrors : public testing::TestWithParam<TReadErrorCase> {};

TEST_P(ReadErrors, RaisesTheCodeAndRecordsIt) {
  TGif gif;
  EXPECT_EQ(LoadError(gif, GetParam().Bytes), GetParam().Code);
  EXPECT_EQ(GifLastError, GetParam().Code);
  EXPECT_NE(GifLastErrorText, "");
  // The object stays usable: the next load starts clean.
  gif.LoadFromBytes(OneImage(1, 1, 2, Pixel));
  EXPECT_EQ(gif.ImageCount(), 1);
  EXPECT_EQ(GifLastError, 0);
}

const TBytes Good = OneImage(1, 1, 2, Pixel);
const TBytes NoGlobalTable{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x00, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Streams, ReadErrors,
    testing::Values(
        TReadErrorCase{"EmptyStream", {}, 1},
        TReadErrorCase{"ShorterThanTheSignature", {'G', 'I', 'F', '8'}, 1},
        TReadErrorCase{"SignatureGIF88a", Cat({Header("GIF88a"), Image(1, 1, 2, Pixel), Trailer}),
                       1},
        TReadErrorCase{"NoColourTableAtAll", Cat({NoGlobalTable, Image(1, 1, 2, Pixel), Trailer}),
                       2},
        TReadErrorCase{"UnknownBlockByte", Cat({Header(), {0x2A}, Image(1, 1, 2, Pixel), Trailer}),
                       4},
        TReadErrorCase{
            "GraphicControlOfSize5",
            Cat({Header(), {0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0}, Image(1, 1, 2, Pixel), Trailer}), 5},
        TReadErrorCase{"PlainTextOfSize11", Cat({Header(), {0x21, 0x01, 11}, Trailer}), 5},
        TReadErrorCase{"ApplicationOfSize10", Cat({Header(), {0x21, 0xFF, 10}, Trailer}), 5},
        TReadErrorCase{"UnknownExtensionLabel", Cat({Header(), {0x21, 0xFA, 0}, Trailer}), 6},
        TReadErrorCase{
            "GraphicControlTerminator1",
            Cat({Header(), {0x21, 0xF9, 4, 0, 0, 0, 0, 1}, Image(1, 1, 2, Pixel), Trailer}), 7},
        TReadErrorCase{"NoTrailerAfterTheImage", Cat({Header(), Image(1, 1, 2, Pixel)}), 9},
        TReadErrorCase{"EndsInTheScreenDescriptor", Truncated(Header(), 9), 9},
        TReadErrorCase{"EndsInTheGlobalTable", Truncated(Header(), 15), 9},
        TReadErrorCase{"EndsInTheImageDescriptor", Truncated(Good, Header().size() + 5), 9},
        TReadErrorCase{"EndsInAnImageSubBlock", Truncated(Good, Good.size() - 3), 9},
        TReadErrorCase{"EndsInAComment", Cat({Header(), {0x21, 0xFE, 5, 'a', 'b'}}), 9},
        TReadErrorCase{"EndsInAGraphicControl", Cat({Header(), {0x21, 0xF9, 4, 0}}), 9},
        TReadErrorCase{"EndsInAnApplicationBlock", Cat({Header(), {0x21, 0xFF, 11, 'N', 'E'}}), 9},
        TReadErrorCase{"CommentAfterTheLastImage",
                       Cat({Header(), Image(1, 1, 2, Pixel), Comment, Trailer}), 10},
        TReadErrorCase{"ExtensionsAndNoImage", Cat({Header(), GraphicControl, Trailer}), 10},
        TReadErrorCase{"NoImage", Cat({Header(), Trailer}), 18},
        TReadErrorCase{"CodeSize12", OneImage(1, 1, 12, {0, 0, 0}), 12},
        TReadErrorCase{"DataWithoutAClearCode", OneImage(1, 1, 2, PackCodes({{1, 3}})), 13},
        TReadErrorCase{"ImageOf65535By65535", OneImage(65535, 65535, 2, Pixel), 15},
        TReadErrorCase{"ImageJustAboveTheLimit", OneImage(16384, 16385, 2, Pixel), 15}),
    ErrorName);

TEST(Read, LimitCountsThePixelsOfAllImagesOfTheStream) {
  // 2^28 pixels are allowed, one more in a second image is not.
  TGif gif;
  EXPECT_EQ(
      LoadError(gif, Cat({Header(), Image(16384, 16384, 2, {}), Image(1, 1, 2, Pixel), Trailer})),
      15);
  ASSERT_EQ(gif.ImageCount(), 2);
  EXPECT_EQ(gif.GetImage(0).PixelIndices.size(), std::size_t(1) << 28);
  EXPECT_TRUE(gif.GetImage(1).PixelIndices.empty()) << "allocated before the check";
}

TEST(Read, UnknownExtensionNamesTheLabelInUpperCaseHex) {
  TGif gif;
  try {
    gif.LoadFromBytes(Cat({Header(), {0x21, 0xFA, 0}, Trailer}));
    FAIL() << "no error";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "TGif: unknown extension: 00FA");
    EXPECT_EQ(GifLastErrorText, "unknown extension: 00FA");
  }
}

TEST(Read, ScreenAndTablesAsTheStreamHasThem) {
  TBytes bytes{'G', 'I', 'F', '8', '7', 'a', 0x34, 0x12, 0x02, 0x01, 0xDA, 3, 49};
  // 0xDA: global table of 8 entries, colour resolution 6, sorted
  for (int i = 0; i < 8; ++i)
    bytes << std::initializer_list<int>{i * 30, i * 30 + 1, i * 30 + 2};
  // an image with a local table of 2 entries, sorted, interlaced
  bytes << std::initializer_list<int>{0x2C, 1,    0,    2,    0,    1,    0,    1,
                                      0,    0xE0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
  bytes << std::initializer_list<int>{2} << SubBlocks(Pixel) << Trailer;
  TGif gif;
  gif.LoadFromBytes(bytes);

  EXPECT_EQ(gif.Signature(), "GIF87a");
  const TGifScreenDescriptor& s = gif.Screen();
  EXPECT_EQ(s.Width, 0x1234);
  EXPECT_EQ(s.Height, 0x0102);
  EXPECT_TRUE(s.HasGlobalColorTable);
  EXPECT_EQ(s.ColorResolution, 6);
  EXPECT_TRUE(s.Sorted);
  EXPECT_EQ(s.GlobalColorTableSize, 8);
  EXPECT_EQ(s.BackgroundIndex, 3);
  EXPECT_EQ(s.AspectRatio, 49);
  EXPECT_EQ(s.GlobalColorTable, 0);
  ASSERT_EQ(gif.ColorTableCount(), 2);
  EXPECT_EQ(gif.GetColorTable(0).Count, 8);
  EXPECT_EQ(gif.GetColorTable(0).Colors[7], RGB(210, 211, 212));
  EXPECT_EQ(gif.GetColorTable(0).Colors[8], 0u) << "entries the stream does not fill are 0";
  ASSERT_NE(gif.Palette(), nullptr);
  EXPECT_EQ(gif.Palette()->Colors[7], RGB(210, 211, 212));

  const TGifImageRecord& image = gif.GetImage(0);
  EXPECT_EQ(image.Left, 1);
  EXPECT_EQ(image.Top, 2);
  EXPECT_TRUE(image.HasLocalColorTable);
  EXPECT_TRUE(image.Interlaced);
  EXPECT_TRUE(image.Sorted);
  EXPECT_EQ(image.ColorTableSize, 2);
  EXPECT_EQ(image.ColorTableIndex, 1);
  EXPECT_EQ(gif.GetColorTable(1).Colors[1], RGB(0x40, 0x50, 0x60));
  EXPECT_FALSE(image.Extensions.has_value());
  EXPECT_EQ(image.PixelIndices, TBytes{1});
  EXPECT_EQ(image.Bitmap, nullptr);
}

TEST(Read, ImageWithoutLocalTableUsesTheGlobalOneButKeepsItsOwnSizeCode) {
  TBytes bytes = Header();
  bytes << std::initializer_list<int>{0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x05, 2} << SubBlocks(Pixel)
        << Trailer;
  TGif gif;
  gif.LoadFromBytes(bytes);
  EXPECT_FALSE(gif.GetImage(0).HasLocalColorTable);
  EXPECT_EQ(gif.GetImage(0).ColorTableIndex, 0);
  EXPECT_EQ(gif.GetImage(0).ColorTableSize, 64);
}

TEST(Read, StreamWithOnlyLocalTablesHasNoGlobalIndex) {
  TBytes bytes = NoGlobalTable;
  bytes << std::initializer_list<int>{0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x80, 1, 2, 3, 4, 5, 6, 2}
        << SubBlocks(Pixel) << Trailer;
  TGif gif;
  gif.LoadFromBytes(bytes);
  EXPECT_EQ(gif.Screen().GlobalColorTable, -1);
  EXPECT_EQ(gif.Palette(), nullptr);
  EXPECT_EQ(gif.GetImage(0).ColorTableIndex, 0);
  EXPECT_EQ(gif.GetColorTable(0).Colors[1], RGB(4, 5, 6));
}

TEST(Read, LowerCaseSignatureIsKeptAsWritten) {
  TBytes bytes = Header("gif87a");
  bytes << Image(1, 1, 2, Pixel) << Trailer;
  TGif gif;
  gif.LoadFromBytes(bytes);
  EXPECT_EQ(gif.Signature(), "gif87a");
}

TEST(Read, ZeroBytesBetweenBlocksAreSkipped) {
  TGif gif;
  gif.LoadFromBytes(Cat({Header(), {0, 0}, Image(1, 1, 2, Pixel), {0}, Trailer}));
  EXPECT_EQ(gif.GetImage(0).PixelIndices, TBytes{1});
}

TEST(Read, ExtensionsBelongToTheImageAfterThem) {
  const TBytes second = Image(1, 1, 2, RootCodes(2, {2}));
  TGif gif;
  gif.LoadFromBytes(Cat(
      {Header(), Comment, GraphicControl, Image(1, 1, 2, Pixel), GraphicControl, second, Trailer}));
  ASSERT_EQ(gif.ImageCount(), 2);
  EXPECT_EQ(gif.GetImage(0).Index, 0);
  EXPECT_EQ(gif.GetImage(1).Index, 1);
  ASSERT_TRUE(gif.GetImage(0).Extensions.has_value());
  ASSERT_EQ(gif.GetImage(0).Extensions->size(), 2u);
  const TGifExtension& comment = (*gif.GetImage(0).Extensions)[0];
  EXPECT_EQ(comment.Kind, 0xFE);
  EXPECT_EQ(comment.Data.size(), 2u);
  EXPECT_TRUE(comment.Data == (TGifSubBlocks{{'h', 'i'}, {'!'}}));
  ASSERT_EQ(gif.GetImage(1).Extensions->size(), 1u);
  const TGifExtension& gce = (*gif.GetImage(1).Extensions)[0];
  EXPECT_EQ(gce.Kind, 0xF9);
  EXPECT_EQ(gce.BlockSize, 4);
  EXPECT_EQ(gce.Disposal, 3);
  EXPECT_FALSE(gce.UserInput);
  EXPECT_TRUE(gce.Transparent);
  EXPECT_EQ(gce.Delay, 300);
  EXPECT_EQ(gce.TransparentIndex, 3);
  EXPECT_EQ(gif.GetImage(1).PixelIndices, TBytes{2});
}

TEST(Read, PlainTextAndApplicationFields) {
  const TBytes plainText{0x21, 0x01, 12, 1, 0, 2, 1, 30, 0, 40, 0, 5, 6, 7, 8, 3, 'a', 'b', 'c', 0};
  const TBytes application{0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                           'E',  '2',  '.', '0', 3,   1,   0,   0,   0};
  TGif gif;
  gif.LoadFromBytes(Cat({Header(), plainText, application, Image(1, 1, 2, Pixel), Trailer}));
  const std::vector<TGifExtension>& ext = *gif.GetImage(0).Extensions;
  ASSERT_EQ(ext.size(), 2u);
  EXPECT_EQ(ext[0].Kind, 0x01);
  EXPECT_EQ(ext[0].BlockSize, 12);
  EXPECT_EQ(ext[0].GridLeft, 1);
  EXPECT_EQ(ext[0].GridTop, 0x102);
  EXPECT_EQ(ext[0].GridWidth, 30);
  EXPECT_EQ(ext[0].GridHeight, 40);
  EXPECT_EQ(ext[0].CellWidth, 5);
  EXPECT_EQ(ext[0].CellHeight, 6);
  EXPECT_EQ(ext[0].ForegroundIndex, 7);
  EXPECT_EQ(ext[0].BackgroundIndex, 8);
  EXPECT_TRUE(ext[0].Data == (TGifSubBlocks{{'a', 'b', 'c'}}));
  EXPECT_EQ(ext[1].Kind, 0xFF);
  EXPECT_EQ(ext[1].BlockSize, 11);
  EXPECT_EQ(std::string(ext[1].Identifier.begin(), ext[1].Identifier.end()), "NETSCAPE");
  EXPECT_EQ(std::string(ext[1].AuthCode.begin(), ext[1].AuthCode.end()), "2.0");
  EXPECT_TRUE(ext[1].Data == (TGifSubBlocks{{1, 0, 0}}));
}

TEST(Read, ZeroSizedImagesAreAccepted) {
  TGif gif;
  gif.LoadFromBytes(Cat({Header(), Image(0, 5, 2, Pixel), Image(7, 0, 0, {}), Trailer}));
  ASSERT_EQ(gif.ImageCount(), 2);
  EXPECT_EQ(gif.GetImage(0).PixelCount, 0);
  EXPECT_TRUE(gif.GetImage(0).PixelIndices.empty());
  EXPECT_TRUE(gif.GetImage(1).PixelIndices.empty());
}

TEST(Read, StreamIsReadFromItsFirstByteWhereverItStands) {
  const TBytes bytes = OneImage(2, 1, 2, RootCodes(2, {3, 1}));
  std::stringstream stream(std::string(bytes.begin(), bytes.end()));
  stream.seekg(10);
  TGif gif;
  gif.LoadFromStream(stream);
  EXPECT_EQ(gif.GetImage(0).PixelIndices, (TBytes{3, 1}));
  stream.seekg(0, std::ios::end);
  stream.get(); // at the end, with eof set
  gif.LoadFromStream(stream);
  EXPECT_EQ(gif.GetImage(0).PixelIndices, (TBytes{3, 1}));
}

TEST(Read, LoadReplacesEverythingThatWasThere) {
  TGif gif;
  gif.LoadFromBytes(Cat({Header(), Image(1, 1, 2, Pixel), Image(1, 1, 2, Pixel), Trailer}));
  gif.LoadFromBytes(OneImage(1, 1, 2, RootCodes(2, {2})));
  EXPECT_EQ(gif.ImageCount(), 1);
  EXPECT_EQ(gif.ColorTableCount(), 1);
  EXPECT_EQ(gif.GetImage(0).PixelIndices, TBytes{2});
}

TEST(Read, ErrorLeavesWhatWasReadAndClearFreesIt) {
  TGif gif;
  EXPECT_EQ(LoadError(gif, Cat({Header(), Image(1, 1, 2, Pixel), Comment, {0x21, 0xF9, 4, 0}})), 9);
  EXPECT_EQ(gif.ImageCount(), 1);
  EXPECT_EQ(gif.GetImage(0).PixelIndices, TBytes{1});
  gif.Clear(); // LeakSanitizer checks nothing of the failed load survives
  EXPECT_TRUE(gif.Empty());
  EXPECT_EQ(gif.Signature(), "------");
}

TEST(Read, LoadFromFile) {
  const TTempDir dir;
  const auto path = dir / "read.gif";
  const TBytes bytes = OneImage(2, 1, 2, RootCodes(2, {0, 3}));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  TGif gif;
  gif.LoadFromFile(path.string());
  EXPECT_EQ(gif.GetImage(0).PixelIndices, (TBytes{0, 3}));
  std::filesystem::remove(path);
  EXPECT_THROW(gif.LoadFromFile(path.string()), std::system_error);
}

} // namespace
