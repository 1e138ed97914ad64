#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "common/failure.h"
#include "startup/append_only_file.h"

namespace quorvane {

namespace {

std::string Reason(int error) { return std::strerror(error); }

// The name as the people reading the message would look for it: a relative
// name is shown resolved against the working directory. If even that fails
// (the directory was removed), the name as given still says which file.
std::string FullName(const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(file, error);
  return (error ? file : full).string();
}

}  // namespace

AppendOnlyFile::AppendOnlyFile(const std::filesystem::path& file, std::string what)
    : what_(std::move(what)), shownName_(FullName(file)) {
  // O_APPEND makes the kernel move to the end and write as one step, so a
  // copy started alongside cannot slip its bytes into the middle of ours.
  // Reading is asked for too, only to look at the last byte; a log that may
  // be appended to but not read still gets its line, unlooked at.
  for (const int access : {O_RDWR, O_WRONLY}) {
    do {
      descriptor_ = ::open(file.c_str(), access | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (descriptor_ < 0 && errno == EINTR);
    readable_ = access == O_RDWR;
    if (descriptor_ >= 0 || errno != EACCES) break;
  }
  if (descriptor_ < 0) Fail("open", Reason(errno));
}

AppendOnlyFile::~AppendOnlyFile() {
  // Only reached with an open descriptor when a failure is already on its
  // way out; that failure is the one worth reporting.
  if (descriptor_ >= 0) ::close(descriptor_);
}

void AppendOnlyFile::HoldOthersOff() {
  // An advisory lock, taken for microseconds by each copy and dropped by
  // close. A file system without locks (ENOLCK, EOPNOTSUPP) leaves the
  // appends whole all the same; only the look at the last byte may then be
  // out of date.
  while (::flock(descriptor_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

int AppendOnlyFile::LastByte() {
  if (!readable_) return -1;
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) Fail("examine", Reason(errno));
  if (!S_ISREG(status.st_mode) || status.st_size == 0) return -1;
  char last = 0;
  ssize_t got;
  do {
    got = ::pread(descriptor_, &last, 1, status.st_size - 1);
  } while (got < 0 && errno == EINTR);
  if (got < 0) Fail("read the end of", Reason(errno));
  return got == 1 ? static_cast<unsigned char>(last) : -1;
}

void AppendOnlyFile::AppendWhole(const std::string& bytes) {
  ssize_t written;
  // An interrupted write that wrote nothing can safely be made again.
  do {
    written = ::write(descriptor_, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) Fail("write", Reason(errno));
  // A write that lands in part (the disk filled, a file size limit, a signal
  // after some bytes) is not continued: a second write could land after
  // another copy's line and split ours in two around it. The piece that did
  // land stays as a line cut short, and the next start begins its own line
  // after it.
  if (static_cast<std::size_t>(written) != bytes.size())
    Fail("write", "only " + std::to_string(written) + " of " + std::to_string(bytes.size()) +
                      " bytes were written");
}

void AppendOnlyFile::Close() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  // close is never repeated: Linux releases the descriptor even when close
  // fails, and a second close could hit a descriptor opened meanwhile. Every
  // failure counts, an interrupted one too: on a network file system it can
  // mean the line never arrived, and a start that may not be logged must not
  // pass for one that was.
  if (::close(descriptor) != 0) Fail("close", Reason(errno));
}

void AppendOnlyFile::Fail(const std::string& doing, const std::string& reason) const {
  throw Failure("cannot " + doing + " " + what_ + " " + shownName_ + ": " + reason);
}

}  // namespace quorvane
