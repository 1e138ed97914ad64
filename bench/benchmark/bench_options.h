#pragma once

// The benchmark's command line.

#include <string>

namespace quorvane::bench {

struct Options {
  std::string program = DEFAULT_PROGRAM;
  std::string libraryFolder = SIMULATED_PORT_DIR;
  int sequences = 20;
  int idleSeconds = 60;
  int heldAnswers = 5;
  int startups = 10;
  int loadedSequences = 10;  // 0: no run under load
  std::string jsonPath;
  bool quick = false;
  // The program is a Windows one, run under Wine ($WINE, or wine).
  bool wine = false;
  // A minimal window of the same toolkit, woken by the same timer, run
  // beside the program over the idle span: the floor under its idle cost.
  // Empty: none.
  std::string floorProgram = DEFAULT_FLOOR_PROGRAM;
};

// Reads the command line; prints the usage and exits on --help. Throws
// std::invalid_argument on a bad option.
Options Parse(int argc, char** argv);

}  // namespace quorvane::bench
