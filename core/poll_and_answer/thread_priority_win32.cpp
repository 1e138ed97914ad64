#include <windows.h>

#include <memory>

#include "common/windows_text.h"
#include "core/poll_and_answer/thread_priority.h"

namespace quorvane {

namespace {

class TimeCriticalThread final : public AnswerPriority {
 public:
  std::string Raise() override;
  void Restore() override;

 private:
  bool raised_ = false;
  int previousPriority_ = THREAD_PRIORITY_NORMAL;
};

std::string TimeCriticalThread::Raise() {
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

void TimeCriticalThread::Restore() {
  if (!raised_) return;
  raised_ = false;
  SetThreadPriority(GetCurrentThread(), previousPriority_);
}

}  // namespace

std::unique_ptr<AnswerPriority> MakeThreadPriority() { return std::make_unique<TimeCriticalThread>(); }

}  // namespace quorvane
