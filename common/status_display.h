#pragma once

#include <string>

namespace quorvane {

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
