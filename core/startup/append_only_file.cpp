// The parts of AppendOnlyFile that are the same on every system: the wait for
// another copy, a write that lands in part, and the wording of the messages.

#include <chrono>
#include <thread>

#include "common/failure.h"
#include "core/startup/append_only_file.h"

namespace quorvane {

namespace {

// Another copy holds the file for microseconds. Far longer means something
// else holds it (a stuck copy, a backup tool): the start waits this long, then
// appends without its turn, since a start must never hang on the log.
constexpr auto kTurnWait = std::chrono::seconds(2);
constexpr auto kTurnRetry = std::chrono::milliseconds(10);

}  // namespace

void AppendOnlyFile::HoldOthersOff() {
  // The steady clock, so that a change of the wall clock cannot stretch the
  // wait or cut it short.
  const auto giveUp = std::chrono::steady_clock::now() + kTurnWait;
  while (TryToHoldOthersOff() == Turn::kTaken && std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(kTurnRetry);
}

void AppendOnlyFile::AppendWhole(const std::string& bytes) {
  const std::size_t written = WriteOnce(bytes);
  // A write that lands in part (the disk filled, a file size limit, a signal
  // after some bytes) is not continued: a second write could land after
  // another copy's line and split ours in two around it. The piece that did
  // land stays as a line cut short, and the next start begins its own line
  // after it.
  if (written != bytes.size())
    Fail("write",
         "only " + std::to_string(written) + " of " + std::to_string(bytes.size()) + " bytes were written");
}

std::string AppendOnlyFile::FullName(const std::filesystem::path& file) {
  // A relative name is shown resolved against the working directory. If even
  // that fails (the directory was removed), the name as given still says
  // which file. UTF-8 whatever the system's own encoding of names. A name
  // that is whole already stays as given; the C++ library does not take a
  // Windows device name (\\.\pipe\...) for one and would turn it into a
  // file on the current drive.
  const auto& native = file.native();
  // On POSIX both sides name '/'; on Windows the second is '\\'.
  const auto separator = [](auto c) {
    return c == '/' || c == std::filesystem::path::preferred_separator;  // NOLINT(misc-redundant-expression)
  };
  const bool whole =
      file.is_absolute() || (native.size() > 2 && separator(native[0]) && separator(native[1]));
  std::error_code error;
  const std::filesystem::path full = whole ? file : std::filesystem::absolute(file, error);
  const std::u8string name = (error ? file : full).u8string();
  return {name.begin(), name.end()};
}

void AppendOnlyFile::Fail(const std::string& doing, const std::string& reason) const {
  throw Failure("cannot " + doing + " " + what_ + " " + shownName_ + ": " + reason);
}

void AppendOnlyFile::Refuse(const std::string& kind) const {
  throw Failure(what_ + " " + shownName_ + " is " + kind +
                ", not a file: a line written there would be lost or could block");
}

void AppendOnlyFile::RefuseLink() const {
  throw Failure(what_ + " " + shownName_ +
                " is a link (a reparse point), not a file: refused, so that no other file is written");
}

}  // namespace quorvane
