// The installer's set-up of the folders, on folders in the test's own
// folder: one nobody else had a hand in is kept (with the service's log in
// it), one that somebody else could change or put things in is moved aside
// (the data folder) or refused (the program's folder), and the rights read
// back are those asked for. Wine keeps no folder rights: there the cases
// that hang on rights skip, and the others check what lies in the folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/failure.h"
#include "front_ends/windows_service/folder_security.h"
#include "front_ends/windows_service/prepare_folders.h"
#include "front_ends/windows_service/service_rights.h"

namespace quorvane::win32_service {
namespace {

namespace fs = std::filesystem;

class PreparedFolder : public testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  void Clean() {
    std::error_code ignored;
    for (const wchar_t* suffix : {L"", L".moved-aside-1", L".moved-aside-2"})
      fs::remove_all(folder_ + suffix, ignored);
  }
  // The folder's rights read back are `sddl`, where the system keeps them.
  void ExpectRights(const std::wstring& sddl) {
    if (!RunsUnderWine()) {
      EXPECT_EQ(ReadRights(folder_).sddl, SystemSpelling(sddl));
    }
  }

  const std::wstring service_ = ServiceSid(L"Quorvane");
  const std::wstring folder_ =
      (fs::current_path() / (L"prepare-test-" + std::to_wstring(GetCurrentProcessId()))).wstring();
};

TEST_F(PreparedFolder, MissingDataFolderIsMadeWithItsRights) {
  EXPECT_NE(PrepareDataFolder(folder_, service_).find("was made"), std::string::npos);
  ExpectRights(DataFolderRights(service_));
}

TEST_F(PreparedFolder, DataFolderOfOurOwnKeepsTheServiceLog) {
  PrepareDataFolder(folder_, service_);
  std::ofstream(fs::path(folder_) / "Quorvane.log", std::ios::binary) << "01-02-2024 03:04:05\r\n";
  std::ofstream(fs::path(folder_) / "last-failure.txt") << "3\nno port library\n";
  const std::string done = PrepareDataFolder(folder_, service_);
  EXPECT_NE(done.find("set anew"), std::string::npos) << done;
  EXPECT_FALSE(fs::exists(folder_ + L".moved-aside-1"));
  EXPECT_EQ(fs::file_size(fs::path(folder_) / "Quorvane.log"), 21u);
  ExpectRights(DataFolderRights(service_));
  // The log takes the folder's rights, owned by administrators.
  if (!RunsUnderWine()) {
    EXPECT_EQ(ReadRights(folder_ + L"\\Quorvane.log").ownerSid, L"S-1-5-32-544");
  }
}

// A folder (or a junction) named as the log makes every start of the
// service fail: it goes with the folder, and the new folder is empty.
TEST_F(PreparedFolder, DataFolderWithSomethingPlantedIsMovedAside) {
  ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\Quorvane.log").c_str(), nullptr));
  const std::string done = PrepareDataFolder(folder_, service_);
  EXPECT_NE(done.find("moved aside"), std::string::npos) << done;
  EXPECT_NE(done.find("it holds Quorvane.log, which the installer did not put there"), std::string::npos)
      << done;
  EXPECT_TRUE(fs::is_directory(folder_ + L".moved-aside-1\\Quorvane.log"));
  EXPECT_TRUE(fs::is_empty(folder_));
  ExpectRights(DataFolderRights(service_));
}

// A user who made the folder first and gave himself full control: setting
// rights on top would keep his entry, and his files.
TEST_F(PreparedFolder, DataFolderOthersMayChangeIsMovedAside) {
  if (RunsUnderWine()) GTEST_SKIP() << "Wine keeps no folder rights, so none can be found foreign";
  ASSERT_TRUE(MakeFolder(folder_, L"O:BAD:(A;OICI;FA;;;BU)"));
  std::ofstream(fs::path(folder_) / "Quorvane.log") << "planted\r\n";
  const std::string done = PrepareDataFolder(folder_, service_);
  EXPECT_NE(done.find("S-1-5-32-545 may change it"), std::string::npos) << done;
  EXPECT_TRUE(fs::exists(folder_ + L".moved-aside-1\\Quorvane.log"));
  EXPECT_FALSE(fs::exists(fs::path(folder_) / "Quorvane.log"));
  ExpectRights(DataFolderRights(service_));
  // And again: the next free name.
  ASSERT_TRUE(SetFileAttributesW(folder_.c_str(), FILE_ATTRIBUTE_NORMAL));
  std::ofstream(fs::path(folder_) / "other.txt") << "x";
  PrepareDataFolder(folder_, service_);
  EXPECT_TRUE(fs::exists(folder_ + L".moved-aside-2\\other.txt"));
}

TEST_F(PreparedFolder, ProgramFolderOthersMayChangeIsRefused) {
  if (RunsUnderWine()) GTEST_SKIP() << "Wine keeps no folder rights, so none can be found foreign";
  ASSERT_TRUE(MakeFolder(folder_, L"O:BAD:(A;OICI;FA;;;BU)"));
  try {
    SecureProgramFolder(folder_);
    ADD_FAILURE() << "not refused";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("another account may have put files there"), std::string::npos)
        << failure.what();
  }
  EXPECT_NE(ReadRights(folder_).sddl, SystemSpelling(ProgramFolderRights()));
}

TEST_F(PreparedFolder, ProgramFolderAnAdministratorMadeGetsItsRights) {
  ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  SecureProgramFolder(folder_);
  ExpectRights(ProgramFolderRights());
}

}  // namespace
}  // namespace quorvane::win32_service
