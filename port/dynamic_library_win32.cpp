#include <windows.h>

#include "common/failure.h"
#include "port/dynamic_library.h"

namespace quorvane {

namespace {

// The system's reason for the last failure, in words, without the trailing
// full stop and line end that FormatMessage adds.
std::string LastSystemError() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length ? std::string(text, length) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' ||
                             reason.back() == ' '))
    reason.pop_back();
  return reason + " (error " + std::to_string(code) + ")";
}

HMODULE Module(void* handle) { return static_cast<HMODULE>(handle); }

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& fileName) : fileName_(fileName) {
  // The usual search: the program's own folder first, then the system's.
  // No error box of the system's own: the failure is reported as ours.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  handle_ = LoadLibraryA(fileName.c_str());
  const std::string reason = handle_ ? "" : LastSystemError();
  SetErrorMode(previous);
  if (!handle_) throw Failure("cannot load the port library " + fileName + ": " + reason);
}

DynamicLibrary::~DynamicLibrary() { FreeLibrary(Module(handle_)); }

void* DynamicLibrary::Find(const char* symbol, std::string* reason) const {
  void* address = reinterpret_cast<void*>(GetProcAddress(Module(handle_), symbol));
  if (!address && reason) *reason = LastSystemError();
  return address;
}

}  // namespace quorvane
