// Case folding and hex digits, as the font names, options and pages need them.
#pragma once

#include "base/Color.h"

#include <string>
#include <string_view>

// ASCII case only: font and style names compare as Windows compares them in
// the lists, and a byte of a UTF-8 sequence is never folded.
std::string AsciiLower(std::string_view Text);
bool SameText(std::string_view A, std::string_view B);
// <0, 0 or >0, as A sorts before, with or after B ignoring case.
int CompareText(std::string_view A, std::string_view B);

// Value as at least Digits hex digits, upper or lower case.
void AppendHex(std::string& Out, unsigned Value, int Digits, bool Upper = true);
// "#RRGGBB".
std::string ColorToHex(TColor Color);

// Text for a message of one line that a terminal cannot take for commands:
// tab, line feed and carriage return become \t, \n and \r; every other
// control byte (NUL, DEL, and 0x80 to 0x9F outside a UTF-8 sequence) \xHH;
// the C1 controls U+0080 to U+009F written as UTF-8 \u0080 to \u009F. Other
// bytes, the rest of UTF-8 and stray bytes alike, stay as they are.
std::string EscapeControls(std::string_view Text);
