#pragma once

// Helpers for driving the window in tests on Qt's offscreen platform.

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "port/port_io.h"

namespace quorvane::testing {

// A port whose request line is raised for the next `raisedPolls` polls. It
// records the values written and when each access happened, and lets a test
// act at every write, that is in the middle of an answer.
class ScriptedPort final : public PortIo {
 public:
  std::int16_t Inp32(std::int16_t) override {
    readTimesMs.push_back(NowMs());
    if (raisedPolls > 0) {
      --raisedPolls;
      return 0x10;
    }
    return 0;
  }
  void Out32(std::int16_t, std::int16_t value) override {
    writes.push_back(value);
    writeTimesMs.push_back(NowMs());
    if (onWrite) onWrite(value);
  }

  static std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }

  int raisedPolls = 0;
  std::vector<std::int16_t> writes;
  std::vector<std::int64_t> readTimesMs, writeTimesMs;
  std::function<void(std::int16_t)> onWrite;
};

// Services the event loop until `done` holds or `timeoutMs` has passed.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace quorvane::testing
