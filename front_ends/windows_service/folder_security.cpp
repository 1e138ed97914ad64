#include "front_ends/windows_service/folder_security.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "common/failure.h"
#include "common/windows_text.h"

namespace quorvane::win32_service {

namespace {

constexpr SECURITY_INFORMATION kOwnerAndDacl = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

[[noreturn]] void Fail(const std::string& doing, const std::wstring& path, DWORD error) {
  throw Failure("cannot " + doing + " " + win32::Utf8(path) + ": " + win32::SystemErrorText(error));
}

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};
using Descriptor = std::unique_ptr<void, LocalFreer>;

Descriptor FromSddl(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                            nullptr))
    throw Failure("the rights " + win32::Utf8(sddl) +
                  " do not read as SDDL: " + win32::LastSystemErrorText());
  return Descriptor(descriptor);
}

std::wstring ToSddl(PSECURITY_DESCRIPTOR descriptor) {
  wchar_t* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kOwnerAndDacl, &text,
                                                            nullptr))
    throw Failure("cannot spell rights as SDDL: " + win32::LastSystemErrorText());
  const Descriptor freed(text);
  return text;
}

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!sid || !ConvertSidToStringSidW(sid, &text)) return L"";
  const Descriptor freed(text);
  return text;
}

// The object itself, a link too, with `access`; folders need the backup
// semantics flag to be opened at all.
HANDLE OpenItself(const std::wstring& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

ObjectRights Entries(PSECURITY_DESCRIPTOR descriptor) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL defaulted = FALSE;
  BOOL present = FALSE;
  GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  ObjectRights rights;
  rights.ownerSid = SidText(owner);
  rights.sddl = ToSddl(descriptor);
  for (DWORD i = 0; present && dacl && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<ACE_HEADER*>(ace);
    // Allowed and denied entries share their layout up to the SID.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) {
      // An entry of a kind not looked at here counts as one that allows
      // everything to nobody known: never taken for harmless.
      rights.entries.push_back({L"?", true, false, ~0UL});
      continue;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    rights.entries.push_back({SidText(&allowed->SidStart), header->AceType == ACCESS_ALLOWED_ACE_TYPE,
                              (header->AceFlags & INHERIT_ONLY_ACE) != 0, allowed->Mask});
  }
  return rights;
}

}  // namespace

std::wstring SystemSpelling(const std::wstring& sddl) { return ToSddl(FromSddl(sddl).get()); }

std::wstring OwnAccountSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    throw Failure("cannot read this process's account: " + win32::LastSystemErrorText());
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::unique_ptr<unsigned char[]> user(new unsigned char[size > 0 ? size : 1]);
  const bool read = size > 0 && GetTokenInformation(token, TokenUser, user.get(), size, &size);
  const DWORD error = GetLastError();
  CloseHandle(token);
  if (!read) throw Failure("cannot read this process's account: " + win32::SystemErrorText(error));
  return SidText(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid);
}

ObjectRights ReadRights(const std::wstring& path) {
  const HANDLE object = OpenItself(path, READ_CONTROL);
  if (object == INVALID_HANDLE_VALUE) Fail("read the rights of", path, GetLastError());
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error =
      GetSecurityInfo(object, SE_FILE_OBJECT, kOwnerAndDacl, nullptr, nullptr, nullptr, nullptr, &descriptor);
  CloseHandle(object);
  if (error != ERROR_SUCCESS) Fail("read the rights of", path, error);
  const Descriptor freed(descriptor);
  return Entries(descriptor);
}

ObjectRights RightsOf(const std::wstring& sddl) { return Entries(FromSddl(sddl).get()); }

bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool MakeFolder(const std::wstring& path, const std::wstring& sddl) {
  const Descriptor descriptor = FromSddl(sddl);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  if (CreateDirectoryW(path.c_str(), &attributes)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) return false;
  Fail("make the folder", path, error);
}

void SetRights(const std::wstring& path, const std::wstring& sddl) {
  const Descriptor descriptor = FromSddl(sddl);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  PSID owner = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted);
  GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted);
  GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
  SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | (owner ? OWNER_SECURITY_INFORMATION : 0);
  what |= (control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                        : UNPROTECTED_DACL_SECURITY_INFORMATION;
  // By name: only so does the system work out what the folder above passes
  // down, and pass the folder's own down to what it holds. Callers have
  // made sure the name is no link.
  std::wstring name = path;
  const DWORD error = SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, what, owner, nullptr,
                                            present ? dacl : nullptr, nullptr);
  if (error != ERROR_SUCCESS) Fail("set the rights of", path, error);
}

bool Exists(const std::wstring& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsPlainFolder(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsPlainFileOfOneName(const std::wstring& path) {
  const HANDLE file = OpenItself(path, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool read = GetFileInformationByHandle(file, &information);
  CloseHandle(file);
  return read && information.nNumberOfLinks == 1 &&
         !(information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return names;
    Fail("list", folder, error);
  }
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) Fail("list", folder, error);
  return names;
}

void Rename(const std::wstring& path, const std::wstring& to) {
  if (!MoveFileExW(path.c_str(), to.c_str(), 0)) Fail("move aside", path, GetLastError());
}

}  // namespace quorvane::win32_service
