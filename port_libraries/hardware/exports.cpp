// The C operations the program binds by name from libinpout32.so, on a real
// parallel port through libieee1284.
#include <cstdint>

#include "port/inpout_abi.h"
#include "port/machine_ports.h"
#include "port_libraries/hardware/hardware_port.h"
#include "port_libraries/hardware/system_ieee1284.h"

namespace {

quorvane::hardware::HardwarePort& Port() {
  static quorvane::hardware::SystemIeee1284 calls;
  // The program's check of the port binds the one the rule chooses.
  static quorvane::hardware::HardwarePort port(calls, quorvane::ChooseThisMachinesPort);
  return port;
}

// Port numbers cross as 16-bit signed; addresses above 0x7fff (PCI cards)
// arrive negative and are read back as unsigned.
std::uint16_t Address(short port) { return static_cast<std::uint16_t>(port); }

}  // namespace

extern "C" {

INPOUT_EXPORT short INPOUT_CALL Inp32(short port) { return static_cast<short>(Port().Read(Address(port))); }

INPOUT_EXPORT void INPOUT_CALL Out32(short port, short value) {
  Port().Write(Address(port), static_cast<std::uint8_t>(value & 0xFF));
}

INPOUT_EXPORT int INPOUT_CALL IsInpOutDriverOpen(void) { return Port().Reachable() ? 1 : 0; }

INPOUT_EXPORT const char* INPOUT_CALL InpOutLastError(void) { return Port().LastError().c_str(); }

INPOUT_EXPORT short INPOUT_CALL InpOutPortBase(void) { return static_cast<short>(Port().Base()); }

INPOUT_EXPORT const char* INPOUT_CALL InpOutPortChoice(void) { return Port().ChoiceWhy().c_str(); }

}  // extern "C"
