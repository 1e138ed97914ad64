#pragma once

// The mark that one process drives a port: an exclusive flock on a file that
// stands for the port (the ppdev node, the simulated port's state file),
// taken without waiting and kept while the descriptor stays open. The kernel
// drops it when the holder ends, however it ends (SIGKILL too), so a copy
// that dies never leaves the port marked. Only a process that may open the
// file can take it.

#include <string>

namespace quorvane::exclusive {

struct HoldAttempt {
  // 0 when this descriptor now holds the file; EWOULDBLOCK when another open
  // file holds it; otherwise the errno of the attempt.
  int error = 0;
  // For EWOULDBLOCK, who holds it as the system tells (/proc/locks, then the
  // process's name, quoted): "\"quorvane-console\" (process 1234)"; empty when it does
  // not say (a holder in another PID namespace, /proc hidden).
  std::string holder;
};

HoldAttempt HoldExclusively(int fd);

// "<holder> has locked <what>", or "another process has locked <what>" when
// the holder is not known: the end of a refusal's text.
std::string LockedByText(const HoldAttempt& attempt, const std::string& what);

}  // namespace quorvane::exclusive
