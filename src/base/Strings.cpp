#include "base/Strings.h"

#include "base/Utf8.h"

namespace {

constexpr char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

std::string AsciiLower(std::string_view Text) {
  std::string out(Text);
  for (char& c : out)
    c = Lower(c);
  return out;
}

int CompareText(std::string_view A, std::string_view B) {
  const std::size_t n = A.size() < B.size() ? A.size() : B.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto a = static_cast<unsigned char>(Lower(A[i]));
    const auto b = static_cast<unsigned char>(Lower(B[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : A.size() < B.size() ? -1 : 1;
}

bool SameText(std::string_view A, std::string_view B) {
  return A.size() == B.size() && CompareText(A, B) == 0;
}

void AppendHex(std::string& Out, unsigned Value, int Digits, bool Upper) {
  const char* digits = Upper ? "0123456789ABCDEF" : "0123456789abcdef";
  int count = 1;
  while (count < 8 && (Value >> (4 * count)) != 0)
    ++count;
  if (count < Digits) count = Digits;
  for (int k = count - 1; k >= 0; --k)
    Out += digits[(Value >> (4 * k)) & 15];
}

std::string ColorToHex(TColor Color) {
  std::string out = "#";
  for (unsigned channel : {GetRValue(Color), GetGValue(Color), GetBValue(Color)})
    AppendHex(out, channel, 2);
  return out;
}

std::string EscapeControls(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (std::size_t at = 0; at < Text.size(); ++at) {
    const char c = Text[at];
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      // A whole sequence passes unless it is a C1 control, which some
      // terminals obey as a raw byte would be obeyed.
      const TUtf8Char ch = DecodeUtf8(Text.substr(at));
      if (ch.Length > 0 && ch.Code >= 0xA0) {
        out += Text.substr(at, ch.Length);
        at += ch.Length - 1;
      } else if (ch.Length > 0) {
        out += "\\u";
        AppendHex(out, unsigned(ch.Code), 4);
        at += ch.Length - 1;
      } else if (byte < 0xA0) {
        out += "\\x";
        AppendHex(out, byte, 2);
      } else {
        out += c;
      }
    } else if (byte >= 0x20 && byte != 0x7F) {
      out += c;
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += "\\x";
      AppendHex(out, byte, 2);
    }
  }
  return out;
}
