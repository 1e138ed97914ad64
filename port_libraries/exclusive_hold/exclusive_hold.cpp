#include "port_libraries/exclusive_hold/exclusive_hold.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/foreign_name.h"

namespace quorvane::exclusive {

namespace {

// The process that took the flock on this device and inode. A line of
// /proc/locks reads "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF", the
// device as hexadecimal major:minor; waiters' lines carry "->" and are
// skipped.
long HolderPid(const struct stat& file) {
  std::ifstream locks("/proc/locks");
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(file.st_dev), minor(file.st_dev),
                static_cast<unsigned long long>(file.st_ino));
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, id;
    long pid = 0;
    if (!(fields >> number >> kind) || kind != "FLOCK") continue;
    if (!(fields >> mode >> access >> pid >> id)) continue;
    if (id == wanted && pid > 0) return pid;
  }
  return 0;
}

std::string ProcessName(long pid) {
  // The program's file name from its command line; comm, which the kernel
  // cuts at 15 characters, where that cannot be read. Either is whatever the
  // holder made it (argv[0] may hold a newline and escape sequences): shown
  // quoted, as text.
  const std::string folder = "/proc/" + std::to_string(pid);
  std::ifstream commandLine(folder + "/cmdline");
  std::string name;
  std::getline(commandLine, name, '\0');
  name = name.substr(name.find_last_of('/') == std::string::npos ? 0 : name.find_last_of('/') + 1);
  if (name.empty()) {
    std::ifstream comm(folder + "/comm");
    std::getline(comm, name);
  }
  const std::string process = "process " + std::to_string(pid);
  return name.empty() ? process : QuotedForeignName(name) + " (" + process + ")";
}

}  // namespace

HoldAttempt HoldExclusively(int fd) {
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return {};
    if (errno != EINTR) break;
  }
  HoldAttempt attempt{errno, {}};
  struct stat file {};
  if (attempt.error == EWOULDBLOCK && fstat(fd, &file) == 0)
    if (const long pid = HolderPid(file)) attempt.holder = ProcessName(pid);
  return attempt;
}

std::string LockedByText(const HoldAttempt& attempt, const std::string& what) {
  return (attempt.holder.empty() ? std::string("another process") : attempt.holder) + " has locked " + what;
}

}  // namespace quorvane::exclusive
