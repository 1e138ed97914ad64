// The Windows system calls behind the state file: CreateFileW, MoveFileExW,
// LockFileEx, CreateFileMappingW and MapViewOfFile, the owner check against
// the process token. Paths cross the seam in UTF-8.

#include <windows.h>

#include <aclapi.h>
#include <lmcons.h>

#include <memory>
#include <string>
#include <vector>

#include "common/monotonic_clock.h"
#include "common/windows_text.h"
#include "port_libraries/simulated/state_file_system.h"

namespace quorvane::simport::statefs {

namespace {

HANDLE Native(FileId file) { return reinterpret_cast<HANDLE>(file); }
FileId Id(HANDLE handle) { return reinterpret_cast<FileId>(handle); }

Result Failed(DWORD error) { return {Status::kFailed, error}; }

std::wstring Variable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

// Deleting or renaming the file is not shared while it is open, so on
// Windows it cannot lose its place under a run; reading and writing are.
constexpr DWORD kShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The creation lock: one byte far past the end of the file, so it never
// stands in the way of the data (Windows locks are mandatory for ReadFile
// and WriteFile). The hold has the next byte.
constexpr DWORD kCreationLockByte = 0x40000000;
constexpr DWORD kHoldByte = 0x40000001;

bool LockByte(FileId file, DWORD offsetHigh) {
  OVERLAPPED range{};
  range.OffsetHigh = offsetHigh;
  return LockFileEx(Native(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range);
}

// The token's information of one class, in a buffer of the size it needs.
std::vector<unsigned char> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) return {};
  return buffer;
}

Identity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

std::string ErrorText(ErrorCode error) { return win32::SystemErrorText(error); }

std::string EnvironmentValue(const char* name) { return win32::Utf8(Variable(win32::Wide(name).c_str())); }

// %TEMP% is the user's own already: the default stays there.
std::string PrivateFolder() { return {}; }

std::string TemporaryFolder() {
  std::wstring folder = Variable(L"TEMP");
  if (folder.empty()) {
    wchar_t buffer[MAX_PATH + 1] = {};
    folder.assign(buffer, GetTempPathW(MAX_PATH + 1, buffer));
  }
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return win32::Utf8(folder);
}

std::string UserName() {
  wchar_t user[UNLEN + 1] = {};
  DWORD length = UNLEN + 1;
  return GetUserNameW(user, &length) ? win32::Utf8(user) : "unknown";
}

Result OpenExisting(const std::string& path, FileId* file) {
  // FILE_FLAG_OPEN_REPARSE_POINT: a link is opened as itself, and refused.
  const HANDLE handle =
      CreateFileW(win32::Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareMode, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    *file = Id(handle);
    return {};
  }
  const DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND) return {Status::kAbsent, 0};
  return Failed(code);
}

ErrorCode CreateTemporary(const std::string& path, std::string* temporary, FileId* file) {
  // A name no other process picks (CREATE_NEW never opens an existing file).
  *temporary = path + ".new-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(static_cast<unsigned long long>(MonotonicNanoseconds()));
  const HANDLE handle = CreateFileW(win32::Wide(*temporary).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError();
  *file = Id(handle);
  return 0;
}

Result PlaceTemporary(const std::string& temporary, const std::string& path) {
  // No MOVEFILE_REPLACE_EXISTING: an existing file is never replaced.
  if (MoveFileExW(win32::Wide(temporary).c_str(), win32::Wide(path).c_str(), 0)) return {};
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return {Status::kTaken, 0};
  return Failed(error);
}

// After a move there is nothing left to delete, and nothing is.
void RemoveTemporary(const std::string& temporary) { DeleteFileW(win32::Wide(temporary).c_str()); }

void Close(FileId file) { CloseHandle(Native(file)); }

ErrorCode Examine(FileId file, Facts* facts) {
  BY_HANDLE_FILE_INFORMATION info{};
  LARGE_INTEGER size{};
  if (!GetFileInformationByHandle(Native(file), &info) || !GetFileSizeEx(Native(file), &size))
    return GetLastError();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    facts->kind = Kind::kLink;
  else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || GetFileType(Native(file)) != FILE_TYPE_DISK)
    facts->kind = Kind::kOther;
  else
    facts->kind = Kind::kRegular;
  facts->size = static_cast<std::uint64_t>(size.QuadPart);
  facts->named = true;  // opened without delete sharing: it keeps its name
  return 0;
}

