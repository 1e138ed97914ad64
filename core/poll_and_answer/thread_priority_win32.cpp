#include <windows.h>

#include "common/windows_text.h"
#include "core/poll_and_answer/thread_priority.h"

namespace quorvane {

std::string ThreadPriority::Raise() {
  HANDLE thread = GetCurrentThread();
  const int previous = GetThreadPriority(thread);
  if (previous == THREAD_PRIORITY_ERROR_RETURN)
    return "cannot read the thread's priority: " + win32::LastSystemErrorText();
  if (!SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL))
    return "the time-critical thread priority was refused: " + win32::LastSystemErrorText();
  previousPriority_ = previous;
  raised_ = true;
  return "";
}

void ThreadPriority::Restore() {
  if (!raised_) return;
  raised_ = false;
  SetThreadPriority(GetCurrentThread(), previousPriority_);
}

}  // namespace quorvane
