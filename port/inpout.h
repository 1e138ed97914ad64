#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "port/dynamic_library.h"
#include "port/inpout_abi.h"
#include "port/port_io.h"

namespace quorvane {

// The port I/O library, bound by file name. The library is loaded at the
// first call of either operation and each operation is looked up at its own
// first call; the binding then stays for the life of this object (the
// program keeps one for the life of the process).
//
// Before loading, it marks the port as this process's (port_marker.h); a
// port another copy holds is a failure.
//
// A library can load and still be unable to reach the ports (no driver, no
// permission). When it exports IsInpOutDriverOpen, that is asked once, right
// after loading, and a 0 is a failure rather than writes that go nowhere. A
// library without it is used as it is.
//
// Inp32 and Out32 cannot return a failure themselves. When the library
// exports InpOutLastError, it is asked after every call, and a text there
// (the call failed: a port that stopped answering) is a failure naming the
// library and the access, rather than a read of 0 or a write that went
// nowhere. A library with only Inp32 and Out32 is trusted.
class InpoutLibrary final : public PortIo {
 public:
  explicit InpoutLibrary(std::string fileName = INPOUT_LIBRARY_NAME);

  // The port this run drives. Where the program chooses it itself
  // (port_library_choice.h), before the mark and the library; else the one
  // the library reports (InpOutPortBase), or the one at 888.
  ChosenPort ChoosePort() override;
  std::int16_t Inp32(std::int16_t port) override;
  void Out32(std::int16_t port, std::int16_t value) override;

 private:
  DynamicLibrary& Library();
  void* Operation(const char* name);
  // Throws Failure when the library says its last call failed; doing names
  // the access ("read port 889").
  void ThrowIfLastCallFailed(const std::string& doing) const;

  std::string fileName_;
  std::unique_ptr<DynamicLibrary> library_;
  Inp32Function inp32_ = nullptr;
  Out32Function out32_ = nullptr;
  InpOutLastErrorFunction lastError_ = nullptr;  // looked up once, when loaded
  ChosenPort chosen_;
};

}  // namespace quorvane
