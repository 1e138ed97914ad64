#pragma once

// One run of quorvane-supervisor, everything it drives and feeds wired
// together: plays the pattern on the request line, follows every port access
// the program makes, has the checker judge them, shows it all in the live
// trace and the VCD file, and ends with the run's summary.

#include <csignal>
#include <cstdint>
#include <fstream>
#include <optional>

#include "bench/supervisor/answer_checker.h"
#include "bench/supervisor/request_pattern.h"
#include "bench/supervisor/run_summary.h"
#include "bench/supervisor/supervisor_options.h"
#include "bench/supervisor/trace_printer.h"
#include "bench/supervisor/vcd_writer.h"
#include "port_libraries/simulated/simulated_port_client.h"

namespace quorvane::supervisor {

class Run {
 public:
  // vcdFile: where the VCD goes, or none.
  Run(const Options& options, simport::SimulatedPort& port, std::ofstream* vcdFile);

  // Plays the run to its end: the pattern done and every answer judged,
  // --seconds up, or `stopRequested` set (by a signal).
  RunSummary Play(const volatile std::sig_atomic_t& stopRequested);

 private:
  static CheckerSettings Settings(const Options& options, std::uint64_t startNs);
  // What happened just before the start, the status byte set, the outputs begun.
  void Begin();
  // Every access the program made since the last look, in order.
  void Follow();
  void Apply(LineChange change);
  void ShowFindings();
  void ShowPatternNotes();
  RunSummary End(bool interrupted);

  const Options& options_;
  simport::SimulatedPort& port_;
  const std::uint64_t startNs_;
  AnswerChecker checker_;
  std::optional<RequestPattern> pattern_;  // none while --wait-poll waits
  simport::AccessReader reader_;
  std::optional<TracePrinter> trace_;
  std::optional<VcdWriter> vcd_;
  bool lineRaised_ = false;
  std::uint64_t lostAtStart_ = 0, lostShown_ = 0;
};

}  // namespace quorvane::supervisor
