#pragma once

#include <string>

namespace cli {

// The whole file as bytes; "-" is standard input. Throws ECliError (exit 2)
// naming What and the system's reason.
std::string ReadWholeFile(const std::string& path, const std::string& what);

} // namespace cli
