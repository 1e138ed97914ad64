#pragma once

#include <string>

namespace quorvane {

// Every text the status line shows, kept here for the logic that sets them
// and the window that must have room for them alike.
namespace status_texts {
// From the window's creation until the first poll.
inline constexpr char kActive[] = "Active...";
// Set by every poll.
inline constexpr char kWaitingForRequest[] = "Waiting for Request...";
// Set while an answer runs.
inline constexpr char kSendingSequence[] = "Sending Sequence...";
inline constexpr const char* kAll[] = {kWaitingForRequest, kSendingSequence, kActive};
}  // namespace status_texts

// The three texts the logic writes and the window shows. Writing a field
// replaces its whole text. A front end that cannot update its display throws
// Failure.
class StatusDisplay {
 public:
  virtual ~StatusDisplay() = default;
  virtual void SetStatusLine(const std::string& text) = 0;
  virtual void SetLastRestartText(const std::string& text) = 0;
  virtual void SetLastRequestText(const std::string& text) = 0;
};

}  // namespace quorvane
