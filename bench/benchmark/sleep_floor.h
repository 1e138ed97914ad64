#pragma once

// The floor under the answer's steps and its CPU: a minimal program that
// sleeps to absolute CLOCK_MONOTONIC deadlines a second apart with
// clock_nanosleep, as the answer's waits do, and does nothing else. It runs
// beside the program (a child process of the benchmark), in the normal class
// or in the real-time class the service answers in. How late it wakes is
// what sleeping alone would give; its CPU is what sleeping costs.

#include <sys/types.h>

#include <cstdint>
#include <vector>

namespace quorvane::bench {

class SleepFloor {
 public:
  // Starts sleeping at once; `realtime`: in SCHED_FIFO at priority 1.
  explicit SleepFloor(bool realtime);
  ~SleepFloor();
  SleepFloor(const SleepFloor&) = delete;
  SleepFloor& operator=(const SleepFloor&) = delete;

  struct Figures {
    std::vector<double> latenessUs;  // of every wake-up
    double cpuPercent = -1;          // of a core, over its life; negative: unknown
    bool realtime = false;           // it got the real-time class it asked for
  };
  // Ends it and says what it measured.
  Figures Finish();

  // What the sleeping child writes and the benchmark reads.
  struct Shared;

 private:
  pid_t pid_ = -1;
  Shared* shared_ = nullptr;
  std::uint64_t startNs_ = 0;
};

}  // namespace quorvane::bench
