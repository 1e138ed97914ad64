#pragma once

// What a running process costs, read from /proc.

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace quorvane::bench {

// utime + stime of the whole process (all threads) in seconds, from
// /proc/<pid>/stat; clock-tick resolution (usually 10 ms).
std::optional<double> CpuSeconds(pid_t pid);

// Time on a CPU summed over the process's threads in seconds, from
// /proc/<pid>/task/*/schedstat; nanosecond resolution, so short idle spans
// still show what they cost.
std::optional<double> ScheduledSeconds(pid_t pid);

// VmHWM from /proc/<pid>/status: the peak resident set, in KiB.
std::optional<std::uint64_t> PeakResidentKiB(pid_t pid);

// Where a process's resident memory lies, in KiB, from /proc/<pid>/smaps:
// most of a toolkit program's resident pages are shared library code that
// every program using the same libraries shares, so resident size says
// little of what the program itself costs.
struct MemoryShares {
  std::uint64_t residentKiB = 0;      // Rss
  std::uint64_t proportionalKiB = 0;  // Pss: shared pages divided among their users
  std::uint64_t privateDirtyKiB = 0;  // pages only this process has written: its own cost
  std::uint64_t toolkitKiB = 0;       // resident pages of the mappings of Qt's (or Wine's) libraries
};
std::optional<MemoryShares> Memory(pid_t pid);

// The kernel's scheduler tick in ms (CONFIG_HZ from /boot/config-<release>
// or /proc/config.gz),
// the slice a normal-priority busy wait may lose to another runnable task;
// unset where the kernel's configuration is not there to read.
std::optional<double> SchedulerTickMs();

// nonvoluntary_ctxt_switches of the main thread, from /proc/<pid>/status:
// how often the scheduler took the CPU away from it. Each one inside an
// answer's busy wait can delay an edge.
std::optional<std::uint64_t> InvoluntarySwitches(pid_t pid);

// The machine's CPU time so far, all CPUs, in clock ticks: in total, and
// the part stolen by the hypervisor (a virtual machine's CPUs run only when
// the host lets them; a busy wait cannot see a second pass while stolen).
struct MachineTicks {
  std::uint64_t total = 0, steal = 0;
};
MachineTicks MachineCpuTicks();

// The 1-minute load average of the machine.
double LoadAverage();

}  // namespace quorvane::bench
