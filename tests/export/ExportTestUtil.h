// Temporary folders and GIF files read back with giflib, for the export tests.
#pragma once

#include "gif/GiflibDecode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

class TTempDir {
public:
  TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "glyptika-export-XXXXXX");
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // The folder with its final "/".
  std::string Path() const { return FPath.string() + "/"; }
  // Every file name below the folder, relative, sorted.
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(FPath))
      if (entry.is_regular_file())
        names.insert(std::filesystem::relative(entry.path(), FPath).string());
    return names;
  }

private:
  std::filesystem::path FPath;
};

inline std::string ReadFile(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One saved GIF as a user's viewer sees it.
struct TSavedGif {
  int Width = 0, Height = 0;
  bool Transparent = false;
  int TransparentIndex = 0;
  std::vector<std::uint32_t> Colors;
  std::vector<std::uint8_t> Pixels;

  std::uint32_t At(int X, int Y) const {
    return Colors.at(Pixels.at(std::size_t(Y) * std::size_t(Width) + std::size_t(X)));
  }
  std::uint32_t TransparentColor() const { return Colors.at(std::size_t(TransparentIndex)); }
  std::set<std::uint32_t> UsedColors() const {
    std::set<std::uint32_t> used;
    for (std::uint8_t p : Pixels)
      used.insert(Colors.at(p));
    return used;
  }
};

inline TSavedGif ReadSavedGif(const std::string& Name) {
  const std::string bytes = ReadFile(Name);
  const GiflibGif gif =
      GiflibDecode({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  TSavedGif saved;
  EXPECT_EQ(gif.Error, "") << Name;
  if (!gif.Error.empty() || gif.Images.size() != 1) {
    ADD_FAILURE() << Name << " holds " << gif.Images.size() << " images";
    return saved;
  }
  const GiflibImage& image = gif.Images[0];
  saved.Width = image.Width;
  saved.Height = image.Height;
  saved.Colors = image.LocalColors.empty() ? gif.GlobalColors : image.LocalColors;
  saved.Pixels = image.Pixels;
  for (const GiflibExtension& ext : image.Extensions)
    if (ext.Function == 0xF9 && !ext.Blocks.empty() && ext.Blocks[0].size() == 4) {
      saved.Transparent = ext.Blocks[0][0] & 1;
      saved.TransparentIndex = ext.Blocks[0][3];
    }
  return saved;
}
