#pragma once

// What this machine allows at best, measured in the same run as the program:
// the floor under its figures.

#include <sys/types.h>

#include <cstdint>
#include <vector>

namespace quorvane::bench {

// A minimal tick loop: a timerfd on CLOCK_MONOTONIC with absolute one-second
// deadlines, as the program's the poll timer, and nothing else. Wait() sleeps until
// the next deadline and stamps the wake-up.
class TimerfdTickLoop {
 public:
  // The first deadline at `firstNs` (CLOCK_MONOTONIC), then one a second.
  explicit TimerfdTickLoop(std::uint64_t firstNs);
  ~TimerfdTickLoop();
  TimerfdTickLoop(const TimerfdTickLoop&) = delete;
  TimerfdTickLoop& operator=(const TimerfdTickLoop&) = delete;

  void Wait();
  // The intervals between consecutive wake-ups, in ms.
  std::vector<double> IntervalsMs() const;

 private:
  int descriptor_;
  std::vector<std::uint64_t> wakeNs_;
};

// A minimal busy wait, as the answer's one-second waits: reads the clock
// without sleeping for `seconds`. The gaps between two readings are the
// times the scheduler took it off its CPU.
struct BusyWaitGaps {
  double largestUs = 0;
  double over100UsPerSecond = 0;
};
BusyWaitGaps ProbeBusyWait(double seconds);

// Every CPU kept busy by stress-ng (one worker a CPU, in a process group of
// their own) for the life of this object. Available() is false when
// stress-ng cannot be started.
class CpuLoad {
 public:
  explicit CpuLoad(int workers);
  ~CpuLoad();
  CpuLoad(const CpuLoad&) = delete;
  CpuLoad& operator=(const CpuLoad&) = delete;
  bool Available() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

}  // namespace quorvane::bench
