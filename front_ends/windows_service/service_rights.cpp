#include "front_ends/windows_service/service_rights.h"

#include <cstdint>

#include "front_ends/windows_service/sha1.h"

namespace quorvane::win32_service {

namespace {

// Well-known SIDs by their SDDL abbreviations: the system, the
// Administrators group, the Users group.
constexpr std::wstring_view kSystem = L"SY";
constexpr std::wstring_view kAdministrators = L"BA";
constexpr std::wstring_view kUsers = L"BU";

// Access masks, written out where SDDL has no letters for them.
// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE: read and run (a folder: list
// and pass through).
constexpr std::wstring_view kReadAndRun = L"0x1200a9";
// FILE_GENERIC_READ | FILE_TRAVERSE | FILE_ADD_FILE, on a folder: list it,
// pass through and make files, never folders, never delete.
constexpr std::wstring_view kListAndAddFiles = L"0x1200ab";
// FILE_GENERIC_READ | FILE_GENERIC_WRITE, on a file: read, write, append;
// no DELETE, no WRITE_DAC, no WRITE_OWNER.
constexpr std::wstring_view kReadAndWrite = L"0x12019f";

// One "allow" entry: SDDL's (A;flags;rights;;;sid).
std::wstring Allow(std::wstring_view inheritance, std::wstring_view rights, std::wstring_view sid) {
  return L"(A;" + std::wstring(inheritance) + L";" + std::wstring(rights) + L";;;" + std::wstring(sid) + L")";
}

// Full control for the system and administrators, inherited by everything
// beneath: the start of both folders' rights. "P": nothing inherited from
// the folder above.
std::wstring AdministratorsFolder() {
  return L"O:BAD:P" + Allow(L"OICI", L"FA", kSystem) + Allow(L"OICI", L"FA", kAdministrators);
}

}  // namespace

std::wstring ServiceSid(std::wstring_view serviceName) {
  std::string utf16;
  for (wchar_t c : serviceName) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>((c >> 8) & 0xFF);
  }
  const auto digest = Sha1(utf16);
  std::wstring sid = L"S-1-5-80";
  for (std::size_t i = 0; i < digest.size(); i += 4) {
    const std::uint32_t part =
        static_cast<std::uint32_t>(digest[i]) | static_cast<std::uint32_t>(digest[i + 1]) << 8 |
        static_cast<std::uint32_t>(digest[i + 2]) << 16 | static_cast<std::uint32_t>(digest[i + 3]) << 24;
    sid += L"-" + std::to_wstring(part);
  }
  return sid;
}

std::wstring DataFolderRights(std::wstring_view serviceSid) {
  // The users' entry and the service's folder entry stay on the folder
  // ("" : not inherited); the service's file entry lies on what is made in
  // it only (OI: files, IO: not the folder itself).
  return AdministratorsFolder() + Allow(L"", kReadAndRun, kUsers) + Allow(L"", kListAndAddFiles, serviceSid) +
         Allow(L"OIIO", kReadAndWrite, serviceSid);
}

std::wstring ProgramFolderRights() { return AdministratorsFolder() + Allow(L"OICI", kReadAndRun, kUsers); }

std::vector<std::wstring> ServicePrivileges() { return {L"SeChangeNotifyPrivilege"}; }

std::wstring AsMultiString(const std::vector<std::wstring>& names) {
  std::wstring list;
  for (const std::wstring& name : names) {
    list += name;
    list += L'\0';
  }
  list += L'\0';
  return list;
}

std::vector<std::wstring> TrustedOwners(std::wstring_view installersOwnSid) {
  // TrustedInstaller, which owns much of Windows' own folders, too.
  return {L"S-1-5-18", L"S-1-5-32-544", L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
          std::wstring(installersOwnSid)};
}

}  // namespace quorvane::win32_service
