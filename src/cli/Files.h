#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cli {

// The most a text file may hold: far more than any banner, and a bound for
// /dev/zero or an endless pipe.
constexpr std::size_t MaxTextFileBytes = std::size_t(1) << 20;

// The whole file as bytes; "-" is standard input. Throws ECliError (exit 2)
// naming What and the system's reason, or saying that the file holds more
// than maxBytes (read no further than that).
std::string ReadWholeFile(const std::string& path, const std::string& what,
                          std::size_t maxBytes = SIZE_MAX);

} // namespace cli
