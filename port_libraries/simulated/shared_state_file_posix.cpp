// The POSIX variant of the state file seam: open, mkstemp and link, flock,
// mmap, and fstat/lstat to notice the file losing its place.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>

#include "common/monotonic_clock.h"
#include "port_libraries/exclusive_hold/exclusive_hold.h"
#include "port_libraries/simulated/port_state.h"
#include "port_libraries/simulated/shared_state_file.h"
#include "port_libraries/simulated/state_file_rules.h"

namespace quorvane::simport {

struct SharedStateFile::System {
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
};

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

class Mapping {
 public:
  explicit Mapping(int fd)
      : address_(mmap(nullptr, sizeof(StateFile), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)) {}
  ~Mapping() {
    if (address_ != MAP_FAILED) munmap(address_, sizeof(StateFile));
  }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  bool Failed() const { return address_ == MAP_FAILED; }
  StateFile& State() const { return *static_cast<StateFile*>(address_); }
  StateFile* Release() { return static_cast<StateFile*>(std::exchange(address_, MAP_FAILED)); }

 private:
  void* address_;
};

// The file's exclusive flock, taken only to initialise an empty file or to
// look again at one whose header is missing. Waited for a bounded time: a
// process that holds it longer (`flock FILE sleep 60`) must not stop a
// start-up for good.
class CreationLock {
 public:
  explicit CreationLock(int fd) : fd_(fd) {
    const auto deadline = MonotonicNanoseconds() + std::chrono::nanoseconds(kCreationLockWait).count();
    for (;;) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        locked_ = true;
        return;
      }
      error_ = errno;
      if (error_ == EINTR) continue;
      if (error_ != EWOULDBLOCK || MonotonicNanoseconds() >= deadline) return;
      std::this_thread::sleep_for(kCreationLockRetry);
    }
  }
  ~CreationLock() {
    if (locked_) flock(fd_, LOCK_UN);
  }
  CreationLock(const CreationLock&) = delete;
  CreationLock& operator=(const CreationLock&) = delete;
  bool Locked() const { return locked_; }
  // Why not, when not locked: EWOULDBLOCK when another process held it all along.
  int Error() const { return error_; }

 private:
  int fd_;
  bool locked_ = false;
  int error_ = 0;
};

// A file in a folder where anyone may create files but only remove their
// own (sticky and world-writable, like /tmp) may have been planted there by
// another user, under the very name we would use. The folder is the one the
// path names, however it is spelled.
bool InSharedFolder(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  struct stat info {};
  // A folder that cannot be examined is taken as shared: the stricter rule.
  if (stat(folder.c_str(), &info) != 0) return true;
  return (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
}

// Allocated, not just sized, so a full disk shows here and not as a fault on
// the first store into the mapping. Then the power-on state, magic last.
bool SizeAndInitialise(int fd, const std::string& path, std::string* problem) {
  if (const int result = posix_fallocate(fd, 0, sizeof(StateFile)); result != 0) {
    *problem = CannotText("size", path, SystemReason(result));
    return false;
  }
  Mapping mapping(fd);
  if (mapping.Failed()) {
    *problem = CannotText("map", path, SystemReason(errno));
    return false;
  }
  InitialiseState(mapping.State());
  return true;
}

enum class Creation { kCreated, kAnotherWasFirst, kFailed };

// Builds the whole file under a temporary name in the same folder, then
// links it to the path, which fails when a file of that name appeared
// meanwhile: nobody ever sees a file of ours half made, and no file but our
// own is ever written to.
Creation CreateWhole(const std::string& path, std::string* problem) {
  std::string temporary = path + ".new-XXXXXX";
  const Descriptor fd(mkostemp(temporary.data(), O_CLOEXEC));  // 0600, never an existing file
  if (fd.Get() < 0) {
    *problem = CannotText("create", path, SystemReason(errno));
    return Creation::kFailed;
  }
  // The temporary name goes whatever happens; the link, if made, stays.
  class Remover {
   public:
    explicit Remover(const std::string& name) : name_(name) {}
    Remover(const Remover&) = delete;
    Remover& operator=(const Remover&) = delete;
    ~Remover() { unlink(name_.c_str()); }

   private:
    const std::string& name_;
  } remover(temporary);
  if (!SizeAndInitialise(fd.Get(), path, problem)) return Creation::kFailed;
  if (link(temporary.c_str(), path.c_str()) == 0) return Creation::kCreated;
  if (errno == EEXIST) return Creation::kAnotherWasFirst;
  *problem = CannotText("create", path, SystemReason(errno));
  return Creation::kFailed;
}

enum class Outcome { kMapped, kVanished, kRefused };

// Checks the file open at fd, initialising it when empty, and maps it.
Outcome CheckAndMap(int fd, const std::string& path, StateFile** state, std::string* problem) {
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    *problem = CannotText("examine", path, SystemReason(errno));
    return Outcome::kRefused;
  }
  if (!S_ISREG(info.st_mode)) {
    *problem = NotRegularFileText(path);
    return Outcome::kRefused;
  }
  if (info.st_uid != geteuid() && InSharedFolder(path)) {
    *problem = OtherOwnerText(path);
    return Outcome::kRefused;
  }
  if (info.st_size == 0) {
    // An empty file (made by touch, say) is ours to fill; the lock keeps two
    // openers from both filling it, and whoever comes second finds it done.
    const CreationLock lock(fd);
    if (!lock.Locked()) {
      *problem = lock.Error() == EWOULDBLOCK ? LockHeldText(path)
                                             : CannotText("lock", path, SystemReason(lock.Error()));
      return Outcome::kRefused;
    }
    if (fstat(fd, &info) != 0) {
      *problem = CannotText("examine", path, SystemReason(errno));
      return Outcome::kRefused;
    }
    if (info.st_nlink == 0) return Outcome::kVanished;
    if (info.st_size == 0 && !SizeAndInitialise(fd, path, problem)) return Outcome::kRefused;
    if (fstat(fd, &info) != 0) {
      *problem = CannotText("examine", path, SystemReason(errno));
      return Outcome::kRefused;
    }
  }
  if (info.st_size != static_cast<off_t>(sizeof(StateFile))) {
    *problem = WrongSizeText(path, static_cast<std::uint64_t>(info.st_size));
    return Outcome::kRefused;
  }
  Mapping mapping(fd);
  if (mapping.Failed()) {
    *problem = CannotText("map", path, SystemReason(errno));
    return Outcome::kRefused;
  }
  std::string header = HeaderProblem(mapping.State());
  if (!header.empty()) {
    // An opener that is filling an empty file holds the lock until the
    // magic is in: look again once it is free. The file is only read.
    const CreationLock lock(fd);
    if (!lock.Locked() && lock.Error() == EWOULDBLOCK) {
      *problem = LockHeldText(path);
      return Outcome::kRefused;
    }
    header = HeaderProblem(mapping.State());
    if (!header.empty()) {
      *problem = HeaderRefusedText(path, header);
      return Outcome::kRefused;
    }
  }
  *state = mapping.Release();
  return Outcome::kMapped;
}

