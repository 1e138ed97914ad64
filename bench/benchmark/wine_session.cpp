#include "bench/benchmark/wine_session.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "bench/benchmark/process_usage.h"

namespace quorvane::bench {

namespace {

// The NUL-separated settings of a process's environment; empty when it
// cannot be read (ended, or another user's).
std::vector<std::string> Environment(const std::filesystem::path& process) {
  std::ifstream in(process / "environ", std::ios::binary);
  std::vector<std::string> settings;
  for (std::string setting; std::getline(in, setting, '\0');) settings.push_back(setting);
  return settings;
}

std::string Name(const std::filesystem::path& process) {
  std::ifstream in(process / "comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// Wine names each of its processes after its program; the server after
// itself (wineserver, or wineserver32 for the 32-bit one).
bool IsWineProcessName(const std::string& name) {
  const std::string exe = ".exe";
  return name.rfind("wineserver", 0) == 0 ||
         (name.size() > exe.size() && name.compare(name.size() - exe.size(), exe.size(), exe) == 0);
}

}  // namespace

std::vector<pid_t> WineSessionProcesses(const std::string& prefix, const std::vector<pid_t>& programs) {
  const std::string setting = "WINEPREFIX=" + prefix;
  std::vector<pid_t> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string number = entry.path().filename().string();
    if (number.empty() ||
        !std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); }))
      continue;
    const pid_t pid = static_cast<pid_t>(std::stol(number));
    if (std::find(programs.begin(), programs.end(), pid) != programs.end()) continue;
    if (!IsWineProcessName(Name(entry.path()))) continue;
    const std::vector<std::string> environment = Environment(entry.path());
    if (std::find(environment.begin(), environment.end(), setting) != environment.end()) found.push_back(pid);
  }
  return found;
}

std::map<pid_t, double> ScheduledSecondsOf(const std::vector<pid_t>& processes) {
  std::map<pid_t, double> seconds;
  for (const pid_t pid : processes)
    if (const auto scheduled = ScheduledSeconds(pid)) seconds[pid] = *scheduled;
  return seconds;
}

double SpentBetween(const std::map<pid_t, double>& before, const std::map<pid_t, double>& after) {
  double spent = 0;
  for (const auto& [pid, seconds] : after)
    if (const auto earlier = before.find(pid); earlier != before.end()) spent += seconds - earlier->second;
  return spent;
}

}  // namespace quorvane::bench
