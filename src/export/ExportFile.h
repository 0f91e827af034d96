// Files written whole or not at all: the text goes to a fresh file beside the
// target, which is renamed over it only when everything is written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class TAtomicFile {
public:
  // Makes the fresh file at once, so a target that cannot be written fails
  // before anything else of the save happens. Throws std::system_error.
  explicit TAtomicFile(std::string FileName);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  void Write(std::string_view Bytes);
  // Puts the file in place; until then the target is as it was.
  void Commit();

private:
  void Discard() noexcept;

  std::string FFileName;
  std::string FTempName;
  int FFd = -1;
};

// Writes Bytes into a file this save has just made empty; the caller removes
// it when this throws (std::system_error), so nothing half-written stays.
void WriteIntoNewFile(const std::string& FileName, std::span<const std::uint8_t> Bytes);

// Removes a file, quietly: for the empty file a failed save leaves behind.
void RemoveFileQuietly(const std::string& FileName) noexcept;
