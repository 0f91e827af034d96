#pragma once

#include <string>

class TGif;
struct TPngInfo;

namespace cli {

// What the reader sees in a loaded GIF, as `inspect` prints it.
std::string DescribeGif(TGif& gif, bool indices);

// What a PNG's header and chunks say, as `inspect` prints it.
std::string DescribePng(const TPngInfo& info);

// Reads FILE, a GIF or a PNG, and describes it. Throws ECliError: exit 2 when
// the file cannot be read, exit 1 when it is neither format or its reader
// refuses it (with the reader's message).
std::string InspectFile(const std::string& path, bool indices);

} // namespace cli
