// The POSIX variant of the state file seam: open, flock, ftruncate, mmap.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "port_libraries/simulated/port_state.h"
#include "port_libraries/simulated/shared_state_file.h"

namespace quorvane::simport {

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

// Holds the file's exclusive lock while it is checked or initialised, so two
// processes creating it at once do not both initialise it.
class CreationLock {
 public:
  explicit CreationLock(int fd) : fd_(fd) {
    while ((locked_ = flock(fd_, LOCK_EX) == 0) == false && errno == EINTR) {
    }
  }
  ~CreationLock() {
    if (locked_) flock(fd_, LOCK_UN);
  }
  bool Locked() const { return locked_; }

 private:
  int fd_;
  bool locked_ = false;
};

std::string DefaultPath() { return kDefaultPathPrefix + std::to_string(geteuid()); }

}  // namespace

std::string StateFilePath() {
  const char* chosen = std::getenv(kPathVariable);
  if (chosen && *chosen) return chosen;
  return DefaultPath();
}

SharedStateFile::~SharedStateFile() {
  if (state_) munmap(state_, sizeof(StateFile));
}

bool SharedStateFile::Open(const std::string& path, std::string* error) {
  const auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  // O_NOFOLLOW: the default path is in /tmp, where anyone can plant a link.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0)
    return fail("cannot open the simulated port file " + path + ": " + SystemReason(errno));
  struct Closer {
    int fd;
    ~Closer() { close(fd); }  // the mapping outlives the descriptor
  } closer{fd};

  CreationLock lock(fd);
  if (!lock.Locked())
    return fail("cannot lock the simulated port file " + path + ": " + SystemReason(errno));
  struct stat info {};
  if (fstat(fd, &info) != 0)
    return fail("cannot examine the simulated port file " + path + ": " + SystemReason(errno));
  if (!S_ISREG(info.st_mode))
    return fail("the simulated port file " + path + " is not a regular file");
  // In the shared /tmp default place, a file another user made is not ours.
  if (path == DefaultPath() && info.st_uid != geteuid())
    return fail("the simulated port file " + path + " belongs to another user");
  const bool isNew = info.st_size == 0;
  // Allocated, not just sized, so a full disk shows here and not as a fault
  // on the first store into the mapping.
  if (isNew) {
    if (const int result = posix_fallocate(fd, 0, sizeof(StateFile)); result != 0)
      return fail("cannot size the simulated port file " + path + ": " + SystemReason(result));
  }
  if (!isNew && info.st_size != static_cast<off_t>(sizeof(StateFile)))
    return fail("the simulated port file " + path + " has " + std::to_string(info.st_size) +
                " bytes, expected " + std::to_string(sizeof(StateFile)) +
                " (not ours, or from another version; remove it if no run uses it)");

  void* mapped = mmap(nullptr, sizeof(StateFile), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (mapped == MAP_FAILED)
    return fail("cannot map the simulated port file " + path + ": " + SystemReason(errno));
  auto* state = static_cast<StateFile*>(mapped);
  // A file of the right size whose magic is still 0 was left by a creator
  // that stopped half way; nobody can be using it, so it is finished here.
  if (isNew || IsUnfinished(*state)) InitialiseState(*state);
  if (const std::string problem = HeaderProblem(*state); !problem.empty()) {
    munmap(mapped, sizeof(StateFile));
    return fail("the simulated port file " + path + " " + problem +
                " (remove it if no run uses it)");
  }
  if (state_) munmap(state_, sizeof(StateFile));
  state_ = state;
  return true;
}


}  // namespace quorvane::simport
