// Colours as people type them: "#RGB", "#RRGGBB" or one of the 148 CSS names.
#pragma once

#include "base/Color.h"

#include <optional>
#include <string_view>

// Hex digits and names in any case; nothing else (no spaces, no rgb()).
std::optional<TColor> ParseColorText(std::string_view Text);

// The CSS names, lower case, sorted: for lists and completion.
int ColorNameCount();
std::string_view ColorNameAt(int Index);
