#include "gif/GifType.h"

int GifLastError = 0;
std::string GifLastErrorText;

namespace {
constexpr const char* Messages[GifErrorCount] = {
    "no error",
    "Invalid GIF Signature Code",
    "No Local or Global Color Table for Image",
    "Unknown Graphics Extension Type",
    "Unknown Graphics Operation Code",
    "Invalid Extension Block Size",
    "[special message]",
    "Invalid Extension Block Terminator",
    "Invalid Integer Size",
    "No GIF Terminator Found",
    "Extension Block Out-Of-Order With Image Data",
    "Invalid Image Descriptor Index",
    "Invalid LZW Code Size",
    "Invalid LZW Data Format",
    "LZW Code Overflow",
    "Value Out Of Range",
    "NIL Pointer assigned",
    "Invalid Color Table Size",
    "No Image Description",
    "Invalid Bitmap Image",
    "Invalid Color Table Index",
    "Invalid Interlace Pass",
    "Invalid Bitmap",
    "Too Many Colors In Bitmap",
    "next message",
};
} // namespace

EInvalidGraphicOperation::EInvalidGraphicOperation(TGifErrorCode code, const std::string& text,
                                                   const char* detail)
    : std::runtime_error("TGif: " + text), FCode(code), FDetail(detail) {}

const char* GifErrorMessage(int code) {
  return code >= 0 && code < GifErrorCount ? Messages[code] : "";
}

void GifError(TGifErrorCode code, const char* detail) {
  GifLastError = int(code);
  GifLastErrorText = GifErrorMessage(code);
  throw EInvalidGraphicOperation(code, GifLastErrorText, detail);
}

void GifErrorText(const std::string& text) {
  GifLastError = int(TGifErrorCode::SpecialMessage);
  GifLastErrorText = text;
  throw EInvalidGraphicOperation(TGifErrorCode::SpecialMessage, text);
}
