#include "front_ends/windows_service/data_folder.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "common/failure.h"
#include "common/windows_text.h"

namespace quorvane::win32_service {

namespace {

std::wstring ProgramData() {
  wchar_t* path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path);
  std::wstring folder = SUCCEEDED(result) && path ? path : L"";
  CoTaskMemFree(path);
  if (folder.empty())
    throw Failure("cannot find the machine's data folder (ProgramData): " +
                  win32::SystemErrorText(static_cast<unsigned long>(result)));
  return folder;
}

}  // namespace

std::wstring DataFolder() { return ProgramData() + L"\\" QUORVANE_DATA_FOLDER_NAME_W; }

void WorkInDataFolder() {
  const std::wstring folder = DataFolder();
  if (!SetCurrentDirectoryW(folder.c_str())) {
    const DWORD error = GetLastError();
    throw Failure("cannot work in the data folder " + win32::Utf8(folder) + ": " +
                  win32::SystemErrorText(error));
  }
}

}  // namespace quorvane::win32_service
