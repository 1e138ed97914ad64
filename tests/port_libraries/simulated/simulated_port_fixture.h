#pragma once

// Shared by the simulated port tests: a private state file in a fresh
// folder, named through QUORVANE_SIMULATED_PORT, and the port library loaded
// from its own copy so each test gets a library that has not yet opened any
// state file, even when the tests run in one process.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "port/inpout_abi.h"
#include "temp_folder.h"

namespace quorvane::simport::testing {

class PortLibrary {
 public:
  explicit PortLibrary(const std::filesystem::path& copy) {
    std::filesystem::copy_file(SIMULATED_PORT_LIBRARY, copy);
    handle_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error(dlerror());
    inp32 = Find<Inp32Function>("Inp32");
    out32 = Find<Out32Function>("Out32");
    isOpen = Find<IsInpOutDriverOpenFunction>("IsInpOutDriverOpen");
    lastError = Find<InpOutLastErrorFunction>("InpOutLastError");
  }
  ~PortLibrary() { dlclose(handle_); }
  PortLibrary(const PortLibrary&) = delete;
  PortLibrary& operator=(const PortLibrary&) = delete;

  Inp32Function inp32;
  Out32Function out32;
  IsInpOutDriverOpenFunction isOpen;
  InpOutLastErrorFunction lastError;

 private:
  template <typename Function>
  Function Find(const char* name) {
    auto* address = reinterpret_cast<Function>(dlsym(handle_, name));
    if (!address) throw std::runtime_error(std::string("no symbol ") + name);
    return address;
  }
  void* handle_ = nullptr;
};

struct ToolResult {
  int exitCode;
  std::string output;
};

// quorvane-simport with these arguments, on the test's state file. A tool
// that hangs is stopped after 30 s (exit code 124).
inline ToolResult RunTool(const std::string& arguments) {
  const std::string command = std::string("timeout 30 ") + SIMPORT_TOOL + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {-1, "cannot start " + command};
  std::string output;
  std::array<char, 256> buffer;
  while (std::fgets(buffer.data(), buffer.size(), pipe)) output += buffer.data();
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

class SimulatedPortTest : public ::testing::Test {
 protected:
  SimulatedPortTest() { setenv("QUORVANE_SIMULATED_PORT", StatePath().c_str(), 1); }

  // A fresh copy of the library; it opens the state file at its first call.
  std::unique_ptr<PortLibrary> LoadLibrary() {
    const std::string name = "libinpout32-" + std::to_string(getpid()) + "-" + std::to_string(++copies_) + ".so";
    return std::make_unique<PortLibrary>(folder_ / name);
  }

  const std::filesystem::path& Folder() const { return folder_.path(); }
  std::filesystem::path StatePath() const { return folder_ / "port-state"; }

 private:
  quorvane::testing::TempFolder folder_;
  int copies_ = 0;
};

}  // namespace quorvane::simport::testing
