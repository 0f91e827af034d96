// Runs the built glyptika-cli as a user's shell would, and gives back what it
// printed and how it ended.
#pragma once

#include "support/Files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace clitest {

namespace fs = std::filesystem;

struct TRun {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

inline fs::path CliPath() {
  const char* dir = std::getenv("GLYPTIKA_BINARY_DIR");
  return fs::path(dir ? dir : ".") / "src" / "cli" / "glyptika-cli";
}

// Runs glyptika-cli with Args, Input on its standard input, in Dir.
inline TRun RunCli(const std::vector<std::string>& args, const std::string& input = {},
                   const fs::path& dir = fs::temp_directory_path()) {
  TTempDir io;
  const fs::path in = io / "stdin", out = io / "stdout", err = io / "stderr";
  WriteFile(in, input);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  const std::string exe = CliPath().string();
  std::vector<char*> argv{const_cast<char*>(exe.c_str())};
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  TRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    ADD_FAILURE() << "cannot start " << exe;
    return run;
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  waitpid(pid, &status, 0);
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.Out = ReadFile(out);
  run.Err = ReadFile(err);
  return run;
}

inline std::string Describe(const std::vector<std::string>& args, const TRun& r) {
  std::string s = "glyptika-cli";
  for (const std::string& a : args)
    s += " '" + a + "'";
  return s + "\n  exit " + std::to_string(r.Exit) + "\n  stderr: " + r.Err;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// A failure's report: exactly one line, named for the program, and no stack trace.
inline void ExpectOneErrorLine(const TRun& r) {
  EXPECT_EQ(Lines(r.Err).size(), 1u) << r.Err;
  EXPECT_TRUE(r.Err.starts_with("glyptika-cli: ")) << r.Err;
  EXPECT_TRUE(r.Err.ends_with("\n")) << r.Err;
}

} // namespace clitest
