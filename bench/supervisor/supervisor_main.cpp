// quorvane-supervisor: plays the supervising side on the simulated parallel
// port. Raises the request line in a pattern, follows every port access the
// program makes, judges each answer, and ends with a summary and an exit
// status a script can rely on (see --help).

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "bench/supervisor/run_summary.h"
#include "bench/supervisor/supervisor_options.h"
#include "bench/supervisor/supervisor_run.h"
#include "port_libraries/simulated/simulated_port_client.h"

namespace {

using namespace quorvane::supervisor;
using quorvane::simport::SimulatedPort;

constexpr int kExitUsage = 2;
constexpr int kExitFile = 3;

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

int FileProblem(const std::string& what, const std::string& path) {
  std::fprintf(stderr, "quorvane-supervisor: cannot write the %s %s: %s\n", what.c_str(), path.c_str(),
               std::strerror(errno));
  return kExitFile;
}

}  // namespace

int main(int argc, char** argv) {
  const ParsedArguments parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "quorvane-supervisor: %s\nTry 'quorvane-supervisor --help'.\n",
                 parsed.error.c_str());
    return kExitUsage;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }

  std::optional<SimulatedPort> port;
  try {
    port.emplace(options.statePath.empty() ? SimulatedPort::DefaultPath() : options.statePath);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "quorvane-supervisor: %s\n", failure.what());
    return kExitFile;
  }
  // Both outputs are created before the run, so a bad path costs no run.
  std::ofstream vcd, json;
  if (!options.vcdPath.empty()) {
    vcd.open(options.vcdPath, std::ios::out | std::ios::trunc);
    if (!vcd) return FileProblem("VCD file", options.vcdPath);
  }
  if (!options.jsonPath.empty()) {
    json.open(options.jsonPath, std::ios::out | std::ios::trunc);
    if (!json) return FileProblem("JSON file", options.jsonPath);
  }

  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);
  std::signal(SIGHUP, RequestStop);
  // A closed pipe on stdout must not kill the run with the line raised.
  std::signal(SIGPIPE, SIG_IGN);

  Run run(options, *port, vcd.is_open() ? &vcd : nullptr);
  const RunSummary summary = run.Play(stopRequested);
  std::fputs(SummaryText(summary).c_str(), stdout);
  std::fflush(stdout);

  int status = summary.ExitCode();
  if (vcd.is_open()) {
    vcd.close();
    if (!vcd) status = FileProblem("VCD file", options.vcdPath);
  }
  if (json.is_open()) {
    json << SummaryJson(summary);
    json.close();
    if (!json) status = FileProblem("JSON file", options.jsonPath);
  }
  return status;
}
