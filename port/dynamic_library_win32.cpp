#include <windows.h>

#include <string>

#include "common/failure.h"
#include "common/windows_text.h"
#include "port/dynamic_library.h"
#include "port/dynamic_library_win32.h"

namespace quorvane {

namespace {

HMODULE Module(void* handle) { return static_cast<HMODULE>(handle); }

// Not in every SDK's headers for Windows 7, and looked up at run time.
constexpr DWORD kSearchApplicationFolder = 0x00000200;  // LOAD_LIBRARY_SEARCH_APPLICATION_DIR
constexpr DWORD kSearchSystemFolder = 0x00000800;       // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kSearchLoadedDllsFolder = 0x00000100;   // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// The named function of kernel32, or nullptr where this Windows lacks it.
template <typename Function>
Function Kernel32Function(const char* name) {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (!kernel32) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(kernel32, name)));
}

std::wstring ProgramFile() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) throw Failure("cannot find the program's own file: " + win32::LastSystemErrorText());
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

std::wstring FolderOf(const std::wstring& file) {
  const auto slash = file.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH)
    throw Failure("cannot find the system folder: " + win32::LastSystemErrorText());
  return folder;
}

bool HasFolder(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

bool IsWhole(const std::wstring& path) {
  return (path.size() > 2 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
         (path.size() > 1 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/'));
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct Loaded {
  HMODULE module = nullptr;
  DWORD error = ERROR_SUCCESS;
};

Loaded Load(const std::wstring& path, DWORD flags) {
  // No error box of the system's own: the failure is reported as ours.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  Loaded loaded{LoadLibraryExW(path.c_str(), nullptr, flags), ERROR_SUCCESS};
  if (!loaded.module) loaded.error = GetLastError();
  SetErrorMode(previous);
  return loaded;
}

}  // namespace

namespace win32 {

bool KeepLoadsToTrustedFolders() {
  if (const auto setDefault = Kernel32Function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
      setDefault && setDefault(kSearchApplicationFolder | kSearchSystemFolder))
    return true;
  SetDllDirectoryW(L"");
  return false;
}

void* LoadFromTrustedFolders(const std::string& fileName, bool searchFlags, std::string* where,
                             std::string* reason) {
  const std::wstring programFolder = FolderOf(ProgramFile());
  const std::wstring name = Wide(fileName);
  Loaded loaded;
  if (HasFolder(fileName)) {
    // A name with a folder is the caller's own choice of file; one that is
    // not whole lies under the program's folder, never the working folder.
    const std::wstring path = IsWhole(name) ? name : programFolder + L"\\" + name;
    *where = Utf8(path);
    loaded = Load(
        path, searchFlags ? kSearchLoadedDllsFolder | kSearchSystemFolder : LOAD_WITH_ALTERED_SEARCH_PATH);
  } else if (searchFlags) {
    *where = "the program's folder " + Utf8(programFolder) + " or the system folder " + Utf8(SystemFolder());
    loaded = Load(name, kSearchApplicationFolder | kSearchSystemFolder);
  } else {
    // Without the search flags, each folder by the whole name of the file
    // there: a bare name would be looked for along PATH too.
    const std::wstring system = SystemFolder();
    *where = "the program's folder " + Utf8(programFolder) + " or the system folder " + Utf8(system);
    loaded.error = ERROR_MOD_NOT_FOUND;
    for (const std::wstring& folder : {programFolder, system}) {
      std::wstring path = folder;
      path.append(L"\\").append(name);
      if (!IsFile(path)) continue;
      loaded = Load(path, LOAD_WITH_ALTERED_SEARCH_PATH);
      break;
    }
  }
  if (!loaded.module) *reason = SystemErrorText(loaded.error);
  return loaded.module;
}

}  // namespace win32

DynamicLibrary::DynamicLibrary(const std::string& fileName) {
  // Only from where an administrator puts it: the program's own folder or
  // the system folder, never the working folder or PATH, where any user
  // may have placed a file of that name.
  const bool searchFlags = win32::KeepLoadsToTrustedFolders();
  std::string where;
  std::string reason;
  handle_ = win32::LoadFromTrustedFolders(fileName, searchFlags, &where, &reason);
  if (!handle_)
    throw Failure("cannot load the port library " + fileName + " from " + where +
                  " (the working folder and PATH are not searched): " + reason);
}

DynamicLibrary::~DynamicLibrary() { FreeLibrary(Module(handle_)); }

void* DynamicLibrary::Find(const char* symbol, std::string* reason) const {
  void* address = reinterpret_cast<void*>(GetProcAddress(Module(handle_), symbol));
  if (!address && reason) *reason = win32::LastSystemErrorText();
  return address;
}

}  // namespace quorvane
