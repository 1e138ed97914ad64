#pragma once

#include "port_libraries/hardware/ieee1284_calls.h"

namespace quorvane::hardware {

// The real calls into libieee1284 (and access(2) for the device check).
class SystemIeee1284 final : public Ieee1284Calls {
 public:
  CallResult FindPorts(parport_list& list) override;
  void FreePorts(parport_list& list) override;
  CallResult Open(parport& port, int flags, int* capabilities) override;
  CallResult Claim(parport& port) override;
  void Release(parport& port) override;
  void Close(parport& port) override;
  CallResult ReadStatus(parport& port, int* lines) override;
  CallResult ReadControl(parport& port, int* lines) override;
  CallResult WriteControl(parport& port, unsigned char lines) override;
  CallResult ReadData(parport& port, int* value) override;
  CallResult WriteData(parport& port, unsigned char value) override;
  int DeviceAccessError(const std::string& path) override;
};

}  // namespace quorvane::hardware
