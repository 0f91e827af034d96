// How glyptika-cli reports failures: one line on standard error and an exit code.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

enum ExitCode : int {
  ExitOk = 0,
  ExitCodec = 1, // inspect: neither a GIF nor a PNG, or one its reader refuses
  ExitUsage = 2, // bad arguments, unreadable input, output that cannot be written
};

// Raised anywhere below main; main prints "glyptika-cli: <what>" and exits with Code.
class ECliError : public std::runtime_error {
public:
  explicit ECliError(const std::string& what, int code = ExitUsage)
      : std::runtime_error(what), FCode(code) {}
  int Code() const { return FCode; }

private:
  int FCode;
};

} // namespace cli
