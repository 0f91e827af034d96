// Temporary folders and whole files, for every test that touches the disk.
#pragma once

#include <filesystem>
#include <set>
#include <string>

// A fresh folder, removed with all it holds (read-only folders included).
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  // With a final "/", for names joined as a user types them.
  std::string Folder() const { return FPath.string() + "/"; }
  std::filesystem::path operator/(const std::filesystem::path& Name) const { return FPath / Name; }
  std::set<std::string> Files() const;
  std::set<std::string> Names() const;

private:
  std::filesystem::path FPath;
};

// Every regular file below Dir, relative to it.
std::set<std::string> Files(const std::filesystem::path& Dir);
// Everything below Dir (folders, links, hidden files), relative to it; a
// link by its own name, not its target's.
std::set<std::string> Names(const std::filesystem::path& Dir);

std::string ReadFile(const std::filesystem::path& Name);
void WriteFile(const std::filesystem::path& Name, const std::string& Bytes);
