// A stub libinpout32.so for the host port fixture's tests: the data, status
// and control registers in memory, every write counted, and a refusal a
// test can set, with functions of its own for the test to drive it. The
// fixture finds it by name, as it finds the simulated port.

#include <string>

#include "port/inpout_abi.h"
#include "port/port_map.h"

namespace {

struct Stub {
  unsigned char registers[3] = {};
  int writes = 0;
  std::string refusal;  // not empty: IsInpOutDriverOpen answers 0 with it
};
Stub stub;

unsigned char* Register(short port) {
  const int offset = port - quorvane::port_map::kBase;
  return offset >= 0 && offset < 3 ? &stub.registers[offset] : nullptr;
}

}  // namespace

extern "C" {

INPOUT_EXPORT short Inp32(short port) {
  const unsigned char* reg = Register(port);
  return reg ? *reg : 0xFF;
}

INPOUT_EXPORT void Out32(short port, short value) {
  ++stub.writes;
  if (unsigned char* reg = Register(port)) *reg = static_cast<unsigned char>(value & 0xFF);
}

INPOUT_EXPORT int IsInpOutDriverOpen(void) { return stub.refusal.empty() ? 1 : 0; }

INPOUT_EXPORT const char* InpOutLastError(void) { return stub.refusal.c_str(); }

// The test's own controls.
INPOUT_EXPORT void StubPortReset(void) { stub = Stub{}; }
INPOUT_EXPORT void StubPortRefuse(const char* why) { stub.refusal = why; }
INPOUT_EXPORT void StubPortSet(short port, unsigned char value) {
  if (unsigned char* reg = Register(port)) *reg = value;
}
INPOUT_EXPORT int StubPortGet(short port) {
  const unsigned char* reg = Register(port);
  return reg ? *reg : -1;
}
INPOUT_EXPORT int StubPortWrites(void) { return stub.writes; }

}  // extern "C"
