// Someone else's links at the names a save's hidden temporaries take: a save
// must never write through them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The name of this process's hidden temporary in a folder at the save's
// Attempt-th try (0 first).
std::string TemporaryName(int Attempt);

// Links at the first names this process's temporaries take in each of
// Folders, each pointing at Victim, a file made here with bytes of its own.
class TPlantedLinks {
public:
  static constexpr int PerFolder = 8;

  TPlantedLinks(const std::filesystem::path& Victim,
                const std::vector<std::filesystem::path>& Folders);
  // The victim kept its bytes, and every link is still there as a link.
  void ExpectUntouched() const;

private:
  std::filesystem::path FVictim;
  std::vector<std::filesystem::path> FLinks;
};
