// The benchmark's start-up phase: separate starts of the program, each timed
// to its first port write and to its window mapped.

#include <stdexcept>

#include "bench/benchmark/measurement_phases.h"
#include "bench/benchmark/record_timing.h"
#include "bench/benchmark/window_probe.h"
#include "core/status_window/window_description.h"

namespace quorvane::bench {

using namespace std::chrono_literals;
using simport::Access;

void TimeStartUps(const Options& options, Results& results) {
  for (int run = 0; run < options.startups; ++run) {
    WindowProbe probe;
    ProgramUnderTest program(options.program, options.libraryFolder, options.wine);
    program.Start();
    const auto first = program.WaitFor([](const Access&) { return true; }, StartLimit(options, 10s));
    if (!first) throw std::runtime_error("no port access after start:\n" + program.Errors());
    results.firstWriteMs.push_back(Ms(program.StartNs(), first->timeNs));
    if (probe.Available() && results.window) {
      if (const auto shown = probe.WaitForShown(status_window::kCaption,
                                                static_cast<int>(StartLimit(options, 10s).count()))) {
        results.shownMs.push_back(Ms(program.StartNs(), *shown));
        results.shownMeasured = true;
      }
    }
  }
}

}  // namespace quorvane::bench
