#pragma once

#include <string>

namespace quorvane {

// A shared library loaded by file name: dlopen on Linux, LoadLibrary on
// Windows. A bare name gets the loader's usual search (LD_LIBRARY_PATH first
// on Linux; the program's folder first on Windows).
class DynamicLibrary {
 public:
  // Throws Failure naming the library and the loader's reason.
  explicit DynamicLibrary(const std::string& fileName);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // The address of an exported symbol, or nullptr with the loader's reason
  // in *reason.
  void* Find(const char* symbol, std::string* reason) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace quorvane
