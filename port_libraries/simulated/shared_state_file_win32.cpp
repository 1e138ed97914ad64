// The Windows variant of the state file seam: CreateFileW, a file built
// under a temporary name and moved into place with MoveFileExW, LockFileEx,
// CreateFileMappingW and MapViewOfFile. Paths cross the seam in UTF-8.

#include <windows.h>

#include <aclapi.h>
#include <lmcons.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/monotonic_clock.h"
#include "common/windows_text.h"
#include "port_libraries/simulated/port_state.h"
#include "port_libraries/simulated/shared_state_file.h"
#include "port_libraries/simulated/state_file_rules.h"

namespace quorvane::simport {

struct SharedStateFile::System {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
};

namespace {

std::wstring Variable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() {
    if (Valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_;
};

// A file mapping and a view of the whole state file.
class Mapping {
 public:
  explicit Mapping(HANDLE file)
      : mapping_(CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, sizeof(StateFile), nullptr)) {
    if (mapping_.Valid())
      view_ = MapViewOfFile(mapping_.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(StateFile));
    if (!view_) error_ = GetLastError();
  }
  ~Mapping() {
    if (view_) UnmapViewOfFile(view_);
  }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  bool Failed() const { return view_ == nullptr; }
  DWORD Error() const { return error_; }
  StateFile& State() const { return *static_cast<StateFile*>(view_); }
  // The view and the mapping handle, now the caller's.
  std::pair<StateFile*, HANDLE> Release() {
    return {static_cast<StateFile*>(std::exchange(view_, nullptr)), mapping_.Release()};
  }

 private:
  Handle mapping_;
  void* view_ = nullptr;
  DWORD error_ = 0;
};

// The creation lock: one byte far past the end of the file, so it never
// stands in the way of the data (Windows locks are mandatory for ReadFile
// and WriteFile). Waited for a bounded time, as on POSIX.
class CreationLock {
 public:
  explicit CreationLock(HANDLE file) : file_(file) {
    range_.OffsetHigh = 0x40000000;
    const auto deadline = MonotonicNanoseconds() + std::chrono::nanoseconds(kCreationLockWait).count();
    for (;;) {
      if (LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range_)) {
        locked_ = true;
        return;
      }
      error_ = GetLastError();
      if (error_ != ERROR_LOCK_VIOLATION || MonotonicNanoseconds() >= deadline) return;
      std::this_thread::sleep_for(kCreationLockRetry);
    }
  }
  ~CreationLock() {
    if (locked_) UnlockFileEx(file_, 0, 1, 0, &range_);
  }
  CreationLock(const CreationLock&) = delete;
  CreationLock& operator=(const CreationLock&) = delete;
  bool Locked() const { return locked_; }
  bool HeldByAnother() const { return !locked_ && error_ == ERROR_LOCK_VIOLATION; }
  DWORD Error() const { return error_; }

 private:
  HANDLE file_;
  OVERLAPPED range_{};
  bool locked_ = false;
  DWORD error_ = 0;
};

// The token's information of one class, in a buffer of the size it needs.
std::vector<unsigned char> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) return {};
  return buffer;
}

// Windows has no sticky folders, and %TEMP% is the user's own; a file
// another user owns is refused wherever it is. Ours are those owned by the
// user, by the owner the user's new files get (the Administrators group,
// for an elevated run), or by a group the user is in.
bool OwnedByAnother(HANDLE file) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return true;  // the stricter answer when it cannot be told
  const std::unique_ptr<void, decltype(&LocalFree)> freeDescriptor(descriptor, &LocalFree);
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return true;
  const Handle token(rawToken);
  const auto user = TokenInformation(token.Get(), TokenUser);
  if (!user.empty() && EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid))
    return false;
  const auto defaultOwner = TokenInformation(token.Get(), TokenOwner);
  if (!defaultOwner.empty() &&
      EqualSid(owner, reinterpret_cast<const TOKEN_OWNER*>(defaultOwner.data())->Owner))
    return false;
  const auto groups = TokenInformation(token.Get(), TokenGroups);
  if (!groups.empty()) {
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD i = 0; i < list->GroupCount; ++i)
      if (EqualSid(owner, list->Groups[i].Sid)) return false;
  }
  return true;
}

