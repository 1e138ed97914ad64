#include "port/inpout.h"

#include <optional>
#include <utility>

#include "common/failure.h"
#include "port/port_library_choice.h"
#include "port/port_marker.h"

namespace quorvane {

InpoutLibrary::InpoutLibrary(std::string fileName) : fileName_(std::move(fileName)) {}

ChosenPort InpoutLibrary::ChoosePort() {
  Library();
  return chosen_;
}

std::int16_t InpoutLibrary::Inp32(std::int16_t port) {
  if (!inp32_) inp32_ = reinterpret_cast<Inp32Function>(Operation("Inp32"));
  const std::int16_t value = inp32_(port);
  ThrowIfLastCallFailed("read port " + std::to_string(port));
  return value;
}

void InpoutLibrary::Out32(std::int16_t port, std::int16_t value) {
  if (!out32_) out32_ = reinterpret_cast<Out32Function>(Operation("Out32"));
  out32_(port, value);
  ThrowIfLastCallFailed("write " + std::to_string(value) + " to port " + std::to_string(port));
}

DynamicLibrary& InpoutLibrary::Library() {
  if (library_) return *library_;
  const std::optional<ChosenPort> chosenHere = ChoosePortBeforeLoading();
  if (chosenHere) chosen_ = *chosenHere;
  // One copy per port: a port another copy drives is refused before the
  // library is even loaded.
  if (const std::string held = TakePortMark(chosen_.base); !held.empty()) throw Failure(held);
  auto library = std::make_unique<DynamicLibrary>(fileName_);
  const auto isOpen =
      reinterpret_cast<IsInpOutDriverOpenFunction>(library->Find("IsInpOutDriverOpen", nullptr));
  const auto lastError = reinterpret_cast<InpOutLastErrorFunction>(library->Find("InpOutLastError", nullptr));
  if (isOpen && isOpen() == 0) {
    std::string reason = "its driver is not open";
    if (lastError) {
      const char* text = lastError();
      if (text && *text) reason = text;
    }
    throw Failure("the port library " + fileName_ + " cannot reach the parallel port: " + reason);
  }
  if (!chosenHere) {
    const auto base = reinterpret_cast<InpOutPortBaseFunction>(library->Find("InpOutPortBase", nullptr));
    const auto why = reinterpret_cast<InpOutPortChoiceFunction>(library->Find("InpOutPortChoice", nullptr));
    if (base) chosen_.base = base();
    if (why && why()) chosen_.why = why();
  }
  lastError_ = lastError;
  library_ = std::move(library);
  return *library_;
}

void* InpoutLibrary::Operation(const char* name) {
  DynamicLibrary& library = Library();
  std::string reason;
  void* address = library.Find(name, &reason);
  if (!address) throw Failure("the port library " + fileName_ + " has no operation " + name + ": " + reason);
  return address;
}

void InpoutLibrary::ThrowIfLastCallFailed(const std::string& doing) const {
  if (!lastError_) return;
  const char* text = lastError_();
  if (text && *text) throw Failure("the port library " + fileName_ + " failed to " + doing + ": " + text);
}

}  // namespace quorvane
