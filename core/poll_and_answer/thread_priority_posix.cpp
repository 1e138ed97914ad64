#include <sched.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/poll_and_answer/thread_priority.h"

namespace quorvane {

namespace {

constexpr int kRealtimePriority = 1;

bool IsRealtime(int policy) { return policy == SCHED_FIFO || policy == SCHED_RR; }

class RealtimeClass final : public AnswerPriority {
 public:
  std::string Raise() override;
  void Restore() override;

 private:
  bool raised_ = false;
  int previousPolicy_ = SCHED_OTHER;  // the class and priority to go back to
  int previousPriority_ = 0;
};

std::string RealtimeClass::Raise() {
  // On Linux these calls with pid 0 act on the calling thread alone.
  int policy = sched_getscheduler(0);
  if (policy < 0) return std::string("cannot read the scheduling class: ") + std::strerror(errno);
  policy &= ~SCHED_RESET_ON_FORK;
  // Started in a real-time class (a unit's CPUSchedulingPolicy): kept.
  if (IsRealtime(policy)) return "";
  sched_param current{};
  sched_getparam(0, &current);
  sched_param realtime{};
  realtime.sched_priority = kRealtimePriority;
  // Reset on fork: nothing the program starts inherits the class.
  if (sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &realtime) != 0)
    return std::string("the real-time class (SCHED_FIFO 1) was refused: ") + std::strerror(errno) +
           (errno == EPERM ? " (RLIMIT_RTPRIO is 0)" : "");
  previousPolicy_ = policy;
  previousPriority_ = current.sched_priority;
  raised_ = true;
  return "";
}

void RealtimeClass::Restore() {
  if (!raised_) return;
  raised_ = false;
  sched_param previous{};
  previous.sched_priority = previousPriority_;
  // Leaving a real-time class is always allowed.
  sched_setscheduler(0, previousPolicy_, &previous);
}

}  // namespace

std::unique_ptr<AnswerPriority> MakeThreadPriority() { return std::make_unique<RealtimeClass>(); }

}  // namespace quorvane
