// quorvane-simport: plays the supervising side of the simulated parallel
// port from a terminal or a script, and shows what the program does on it.

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/seconds_since_midnight.h"
#include "common/system_clock.h"
#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace {

using namespace quorvane::simport;

constexpr const char* kUsage = R"(Usage: quorvane-simport [--file PATH] COMMAND [OPTIONS]

Drives and watches the simulated parallel port (port 888) that the simulated
libinpout32.so keeps in a shared state file.

Commands:
  status              print the status and control registers and the file
  raise               raise the request line (set status bit 4)
  drop                drop the request line (clear status bit 4)
  set-status VALUE    set the whole status byte (0xEF, 16, 0b...: any C base)
  request [--max S]   raise the request line, drop it once the first write
                      to port 890 is seen or after S seconds (default 1.5);
                      exits 1 when no write came
  watch [--from-start] [--count N] [--seconds S]
                      print each port access as it happens: local time,
                      seconds since the previous access, R or W, port, value;
                      --from-start begins with the oldest access still kept,
                      --count and --seconds stop after N accesses or S seconds

Options:
  --file PATH         the state file; default $QUORVANE_SIMULATED_PORT, or
                      /tmp/quorvane-simulated-port-<uid> when that is unset
  --help              show this text

The file is created when absent. Exit status: 0 done, 1 failed, 2 bad usage.
)";

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

[[noreturn]] void BadUsage(const std::string& message) {
  std::fprintf(stderr, "quorvane-simport: %s\nTry 'quorvane-simport --help'.\n", message.c_str());
  std::exit(2);
}

double ParseSeconds(const std::string& option, const char* text) {
  if (!text) BadUsage(option + " needs a number of seconds");
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(seconds >= 0)) BadUsage(option + ": not a number of seconds: " + text);
  return seconds;
}

unsigned long ParseNumber(const std::string& what, const char* text, unsigned long max) {
  if (!text) BadUsage(what + " needs a value");
  const std::string digits = text;
  const bool binary = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B');
  char* end = nullptr;
  const unsigned long value = std::strtoul(binary ? text + 2 : text, &end, binary ? 2 : 0);
  if (digits.empty() || digits[0] == '-' || *end != '\0' || value > max)
    BadUsage(what + ": not a number from 0 to " + std::to_string(max) + ": " + text);
  return value;
}

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

// The local wall-clock time of a monotonic timestamp, hh:mm:ss.mmm: the time
// of day now, less the timestamp's age.
std::string LocalTime(std::uint64_t timeNs) {
  const quorvane::LocalTime now = quorvane::SystemClock().Local();
  const double ageSeconds = static_cast<double>(static_cast<std::int64_t>(NowNs() - timeNs)) / 1e9;
  double ofDay = quorvane::bench_common::SecondsSinceMidnight(now) - ageSeconds;
  ofDay -= 86400.0 * std::floor(ofDay / 86400.0);
  const auto millis = static_cast<long long>(ofDay * 1000.0);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", millis / 3600000 % 24, millis / 60000 % 60,
                millis / 1000 % 60, millis % 1000);
  return text;
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
      char gap[24] = "";
      if (previous) std::snprintf(gap, sizeof gap, "+%.3f s", (access.timeNs - previous) / 1e9);
      previous = access.timeNs;
      std::printf("%s  %-10s %c %4d %-8s %s\n", LocalTime(access.timeNs).c_str(), gap,
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
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string path = SimulatedPort::DefaultPath();
  std::size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    if (args[i] == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (args[i] == "--file" && i + 1 < args.size()) {
      path = args[++i];
      continue;
    }
    BadUsage("unknown option " + args[i]);
  }
  if (i == args.size()) BadUsage("no command given");
  const std::string command = args[i++];
  const auto value = [&](std::size_t at) { return at < args.size() ? args[at].c_str() : nullptr; };

  try {
    if (command == "status" || command == "raise" || command == "drop") {
      if (i != args.size()) BadUsage(command + " takes no arguments");
    }
    if (command == "status") {
      SimulatedPort port(path);
      return ShowStatus(port);
    }
    if (command == "raise" || command == "drop") {
      SimulatedPort port(path);
      command == "raise" ? port.RaiseRequest() : port.DropRequest();
      return 0;
    }
    if (command == "set-status") {
      if (i + 1 != args.size()) BadUsage("set-status takes one value");
      const auto status = static_cast<std::uint8_t>(ParseNumber("set-status", value(i), 255));
      SimulatedPort port(path);
      port.SetStatus(status);
      return 0;
    }
    if (command == "request") {
      double maxSeconds = 1.5;
      for (; i < args.size(); ++i) {
        if (args[i] == "--max")
          maxSeconds = ParseSeconds("--max", value(++i));
        else
          BadUsage("request: unknown option " + args[i]);
      }
      SimulatedPort port(path);
      return Request(port, maxSeconds);
    }
    if (command == "watch") {
      bool fromStart = false;
      long count = -1;
      double seconds = -1;
      for (; i < args.size(); ++i) {
        if (args[i] == "--from-start")
          fromStart = true;
        else if (args[i] == "--count")
          count = static_cast<long>(ParseNumber("--count", value(++i), 1000000000));
        else if (args[i] == "--seconds")
          seconds = ParseSeconds("--seconds", value(++i));
        else
          BadUsage("watch: unknown option " + args[i]);
      }
      SimulatedPort port(path);
      return Watch(port, fromStart, count, seconds);
    }
    BadUsage("unknown command " + command);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "quorvane-simport: %s\n", failure.what());
    return 1;
  }
}
