#include "port/inpout.h"

#include <utility>

#include "common/failure.h"

namespace quorvane {

InpoutLibrary::InpoutLibrary(std::string fileName) : fileName_(std::move(fileName)) {}

std::int16_t InpoutLibrary::Inp32(std::int16_t port) {
  if (!inp32_) inp32_ = reinterpret_cast<Inp32Function>(Operation("Inp32"));
  return inp32_(port);
}

void InpoutLibrary::Out32(std::int16_t port, std::int16_t value) {
  if (!out32_) out32_ = reinterpret_cast<Out32Function>(Operation("Out32"));
  out32_(port, value);
}

DynamicLibrary& InpoutLibrary::Library() {
  if (library_) return *library_;
  auto library = std::make_unique<DynamicLibrary>(fileName_);
  const auto isOpen =
      reinterpret_cast<IsInpOutDriverOpenFunction>(library->Find("IsInpOutDriverOpen", nullptr));
  if (isOpen && isOpen() == 0) {
    std::string reason = "its driver is not open";
    if (const auto lastError =
            reinterpret_cast<InpOutLastErrorFunction>(library->Find("InpOutLastError", nullptr))) {
      const char* text = lastError();
      if (text && *text) reason = text;
    }
    throw Failure("the port library " + fileName_ + " cannot reach the parallel port: " + reason);
  }
  library_ = std::move(library);
  return *library_;
}

void* InpoutLibrary::Operation(const char* name) {
  DynamicLibrary& library = Library();
  std::string reason;
  void* address = library.Find(name, &reason);
  if (!address)
    throw Failure("the port library " + fileName_ + " has no operation " + name + ": " + reason);
  return address;
}

}  // namespace quorvane
