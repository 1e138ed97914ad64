#include "port/dynamic_library.h"

#include "common/failure.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace quorvane {

namespace {

#if defined(_WIN32)
std::string LastSystemError() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length ? std::string(text, length) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
    reason.pop_back();
  return reason;
}
#else
std::string LastLoaderError() {
  const char* text = dlerror();
  return text ? text : "unknown reason";
}
#endif

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& fileName) : fileName_(fileName) {
#if defined(_WIN32)
  handle_ = reinterpret_cast<void*>(LoadLibraryA(fileName.c_str()));
  if (!handle_) throw Failure("cannot load the port library " + fileName + ": " + LastSystemError());
#else
  handle_ = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw Failure("cannot load the port library " + fileName + ": " + LastLoaderError());
#endif
}

DynamicLibrary::~DynamicLibrary() {
#if defined(_WIN32)
  FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
}

void* DynamicLibrary::Find(const char* symbol, std::string* reason) const {
#if defined(_WIN32)
  void* address = reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), symbol));
  if (!address && reason) *reason = LastSystemError();
#else
  dlerror();  // clear any earlier error
  void* address = dlsym(handle_, symbol);
  if (!address && reason) *reason = LastLoaderError();
#endif
  return address;
}

}  // namespace quorvane
