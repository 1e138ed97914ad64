#pragma once

#include <string>

#include "core/poll_and_answer/answer_priority.h"

namespace quorvane {

// The answer's priority the thread may take itself. Linux: the real-time
// class SCHED_FIFO at its lowest priority, 1 (above every normal thread,
// below the kernel's and the audio's real-time ones), where the resource
// limit RLIMIT_RTPRIO allows it (the service's unit grants 1); refused
// otherwise. Windows: THREAD_PRIORITY_TIME_CRITICAL, the highest of its
// process's class.
class ThreadPriority final : public AnswerPriority {
 public:
  std::string Raise() override;
  void Restore() override;

 private:
  bool raised_ = false;
  int previousPolicy_ = 0;  // Linux: the policy and priority to go back to
  int previousPriority_ = 0;
};

}  // namespace quorvane
