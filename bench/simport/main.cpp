// quorvane-simport: plays the supervising side of the simulated parallel
// port from a terminal or a script, and shows what the program does on it.

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <optional>
#include <string>
#include <thread>

#include "bench/common/help_layout.h"
#include "bench/common/seconds_since_midnight.h"
#include "common/system_clock.h"
#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace {

using namespace quorvane::simport;

constexpr const char* kAbout = R"(Drives and watches the simulated parallel port (port 888) that the simulated
libinpout32.so keeps in a shared state file.)";

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

// A whole number from 0 to `max` in any C base, or 0b... in binary.
std::optional<unsigned long> ParseWhole(const std::string& text, unsigned long max) {
  const bool binary = text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B');
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str() + (binary ? 2 : 0), &end, binary ? 2 : 0);
  if (text.empty() || text[0] == '-' || *end != '\0' || value > max) return std::nullopt;
  return value;
}

CLI::Validator WholeUpTo(unsigned long max) {
  return {[max](const std::string& text) -> std::string {
            return ParseWhole(text, max) ? "" : "not a number from 0 to " + std::to_string(max) + ": " + text;
          },
          "", ""};
}

const CLI::Validator kSeconds{[](const std::string& text) -> std::string {
                                char* end = nullptr;
                                const double seconds = std::strtod(text.c_str(), &end);
                                if (end != text.c_str() && *end == '\0' && seconds >= 0) return "";
                                return "not a number of seconds: " + text;
                              },
                              "", ""};

std::string Hex(unsigned value) { return fmt::format("0x{:02X}", value); }

// The local wall-clock time of a monotonic timestamp, hh:mm:ss.mmm: the time
// of day now, less the timestamp's age.
std::string LocalTime(std::uint64_t timeNs) {
  const quorvane::LocalTime now = quorvane::SystemClock().Local();
  const double ageSeconds = static_cast<double>(static_cast<std::int64_t>(NowNs() - timeNs)) / 1e9;
  double ofDay = quorvane::bench_common::SecondsSinceMidnight(now) - ageSeconds;
  ofDay -= 86400.0 * std::floor(ofDay / 86400.0);
  const auto millis = static_cast<long long>(ofDay * 1000.0);
  return fmt::format("{:02}:{:02}:{:02}.{:03}", millis / 3600000 % 24, millis / 60000 % 60,
                     millis / 1000 % 60, millis % 1000);
}

std::string PortName(std::int16_t port) {
  switch (port) {
    case kDataPort: return "data";
    case kStatusPort: return "status";
    case kControlPort: return "control";
    default: return "";
  }
}

int ShowStatus(SimulatedPort& port) {
  const unsigned status = port.Status(), control = port.Control();
  std::printf("file     %s\n", port.Path().c_str());
  std::printf("status   %s  request line %s\n", Hex(status).c_str(), status & kRequestBit ? "raised" : "low");
  std::printf("control  %s  answer line bit 0 = %u\n", Hex(control).c_str(), control & kAnswerBit);
  std::printf("data     %s\n", Hex(port.Data()).c_str());
  std::printf("accesses %llu recorded\n", static_cast<unsigned long long>(port.NextSequence()));
  return 0;
}

int Request(SimulatedPort& port, double maxSeconds) {
  AccessReader reader(port);
  port.RaiseRequest();
  const auto limit = std::chrono::milliseconds(static_cast<long long>(maxSeconds * 1000));
  const auto answer = reader.WaitFor(IsWriteTo(kControlPort), limit);
  port.DropRequest();
  if (!answer) {
    std::fprintf(stderr, "quorvane-simport: no write to port %d within %.1f s\n", kControlPort, maxSeconds);
    return 1;
  }
  return 0;
}

