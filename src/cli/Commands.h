#pragma once

#include "cli/Options.h"

namespace cli {

// Each writes its result to standard output and throws ECliError on failure.
void RunFonts(const TCommandLine& cl);
void RunRender(TRenderOptions options);
void RunInspect(const TCommandLine& cl);

// Writes Text whole to standard output; throws ECliError when it cannot.
void WriteStdout(const std::string& text);

// A line on standard error, prefixed with the program's name.
void Warn(const std::string& text);

} // namespace cli
