#include <windows.h>

#include <string>
#include <utility>

#include "common/windows_text.h"
#include "core/startup/append_only_file.h"

namespace quorvane {

namespace {

// The system's reason in words, as the POSIX messages give it.
std::string Reason(DWORD error) { return win32::SystemErrorWords(error); }

// Windows locks are mandatory: a lock on the log's own bytes would make other
// programs' reads of them fail. The copies take turns on one byte far past
// any end a file can reach instead, which nobody reads or writes, so it works
// as an advisory lock.
OVERLAPPED TurnByte() {
  OVERLAPPED at{};
  at.Offset = 0xFFFFFFFE;
  at.OffsetHigh = 0x7FFFFFFF;
  return at;
}

}  // namespace

struct AppendOnlyFile::Handle {
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    // Only reached with an open handle when a failure is already on its way
    // out; that failure is the one worth reporting.
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  }
  HANDLE file = INVALID_HANDLE_VALUE;
  bool readable = false;
  bool plainFile = false;
  bool turnHeld = false;
};

AppendOnlyFile::AppendOnlyFile(const std::filesystem::path& file, std::string what)
    : what_(std::move(what)), shownName_(FullName(file)), handle_(std::make_unique<Handle>()) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the
  // end of the file, placed there by the file system as one step, so a copy
  // started alongside cannot slip its bytes into the middle of ours. Reading
  // is asked for too, only to look at the last byte; a log that may be
  // appended to but not read still gets its line, unlooked at. (CreateFileW
  // adds the right to read the attributes, which gives the size, by itself.)
  // Win32 file writes are binary: the CR LF we write is what lands.
  //
  // A link of any kind (a symbolic link, a junction, a mount point) is
  // opened as itself, never followed, and refused: it could lead the line
  // into a file of someone else's choosing.
  const std::wstring name = file.wstring();
  HANDLE& opened = handle_->file;
  DWORD error = ERROR_SUCCESS;
  for (const DWORD access : {GENERIC_READ | FILE_APPEND_DATA, static_cast<DWORD>(FILE_APPEND_DATA)}) {
    opened = ::CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    error = ::GetLastError();
    handle_->readable = (access & GENERIC_READ) != 0;
    if (opened != INVALID_HANDLE_VALUE || error != ERROR_ACCESS_DENIED) break;
  }
  if (opened == INVALID_HANDLE_VALUE) {
    // A pipe whose every instance is taken would have us wait for it.
    if (error == ERROR_PIPE_BUSY) Refuse("a pipe");
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) RefuseLink();
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
      Fail("open", "it is a folder");
    Fail("open", Reason(error));
  }

  const DWORD type = ::GetFileType(opened);
  if (const DWORD failed = ::GetLastError(); type == FILE_TYPE_UNKNOWN && failed != NO_ERROR)
    Fail("examine", Reason(failed));
  // A named pipe, or a socket, keeps no line and may block the write.
  if (type == FILE_TYPE_PIPE) Refuse("a pipe");
  // A character device the administrator chose (NUL) is written as it is.
  handle_->plainFile = type == FILE_TYPE_DISK;
  if (handle_->plainFile) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(opened, &information)) Fail("examine", Reason(::GetLastError()));
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) RefuseLink();
  }
}

AppendOnlyFile::~AppendOnlyFile() = default;

AppendOnlyFile::Turn AppendOnlyFile::TryToHoldOthersOff() {
  OVERLAPPED at = TurnByte();
  if (::LockFileEx(handle_->file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    handle_->turnHeld = true;
    return Turn::kHeld;
  }
  // A device or a file system without locks leaves the appends whole all
  // the same.
  return ::GetLastError() == ERROR_LOCK_VIOLATION ? Turn::kTaken : Turn::kNoLocks;
}

FileEnd AppendOnlyFile::End() {
  FileEnd end;
  if (!handle_->plainFile) return end;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle_->file, &size)) Fail("examine", Reason(::GetLastError()));
  end.plainFile = true;
  end.size = static_cast<std::uint64_t>(size.QuadPart);
  if (!handle_->readable || end.size == 0) return end;
  // A read at a given offset, which leaves where the writes go alone.
  OVERLAPPED at{};
  const std::uint64_t last = end.size - 1;
  at.Offset = static_cast<DWORD>(last & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(last >> 32);
  unsigned char byte = 0;
  DWORD got = 0;
  if (!::ReadFile(handle_->file, &byte, 1, &got, &at)) {
    // The file may have been cut shorter meanwhile by someone else.
    if (const DWORD failed = ::GetLastError(); failed != ERROR_HANDLE_EOF)
      Fail("read the end of", Reason(failed));
  }
  if (got == 1) end.lastByte = byte;
  return end;
}

std::size_t AppendOnlyFile::WriteOnce(const std::string& bytes) {
  DWORD written = 0;
  if (!::WriteFile(handle_->file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    Fail("write", Reason(::GetLastError()));
  return written;
}

void AppendOnlyFile::Close() {
  const HANDLE file = std::exchange(handle_->file, INVALID_HANDLE_VALUE);
  // Closing releases the lock too, but the system may do so only later; the
  // next copy should not wait for that.
  if (handle_->turnHeld) {
    OVERLAPPED at = TurnByte();
    ::UnlockFileEx(file, 0, 1, 0, &at);
  }
  // Every failure counts: on a network share it can mean the line never
  // arrived, and a start that may not be logged must not pass for one that
  // was.
  if (!::CloseHandle(file)) Fail("close", Reason(::GetLastError()));
}

}  // namespace quorvane
