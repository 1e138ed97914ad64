#include "core/life/stop_signals_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/failure.h"

namespace quorvane {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The pipe's ends; the handler may touch nothing else.
int noted[2] = {-1, -1};

extern "C" void NoteStop(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already says that a stop came.
  [[maybe_unused]] const ssize_t written = ::write(noted[1], &byte, 1);
  errno = saved;
}

[[noreturn]] void Fail(const char* doing) {
  throw Failure(std::string("cannot ") + doing + " for the stop signals: " + std::strerror(errno));
}

void Restore() {
  for (const int signal : kStopSignals) ::signal(signal, SIG_DFL);
}

}  // namespace

StopSignals::StopSignals() {
  if (noted[0] >= 0) throw Failure("the stop signals are already being watched");
  if (::pipe2(noted, O_NONBLOCK | O_CLOEXEC) != 0) Fail("make a pipe");
  struct sigaction action {};
  action.sa_handler = NoteStop;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int signal : kStopSignals) {
    if (::sigaction(signal, &action, nullptr) != 0) {
      const int error = errno;
      Restore();
      ::close(noted[0]);
      ::close(noted[1]);
      noted[0] = noted[1] = -1;
      errno = error;
      Fail("install a handler");
    }
  }
}

StopSignals::~StopSignals() {
  Restore();
  ::close(noted[0]);
  ::close(noted[1]);
  noted[0] = noted[1] = -1;
}

int StopSignals::Descriptor() const { return noted[0]; }

bool StopSignals::Take() {
  bool came = false;
  char bytes[16];
  while (::read(noted[0], bytes, sizeof bytes) > 0) came = true;
  return came;
}

}  // namespace quorvane