// Windows has no sticky folders, and %TEMP% is the user's own; a file
// another user owns is refused wherever it is. Ours are those owned by the
// user, by the owner the user's new files get (the Administrators group,
// for an elevated run), or by a group the user is in.
bool OwnedByAnother(FileId file, const std::string& /*path*/) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(Native(file), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS)
    return true;  // the stricter answer when it cannot be told
  const std::unique_ptr<void, decltype(&LocalFree)> freeDescriptor(descriptor, &LocalFree);
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return true;
  const std::unique_ptr<void, decltype(&CloseHandle)> token(rawToken, &CloseHandle);
  const auto user = TokenInformation(rawToken, TokenUser);
  if (!user.empty() && EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid))
    return false;
  const auto defaultOwner = TokenInformation(rawToken, TokenOwner);
  if (!defaultOwner.empty() &&
      EqualSid(owner, reinterpret_cast<const TOKEN_OWNER*>(defaultOwner.data())->Owner))
    return false;
  const auto groups = TokenInformation(rawToken, TokenGroups);
  if (!groups.empty()) {
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD i = 0; i < list->GroupCount; ++i)
      if (EqualSid(owner, list->Groups[i].Sid)) return false;
  }
  return true;
}

// Who else may write is the file's DACL, which is not looked at here: a
// file we create in %TEMP% inherits that folder's, the user's own.
bool OthersMayWrite(FileId /*file*/) { return false; }

// Zeroed and allocated by the system as the end of the file moves.
ErrorCode Allocate(FileId file, std::size_t size) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(Native(file), end, nullptr, FILE_BEGIN) || !SetEndOfFile(Native(file)))
    return GetLastError();
  return 0;
}

ErrorCode Map(FileId file, std::size_t size, View* view) {
  const HANDLE mapping =
      CreateFileMappingW(Native(file), nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr);
  if (!mapping) return GetLastError();
  void* address = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size);
  if (!address) {
    const DWORD error = GetLastError();
    CloseHandle(mapping);
    return error;
  }
  *view = {address, Id(mapping)};
  return 0;
}

void Unmap(const View& view, std::size_t /*size*/) {
  UnmapViewOfFile(view.address);
  CloseHandle(Native(view.mapping));
}

// A file cannot be cut short while it is mapped (ERROR_USER_MAPPED_FILE):
// every access runs to its end.
bool Guarded(void (*access)(void*), void* context) {
  access(context);
  return true;
}

Result TryCreationLock(FileId file) {
  if (LockByte(file, kCreationLockByte)) return {};
  const DWORD code = GetLastError();
  if (code == ERROR_LOCK_VIOLATION) return {Status::kTaken, 0};
  return Failed(code);
}

void ReleaseCreationLock(FileId file) {
  OVERLAPPED range{};
  range.OffsetHigh = kCreationLockByte;
  UnlockFileEx(Native(file), 0, 1, 0, &range);
}

Result Hold(FileId file, std::string* lockedBy) {
  // Never unlocked: the system drops it when the handle closes, as the
  // process ends.
  if (LockByte(file, kHoldByte)) return {};
  const DWORD code = GetLastError();
  if (code != ERROR_LOCK_VIOLATION) return Failed(code);
  *lockedBy = "another process has locked it";
  return {Status::kTaken, 0};
}

ErrorCode IdentityOf(FileId file, Identity* identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(Native(file), &info)) return GetLastError();
  *identity = IdentityFrom(info);
  return 0;
}

Result NamedIdentity(const std::string& path, Identity* identity) {
  // Opened for no access at all, only to learn which file the path names.
  const HANDLE named =
      CreateFileW(win32::Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (named == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return {Status::kAbsent, 0};
    return Failed(code);
  }
  const ErrorCode error = IdentityOf(Id(named), identity);
  CloseHandle(named);
  return error == 0 ? Result{} : Failed(error);
}

// A file that cannot be asked is told as moved away, not as an error.
ErrorCode Deleted(FileId file, bool* deleted) {
  FILE_STANDARD_INFO standard{};
  *deleted = GetFileInformationByHandleEx(Native(file), FileStandardInfo, &standard, sizeof standard) &&
             (standard.DeletePending || standard.NumberOfLinks == 0);
  return 0;
}

}  // namespace quorvane::simport::statefs