std::string DefaultPath() {
  return std::string("/tmp/") + kDefaultFileNamePrefix + std::to_string(geteuid());
}

}  // namespace

std::string StateFilePath() {
  const char* chosen = std::getenv(kPathVariable);
  if (chosen && *chosen) return chosen;
  return DefaultPath();
}

SharedStateFile::SharedStateFile() : system_(std::make_unique<System>()) {}

SharedStateFile::~SharedStateFile() {
  if (state_) munmap(state_, sizeof(StateFile));
  if (system_->fd >= 0) close(system_->fd);
}

bool SharedStateFile::Open(const std::string& path, std::string* error) {
  std::string problem;
  const auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  if (state_) return fail(CannotText("open", path, "this connection already has a file open"));
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    // O_NOFOLLOW: in a shared folder anyone can plant a link under our name.
    // O_NONBLOCK: a FIFO or a device under that name must not stop the open.
    Descriptor fd(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) {
      if (errno != ENOENT) return fail(CannotText("open", path, SystemReason(errno)));
      if (CreateWhole(path, &problem) == Creation::kFailed) return fail(problem);
      continue;  // ours or another's, now complete: open it
    }
    StateFile* state = nullptr;
    switch (CheckAndMap(fd.Get(), path, &state, &problem)) {
      case Outcome::kRefused: return fail(problem);
      case Outcome::kVanished: continue;
      case Outcome::kMapped: break;
    }
    struct stat info {};
    fstat(fd.Get(), &info);
    system_->device = info.st_dev;
    system_->inode = info.st_ino;
    system_->fd = fd.Release();
    state_ = state;
    path_ = path;
    return true;
  }
  return fail(KeepsVanishingText(path));
}

std::string SharedStateFile::Hold() {
  if (!state_) return {};
  // The same flock as the creation lock, which only a file still empty or
  // without its header needs: a held file is complete, so no opener waits.
  const exclusive::HoldAttempt attempt = exclusive::HoldExclusively(system_->fd);
  if (attempt.error == 0) return {};
  if (attempt.error == EWOULDBLOCK) return HeldText(path_, exclusive::LockedByText(attempt, "it"));
  return CannotText("lock", path_, SystemReason(attempt.error));
}

std::string SharedStateFile::Displacement() const {
  if (!state_) return {};
  // The path first: a file renamed over ours has unlinked it too, and is
  // better told as a replacement.
  struct stat named {};
  if (lstat(path_.c_str(), &named) == 0) {
    if (named.st_dev != system_->device || named.st_ino != system_->inode) return ReplacedText(path_);
    return {};
  }
  if (errno != ENOENT) return CannotText("examine", path_, SystemReason(errno));
  struct stat open {};
  if (fstat(system_->fd, &open) != 0) return CannotText("examine", path_, SystemReason(errno));
  return open.st_nlink == 0 ? DeletedText(path_) : MovedAwayText(path_);
}

}  // namespace quorvane::simport
