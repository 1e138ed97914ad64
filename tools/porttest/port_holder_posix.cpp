// Linux: a running Quorvane holds the flock on the port's ppdev node; the
// kernel's list names any driver or ppdev client that has it claimed.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "port_libraries/exclusive_hold/exclusive_hold.h"
#include "tools/porttest/port_holder.h"

namespace quorvane::porttest {

std::string HolderOf(const port_choice::MachinePort& port) {
  // Read-only is enough to ask for the lock; one taken here is let go at
  // once, with the descriptor.
  const int fd = open(("/dev/" + port.name).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd >= 0) {
    const exclusive::HoldAttempt attempt = exclusive::HoldExclusively(fd);
    close(fd);
    if (attempt.error == EWOULDBLOCK) return attempt.holder.empty() ? "another program" : attempt.holder;
  }
  return port.holder;
}

}  // namespace quorvane::porttest
