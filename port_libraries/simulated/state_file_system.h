#pragma once

// The system calls behind the shared state file, and only those: one file per
// platform (state_file_system_posix.cpp, state_file_system_win32.cpp), chosen
// by CMake. The logic that strings them together (create whole, check, map,
// retry, the texts) is written once, in shared_state_file.cpp. Nothing here
// names a system type: a file travels as an integer (a descriptor on POSIX, a
// HANDLE's value on Windows) and paths as UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane::simport::statefs {

// An open file; kNoFile when none (-1 is also INVALID_HANDLE_VALUE).
using FileId = std::intptr_t;
inline constexpr FileId kNoFile = -1;

// 0 for success, otherwise the system's own code (errno, GetLastError()).
using ErrorCode = unsigned long;

// The system's words for a code, as the messages quote them.
std::string ErrorText(ErrorCode error);

// How a call that may meet an expected refusal ended: kTaken is "the name
// exists" or "another process holds the lock", kAbsent "no such file".
enum class Status { kDone, kAbsent, kTaken, kFailed };
struct Result {
  Status status = Status::kDone;
  ErrorCode error = 0;  // with kFailed
};

// The environment variable's value, empty when unset.
std::string EnvironmentValue(const char* name);
// Where the per-user default lives: a folder of the user's own that no one
// else may write, ending in its separator, or empty where the system names
// none; else the temporary folder, ending in its separator, with the user's
// name (or number) to end the file's name.
std::string PrivateFolder();
std::string TemporaryFolder();
std::string UserName();

// Opens an existing file for reading and writing: a link is never followed
// and a FIFO or a device never blocks the open. kAbsent when there is none.
Result OpenExisting(const std::string& path, FileId* file);
// Creates a file of a new name beside path, exclusively (never an existing
// file) and readable by the user only; *temporary is its name.
ErrorCode CreateTemporary(const std::string& path, std::string* temporary, FileId* file);
// Gives temporary the name path too, or moves it there; kTaken when path
// exists, which is never replaced. The file is closed by then.
Result PlaceTemporary(const std::string& temporary, const std::string& path);
// Removes the temporary name, when it still exists.
void RemoveTemporary(const std::string& temporary);
void Close(FileId file);

// What the checks on an open file look at.
enum class Kind { kRegular, kLink, kOther };
struct Facts {
  Kind kind = Kind::kOther;
  std::uint64_t size = 0;
  bool named = true;  // false once the file has lost its last name
};
ErrorCode Examine(FileId file, Facts* facts);
// Whether the file belongs to somebody else in a way that matters where
// path lies (stricter where that cannot be told).
bool OwnedByAnother(FileId file, const std::string& path);
// Whether users other than its owner may write the file, and so change the
// port's lines or cut the file short under a mapping.
bool OthersMayWrite(FileId file);

// Sets the file's length to size, allocated, so a full disk shows here and
// not as a fault on the first store into the mapping.
ErrorCode Allocate(FileId file, std::size_t size);

// A shared read-write view of a file's first size bytes.
struct View {
  void* address = nullptr;
  std::intptr_t mapping = 0;  // the system's mapping object, where it has one
};
ErrorCode Map(FileId file, std::size_t size, View* view);
void Unmap(const View& view, std::size_t size);
// Runs access(context), which reads or writes a view, and says whether it
// ran to its end: false when it met a part of the view that the file no
// longer holds (cut short by another process), where it stopped. So that
// stopping there leaves nothing undone, access allocates nothing and holds
// nothing to be cleaned up.
bool Guarded(void (*access)(void*), void* context);

// The creation lock, one attempt, never waiting: kTaken when another holds it.
Result TryCreationLock(FileId file);
void ReleaseCreationLock(FileId file);
// The mark of the one process that drives the port, never released (the
// system drops it when the file closes); kTaken with lockedBy saying who.
Result Hold(FileId file, std::string* lockedBy);

// Which file it is, to tell whether a path still names it.
struct Identity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const Identity&) const = default;
};
ErrorCode IdentityOf(FileId file, Identity* identity);
// The identity of the file the path names, not following a link; kAbsent
// when it names nothing.
Result NamedIdentity(const std::string& path, Identity* identity);
// Whether the open file was deleted, rather than moved away.
ErrorCode Deleted(FileId file, bool* deleted);

}  // namespace quorvane::simport::statefs
