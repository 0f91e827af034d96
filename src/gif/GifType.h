// The codec's errors, its last-error state and the GIF block constants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Every codec error is one of these; its message is "TGif: <text>".
class EInvalidGraphicOperation : public std::runtime_error {
public:
  EInvalidGraphicOperation(int code, const std::string& text);
  int Code() const { return FCode; }

private:
  int FCode;
};

// The numbered error table; the code is the position.
constexpr int GifErrorCount = 25;
const char* GifErrorMessage(int code);

// Record the error as the last one and raise it.
[[noreturn]] void GifError(int code);
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
