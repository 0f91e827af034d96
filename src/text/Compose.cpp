#include "text/Compose.h"

#include <cstdlib>
#include <memory>
#include <utf8proc.h>

namespace {

std::string ComposeValid(std::string_view Run) {
  if (Run.empty()) return {};
  utf8proc_uint8_t* out = nullptr;
  const utf8proc_ssize_t length = utf8proc_map(
      reinterpret_cast<const utf8proc_uint8_t*>(Run.data()), utf8proc_ssize_t(Run.size()), &out,
      utf8proc_option_t(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(out, &std::free);
  if (length < 0) return std::string(Run); // out of memory: left as it was
  return std::string(reinterpret_cast<const char*>(out), std::size_t(length));
}

} // namespace

std::string ComposeText(std::string_view Text) {
  // Plain ASCII is already composed, and most text is.
  bool ascii = true;
  for (char c : Text)
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(Text);

  std::string composed;
  composed.reserve(Text.size());
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(Text.data());
  std::size_t start = 0, at = 0;
  while (at < Text.size()) {
    utf8proc_int32_t code = 0;
    const utf8proc_ssize_t n =
        utf8proc_iterate(bytes + at, utf8proc_ssize_t(Text.size() - at), &code);
    if (n > 0) {
      at += std::size_t(n);
      continue;
    }
    composed += ComposeValid(Text.substr(start, at - start));
    composed += Text[at];
    start = ++at;
  }
  composed += ComposeValid(Text.substr(start));
  return composed;
}
