#pragma once

// One run of the program in a fresh folder with its own simulated port state
// file, stopped (SIGTERM) when this object goes. Every port access it makes
// is followed from the state file and kept, in order, with its time on
// CLOCK_MONOTONIC.
//
// A Windows program runs under Wine, with the simulated inpout32.dll copied
// beside it; its accesses, stamped on Wine's clock, are read onto
// CLOCK_MONOTONIC (simport::StampClock).

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port_libraries/simulated/simulated_port_client.h"

namespace quorvane::bench {

class ProgramUnderTest {
 public:
  ProgramUnderTest(const std::string& program, const std::string& libraryFolder, bool wine);
  ~ProgramUnderTest();
  ProgramUnderTest(const ProgramUnderTest&) = delete;
  ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

  // Starts the program through `wrapper` (a command that sets up and then
  // executes the rest, as prlimit and setpriv do, so the pid stays the
  // program's); none by default.
  void RunUnder(std::vector<std::string> wrapper) { wrapper_ = std::move(wrapper); }
  // Starts the program; StartNs() is the monotonic time just before.
  void Start();
  pid_t Pid() const { return pid_; }
  std::uint64_t StartNs() const { return startNs_; }
  bool Running();
  std::string Errors() const;

  simport::SimulatedPort& Port() { return *port_; }

  // Reads what arrived since the last call into Accesses().
  void Collect();
  // Collects until an access that matches arrives (returned) or timeout.
  std::optional<simport::Access> WaitFor(const std::function<bool(const simport::Access&)>& match,
                                         std::chrono::milliseconds timeout);
  const std::vector<simport::Access>& Accesses() const { return accesses_; }
  std::uint64_t Lost() const { return reader_->Lost(); }

 private:
  std::string program_, libraryFolder_;
  bool wine_;
  std::vector<std::string> wrapper_;
  std::filesystem::path folder_;
  std::unique_ptr<simport::SimulatedPort> port_;
  std::unique_ptr<simport::AccessReader> reader_;
  std::vector<simport::Access> accesses_;
  pid_t pid_ = -1;
  std::uint64_t startNs_ = 0;
};

}  // namespace quorvane::bench
