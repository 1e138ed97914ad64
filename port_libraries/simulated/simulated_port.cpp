// The simulated port library, libinpout32.so: the port I/O interface the
// program binds by name, with the parallel port at 888 (or at the base
// $QUORVANE_SIMULATED_PORT_BASE names) kept in a shared state file instead
// of hardware. Every access is recorded in the file's ring so a
// supervising process can watch the answer line.

#include <cstdlib>
#include <string>

#include "common/monotonic_clock.h"
#include "port/inpout_abi.h"
#include "port_libraries/simulated/port_state.h"
#include "port_libraries/simulated/shared_state_file.h"
#include "port_libraries/simulated/state_file_system.h"

namespace quorvane::simport {
namespace {

// Writes look at the file's place at most this often; reads always do.
constexpr std::uint64_t kWriteCheckIntervalNs = 1'000'000'000;

// The file is mapped at the first call of any operation and stays mapped for
// the life of the process. A failure is kept, so every call agrees with what
// IsInpOutDriverOpen answered, and InpOutLastError stays empty only while
// every call works.
struct Connection {
  // One program per port: a file another program holds is refused at the
  // first call, before anything is written to it.
  Connection() {
    if (const std::string text = statefs::EnvironmentValue(kBaseVariable); !text.empty()) {
      char* end = nullptr;
      const unsigned long value = std::strtoul(text.c_str(), &end, 0);
      if (*end != '\0' || value == 0 || value > 0xfffc || value % 4 != 0)
        error = std::string(kBaseVariable) + " is not a port's base: \"" + text + "\"";
      base = static_cast<short>(value);
    }
    if (error.empty() && file.Open(StateFilePath(), &error)) error = file.Hold();
    if (error.empty()) state = file.State();
  }

  // A file deleted or replaced while in use leaves this process alone on its
  // old copy: the supervising side, on the new one, would never be heard.
  // Seen at every read (the program polls once a second) and, at most once
  // a second, at a write (an answer under way), after the access was made,
  // so its timing is untouched.
  void CheckPlace(std::uint64_t nowNs, bool read) {
    if (!error.empty()) return;
    if (!read && nowNs - lastCheckNs < kWriteCheckIntervalNs) return;
    lastCheckNs = nowNs;
    error = file.Displacement();
  }

  // Runs access on the mapping; a file cut short under it (by its owner:
  // no other user's file, nor one others may write, is ever opened) ends
  // the connection with the reason, where it would have ended the program
  // with SIGBUS and no word.
  template <typename Access>
  bool Reach(Access&& access) {
    if (file.Reach(access)) return true;
    error = file.CutShort();
    state = nullptr;
    return false;
  }

  SharedStateFile file;
  short base = kDataPort;
  StateFile* state = nullptr;  // only while this process holds the file
  std::string error;
  std::uint64_t lastCheckNs = 0;
};

Connection& TheConnection() {
  static Connection connection;
  return connection;
}

std::uint32_t* Register(StateFile& state, short base, short port) {
  // The registers by their offset from the base, as the port map has them.
  switch (port - base) {
    case 0: return &state.data;
    case port_map::kStatusOffset: return &state.status;
    case port_map::kControlOffset: return &state.control;
    default: return nullptr;
  }
}

}  // namespace
}  // namespace quorvane::simport

using namespace quorvane::simport;

extern "C" {

INPOUT_EXPORT short INPOUT_CALL Inp32(short port) {
  Connection& connection = TheConnection();
  StateFile* state = connection.state;
  if (!state) return kFloatingBus;
  const auto now = static_cast<std::uint64_t>(quorvane::MonotonicNanoseconds());
  std::uint8_t value = kFloatingBus;
  if (!connection.Reach([&] {
        const std::uint32_t* reg = Register(*state, connection.base, port);
        value = reg ? LoadRegister(*reg) : kFloatingBus;
        RecordAccess(*state, AccessKind::kRead, port, value, now);
      }))
    return kFloatingBus;
  connection.CheckPlace(now, true);
  return value;
}

INPOUT_EXPORT void INPOUT_CALL Out32(short port, short value) {
  Connection& connection = TheConnection();
  StateFile* state = connection.state;
  if (!state) return;
  const auto now = static_cast<std::uint64_t>(quorvane::MonotonicNanoseconds());
  if (!connection.Reach([&] {
        // The status register is input only: the supervising side alone sets it.
        if (port - connection.base != kStatusPort - kDataPort) {
          if (std::uint32_t* reg = Register(*state, connection.base, port))
            StoreRegister(*reg, static_cast<std::uint8_t>(value & 0xFF));
        }
        RecordAccess(*state, AccessKind::kWrite, port, value, now);
      }))
    return;
  connection.CheckPlace(now, false);
}

INPOUT_EXPORT int INPOUT_CALL IsInpOutDriverOpen(void) { return TheConnection().state != nullptr ? 1 : 0; }

INPOUT_EXPORT const char* INPOUT_CALL InpOutLastError(void) { return TheConnection().error.c_str(); }

}  // extern "C"
