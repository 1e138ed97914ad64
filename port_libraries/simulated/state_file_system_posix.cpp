// The POSIX system calls behind the state file: open, mkostemp and link,
// posix_fallocate, mmap, flock, fstat/lstat to notice the file losing its
// place, and SIGBUS caught around an access to a mapping that may shrink.

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "port_libraries/exclusive_hold/exclusive_hold.h"
#include "port_libraries/simulated/state_file_system.h"

namespace quorvane::simport::statefs {

namespace {

int Descriptor(FileId file) { return static_cast<int>(file); }

ErrorCode LastError() { return static_cast<ErrorCode>(errno); }

Result Failed(int error) { return {Status::kFailed, static_cast<ErrorCode>(error)}; }

// The access under way in this thread, when it is guarded. The system
// sends SIGBUS for a mapped page past the file's end: the access then ends
// there and Guarded says so. A fault outside such an access is not ours,
// and ends the process as it would have without us.
thread_local sigjmp_buf* guardedAccess = nullptr;

void OnBusError(int signal) {
  if (sigjmp_buf* access = guardedAccess) siglongjmp(*access, 1);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

std::string ErrorText(ErrorCode error) { return std::strerror(static_cast<int>(error)); }

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// $XDG_RUNTIME_DIR is the user's alone (mode 0700), made for the session
// by the system; /tmp, where any user may make a file under our name
// first, only where it is not set (a bare console, cron, a container).
std::string PrivateFolder() {
  const std::string folder = EnvironmentValue("XDG_RUNTIME_DIR");
  if (folder.empty() || folder.front() != '/') return {};
  return folder.back() == '/' ? folder : folder + '/';
}

std::string TemporaryFolder() { return "/tmp/"; }

std::string UserName() { return std::to_string(geteuid()); }

Result OpenExisting(const std::string& path, FileId* file) {
  // O_NOFOLLOW: in a shared folder anyone can plant a link under our name.
  // O_NONBLOCK: a FIFO or a device under that name must not stop the open.
  const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    *file = fd;
    return {};
  }
  if (errno == ENOENT) return {Status::kAbsent, 0};
  return Failed(errno);
}

ErrorCode CreateTemporary(const std::string& path, std::string* temporary, FileId* file) {
  *temporary = path + ".new-XXXXXX";
  const int fd = mkostemp(temporary->data(), O_CLOEXEC);  // 0600, never an existing file
  if (fd < 0) return LastError();
  *file = fd;
  return 0;
}

Result PlaceTemporary(const std::string& temporary, const std::string& path) {
  if (link(temporary.c_str(), path.c_str()) == 0) return {};
  if (errno == EEXIST) return {Status::kTaken, 0};
  return Failed(errno);
}

void RemoveTemporary(const std::string& temporary) { unlink(temporary.c_str()); }

void Close(FileId file) { close(Descriptor(file)); }

ErrorCode Examine(FileId file, Facts* facts) {
  struct stat info {};
  if (fstat(Descriptor(file), &info) != 0) return LastError();
  // A link is never opened (O_NOFOLLOW), so never seen here.
  facts->kind = S_ISREG(info.st_mode) ? Kind::kRegular : Kind::kOther;
  facts->size = static_cast<std::uint64_t>(info.st_size);
  facts->named = info.st_nlink != 0;
  return 0;
}

bool OwnedByAnother(FileId file, const std::string& /*path*/) {
  // Wherever it lies: its owner could cut it short under our mapping or
  // change the port's lines, and a file of theirs is no port of ours.
  struct stat info {};
  if (fstat(Descriptor(file), &info) != 0) return true;
  return info.st_uid != geteuid();
}

bool OthersMayWrite(FileId file) {
  struct stat info {};
  if (fstat(Descriptor(file), &info) != 0) return true;
  return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

ErrorCode Allocate(FileId file, std::size_t size) {
  return static_cast<ErrorCode>(posix_fallocate(Descriptor(file), 0, static_cast<off_t>(size)));
}

ErrorCode Map(FileId file, std::size_t size, View* view) {
  void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, Descriptor(file), 0);
  if (address == MAP_FAILED) return LastError();
  *view = {address, 0};
  return 0;
}

void Unmap(const View& view, std::size_t size) { munmap(view.address, size); }

bool Guarded(void (*access)(void*), void* context) {
  // The handler is ours only for the access, and the caller's again after
  // it: the library runs inside other programs, with their own dispositions.
  struct sigaction ours {};
  struct sigaction previous {};
  ours.sa_handler = OnBusError;
  sigemptyset(&ours.sa_mask);
  if (sigaction(SIGBUS, &ours, &previous) != 0) {
    access(context);
    return true;
  }
  sigjmp_buf here;
  volatile bool reached = false;
  // The signal mask is saved too: SIGBUS, blocked in its handler, is
  // unblocked again after the jump.
  if (sigsetjmp(here, 1) == 0) {
    guardedAccess = &here;
    access(context);
    reached = true;
  }
  guardedAccess = nullptr;
  sigaction(SIGBUS, &previous, nullptr);
  return reached;
}

Result TryCreationLock(FileId file) {
  for (;;) {
    if (flock(Descriptor(file), LOCK_EX | LOCK_NB) == 0) return {};
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return {Status::kTaken, 0};
    return Failed(errno);
  }
}

void ReleaseCreationLock(FileId file) { flock(Descriptor(file), LOCK_UN); }

Result Hold(FileId file, std::string* lockedBy) {
  // The same flock as the creation lock, which only a file still empty or
  // without its header needs: a held file is complete, so no opener waits.
  const exclusive::HoldAttempt attempt = exclusive::HoldExclusively(Descriptor(file));
  if (attempt.error == 0) return {};
  if (attempt.error == EWOULDBLOCK) {
    *lockedBy = exclusive::LockedByText(attempt, "it");
    return {Status::kTaken, 0};
  }
  return Failed(attempt.error);
}

ErrorCode IdentityOf(FileId file, Identity* identity) {
  struct stat info {};
  if (fstat(Descriptor(file), &info) != 0) return LastError();
  *identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return 0;
}

Result NamedIdentity(const std::string& path, Identity* identity) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? Result{Status::kAbsent, 0} : Failed(errno);
  *identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return {};
}

ErrorCode Deleted(FileId file, bool* deleted) {
  struct stat info {};
  if (fstat(Descriptor(file), &info) != 0) return LastError();
  *deleted = info.st_nlink == 0;
  return 0;
}

}  // namespace quorvane::simport::statefs
