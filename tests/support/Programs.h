// The programs the tests run, found through one list (external-programs,
// beside this file) that also tells which Debian package installs each.
#pragma once

#include <string>
#include <vector>

struct TExternalProgram {
  std::string Name;    // a program, or "python3:MODULE" for a Python module
  std::string Package; // the Debian package that installs it
};

const std::vector<TExternalProgram>& ExternalPrograms();

// The listed program's path. When it is not installed the test fails, naming
// the package; the bare name is returned, so the caller's command fails too.
std::string Program(const std::string& Name);

// Debian's python3, checked to import Module (as Program checks a program).
std::string PythonWith(const std::string& Module);

// "NAME (Debian package P)" for each listed program or module not installed.
std::vector<std::string> MissingPrograms();
