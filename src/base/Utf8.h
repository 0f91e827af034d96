// UTF-8: the text of every line, file name and page in the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// One decoded character. Length 0: the bytes at that place are no valid
// sequence (a stray or missing continuation byte, a sequence cut short, an
// overlong form, a surrogate, a value past U+10FFFF), and Code is U+FFFD.
struct TUtf8Char {
  char32_t Code = 0xFFFD;
  std::size_t Length = 0;
};

// The character at the start of Text (Length 0 for no text).
TUtf8Char DecodeUtf8(std::string_view Text);

// Where the first byte that starts no valid sequence is, or npos.
std::size_t FindInvalidUtf8(std::string_view Text);

// Appends Code; a surrogate or a value past U+10FFFF appends U+FFFD.
void AppendUtf8(std::string& Out, char32_t Code);
std::string Utf8(char32_t Code);
