#include "bench/benchmark/process_usage.h"

#include <unistd.h>

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
