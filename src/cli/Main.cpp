// glyptika-cli: fonts, render and inspect from the command line.
#include "base/AtomicFile.h"
#include "base/Strings.h"
#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Help.h"
#include "cli/Inspect.h"
#include "cli/Options.h"
#include "text/Font.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace cli {

void WriteStdout(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    throw ECliError(std::string("cannot write to standard output: ") + std::strerror(errno));
}

// Names and faces come from the user's text and arguments: whatever they
// hold, a message stays one line and reaches the terminal whole.
void Warn(const std::string& text) {
  const std::string line = "glyptika-cli: " + EscapeControls(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void RunInspect(const TCommandLine& cl) {
  WriteStdout(InspectFile(cl.InspectFile, cl.Indices));
}

namespace {

int Run(const std::vector<std::string_view>& args) {
  const TCommandLine cl = ParseCommandLine(args);
  if (cl.Command == TCommand::Help) {
    const std::string& topic = cl.HelpTopic;
    const std::optional<std::string> text = HelpText(topic);
    if (!text)
      throw ECliError("no help for \"" + topic + "\"; the commands are fonts, render and inspect");
    WriteStdout(*text);
    return ExitOk;
  }
  switch (cl.Command) {
  case TCommand::Version:
    WriteStdout(VersionText());
    break;
  case TCommand::Fonts:
    RunFonts(cl);
    break;
  case TCommand::Render:
    RunRender(cl.Render);
    break;
  case TCommand::Inspect:
    RunInspect(cl);
    break;
  case TCommand::Help:
    break;
  }
  return ExitOk;
}

} // namespace
} // namespace cli

int main(int argc, char** argv) {
  RemoveTemporariesOnSignals();
  try {
    // Each run is a new process: answers of earlier runs spare it loading
    // fontconfig's configuration. GLYPTIKA_FONT_ANSWERS=off asks fontconfig.
    const char* answers = std::getenv("GLYPTIKA_FONT_ANSWERS");
    KeepFontAnswers(answers == nullptr || std::strcmp(answers, "off") != 0);
    std::vector<std::string_view> args(argv + 1, argv + argc);
    return cli::Run(args);
  } catch (const cli::ECliError& e) {
    cli::Warn(e.what());
    return e.Code();
  } catch (const std::bad_alloc&) {
    cli::Warn("out of memory");
  } catch (const std::exception& e) {
    cli::Warn(e.what());
  } catch (...) {
    cli::Warn("unexpected failure");
  }
  return cli::ExitUsage;
}
