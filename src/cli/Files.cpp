#include "cli/Files.h"

#include "cli/CliError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace cli {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void Unreadable(const std::string& path, const std::string& what, int err) {
  throw ECliError("cannot read " + what + " \"" + path + "\": " + std::strerror(err));
}

} // namespace

std::string ReadWholeFile(const std::string& path, const std::string& what, std::size_t maxBytes) {
  const bool standardInput = path == "-";
  std::unique_ptr<std::FILE, FileCloser> owned;
  std::FILE* f = stdin;
  if (!standardInput) {
    owned.reset(std::fopen(path.c_str(), "rb"));
    if (!owned) Unreadable(path, what, errno);
    f = owned.get();
  }
  std::string data;
  char buffer[1 << 16];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
    if (n > maxBytes - data.size())
      throw ECliError(what + " \"" + (standardInput ? "-" : path) + "\" holds more than " +
                      std::to_string(maxBytes >> 10) + " KiB, the most it may hold");
    data.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  // A directory opens but fails on the first read (EISDIR).
  if (std::ferror(f))
    Unreadable(standardInput ? "standard input" : path, what, errno ? errno : EIO);
  return data;
}

} // namespace cli
