// The ready-made character sets of "Auto Fill".
#pragma once

#include <string>
#include <vector>

enum TAutoFill {
  afDigits = 0,   // "Digits [0..9]"
  afCalendar = 1, // "Numbers for Calendar [1..31]"
  afCaps = 2,     // "CAPS chars [A..Z]"
  afAllChars = 3, // "All font chars [#32..#255]"
};

// The lines of a set, as UTF-8. The full set is every Windows-1252 code from
// 32 to 255, one character per line, none skipped: the five codes that
// Windows-1252 leaves undefined stand for the control characters of the same
// number, as Windows converts them.
std::vector<std::string> AutoFillLines(int tag);
