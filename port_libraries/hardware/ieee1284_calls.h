#pragma once

#include <ieee1284.h>

#include <optional>
#include <string>

#include "port_libraries/exclusive_hold/exclusive_hold.h"

namespace quorvane::hardware {

// What a libieee1284 call that may fail gave back: its E1284 code and the
// errno right after it (only meaningful when the code is not E1284_OK).
struct CallResult {
  int code = E1284_OK;
  int error = 0;
};

// The few libieee1284 calls the port library uses, behind one interface so
// the address mapping, the line conversion and the error texts can be driven
// by a fake. Register values here are IEEE 1284 line values, as libieee1284
// reads and writes them.
class Ieee1284Calls {
 public:
  virtual ~Ieee1284Calls() = default;

  virtual CallResult FindPorts(parport_list& list) = 0;
  virtual void FreePorts(parport_list& list) = 0;
  virtual CallResult Open(parport& port, int flags, int* capabilities) = 0;
  virtual CallResult Claim(parport& port) = 0;
  virtual void Release(parport& port) = 0;
  virtual void Close(parport& port) = 0;
  // The register accesses. A read puts the line values in *lines when it
  // works; libieee1284 reports a failed read as a negative E1284 code. It
  // gives no result for a write, so a write has failed when the system call
  // beneath it left an errno (code E1284_SYS).
  virtual CallResult ReadStatus(parport& port, int* lines) = 0;
  virtual CallResult ReadControl(parport& port, int* lines) = 0;
  virtual CallResult WriteControl(parport& port, unsigned char lines) = 0;
  virtual CallResult ReadData(parport& port, int* value) = 0;
  virtual CallResult WriteData(parport& port, unsigned char value) = 0;

  // 0 when this process may read and write the device node at path, else the
  // errno that says why not. libieee1284's own errno after a failed open is
  // whatever its last fallback left, so the reason is asked of the node.
  virtual int DeviceAccessError(const std::string& path) = 0;

  // Marks the port as driven by this process: an exclusive flock, taken
  // without waiting, on a descriptor of its own for the device node at path,
  // kept open for the life of the process. An open that fails gives its
  // errno in the attempt (ENOENT without ppdev, EACCES outside group lp).
  virtual exclusive::HoldAttempt HoldDevice(const std::string& path) = 0;

  // The text of a small system file (the port's entries under
  // /proc/sys/dev/parport), or nullopt when it cannot be read.
  virtual std::optional<std::string> ReadSystemFile(const std::string& path) = 0;
};

}  // namespace quorvane::hardware