// Sets the file's length (zeroed, allocated) and writes the power-on state,
// magic last.
bool SizeAndInitialise(HANDLE file, const std::string& path, std::string* problem) {
  LARGE_INTEGER size{};
  size.QuadPart = sizeof(StateFile);
  if (!SetFilePointerEx(file, size, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
    *problem = CannotText("size", path, win32::SystemErrorText(GetLastError()));
    return false;
  }
  Mapping mapping(file);
  if (mapping.Failed()) {
    *problem = CannotText("map", path, win32::SystemErrorText(mapping.Error()));
    return false;
  }
  InitialiseState(mapping.State());
  return true;
}

enum class Creation { kCreated, kAnotherWasFirst, kFailed };

// Builds the whole file under a temporary name in the same folder, then
// moves it to the path, which fails when a file of that name appeared
// meanwhile: nobody ever sees a file of ours half made, and no file but our
// own is ever written to.
Creation CreateWhole(const std::string& path, std::string* problem) {
  // A name no other process picks (CREATE_NEW never opens an existing file).
  const std::wstring temporary = win32::Wide(path) + L".new-" + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" +
                                 std::to_wstring(static_cast<unsigned long long>(MonotonicNanoseconds()));
  bool built = false;
  {
    const Handle file(CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
      *problem = CannotText("create", path, win32::SystemErrorText(GetLastError()));
      return Creation::kFailed;
    }
    built = SizeAndInitialise(file.Get(), path, problem);
  }  // closed before it is moved
  if (!built) {
    DeleteFileW(temporary.c_str());
    return Creation::kFailed;
  }
  // No MOVEFILE_REPLACE_EXISTING: an existing file is never replaced.
  if (MoveFileExW(temporary.c_str(), win32::Wide(path).c_str(), 0)) return Creation::kCreated;
  const DWORD error = GetLastError();
  DeleteFileW(temporary.c_str());
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return Creation::kAnotherWasFirst;
  *problem = CannotText("create", path, win32::SystemErrorText(error));
  return Creation::kFailed;
}

// Deleting or renaming the file is not shared while it is open, so on
// Windows it cannot lose its place under a run; reading and writing are.
constexpr DWORD kShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct Mapped {
  StateFile* state = nullptr;
  HANDLE mapping = nullptr;
};

// Checks the open file, initialising it when empty, and maps it; false with
// the reason in *problem when it is refused.
bool CheckAndMap(HANDLE file, const std::string& path, Mapped* mapped, std::string* problem) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) {
    *problem = CannotText("examine", path, win32::SystemErrorText(GetLastError()));
    return false;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // Opened as itself, not followed: anyone may plant a link under our name.
    *problem = CannotText("open", path, "it is a symbolic link or junction, which is not followed");
    return false;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || GetFileType(file) != FILE_TYPE_DISK) {
    *problem = NotRegularFileText(path);
    return false;
  }
  if (OwnedByAnother(file)) {
    *problem = OtherOwnerText(path);
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    *problem = CannotText("examine", path, win32::SystemErrorText(GetLastError()));
    return false;
  }
  if (size.QuadPart == 0) {
    // An empty file is ours to fill; the lock keeps two openers from both
    // filling it, and whoever comes second finds it done.
    const CreationLock lock(file);
    if (!lock.Locked()) {
      *problem = lock.HeldByAnother() ? LockHeldText(path)
                                      : CannotText("lock", path, win32::SystemErrorText(lock.Error()));
      return false;
    }
    if (!GetFileSizeEx(file, &size)) {
      *problem = CannotText("examine", path, win32::SystemErrorText(GetLastError()));
      return false;
    }
    if (size.QuadPart == 0) {
      if (!SizeAndInitialise(file, path, problem)) return false;
      size.QuadPart = sizeof(StateFile);
    }
  }
  // Checked before mapping: a mapping larger than the file would grow it.
  if (size.QuadPart != static_cast<LONGLONG>(sizeof(StateFile))) {
    *problem = WrongSizeText(path, static_cast<std::uint64_t>(size.QuadPart));
    return false;
  }
  Mapping mapping(file);
  if (mapping.Failed()) {
    *problem = CannotText("map", path, win32::SystemErrorText(mapping.Error()));
    return false;
  }
  std::string header = HeaderProblem(mapping.State());
  if (!header.empty()) {
    // An opener filling an empty file holds the lock until the magic is in.
    const CreationLock lock(file);
    if (lock.HeldByAnother()) {
      *problem = LockHeldText(path);
      return false;
    }
    header = HeaderProblem(mapping.State());
    if (!header.empty()) {
      *problem = HeaderRefusedText(path, header);
      return false;
    }
  }
  const auto [state, handle] = mapping.Release();
  *mapped = {state, handle};
  return true;
}

