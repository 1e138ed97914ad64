#pragma once

#include <memory>

#include "core/poll_and_answer/answer_priority.h"

namespace quorvane {

// The answer's priority the thread may take itself. Linux: the real-time
// class SCHED_FIFO at its lowest priority, 1 (above every normal thread,
// below the kernel's and the audio's real-time ones), where the resource
// limit RLIMIT_RTPRIO allows it (the service's unit grants 1); refused
// otherwise. Windows: THREAD_PRIORITY_TIME_CRITICAL, the highest of its
// process's class.
std::unique_ptr<AnswerPriority> MakeThreadPriority();

}  // namespace quorvane
