#pragma once

// Shared by the simulated port tests: a private state file in a fresh
// folder, named through QUORVANE_SIMULATED_PORT, and the port library loaded
// from its own copy so each test gets a library that has not yet opened any
// state file, even when the tests run in one process.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "command_output.h"
#include "port/inpout_abi.h"
#include "shared_library.h"
#include "temp_folder.h"

namespace quorvane::simport::testing {

// The library's four operations, from a copy of it made at `copy`.
class PortLibrary {
  quorvane::testing::SharedLibrary library_;  // first: the operations come from it

 public:
  explicit PortLibrary(const std::filesystem::path& copy)
      : library_(CopiedTo(copy)),
        inp32(library_.Find<Inp32Function>("Inp32")),
        out32(library_.Find<Out32Function>("Out32")),
        isOpen(library_.Find<IsInpOutDriverOpenFunction>("IsInpOutDriverOpen")),
        lastError(library_.Find<InpOutLastErrorFunction>("InpOutLastError")) {}

  const Inp32Function inp32;
  const Out32Function out32;
  const IsInpOutDriverOpenFunction isOpen;
  const InpOutLastErrorFunction lastError;

 private:
  static const std::filesystem::path& CopiedTo(const std::filesystem::path& copy) {
    std::filesystem::copy_file(SIMULATED_PORT_LIBRARY, copy);
    return copy;
  }
};

struct ToolResult {
  int exitCode;
  std::string output;
};

// quorvane-simport with these arguments (words apart by spaces), on the
// test's state file. A tool that hangs is killed after 30 s.
inline ToolResult RunTool(const std::string& arguments) {
  std::vector<std::string> words{SIMPORT_TOOL};
  std::istringstream split(arguments);
  for (std::string word; split >> word;) words.push_back(word);
  const quorvane::testing::CommandResult result = quorvane::testing::RunCommand(words);
  return {result.exitCode, result.standardOutput + result.standardError};
}

class SimulatedPortTest : public ::testing::Test {
 protected:
  SimulatedPortTest() { setenv("QUORVANE_SIMULATED_PORT", StatePath().c_str(), 1); }

  // A fresh copy of the library; it opens the state file at its first call.
  std::unique_ptr<PortLibrary> LoadLibrary() {
    const std::string name =
        "libinpout32-" + std::to_string(getpid()) + "-" + std::to_string(++copies_) + ".so";
    return std::make_unique<PortLibrary>(folder_ / name);
  }

  const std::filesystem::path& Folder() const { return folder_.path(); }
  std::filesystem::path StatePath() const { return folder_ / "port-state"; }

 private:
  quorvane::testing::TempFolder folder_;
  int copies_ = 0;
};

}  // namespace quorvane::simport::testing