std::string DefaultPath() {
  std::wstring folder = Variable(L"TEMP");
  if (folder.empty()) {
    wchar_t buffer[MAX_PATH + 1] = {};
    folder.assign(buffer, GetTempPathW(MAX_PATH + 1, buffer));
  }
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  wchar_t user[UNLEN + 1] = {};
  DWORD length = UNLEN + 1;
  const std::wstring name = GetUserNameW(user, &length) ? std::wstring(user) : L"unknown";
  return win32::Utf8(folder) + kDefaultFileNamePrefix + win32::Utf8(name);
}

}  // namespace

std::string StateFilePath() {
  std::string chosen = win32::Utf8(Variable(win32::Wide(kPathVariable).c_str()));
  if (!chosen.empty()) return chosen;
  return DefaultPath();
}

SharedStateFile::SharedStateFile() : system_(std::make_unique<System>()) {}

SharedStateFile::~SharedStateFile() {
  if (state_) UnmapViewOfFile(state_);
  if (system_->mapping) CloseHandle(system_->mapping);
  if (system_->file != INVALID_HANDLE_VALUE) CloseHandle(system_->file);
}

bool SharedStateFile::Open(const std::string& path, std::string* error) {
  std::string problem;
  const auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  if (state_) return fail(CannotText("open", path, "this connection already has a file open"));
  const std::wstring widePath = win32::Wide(path);
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    Handle file(CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, kShareMode, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid()) {
      const DWORD code = GetLastError();
      if (code != ERROR_FILE_NOT_FOUND) return fail(CannotText("open", path, win32::SystemErrorText(code)));
      if (CreateWhole(path, &problem) == Creation::kFailed) return fail(problem);
      continue;  // ours or another's, now complete: open it
    }
    Mapped mapped;
    if (!CheckAndMap(file.Get(), path, &mapped, &problem)) return fail(problem);
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(file.Get(), &info);
    system_->volume = info.dwVolumeSerialNumber;
    system_->indexHigh = info.nFileIndexHigh;
    system_->indexLow = info.nFileIndexLow;
    system_->mapping = mapped.mapping;
    system_->file = file.Release();
    state_ = mapped.state;
    path_ = path;
    return true;
  }
  return fail(KeepsVanishingText(path));
}

std::string SharedStateFile::Hold() {
  if (!state_) return {};
  // One byte of its own, past the creation lock's, and never unlocked: the
  // system drops it when the handle closes, as the process ends.
  OVERLAPPED range{};
  range.OffsetHigh = 0x40000001;
  if (LockFileEx(system_->file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range))
    return {};
  const DWORD code = GetLastError();
  if (code == ERROR_LOCK_VIOLATION) return HeldText(path_, "another process has locked it");
  return CannotText("lock", path_, win32::SystemErrorText(code));
}

std::string SharedStateFile::Displacement() const {
  if (!state_) return {};
  // Opened for no access at all, only to learn which file the path names.
  const Handle named(CreateFileW(win32::Wide(path_).c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (named.Valid()) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(named.Get(), &info))
      return CannotText("examine", path_, win32::SystemErrorText(GetLastError()));
    if (info.dwVolumeSerialNumber != system_->volume || info.nFileIndexHigh != system_->indexHigh ||
        info.nFileIndexLow != system_->indexLow)
      return ReplacedText(path_);
    return {};
  }
  const DWORD code = GetLastError();
  if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
    return CannotText("examine", path_, win32::SystemErrorText(code));
  FILE_STANDARD_INFO standard{};
  if (GetFileInformationByHandleEx(system_->file, FileStandardInfo, &standard, sizeof standard) &&
      (standard.DeletePending || standard.NumberOfLinks == 0))
    return DeletedText(path_);
  return MovedAwayText(path_);
}

}  // namespace quorvane::simport
