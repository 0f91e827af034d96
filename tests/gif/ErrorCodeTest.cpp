// The named error codes: each keeps its number and message, and the failures
// that share "Value Out Of Range" say which they are apart from the message.
#include "WriteHelpers.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorCodes, NamesKeepTheirNumbersAndMessages) {
  struct Row {
    TGifErrorCode code;
    int number;
    const char* message;
  } rows[] = {
      {TGifErrorCode::NoError, 0, "no error"},
      {TGifErrorCode::InvalidSignature, 1, "Invalid GIF Signature Code"},
      {TGifErrorCode::NoTerminator, 9, "No GIF Terminator Found"},
      {TGifErrorCode::InvalidLzwCodeSize, 12, "Invalid LZW Code Size"},
      {TGifErrorCode::InvalidLzwDataFormat, 13, "Invalid LZW Data Format"},
      {TGifErrorCode::ValueOutOfRange, 15, "Value Out Of Range"},
      {TGifErrorCode::InvalidInterlacePass, 21, "Invalid Interlace Pass"},
      {TGifErrorCode::TooManyColors, 23, "Too Many Colors In Bitmap"},
      {TGifErrorCode::NextMessage, 24, "next message"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(int(row.code), row.number);
    EXPECT_STREQ(GifErrorMessage(row.code), row.message);
  }
}

TEST(ErrorCodes, ValueOutOfRangeSaysWhichValue) {
  auto gif = MakeIndexedGif(3, 2, {0, 1, 2, 3, 4, 5}, 8, 8);
  struct Row {
    const char* name;
    std::function<void()> call;
    const char* detail;
  } rows[] = {
      {"image 1 of 1", [&] { gif->GetImage(1); }, "image index"},
      {"table 1 of 1", [&] { gif->GetColorTable(1); }, "colour table index"},
      {"pixel (3, 0)", [&] { gif->GetPixelIndex(0, 3, 0); }, "pixel outside the image"},
      {"set pixel (0, 2)", [&] { gif->SetPixelIndex(0, 0, 2, 1); }, "pixel outside the image"},
      {"colour 8 of 8", [&] { gif->SetPixelIndex(0, 0, 0, 8); }, "colour index outside the table"},
      {"width 70000",
       [&] {
         gif->SetWidth(70000);
         gif->SaveToBytes();
       },
       "field wider than 16 bits"},
  };
  for (const Row& row : rows) {
    try {
      row.call();
      ADD_FAILURE() << row.name << ": no error";
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.ErrorCode(), TGifErrorCode::ValueOutOfRange) << row.name;
      EXPECT_STREQ(e.what(), "TGif: Value Out Of Range") << row.name;
      EXPECT_STREQ(e.Detail(), row.detail) << row.name;
      EXPECT_EQ(GifLastError, 15) << row.name;
    }
  }
}

} // namespace
