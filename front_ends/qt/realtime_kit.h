#pragma once

#include <memory>
#include <string>

#include "core/poll_and_answer/answer_priority.h"
#include "core/poll_and_answer/thread_priority.h"

namespace quorvane {

// The window program's answer priority. It runs as an ordinary user, whose
// resource limits seldom allow a real-time class: where they do (a user in
// an audio group, say), the thread takes it itself; otherwise it asks
// RealtimeKit, the desktop's broker of real-time scheduling, over the
// system bus (org.freedesktop.RealtimeKit1, MakeThreadRealtime). Where that
// is absent or refuses, it is not asked again and the answers run in the
// normal class.
class RealtimeKitPriority final : public AnswerPriority {
 public:
  std::string Raise() override;
  void Restore() override;

 private:
  std::unique_ptr<AnswerPriority> own_ = MakeThreadPriority();
  // Why RealtimeKit cannot help: set once, and it is not asked again.
  std::string kitRefusal_;
  bool viaKit_ = false;  // this answer's class came from RealtimeKit
  int previousPolicy_ = 0;
};

}  // namespace quorvane
