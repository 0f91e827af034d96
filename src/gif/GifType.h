// The codec's errors, its last-error state and the GIF block constants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The numbered error table: each value is the position of its message.
enum class TGifErrorCode : int {
  NoError = 0,                      // "no error"
  InvalidSignature = 1,             // "Invalid GIF Signature Code"
  NoColorTable = 2,                 // "No Local or Global Color Table for Image"
  UnknownExtensionType = 3,         // "Unknown Graphics Extension Type"
  UnknownOperationCode = 4,         // "Unknown Graphics Operation Code"
  InvalidExtensionBlockSize = 5,    // "Invalid Extension Block Size"
  SpecialMessage = 6,               // the free text of GifErrorText
  InvalidExtensionTerminator = 7,   // "Invalid Extension Block Terminator"
  InvalidIntegerSize = 8,           // "Invalid Integer Size"
  NoTerminator = 9,                 // "No GIF Terminator Found"
  ExtensionOutOfOrder = 10,         // "Extension Block Out-Of-Order With Image Data"
  InvalidImageDescriptorIndex = 11, // "Invalid Image Descriptor Index"
  InvalidLzwCodeSize = 12,          // "Invalid LZW Code Size"
  InvalidLzwDataFormat = 13,        // "Invalid LZW Data Format"
  LzwCodeOverflow = 14,             // "LZW Code Overflow"
  ValueOutOfRange = 15,             // "Value Out Of Range"
  NilPointer = 16,                  // "NIL Pointer assigned"
  InvalidColorTableSize = 17,       // "Invalid Color Table Size"
  NoImageDescription = 18,          // "No Image Description"
  InvalidBitmapImage = 19,          // "Invalid Bitmap Image"
  InvalidColorTableIndex = 20,      // "Invalid Color Table Index"
  InvalidInterlacePass = 21,        // "Invalid Interlace Pass"
  InvalidBitmap = 22,               // "Invalid Bitmap"
  TooManyColors = 23,               // "Too Many Colors In Bitmap"
  NextMessage = 24,                 // "next message"
};
constexpr int GifErrorCount = 25;

// Every codec error is one of these; its message is "TGif: <text>". Detail
// says which of the failures that share a code it is (for logs and tests; it
// never reaches the message).
class EInvalidGraphicOperation : public std::runtime_error {
public:
  EInvalidGraphicOperation(TGifErrorCode code, const std::string& text, const char* detail = "");
  int Code() const { return int(FCode); }
  TGifErrorCode ErrorCode() const { return FCode; }
  const char* Detail() const { return FDetail; }

private:
  TGifErrorCode FCode;
  const char* FDetail; // a literal
};

const char* GifErrorMessage(int code);
inline const char* GifErrorMessage(TGifErrorCode code) {
  return GifErrorMessage(int(code));
}

// Record the error as the last one and raise it. Detail, a literal, names the
// failure where one code stands for several.
[[noreturn]] void GifError(TGifErrorCode code, const char* detail = "");
[[noreturn]] void GifErrorText(const std::string& text); // code 6, free text

// The last error raised by any TGif; SaveToStream and LoadFromStream reset them.
extern int GifLastError;
extern std::string GifLastErrorText;

namespace gifblock {
constexpr std::uint8_t ImageSeparator = 0x2C;
constexpr std::uint8_t ExtensionIntroducer = 0x21;
constexpr std::uint8_t Trailer = 0x3B;
constexpr std::uint8_t GraphicControlLabel = 0xF9;
constexpr std::uint8_t CommentLabel = 0xFE;
constexpr std::uint8_t PlainTextLabel = 0x01;
constexpr std::uint8_t ApplicationLabel = 0xFF;
} // namespace gifblock

// A growable byte buffer with a read position: the codec's working streams.
struct TMemoryStream {
  std::vector<std::uint8_t> Data;
  std::size_t Position = 0;

  std::size_t Size() const { return Data.size(); }
  void Clear() {
    Data.clear();
    Position = 0;
  }
  void WriteByte(std::uint8_t b) { Data.push_back(b); }
  void Write(const std::uint8_t* bytes, std::size_t count) {
    Data.insert(Data.end(), bytes, bytes + count);
  }
};
