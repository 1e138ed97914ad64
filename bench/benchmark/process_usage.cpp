#include "bench/benchmark/process_usage.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quorvane::bench {

namespace {

std::string Proc(pid_t pid) { return "/proc/" + std::to_string(pid); }

}  // namespace

std::optional<double> CpuSeconds(pid_t pid) {
  std::ifstream in(Proc(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return std::nullopt;
  // The command name may hold spaces and parentheses; fields count from
  // after its closing parenthesis: state is field 3, utime 14, stime 15.
  const auto close = text.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int number = 3; number <= 15 && fields >> field; ++number) {
    if (number == 14) utime = std::stoull(field);
    if (number == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<double> ScheduledSeconds(pid_t pid) {
  std::error_code error;
  std::filesystem::directory_iterator tasks(Proc(pid) + "/task", error);
  if (error) return std::nullopt;
  unsigned long long total = 0;
  for (const auto& task : tasks) {
    std::ifstream in(task.path() / "schedstat");
    unsigned long long onCpuNs = 0;
    if (in >> onCpuNs) total += onCpuNs;
  }
  return static_cast<double>(total) / 1e9;
}

namespace {

std::optional<std::uint64_t> StatusField(pid_t pid, const std::string& field) {
  std::ifstream in(Proc(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stoull(line.substr(field.size() + 1));
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> PeakResidentKiB(pid_t pid) { return StatusField(pid, "VmHWM"); }

std::optional<MemoryShares> Memory(pid_t pid) {
  std::ifstream in(Proc(pid) + "/smaps");
  if (!in) return std::nullopt;
  MemoryShares shares;
  bool toolkitMapping = false;
  for (std::string line; std::getline(in, line);) {
    const auto colon = line.find(':');
    // A mapping's header ("start-end perms offset dev inode path") has no
    // colon before its first space; its fields do ("Rss:   12 kB").
    if (colon == std::string::npos || line.find(' ') < colon) {
      // Qt's libraries, or Wine's (its loader, its DLLs, its Unix libraries).
      toolkitMapping = line.find("libQt6") != std::string::npos || line.find("/wine/") != std::string::npos;
      continue;
    }
    const std::string name = line.substr(0, colon);
    const std::uint64_t kib = std::strtoull(line.c_str() + colon + 1, nullptr, 10);
    if (name == "Rss") {
      shares.residentKiB += kib;
      if (toolkitMapping) shares.toolkitKiB += kib;
    } else if (name == "Pss") {
      shares.proportionalKiB += kib;
    } else if (name == "Private_Dirty") {
      shares.privateDirtyKiB += kib;
    }
  }
  return shares;
}

namespace {

std::optional<double> TickMsFromConfig(std::istream& config) {
  for (std::string line; std::getline(config, line);) {
    if (line.rfind("CONFIG_HZ=", 0) == 0) {
      const double hz = std::strtod(line.c_str() + 10, nullptr);
      if (hz > 0) return 1000.0 / hz;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> SchedulerTickMs() {
  utsname system{};
  if (::uname(&system) == 0) {
    std::ifstream boot(std::string("/boot/config-") + system.release);
    if (const auto tick = TickMsFromConfig(boot)) return tick;
  }
  // Kernels built with their configuration inside keep it compressed in /proc.
  std::FILE* unpacked = ::popen("zcat /proc/config.gz 2>/dev/null", "r");
  if (!unpacked) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (std::size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, unpacked)) > 0;)
    text.append(buffer, got);
  ::pclose(unpacked);
  std::istringstream config(text);
  return TickMsFromConfig(config);
}

std::optional<std::uint64_t> InvoluntarySwitches(pid_t pid) {
  return StatusField(pid, "nonvoluntary_ctxt_switches");
}

MachineTicks MachineCpuTicks() {
  std::ifstream in("/proc/stat");
  std::string label;
  in >> label;  // "cpu": the sum over all CPUs
  MachineTicks ticks;
  std::uint64_t value = 0;
  // user nice system idle iowait irq softirq steal (guest times are inside user)
  for (int field = 1; field <= 8 && in >> value; ++field) {
    ticks.total += value;
    if (field == 8) ticks.steal = value;
  }
  return ticks;
}

double LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double load = 0;
  in >> load;
  return load;
}

}  // namespace quorvane::bench
