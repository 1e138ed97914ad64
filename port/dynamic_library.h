#pragma once

#include <string>

namespace quorvane {

// A shared library loaded by file name: dlopen on Linux, LoadLibrary on
// Windows. On Linux a bare name gets the loader's usual search
// (LD_LIBRARY_PATH first). On Windows a library is taken only from the
// program's own folder or the system folder, never from the working folder
// or PATH; a name with a folder that is not whole lies under the program's.
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
