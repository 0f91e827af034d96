// Unicode's composed form: a letter and the marks that combine with it
// become the one character a font draws and a page names.
#pragma once

#include <string>
#include <string_view>

// The text in NFC. Bytes that are no valid UTF-8 stay as they are, and the
// valid text between them is composed on its own.
std::string ComposeText(std::string_view Text);
