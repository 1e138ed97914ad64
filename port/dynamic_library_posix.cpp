#include <dlfcn.h>

#include "common/failure.h"
#include "port/dynamic_library.h"

namespace quorvane {

namespace {

std::string LastLoaderError() {
  const char* text = dlerror();
  return text ? text : "unknown reason";
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& fileName)
    : handle_(dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (!handle_) throw Failure("cannot load the port library " + fileName + ": " + LastLoaderError());
}

DynamicLibrary::~DynamicLibrary() { dlclose(handle_); }

void* DynamicLibrary::Find(const char* symbol, std::string* reason) const {
  dlerror();  // clear any earlier error
  void* address = dlsym(handle_, symbol);
  if (!address && reason) *reason = LastLoaderError();
  return address;
}

}  // namespace quorvane
