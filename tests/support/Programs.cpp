#include "support/Programs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include <unistd.h>

namespace {

// Where Debian's packages put their programs: a program elsewhere on PATH (a
// pyenv python3, say) is not the one the package list promises.
constexpr const char* Folders[] = {"/usr/bin", "/bin", "/usr/sbin", "/sbin"};
constexpr const char* ModulePrefix = "python3:";

std::string Find(const std::string& Name) {
  for (const char* folder : Folders) {
    const std::string path = std::string(folder) + "/" + Name;
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

// The path of a program, "" when missing; a module answers python3's path.
std::string Locate(const std::string& Name) {
  static std::map<std::string, std::string> found;
  if (const auto it = found.find(Name); it != found.end()) return it->second;
  std::string path;
  if (Name.starts_with(ModulePrefix)) {
    const std::string python = Find("python3");
    const std::string command =
        python + " -c 'import " + Name.substr(std::string(ModulePrefix).size()) + "' 2>/dev/null";
    if (!python.empty() && std::system(command.c_str()) == 0) path = python;
  } else {
    path = Find(Name);
  }
  return found[Name] = path;
}

std::string Located(const std::string& Name) {
  for (const TExternalProgram& p : ExternalPrograms())
    if (p.Name == Name) {
      const std::string path = Locate(Name);
      if (path.empty())
        ADD_FAILURE() << Name << " is not installed (Debian package " << p.Package
                      << "): run scripts/install-deps test";
      return path;
    }
  ADD_FAILURE() << Name << " is not in tests/support/external-programs";
  return {};
}

} // namespace

const std::vector<TExternalProgram>& ExternalPrograms() {
  static const std::vector<TExternalProgram> list = [] {
    std::vector<TExternalProgram> programs;
    std::ifstream in(GLYPTIKA_TEST_PROGRAMS);
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line.starts_with("#")) continue;
      std::istringstream fields(line);
      TExternalProgram p;
      if (fields >> p.Name >> p.Package) programs.push_back(p);
    }
    return programs;
  }();
  return list;
}

std::string Program(const std::string& Name) {
  const std::string path = Located(Name);
  return path.empty() ? Name : path;
}

std::string PythonWith(const std::string& Module) {
  const std::string path = Located(ModulePrefix + Module);
  return path.empty() ? "python3" : path;
}

std::vector<std::string> MissingPrograms() {
  std::vector<std::string> missing;
  for (const TExternalProgram& p : ExternalPrograms())
    if (Locate(p.Name).empty()) missing.push_back(p.Name + " (Debian package " + p.Package + ")");
  return missing;
}
