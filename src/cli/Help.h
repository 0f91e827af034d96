#pragma once

#include <string_view>

namespace cli {

// The overview for an empty topic; nullptr for a topic that is no command.
const char* HelpText(std::string_view topic);

} // namespace cli
