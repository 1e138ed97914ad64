#include <windows.h>

#include "common/failure.h"
#include "common/windows_text.h"
#include "port/dynamic_library.h"

namespace quorvane {

namespace {

HMODULE Module(void* handle) { return static_cast<HMODULE>(handle); }

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& fileName) {
  // The usual search: the program's own folder first, then the system's.
  // No error box of the system's own: the failure is reported as ours.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  handle_ = LoadLibraryA(fileName.c_str());
  const std::string reason = handle_ ? "" : win32::LastSystemErrorText();
  SetErrorMode(previous);
  if (!handle_) throw Failure("cannot load the port library " + fileName + ": " + reason);
}

DynamicLibrary::~DynamicLibrary() { FreeLibrary(Module(handle_)); }

void* DynamicLibrary::Find(const char* symbol, std::string* reason) const {
  void* address = reinterpret_cast<void*>(GetProcAddress(Module(handle_), symbol));
  if (!address && reason) *reason = win32::LastSystemErrorText();
  return address;
}

}  // namespace quorvane
