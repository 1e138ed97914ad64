#pragma once

#include <string>

namespace quorvane {

// How the system favours the thread while it answers: on a loaded machine
// a thread in the normal class waits its turn behind the load (up to a
// scheduler tick, 4 ms) when its sleep ends; in a real-time class it runs
// at once. Only for the answer: the rest of the time the program is an
// ordinary one.
class AnswerPriority {
 public:
  virtual ~AnswerPriority() = default;

  // Raises the thread for one answer. Returns why it could not ("" when it
  // was raised); the answer then runs in the class the thread had.
  virtual std::string Raise() = 0;
  // Puts the thread back as it was before Raise; nothing when Raise refused.
  virtual void Restore() = 0;
};

}  // namespace quorvane