int Watch(SimulatedPort& port, bool fromStart, long count, double seconds) {
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);
  AccessReader reader(port, fromStart);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  std::uint64_t previous = 0, lostShown = 0;
  long shown = 0;
  std::printf("watching %s\n", port.Path().c_str());
  std::fflush(stdout);
  while (!stopRequested && (count < 0 || shown < count) &&
         (seconds < 0 || std::chrono::steady_clock::now() < deadline)) {
    for (const Access& access : reader.ReadNew(count < 0 ? SIZE_MAX : count - shown)) {
      if (reader.Lost() != lostShown) {
        std::printf("  (%llu accesses lost: the ring was overrun)\n",
                    static_cast<unsigned long long>(reader.Lost() - lostShown));
        lostShown = reader.Lost();
      }
      const std::string gap = previous ? fmt::format("+{:.3f} s", (access.timeNs - previous) / 1e9) : "";
      previous = access.timeNs;
      std::printf("%s  %-10s %c %4d %-8s %s\n", LocalTime(access.timeNs).c_str(), gap.c_str(),
                  access.write ? 'W' : 'R', access.port, PortName(access.port).c_str(),
                  Hex(static_cast<std::uint16_t>(access.value)).c_str());
      ++shown;
    }
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = SimulatedPort::DefaultPath();
  std::string statusText;
  double maxSeconds = 1.5, seconds = -1;
  bool fromStart = false;
  std::string countText;

  try {
    CLI::App app{kAbout, "quorvane-simport"};
    quorvane::bench_common::UseHelpLayout(app, 22);
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.get_formatter()->label("Subcommands", "Commands");
    app.set_help_flag();
    app.set_help_all_flag("--help", "show this text");
    app.footer("The file is created when absent. Exit status: 0 done, 1 failed, 2 bad usage.");
    app.add_option("--file", path,
                   "the state file; default $QUORVANE_SIMULATED_PORT, or\n"
                   "$XDG_RUNTIME_DIR/quorvane-simulated-port, or\n"
                   "/tmp/quorvane-simulated-port-<uid> without either")
        ->type_name("PATH");
    app.require_subcommand(1, 1);
    CLI::App* status = app.add_subcommand("status", "print the status and control registers and the file");
    CLI::App* raise = app.add_subcommand("raise", "raise the request line (set status bit 4)");
    CLI::App* drop = app.add_subcommand("drop", "drop the request line (clear status bit 4)");
    CLI::App* setStatus = app.add_subcommand("set-status", "set the whole status byte");
    setStatus->add_option("VALUE", statusText, "0xEF, 16, 0b...: any C base")
        ->type_name("")
        ->required()
        ->check(WholeUpTo(255));
    CLI::App* request = app.add_subcommand("request",
                                           "raise the request line, drop it once the first write to port\n"
                                           "890 is seen or after --max; exits 1 when no write came");
    request->add_option("--max", maxSeconds, "seconds to wait for the write (default 1.5)")
        ->type_name("S")
        ->check(kSeconds);
    CLI::App* watch = app.add_subcommand("watch",
                                         "print each port access as it happens: local time, seconds\n"
                                         "since the previous access, R or W, port, value");
    watch->add_flag("--from-start", fromStart, "begin with the oldest access still kept");
    watch->add_option("--count", countText, "stop after N accesses")
        ->type_name("N")
        ->check(WholeUpTo(1000000000));
    watch->add_option("--seconds", seconds, "stop after S seconds")->type_name("S")->check(kSeconds);
    try {
      app.parse(argc, argv);
    } catch (const CLI::CallForAllHelp&) {
      std::fputs(app.help("", CLI::AppFormatMode::All).c_str(), stdout);
      return 0;
    }
    SimulatedPort port(path);
    if (*status) return ShowStatus(port);
    if (*raise) port.RaiseRequest();
    if (*drop) port.DropRequest();
    if (*setStatus) port.SetStatus(static_cast<std::uint8_t>(*ParseWhole(statusText, 255)));
    if (*request) return Request(port, maxSeconds);
    if (*watch) {
      const long count = countText.empty() ? -1 : static_cast<long>(*ParseWhole(countText, 1000000000));
      return Watch(port, fromStart, count, seconds);
    }
    return 0;
  } catch (const CLI::ParseError& misuse) {
    std::fprintf(stderr, "quorvane-simport: %s\nTry 'quorvane-simport --help'.\n", misuse.what());
    return 2;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "quorvane-simport: %s\n", failure.what());
    return 1;
  }
}
