#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quorvane {

// Where an open file ends, as far as can be seen.
struct FileEnd {
  // A plain file has an end to look at; a device has none.
  bool plainFile = false;
  std::uint64_t size = 0;
  // Unset when the file is empty or may not be read.
  std::optional<unsigned char> lastByte;
};

// A file opened for appending only, for the length of one call: created when
// missing, never truncated, closed by Close() (whose result counts) or, on the
// way out of a failure, by the destructor. Each operation throws Failure with
// `what` ("the restart log"), the file's full name and the system's reason.
//
// Opening never blocks, and neither does writing to anything but a plain file
// or a disk: a FIFO or a socket, where a line would be lost or the start could
// wait for ever, is refused; a character device (/dev/null) is written as it
// is. A link that could lead the line into someone else's file is refused:
// on Windows any reparse point (a symbolic link, a junction); on POSIX
// systems, in a folder other users may change, a symbolic link, a file with
// other hard links or another user's file. The system-specific part lives behind this class, one file per
// platform (append_only_file_posix.cpp, append_only_file_win32.cpp).
class AppendOnlyFile {
 public:
  AppendOnlyFile(const std::filesystem::path& file, std::string what);
  ~AppendOnlyFile();
  AppendOnlyFile(const AppendOnlyFile&) = delete;
  AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

  // Holds other copies of the program off this file until Close(), so that
  // looking at the end and appending are one step for them. Waits its turn
  // for about two seconds only: a copy that never lets go, or another
  // process holding the file, delays the start but cannot stop it. Where the
  // wait runs out or the file system has no locks, the append still goes
  // ahead whole; only the look at the end may then be out of date.
  void HoldOthersOff();

  FileEnd End();

  // Appends `bytes` with one write at the end of the file. A write that
  // lands only in part is a failure, never retried (see the .cpp).
  void AppendWhole(const std::string& bytes);

  void Close();

 private:
  struct Handle;  // the system's open file, defined in each platform's file
  enum class Turn { kHeld, kTaken, kNoLocks };

  Turn TryToHoldOthersOff();                        // one attempt, never waits
  std::size_t WriteOnce(const std::string& bytes);  // the bytes that landed
  static std::string FullName(const std::filesystem::path& file);
  [[noreturn]] void Fail(const std::string& doing, const std::string& reason) const;
  // For a file of a kind where a line would be lost or could block.
  [[noreturn]] void Refuse(const std::string& kind) const;
  // For a log that is a link (Windows: a reparse point) where none may be.
  [[noreturn]] void RefuseLink() const;

  std::string what_;
  std::string shownName_;  // the full name, for messages
  std::unique_ptr<Handle> handle_;
};

}  // namespace quorvane
