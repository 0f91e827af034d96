#include "base/Utf8.h"

TUtf8Char DecodeUtf8(std::string_view Text) {
  if (Text.empty()) return {};
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(Text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  // C0 and C1 could only start overlong forms, F5 and above only values past U+10FFFF.
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                                                           : 0;
  if (length == 0 || Text.size() < length) return {};
  char32_t code = lead & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return {};
    code = code << 6 | (byte(k) & 0x3F);
  }
  const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {code, length};
}

std::size_t FindInvalidUtf8(std::string_view Text) {
  for (std::size_t i = 0; i < Text.size();) {
    if (static_cast<unsigned char>(Text[i]) < 0x80) {
      ++i;
      continue;
    }
    const TUtf8Char c = DecodeUtf8(Text.substr(i));
    if (c.Length == 0) return i;
    i += c.Length;
  }
  return std::string_view::npos;
}

void AppendUtf8(std::string& Out, char32_t Code) {
  if (Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) Code = 0xFFFD;
  if (Code < 0x80) {
    Out += char(Code);
  } else if (Code < 0x800) {
    Out += char(0xC0 | (Code >> 6));
    Out += char(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    Out += char(0xE0 | (Code >> 12));
    Out += char(0x80 | ((Code >> 6) & 0x3F));
    Out += char(0x80 | (Code & 0x3F));
  } else {
    Out += char(0xF0 | (Code >> 18));
    Out += char(0x80 | ((Code >> 12) & 0x3F));
    Out += char(0x80 | ((Code >> 6) & 0x3F));
    Out += char(0x80 | (Code & 0x3F));
  }
}

std::string Utf8(char32_t Code) {
  std::string out;
  AppendUtf8(out, Code);
  return out;
}
