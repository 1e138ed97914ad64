#pragma once

// A shared library a test opens itself, on Linux: closed again when the
// test is done, its functions looked up by name and type. Each failure
// throws with the loader's own reason (dlerror), which GoogleTest prints.

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace quorvane::testing {

class SharedLibrary {
 public:
  explicit SharedLibrary(const std::filesystem::path& file)
      : file_(file.string()), handle_(dlopen(file_.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) throw std::runtime_error("cannot open " + file_ + ": " + LoaderReason());
  }
  ~SharedLibrary() { dlclose(handle_); }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The exported function `name`, as a pointer of type Function.
  template <typename Function>
  Function Find(const char* name) const {
    dlerror();  // clears an earlier reason
    void* address = dlsym(handle_, name);
    if (!address) throw std::runtime_error(file_ + " exports no " + name + ": " + LoaderReason());
    return reinterpret_cast<Function>(address);
  }

 private:
  static std::string LoaderReason() {
    const char* reason = dlerror();
    return reason ? reason : "no reason given";
  }

  std::string file_;
  void* handle_;
};

}  // namespace quorvane::testing
