// The few facts about a TrueType/OpenType font that naming and enumeration
// need, read straight from its tables: far cheaper than opening the font
// with FreeType, which matters when every installed font is listed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace text_detail {

struct TSfntInfo {
  std::string Family;   // name ID 1, as an English-speaking Windows user sees it
  std::string Style;    // name ID 2
  std::string FullName; // name ID 4
  int Weight = 400;     // usWeightClass
  bool Italic = false;  // fsSelection ITALIC (or macStyle without OS/2)
  bool FixedPitch = false;
  bool Symbol = false;         // a Windows symbol cmap
  bool Outlines = true;        // false for a font of embedded bitmaps only
  std::uint32_t CodePages = 1; // ulCodePageRange1
  std::array<std::uint8_t, 10> Panose{};
};

// Reads font `index` of the file (the low 16 bits pick a font of a
// collection); nullopt when the file is not a readable sfnt font.
std::optional<TSfntInfo> ReadSfntInfo(const std::string& file, int index);

} // namespace text_detail
