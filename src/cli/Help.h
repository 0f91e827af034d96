#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// The overview for an empty topic, every command's help for "all"; none
// for a topic that is no command.
std::optional<std::string> HelpText(std::string_view topic);

// "glyptika-cli <version>".
std::string VersionText();

} // namespace cli
