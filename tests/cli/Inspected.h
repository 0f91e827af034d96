// What `inspect` prints, read back into its parts; with giflib, the
// independent decoder the tests hold glyptika-cli to.
#pragma once

#include "CliRunner.h"
#include "support/GiflibDecode.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace clitest {

// What `inspect` printed, split into its parts.
struct TInspected {
  std::string Signature;
  std::string Screen;
  std::vector<std::vector<std::string>> Tables; // "#RRGGBB" entries
  struct Image {
    std::string Header;
    std::vector<std::string> Extensions;
    std::vector<std::vector<std::uint8_t>> Rows;
  };
  std::vector<Image> Images;

  std::vector<std::uint8_t> Indices(std::size_t image) const {
    std::vector<std::uint8_t> all;
    for (const auto& row : Images.at(image).Rows)
      all.insert(all.end(), row.begin(), row.end());
    return all;
  }
};

inline TInspected ParseInspect(const std::string& text) {
  TInspected r;
  for (const std::string& line : Lines(text)) {
    if (line.starts_with("signature: ")) {
      r.Signature = line.substr(11);
    } else if (line.starts_with("logical screen: ")) {
      r.Screen = line.substr(16);
    } else if (line.starts_with("color table ")) {
      r.Tables.emplace_back();
    } else if (line.starts_with("image ")) {
      r.Images.push_back({line, {}, {}});
    } else if (line.starts_with("  ") && r.Images.empty()) {
      std::istringstream in(line.substr(line.find(':') + 1));
      for (std::string c; in >> c;)
        r.Tables.back().push_back(c);
    } else if (line.starts_with("  ")) {
      r.Images.back().Extensions.push_back(line.substr(2));
    } else {
      std::vector<std::uint8_t> row;
      for (std::size_t k = 0; k < line.size(); k += 3)
        row.push_back(std::uint8_t(std::stoi(line.substr(k, 2), nullptr, 16)));
      r.Images.back().Rows.push_back(row);
    }
  }
  return r;
}

} // namespace clitest
