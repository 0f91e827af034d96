#pragma once

#include <string>

class TGif;

namespace cli {

// What the reader sees in a loaded GIF, as `inspect` prints it.
std::string DescribeGif(TGif& gif, bool indices);

// Reads FILE and describes it. Throws ECliError: exit 2 when the file cannot be
// read, exit 1 with the codec's message when the reader refuses it.
std::string InspectFile(const std::string& path, bool indices);

} // namespace cli
