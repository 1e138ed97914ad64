#include "bench/benchmark/sleep_floor.h"

#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <string>

#include "port_libraries/simulated/simulated_port_client.h"

namespace quorvane::bench {

// Written by the child, read by the benchmark: shared memory, no pipe to
// wake either side.
struct SleepFloor::Shared {
  static constexpr int kCapacity = 1200;  // twenty minutes of wake-ups
  std::atomic<int> count{0};
  std::atomic<bool> realtime{false};
  std::int64_t latenessNs[kCapacity]{};
};

namespace {

[[noreturn]] void SleepToDeadlines(SleepFloor::Shared& shared, bool realtime, std::uint64_t firstNs);

}  // namespace

SleepFloor::SleepFloor(bool realtime) {
  void* memory = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::runtime_error("the sleep floor: no shared memory");
  shared_ = new (memory) Shared;
  startNs_ = simport::NowNs();
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("the sleep floor: cannot fork");
  // Half a second out of phase with nothing in particular: the deadlines
  // fall wherever the answers' do.
  if (pid_ == 0) SleepToDeadlines(*shared_, realtime, startNs_ + 500'000'000);
}

SleepFloor::~SleepFloor() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (shared_) ::munmap(shared_, sizeof(Shared));
}

SleepFloor::Figures SleepFloor::Finish() {
  Figures figures;
  std::ifstream schedstat("/proc/" + std::to_string(pid_) + "/schedstat");
  std::uint64_t onCpuNs = 0;
  const double span = static_cast<double>(simport::NowNs() - startNs_);
  if (schedstat >> onCpuNs) figures.cpuPercent = static_cast<double>(onCpuNs) / span * 100.0;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
  const int count = shared_->count.load();
  for (int i = 0; i < count; ++i)
    figures.latenessUs.push_back(static_cast<double>(shared_->latenessNs[i]) / 1e3);
  figures.realtime = shared_->realtime.load();
  return figures;
}

namespace {

void SleepToDeadlines(SleepFloor::Shared& shared, bool realtime, std::uint64_t firstNs) {
  if (realtime) {
    sched_param priority{};
    priority.sched_priority = 1;
    shared.realtime = ::sched_setscheduler(0, SCHED_FIFO, &priority) == 0;
  }
  for (std::uint64_t deadline = firstNs; shared.count < SleepFloor::Shared::kCapacity;
       deadline += 1'000'000'000) {
    const timespec at{static_cast<time_t>(deadline / 1'000'000'000),
                      static_cast<long>(deadline % 1'000'000'000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    shared.latenessNs[shared.count] = static_cast<std::int64_t>(simport::NowNs() - deadline);
    ++shared.count;
  }
  ::_exit(0);
}

}  // namespace

}  // namespace quorvane::bench
