#include "support/Files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

TTempDir::TTempDir() {
  std::string pattern = (fs::temp_directory_path() / "glyptika-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

TTempDir::~TTempDir() {
  // A test may have taken away the rights remove_all needs.
  std::error_code ec;
  fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(FPath, ec); !ec && it != fs::end(it);
       it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(FPath, ec);
}

std::set<std::string> TTempDir::Files() const {
  return ::Files(FPath);
}

std::set<std::string> TTempDir::Names() const {
  return ::Names(FPath);
}

std::set<std::string> Files(const fs::path& Dir) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(Dir))
    if (e.is_regular_file()) names.insert(e.path().lexically_relative(Dir).string());
  return names;
}

std::set<std::string> Names(const fs::path& Dir) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(Dir))
    names.insert(e.path().lexically_relative(Dir).string());
  return names;
}

std::string ReadFile(const fs::path& Name) {
  std::ifstream in(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& Name, const std::string& Bytes) {
  std::ofstream(Name, std::ios::binary | std::ios::trunc) << Bytes;
}
