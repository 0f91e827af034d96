#include "support/PlantedLinks.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
constexpr const char* VictimBytes = "untouched";
} // namespace

std::string TemporaryName(int Attempt) {
  return ".glyptika-" + std::to_string(::getpid()) + "-" + std::to_string(Attempt) + ".tmp";
}

TPlantedLinks::TPlantedLinks(const std::filesystem::path& Victim,
                             const std::vector<std::filesystem::path>& Folders)
    : FVictim(Victim) {
  WriteFile(Victim, VictimBytes);
  for (const std::filesystem::path& folder : Folders) {
    std::filesystem::create_directories(folder);
    for (int k = 0; k < PerFolder; ++k) {
      FLinks.push_back(folder / TemporaryName(k));
      std::filesystem::create_symlink(Victim, FLinks.back());
    }
  }
}

void TPlantedLinks::ExpectUntouched() const {
  EXPECT_EQ(ReadFile(FVictim), VictimBytes) << "written through a planted link";
  for (const std::filesystem::path& link : FLinks)
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << link << ": someone else's link is left alone";
}
