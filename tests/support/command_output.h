#pragma once

// A command run to its end and its output read, on Linux: for the tools a
// test asks (xdotool, xprop, the simulated port's tool). No shell stands
// between: the words are the program and its arguments as they are.

#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"

namespace quorvane::testing {

struct CommandResult {
  // Its exit status; -SIGKILL when it still ran at the bound and was killed,
  // ChildProcess::kNotStarted when it could not be run.
  int exitCode = ChildProcess::kNotStarted;
  std::string standardOutput, standardError;
};

// `words[0]` (a path, or a name looked up on PATH) with the rest as its
// arguments; a command that has not ended after `bound` is killed.
inline CommandResult RunCommand(const std::vector<std::string>& words,
                                std::chrono::milliseconds bound = std::chrono::seconds(30)) {
  if (words.empty()) return {};
  ChildOptions options;
  options.arguments.assign(words.begin() + 1, words.end());
  ChildProcess command = ChildProcess::Program(words[0], options);
  const int exitCode = command.Finish(bound);
  return {exitCode, command.Stdout(), command.Stderr()};
}

}  // namespace quorvane::testing
