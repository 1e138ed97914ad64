#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "startup/append_only_file.h"

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

}  // namespace

struct AppendOnlyFile::Handle {
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
  int& descriptor = handle_->descriptor;
  for (const int access : {O_RDWR, O_WRONLY}) {
    do {
      descriptor = ::open(file.c_str(), access | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                          0666);
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
    Fail("open", Reason(error));
  }

  struct stat status {};
  if (::fstat(descriptor, &status) != 0) Fail("examine", Reason(errno));
  if (const char* kind = KindRefused(status.st_mode)) Refuse(kind);
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
  ssize_t got;
  do {
    got = ::pread(handle_->descriptor, &last, 1, status.st_size - 1);
  } while (got < 0 && errno == EINTR);
  if (got < 0) Fail("read the end of", Reason(errno));
  if (got == 1) end.lastByte = static_cast<unsigned char>(last);
  return end;
}

std::size_t AppendOnlyFile::WriteOnce(const std::string& bytes) {
  ssize_t written;
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
