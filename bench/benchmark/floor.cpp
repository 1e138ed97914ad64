#include "bench/benchmark/floor.h"

#include <signal.h>
#include <spawn.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "bench/benchmark/child_stop.h"
#include "port_libraries/simulated/simulated_port_client.h"

extern char** environ;

namespace quorvane::bench {

namespace {

timespec ToTimespec(std::uint64_t ns) {
  return {static_cast<time_t>(ns / 1000000000u), static_cast<long>(ns % 1000000000u)};
}

}  // namespace

TimerfdTickLoop::TimerfdTickLoop(std::uint64_t firstNs)
    : descriptor_(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC)) {
  if (descriptor_ < 0) throw std::runtime_error(std::string("timerfd_create: ") + std::strerror(errno));
  itimerspec deadlines{};
  deadlines.it_value = ToTimespec(firstNs);
  deadlines.it_interval = ToTimespec(1000000000u);
  if (::timerfd_settime(descriptor_, TFD_TIMER_ABSTIME, &deadlines, nullptr) != 0)
    throw std::runtime_error(std::string("timerfd_settime: ") + std::strerror(errno));
}

TimerfdTickLoop::~TimerfdTickLoop() { ::close(descriptor_); }

void TimerfdTickLoop::Wait() {
  std::uint64_t expirations = 0;
  while (::read(descriptor_, &expirations, sizeof expirations) < 0 && errno == EINTR) {
  }
  wakeNs_.push_back(simport::NowNs());
}

std::vector<double> TimerfdTickLoop::IntervalsMs() const {
  std::vector<double> intervals;
  for (std::size_t i = 1; i < wakeNs_.size(); ++i)
    intervals.push_back(static_cast<double>(wakeNs_[i] - wakeNs_[i - 1]) / 1e6);
  return intervals;
}

BusyWaitGaps ProbeBusyWait(double seconds) {
  const auto span = static_cast<std::uint64_t>(seconds * 1e9);
  const std::uint64_t start = simport::NowNs();
  std::uint64_t previous = start, gaps = 0, largest = 0;
  for (std::uint64_t now = start; now - start < span; now = simport::NowNs()) {
    const std::uint64_t gap = now - previous;
    if (gap > 100000u) ++gaps;
    if (gap > largest) largest = gap;
    previous = now;
  }
  return {static_cast<double>(largest) / 1000.0, static_cast<double>(gaps) / seconds};
}

CpuLoad::CpuLoad(int workers) {
  const std::string count = std::to_string(workers);
  const char* argv[] = {"stress-ng", "--cpu", count.c_str(), "--quiet", nullptr};
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, "stress-ng", nullptr, &attributes, const_cast<char**>(argv), environ) == 0)
    pid_ = pid;
  posix_spawnattr_destroy(&attributes);
  // A missing stress-ng shows as the child ending at once.
  ::usleep(300000);
  int status = 0;
  if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
}

CpuLoad::~CpuLoad() {
  // The whole group: stress-ng and its workers.
  if (pid_ > 0) StopChild(pid_, -pid_, std::chrono::seconds(5));
}

}  // namespace quorvane::bench
