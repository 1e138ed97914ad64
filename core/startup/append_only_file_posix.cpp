#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "common/failure.h"
#include "core/startup/append_only_file.h"
#include "core/startup/others_may_write.h"

namespace quorvane {

namespace {

std::string Reason(int error) { return std::strerror(error); }

// The kinds of file where a line would be lost (a FIFO with no reader keeps
// nothing) or the start could block (a full pipe), or nullptr.
const char* KindRefused(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISSOCK(mode)) return "a socket";
  return nullptr;
}

// A file size limit (ulimit -f) at or below the file's end makes the kernel
// send SIGXFSZ, whose default ends the process without a word. Ignored for
// the one write, the limit comes back as EFBIG ("File too large") and so as a
// message; the caller's own disposition is put back afterwards.
class SizeLimitSignalIgnored {
 public:
  SizeLimitSignalIgnored() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    restore_ = ::sigaction(SIGXFSZ, &ignore, &previous_) == 0;
  }
  ~SizeLimitSignalIgnored() {
    if (restore_) ::sigaction(SIGXFSZ, &previous_, nullptr);
  }
  SizeLimitSignalIgnored(const SizeLimitSignalIgnored&) = delete;
  SizeLimitSignalIgnored& operator=(const SizeLimitSignalIgnored&) = delete;

 private:
  struct sigaction previous_ {};
  bool restore_ = false;
};

// Why a log in such a folder is not ours to write, or nullptr when it is: a
// plain file of this user's with no other name.
const char* NotOurs(const struct stat& status) {
  if (S_ISLNK(status.st_mode)) return "a symbolic link";
  if (status.st_uid != ::geteuid()) return "another user's file";
  // A FIFO or a socket is refused as such, by its kind.
  if (!S_ISREG(status.st_mode) && !KindRefused(status.st_mode)) return "not a plain file";
  if (status.st_nlink > 1) return "a file with other hard links";
  return nullptr;
}

}  // namespace

struct AppendOnlyFile::Handle {
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    // Only reached with an open descriptor when a failure is already on its
    // way out; that failure is the one worth reporting.
    if (descriptor >= 0) ::close(descriptor);
  }
  int descriptor = -1;
  bool readable = false;
  bool plainFile = false;
};

AppendOnlyFile::AppendOnlyFile(const std::filesystem::path& file, std::string what)
    : what_(std::move(what)), shownName_(FullName(file)), handle_(std::make_unique<Handle>()) {
  // O_APPEND makes the kernel move to the end and write as one step, so a
  // copy started alongside cannot slip its bytes into the middle of ours.
  // Reading is asked for too, only to look at the last byte; a log that may
  // be appended to but not read still gets its line, unlooked at.
  // O_NONBLOCK: opening a FIFO (or a serial line) never waits for the other
  // end; what was opened is looked at before anything is written.
  //
  // In a folder others may change, the log is opened only when it is a
  // plain file of this user's with no other name, never through a symbolic
  // link (O_NOFOLLOW), and looked at again once open, so that nothing
  // swapped in between the look and the open is written. In a folder of the
  // user's own everything is as the user arranged it (a link to /dev/null).
  const bool shared = OthersMayWrite(file.parent_path());
  const auto refuseUnlessOurs = [&](const struct stat& status) {
    if (const char* why = NotOurs(status))
      throw Failure(what_ + " " + shownName_ + " is " + why +
                    " in a folder that other users may write; refused, so that no other user's file is "
                    "written");
  };
  if (struct stat before{}; shared && ::lstat(file.c_str(), &before) == 0) refuseUnlessOurs(before);
  int& descriptor = handle_->descriptor;
  for (const int access : {O_RDWR, O_WRONLY}) {
    do {
      descriptor = ::open(
          file.c_str(),
          access | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (shared ? O_NOFOLLOW : 0), 0666);
    } while (descriptor < 0 && errno == EINTR);
    handle_->readable = access == O_RDWR;
    if (descriptor >= 0 || errno != EACCES) break;
  }
  if (descriptor < 0) {
    const int error = errno;
    // A FIFO with no reader, opened for writing only, and a socket cannot be
    // opened at all (ENXIO); the message says what they are.
    struct stat status {};
    if (error == ENXIO && ::stat(file.c_str(), &status) == 0 && KindRefused(status.st_mode))
      Refuse(KindRefused(status.st_mode));
    // Something put there between the look and the open (O_NOFOLLOW
    // meets a link; the kernel may refuse another user's file itself).
    if (shared && ::lstat(file.c_str(), &status) == 0) refuseUnlessOurs(status);
    Fail("open", Reason(error));
  }

  struct stat status {};
  if (::fstat(descriptor, &status) != 0) Fail("examine", Reason(errno));
  if (const char* kind = KindRefused(status.st_mode)) Refuse(kind);
  if (shared) refuseUnlessOurs(status);
  handle_->plainFile = S_ISREG(status.st_mode);
  // A plain file is written as usual. A device the administrator chose
  // (/dev/null, a terminal) stays non-blocking, so that one which cannot take
  // the line now (a terminal stopped by ^S) fails the write instead of
  // holding the start.
  if (handle_->plainFile) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) Fail("open", Reason(errno));
  }
}

AppendOnlyFile::~AppendOnlyFile() = default;

AppendOnlyFile::Turn AppendOnlyFile::TryToHoldOthersOff() {
  // An advisory lock, taken for microseconds by each copy and dropped by
  // close. A file system without locks (ENOLCK, EOPNOTSUPP) leaves the
  // appends whole all the same.
  for (;;) {
    if (::flock(handle_->descriptor, LOCK_EX | LOCK_NB) == 0) return Turn::kHeld;
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? Turn::kTaken : Turn::kNoLocks;
  }
}

FileEnd AppendOnlyFile::End() {
  FileEnd end;
  if (!handle_->plainFile) return end;
  struct stat status {};
  if (::fstat(handle_->descriptor, &status) != 0) Fail("examine", Reason(errno));
  end.plainFile = true;
  end.size = static_cast<std::uint64_t>(status.st_size);
  if (!handle_->readable || end.size == 0) return end;
  char last = 0;
  ssize_t got = 0;
  do {
    got = ::pread(handle_->descriptor, &last, 1, status.st_size - 1);
  } while (got < 0 && errno == EINTR);
  if (got < 0) Fail("read the end of", Reason(errno));
  if (got == 1) end.lastByte = static_cast<unsigned char>(last);
  return end;
}

std::size_t AppendOnlyFile::WriteOnce(const std::string& bytes) {
  ssize_t written = 0;
  int error = 0;
  {
    const SizeLimitSignalIgnored sizeLimitIsAnError;
    // An interrupted write that wrote nothing can safely be made again.
    do {
      written = ::write(handle_->descriptor, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    error = errno;
  }
  if (written < 0) Fail("write", Reason(error));
  return static_cast<std::size_t>(written);
}

void AppendOnlyFile::Close() {
  const int descriptor = std::exchange(handle_->descriptor, -1);
  // close is never repeated: Linux releases the descriptor even when close
  // fails, and a second close could hit a descriptor opened meanwhile. Every
  // failure counts, an interrupted one too: on a network file system it can
  // mean the line never arrived, and a start that may not be logged must not
  // pass for one that was.
  if (::close(descriptor) != 0) Fail("close", Reason(errno));
}

}  // namespace quorvane
