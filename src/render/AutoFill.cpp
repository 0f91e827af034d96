#include "render/AutoFill.h"

#include "base/Utf8.h"

#include <cstdint>
#include <stdexcept>

namespace {

// Windows-1252 codes 0x80..0x9F; the undefined ones keep their own number.
constexpr char32_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::vector<std::string> AutoFillLines(int tag) {
  std::vector<std::string> lines;
  switch (tag) {
  case afDigits:
    for (char c = '0'; c <= '9'; ++c)
      lines.emplace_back(1, c);
    break;
  case afCalendar:
    for (int day = 1; day <= 31; ++day)
      lines.push_back(std::to_string(day));
    break;
  case afCaps:
    for (char c = 'A'; c <= 'Z'; ++c)
      lines.emplace_back(1, c);
    break;
  case afAllChars:
    for (int code = 32; code <= 255; ++code)
      lines.push_back(Utf8(code >= 0x80 && code < 0xA0 ? Cp1252High[code - 0x80] : char32_t(code)));
    break;
  default:
    throw std::invalid_argument("Unknown auto-fill set " + std::to_string(tag));
  }
  return lines;
}
