// The rights the service sets, as the system reads them: the service's own
// SID as Windows derives it, and each folder's rights taken apart by the
// system entry by entry, against what each account must and must not be
// able to do. (Made into a folder and read back: prepare_folders_test.cpp,
// where the system keeps folder rights.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "front_ends/windows_service/folder_security.h"
#include "front_ends/windows_service/service_rights.h"
#include "front_ends/windows_service/sha1.h"

namespace quorvane::win32_service {
namespace {

std::string Hex(const std::array<std::uint8_t, 20>& digest) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const auto byte : digest) {
    text += digits[byte >> 4];
    text += digits[byte & 0xF];
  }
  return text;
}

TEST(Sha1, GivesThePublishedDigests) {
  EXPECT_EQ(Hex(Sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Hex(Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  // 56 bytes: the length no longer fits the first block.
  EXPECT_EQ(Hex(Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST(ServiceSid, IsTheSidWindowsGivesAServiceOfThatName) {
  // NT SERVICE\TrustedInstaller, as every Windows since Vista has it.
  EXPECT_EQ(ServiceSid(L"TrustedInstaller"),
            L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
  // Names are taken in capitals.
  EXPECT_EQ(ServiceSid(L"trustedinstaller"), ServiceSid(L"TRUSTEDINSTALLER"));
  EXPECT_NE(ServiceSid(L"Quorvane"), ServiceSid(L"TrustedInstaller"));
}

TEST(ServicePrivileges, AreTraversalOnlyAsTheManagerTakesThem) {
  ASSERT_EQ(ServicePrivileges(), std::vector<std::wstring>{L"SeChangeNotifyPrivilege"});
  EXPECT_EQ(AsMultiString({L"A", L"Bc"}), std::wstring(L"A\0Bc\0\0", 6));
  EXPECT_EQ(AsMultiString({}), std::wstring(L"\0", 1));
}

constexpr unsigned long kChangeRights = WRITE_DAC | WRITE_OWNER;
// What would let an account put, replace or remove anything.
constexpr unsigned long kAnyChange = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                     FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | kChangeRights |
                                     GENERIC_WRITE | GENERIC_ALL;

TEST(FolderRights, DataFolderIsAdministratorsAndTheServiceOwnSidOnly) {
  const std::wstring service = ServiceSid(L"Quorvane");
  const ObjectRights rights = RightsOf(DataFolderRights(service));
  EXPECT_EQ(rights.ownerSid, L"S-1-5-32-544");
  EXPECT_EQ(rights.sddl.rfind(L"O:BAD:P", 0), 0u) << "inherits from C:\\ProgramData: " << rights.sddl;
  bool serviceMayAddFiles = false;
  bool serviceMayWriteFiles = false;
  bool usersMayList = false;
  for (const AccessEntry& entry : rights.entries) {
    SCOPED_TRACE(entry.sid);
    ASSERT_TRUE(entry.allows);
    if (entry.sid == L"S-1-5-18" || entry.sid == L"S-1-5-32-544") {
      EXPECT_EQ(entry.rights, FILE_ALL_ACCESS);
    } else if (entry.sid == L"S-1-5-32-545") {
      // The folder only: nothing on the log, which a reader could hold.
      EXPECT_FALSE(entry.inheritOnly);
      EXPECT_EQ(entry.rights & kAnyChange, 0u);
      usersMayList = (entry.rights & FILE_LIST_DIRECTORY) != 0;
    } else if (entry.sid == service) {
      EXPECT_EQ(entry.rights & (DELETE | FILE_DELETE_CHILD | kChangeRights), 0u);
      if (entry.inheritOnly) {
        // On the files made in the folder (the same bit as adding a
        // folder, which this entry, for files only, never gives).
        serviceMayWriteFiles = (entry.rights & FILE_APPEND_DATA) && (entry.rights & FILE_READ_DATA);
      } else {
        EXPECT_EQ(entry.rights & FILE_ADD_SUBDIRECTORY, 0u);
        serviceMayAddFiles = (entry.rights & FILE_ADD_FILE) != 0;
      }
    } else {
      ADD_FAILURE() << "an entry for another account";
    }
  }
  EXPECT_TRUE(serviceMayAddFiles);
  EXPECT_TRUE(serviceMayWriteFiles);
  EXPECT_TRUE(usersMayList);
  // Not LocalService, whose every other service would share the right.
  EXPECT_EQ(rights.sddl.find(L"LS"), std::wstring::npos);
  EXPECT_EQ(rights.sddl.find(L"S-1-5-19"), std::wstring::npos);
}

TEST(FolderRights, ProgramFolderLetsUsersOnlyReadAndRun) {
  const ObjectRights rights = RightsOf(ProgramFolderRights());
  EXPECT_EQ(rights.ownerSid, L"S-1-5-32-544");
  EXPECT_EQ(rights.sddl.rfind(L"O:BAD:P", 0), 0u) << rights.sddl;
  std::wstring accounts;
  for (const AccessEntry& entry : rights.entries) {
    SCOPED_TRACE(entry.sid);
    accounts += entry.sid + L" ";
    EXPECT_TRUE(entry.allows);
    EXPECT_FALSE(entry.inheritOnly);
    if (entry.sid == L"S-1-5-32-545")
      EXPECT_EQ(entry.rights & kAnyChange, 0u);
    else
      EXPECT_EQ(entry.rights, FILE_ALL_ACCESS);
  }
  EXPECT_EQ(accounts, L"S-1-5-18 S-1-5-32-544 S-1-5-32-545 ");
}

}  // namespace
}  // namespace quorvane::win32_service
