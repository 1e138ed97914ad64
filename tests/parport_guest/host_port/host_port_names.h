#pragma once

// The environment the host port fixture reads, shared by the preload
// library, its tests and (by the same names) run_guest_test.sh.
namespace quorvane::host_port {

// The file QEMU opens as the host's ppdev node (-chardev parallel,path=...).
inline constexpr const char* kNodeVariable = "QUORVANE_HOST_PPDEV";
// "1": the loopback plug, Strobe (pin 1) wired to Select (pin 13).
inline constexpr const char* kLoopbackVariable = "QUORVANE_HOST_PORT_LOOPBACK";

}  // namespace quorvane::host_port
