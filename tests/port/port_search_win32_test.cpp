// Where Windows takes the port library from: the program's folder or the
// system folder, never the working folder or PATH, whichever way this
// Windows offers (the loader's search flags, or whole names where those are
// missing).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/failure.h"
#include "common/windows_text.h"
#include "port/dynamic_library.h"
#include "port/dynamic_library_win32.h"

namespace quorvane {
namespace {

std::wstring ProgramFolder() {
  wchar_t file[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, file, MAX_PATH);
  std::wstring folder = file;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

// A folder any user could write, made the working folder and put at the
// head of PATH, holding a copy of a test library under `name`; both are put
// back at the end.
class PlantedFolder {
 public:
  explicit PlantedFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"quorvane-planted-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    planted_ = folder_ + L"\\" + name;
    const std::wstring source = ProgramFolder() + L"\\libs\\port_plain\\port_plain.dll";
    if (!CopyFileW(source.c_str(), planted_.c_str(), FALSE))
      throw Failure("cannot plant " + win32::Utf8(planted_) + ": " + win32::LastSystemErrorText());
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    previousFolder_ = current;
    wchar_t path[32767] = {};
    GetEnvironmentVariableW(L"PATH", path, 32767);
    previousPath_ = path;
    SetCurrentDirectoryW(folder_.c_str());
    SetEnvironmentVariableW(L"PATH", (folder_ + L";" + previousPath_).c_str());
  }
  ~PlantedFolder() {
    SetCurrentDirectoryW(previousFolder_.c_str());
    SetEnvironmentVariableW(L"PATH", previousPath_.c_str());
    DeleteFileW(planted_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }

 private:
  std::wstring folder_, planted_, previousFolder_, previousPath_;
};

TEST(PortLibrarySearch, ALibraryOnlyInTheWorkingFolderOrOnPathIsNeverLoaded) {
  const PlantedFolder planted(L"quorvane_planted.dll");
  for (const bool searchFlags : {true, false}) {
    SCOPED_TRACE(searchFlags ? "with the search flags" : "by whole names");
    std::string where, reason;
    void* module = win32::LoadFromTrustedFolders("quorvane_planted.dll", searchFlags, &where, &reason);
    EXPECT_EQ(module, nullptr) << "loaded from the working folder or PATH";
    if (module) FreeLibrary(static_cast<HMODULE>(module));
    EXPECT_NE(where.find("the program's folder " + win32::Utf8(ProgramFolder())), std::string::npos) << where;
    EXPECT_NE(where.find("the system folder "), std::string::npos) << where;
    EXPECT_NE(reason.find("(error 126)"), std::string::npos) << reason;
  }
  // The program's own way says where it looked, and where it did not.
  try {
    DynamicLibrary library("quorvane_planted.dll");
    ADD_FAILURE() << "loaded from the working folder or PATH";
  } catch (const Failure& failure) {
    const std::string text = failure.what();
    EXPECT_NE(text.find("cannot load the port library quorvane_planted.dll from the program's folder "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("(the working folder and PATH are not searched)"), std::string::npos) << text;
  }
}

TEST(PortLibrarySearch, TheProgramsFolderAndTheSystemFolderAreSearched) {
  // inpout32.dll stands beside the test program; version.dll only in the
  // system folder. A name with a folder lies under the program's folder,
  // whatever the working folder.
  const PlantedFolder planted(L"inpout32.dll");
  for (const bool searchFlags : {true, false}) {
    SCOPED_TRACE(searchFlags ? "with the search flags" : "by whole names");
    for (const char* name : {"inpout32.dll", "version.dll", "libs\\port_full\\port_full.dll"}) {
      SCOPED_TRACE(name);
      std::string where, reason;
      void* module = win32::LoadFromTrustedFolders(name, searchFlags, &where, &reason);
      ASSERT_NE(module, nullptr) << reason;
      wchar_t file[MAX_PATH] = {};
      GetModuleFileNameW(static_cast<HMODULE>(module), file, MAX_PATH);
      EXPECT_EQ(std::wstring(file).find(L"quorvane-planted-"), std::wstring::npos)
          << "the working folder's copy was taken: " << win32::Utf8(file);
      FreeLibrary(static_cast<HMODULE>(module));
    }
  }
}

}  // namespace
}  // namespace quorvane
